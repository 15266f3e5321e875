// The directory browser of the database dialogs ("Change directory", opened
// by every "Ch. dir." button, and the "New database" browser), the "Fix"
// button of the image dialogs, and the X-free path rules behind them.
#pragma once

#include <Xm/Xm.h>

#include <string>
#include <vector>

struct DbDialog;

// Characters of a path the browser's "Current directory:" label shows.
constexpr int DB_BROWSER_LABEL_CHARS = 45;

// Fills names with the subdirectories of dir: every entry that is a
// directory (following links, as listing them would), ".." included and "."
// left out, sorted byte by byte. Returns 0, or -1 when dir cannot be opened
// (names is then empty).
int DbListSubdirs(const char *dir, std::vector<std::string> &names);

// The directory above dir ("/a/b/" gives "/a/"); "/" stays "/".
std::string DbParentDir(const std::string &dir);

// The directory reached from cur (ending in "/") by a typed path: ".." or
// "../" go up one level, a path starting with "/" replaces cur, anything
// else is appended; a "/" is added when missing. Empty when typed is empty.
std::string DbBrowseTarget(const std::string &cur, const std::string &typed);

// The directory label text: "Current directory:\n" and the path, or "[...]"
// and the path's last max characters when it is longer than max.
std::string DbDirLabelText(const std::string &path, int max);

// Opens the "Change directory" browser over db_browse_dir for the dialog
// parent (which must have a list): parent->path receives db_browse_dir to be
// put back by Cancel; each change of directory sets db_browse_dir and
// refills parent's list through parent->lister (and its directory label).
// The parent moves left of the screen centre, the browser right of it; OK
// closes the browser and recentres the parent. Returns the browser's record,
// or null with "Cannot open directory" shown when db_browse_dir cannot be
// listed.
DbDialog *DbChangeDirectory(DbDialog *parent);

// The same browser with a title, size and OK callback of the caller's
// (client data: the browser's record, whose path is the browsed directory),
// starting at start; parent may be null. Used by "New database".
DbDialog *DbOpenBrowser(DbDialog *parent, const char *start, const char *title, int width,
                        int height, XtCallbackProc ok);

// Moves the browser of d to dir: lists it, sets d->path and db_browse_dir,
// refreshes the label and the parent's list. Returns 0, or -1 (nothing
// changed) when dir cannot be listed; the caller tells the user.
int DbBrowseTo(DbDialog *d, const std::string &dir);

// "Ch. dir." button callback (client data: the dialog to refresh).
void DbChangeDirectoryCB(Widget w, XtPointer client_data, XtPointer call_data);

// "Fix": db_image_dir becomes db_browse_dir, until the current database
// changes. FixCB is its button callback.
void DbFixImageDir();
void DbFixCB(Widget w, XtPointer client_data, XtPointer call_data);
