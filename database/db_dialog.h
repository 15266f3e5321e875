// The list dialogs of the clip database: one record (`DbDialog`) and one
// builder for every dialog that shows a list of databases or files and acts
// on the chosen items through a row of buttons.
#pragma once

#include <Xm/Xm.h>

#include <string>
#include <vector>

struct DbEntry;

// One open list dialog. Made with DbNewDialog, freed when its dialog widget
// is destroyed (DbListFree, or the destruction of its parent).
struct DbDialog {
    Widget dialog = nullptr; // the form dialog
    Widget list = nullptr;   // the scrolled list "list"
    Widget text = nullptr;   // the name text field, or null
    Widget label = nullptr;  // the "Current directory:" label, or null
    Widget toggle = nullptr; // the "Remove clips" toggle, or null
    Widget aux_dialog = nullptr, name_text = nullptr, dir_text = nullptr; // "New name" dialog
    DbEntry *source = nullptr;   // "Select Reel": the database the reel is copied from
    std::vector<XmString> items; // toolkit strings shown in the list
    // Item strings: file names; for image-clip logs the shown text, a NUL,
    // then the file name.
    std::vector<std::string> names;
    int count = 0;       // number of items (always items.size())
    int flags = 0;       // bit 0: act on all items; bit 1: "Remove clips" was on
    int label_chars = 0; // trailing characters of a path the directory label shows
    int width = 0, height = 0;
    char path[1024] = {};                // work buffer: the path acted on, or the browsed directory
    void *extra = nullptr;               // optional block, freed with free()
    int (*lister)(DbDialog *) = nullptr; // refills names and items from a directory
    DbDialog *parent = nullptr;          // for the directory browser: the dialog it refreshes
    void (*action)(const char *path) = nullptr; // "Save work" and "Save edit list": what OK does
};

// Flags of DbDialog::flags.
enum { DB_ALL = 1, DB_REMOVE_CLIPS = 2 };

// One button of a list dialog: its label and the callback it calls with the
// DbDialog as client data. The Cancel slot has no callback: it calls
// DbListFree.
struct DbButton {
    const char *label;
    XtCallbackProc callback;
};

// A new empty record; the caller fills it and hands it to DbCreaListDialog.
DbDialog *DbNewDialog();

// A new record that browses a directory: lister and label_chars set and the
// items filled by lister; null (the record freed, "Error opening directory"
// said) when the directory cannot be listed.
DbDialog *DbNewBrowseDialog(int (*lister)(DbDialog *), int label_chars);

// Whether a database command may go on: not while a clip plays (silently),
// not without a current database ("No database selected").
int DbCommandReady();

// Adds one item: name is kept in names, shown (or name when shown is null)
// becomes the item's toolkit string. Item arrays start with room for 64
// entries and grow by 64.
void DbAddItem(DbDialog *d, const std::string &name, const char *shown = nullptr);

// Frees the items and names of d (count becomes 0).
void DbClearItems(DbDialog *d);

// Builds the modal dialog of d in parent: title "DB <name> - <title>" while
// a database is current, else title alone; a scrolled list "list" of d's
// items with the selection policy; the n buttons 70x35 on the line 50 pixels
// above the bottom; a text field above them when text_field is set. The
// button at cancel_index and the window manager's close call DbListFree; a
// double click calls the button at default_index. Returns d->dialog.
Widget DbCreaListDialog(Widget parent, DbDialog *d, const char *title, int width, int height,
                        unsigned char policy, const DbButton *buttons, int n, int cancel_index,
                        int default_index, int text_field);

// Opens a file list dialog of the current database on mainform: the files of
// its subdirectory DbSubdir[subdir] (or of db_browse_dir when subdir is -1)
// ending in ext, sorted. Without a current database shows "No database
// selected", and "Error opening directory" when the directory cannot be
// read; both return null. The last button is Cancel, the first the double
// click's. Returns the record, so callers can add widgets.
DbDialog *DbCreaFileDialog(const char *title, int subdir, const char *ext, const DbButton *buttons,
                           int n, unsigned char policy, int text_field, int width, int height);

// Closes the dialog of d: destroys its widget, and with it frees the items,
// names, extra block and the record itself. d must not be used afterwards.
void DbListFree(DbDialog *d);

// Callback form of DbListFree (client data: the DbDialog).
void DbListFreeCB(Widget w, XtPointer client_data, XtPointer call_data);

// The directory listed by a file dialog of d's kind: current database
// directory + DbSubdir[subdir], or db_browse_dir for -1. Empty when no
// database is current.
std::string DbDialogDir(int subdir);

// Full paths of the items d acts on, in the order they are processed: with
// all set every item from the last to the first, else the selected items
// from the last selected position to the first. Paths are dir + name.
std::vector<std::string> DbChosenPaths(DbDialog *d, const std::string &dir, int all);
