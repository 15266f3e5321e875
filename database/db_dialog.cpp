// The list dialogs of the clip database.
//
// Every dialog that shows databases, reels, work files, edit lists or images
// is a modal form built here from a DbDialog record and a row of buttons: a
// scrolled list "list" filling the dialog above the buttons (and above an
// optional name field), buttons spaced evenly on one line, Cancel last. The
// record is freed in one place, the dialog's destroy callback, so Cancel,
// the window manager's close, a finished action and the destruction of the
// main window all free it the same way.
#include "database/db_dialog.h"

#include <Xm/List.h>
#include <Xm/Protocols.h>
#include <Xm/Text.h>

#include <cstdlib>
#include <cstring>

#include "database/db_files.h"
#include "database/db_list.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "ui/widgets.h"

namespace {

constexpr int BUTTON_W = 70, BUTTON_H = 35;
constexpr int ITEMS_STEP = 64;

// Frees everything the record holds, then the record.
void free_record(DbDialog *d) {
    DbClearItems(d);
    free(d->extra);
    d->extra = nullptr;
    delete d;
}

void dialog_destroyed(Widget, XtPointer client, XtPointer) {
    free_record(static_cast<DbDialog *>(client));
}

// Copies the chosen item's text into the name field.
void copy_item_to_text(DbDialog *d, XmString item) {
    if (!d->text || !item) return;
    char *s = nullptr;
    if (XmStringGetLtoR(item, const_cast<char *>(XmFONTLIST_DEFAULT_TAG), &s) && s) {
        XmTextSetString(d->text, s);
        XtFree(s);
    }
}

void item_chosen(Widget, XtPointer client, XtPointer call) {
    auto *cbs = static_cast<XmListCallbackStruct *>(call);
    copy_item_to_text(static_cast<DbDialog *>(client), cbs ? cbs->item : nullptr);
}

std::string dialog_title(const char *title) {
    std::string t;
    if (db_current) t = std::string("DB ") + db_current->name + " - ";
    return t + (title ? title : "");
}

} // namespace

DbDialog *DbNewDialog() {
    auto *d = new DbDialog;
    d->items.reserve(ITEMS_STEP);
    d->names.reserve(ITEMS_STEP);
    return d;
}

void DbAddItem(DbDialog *d, const std::string &name, const char *shown) {
    if (d->items.size() == d->items.capacity()) {
        d->items.reserve(d->items.size() + ITEMS_STEP);
        d->names.reserve(d->items.size() + ITEMS_STEP);
    }
    d->names.push_back(name);
    d->items.push_back(XmStringCreateLocalized(const_cast<char *>(shown ? shown : name.c_str())));
    d->count = int(d->items.size());
}

void DbClearItems(DbDialog *d) {
    for (XmString s : d->items)
        XmStringFree(s);
    d->items.clear();
    d->names.clear();
    d->count = 0;
}

Widget DbCreaListDialog(Widget parent, DbDialog *d, const char *title, int width, int height,
                        unsigned char policy, const DbButton *buttons, int n, int cancel_index,
                        int default_index, int text_field) {
    d->width = width;
    d->height = height;
    d->dialog = CreaDialog(parent, dialog_title(title).c_str(), nullptr, width, height, 0, 1);
    XtAddCallback(d->dialog, XmNdestroyCallback, dialog_destroyed, d);
    Widget shell = XtParent(d->dialog);
    Atom del = XmInternAtom(XtDisplay(shell), const_cast<char *>("WM_DELETE_WINDOW"), False);
    XmAddWMProtocolCallback(shell, del, DbListFreeCB, d);

    Arg a[4];
    int na = 0;
    XtSetArg(a[na], XmNvisibleItemCount, 10), na++;
    XtSetArg(a[na], XmNselectionPolicy, policy), na++;
    // An empty list takes no item array: Motif warns about one of 0 items.
    XtSetArg(a[na], XmNitems, d->count ? d->items.data() : nullptr), na++;
    XtSetArg(a[na], XmNitemCount, d->count), na++;
    d->list = XmCreateScrolledList(d->dialog, const_cast<char *>("list"), a, Cardinal(na));
    XtVaSetValues(XtParent(d->list), XmNtopAttachment, XmATTACH_FORM, XmNtopOffset, 10,
                  XmNleftAttachment, XmATTACH_FORM, XmNleftOffset, 10, XmNrightAttachment,
                  XmATTACH_FORM, XmNrightOffset, 10, XmNbottomAttachment, XmATTACH_FORM,
                  XmNbottomOffset, text_field ? 110 : 55, NULL);
    XtManageChild(d->list);

    if (text_field) {
        d->text = CreaText(d->dialog, width * 5 / 100, height - 105, width * 90 / 100, 35, "", 256,
                           nullptr);
        for (String reason : {XmNsingleSelectionCallback, XmNbrowseSelectionCallback,
                              XmNextendedSelectionCallback, XmNmultipleSelectionCallback})
            XtAddCallback(d->list, reason, item_chosen, d);
    }

    for (int i = 0; i < n; i++) {
        int x = (i + 1) * (width - BUTTON_W * n) / (n + 1) + BUTTON_W * i;
        Widget b = CreaBottoneXY(d->dialog, buttons[i].label, x, height - 50, BUTTON_W, BUTTON_H);
        XtCallbackProc cb =
            (i == cancel_index || !buttons[i].callback) ? DbListFreeCB : buttons[i].callback;
        XtAddCallback(b, XmNactivateCallback, cb, d);
    }
    if (default_index >= 0 && default_index < n) {
        XtCallbackProc cb = (default_index == cancel_index || !buttons[default_index].callback)
                                ? DbListFreeCB
                                : buttons[default_index].callback;
        XtAddCallback(d->list, XmNdefaultActionCallback, cb, d);
    }
    XtManageChild(d->dialog);
    return d->dialog;
}

int DbCommandReady() {
    if (isPlayActive) return 0;
    if (!db_current) {
        PutCharMessage(mainform, "No database selected");
        return 0;
    }
    return 1;
}

std::string DbDialogDir(int subdir) {
    if (subdir < 0) return db_browse_dir;
    if (!db_current || subdir >= DB_NSUBDIR || !DbSubdir[subdir]) return "";
    return std::string(db_current->dir) + DbSubdir[subdir];
}

DbDialog *DbNewBrowseDialog(int (*lister)(DbDialog *), int label_chars) {
    DbDialog *d = DbNewDialog();
    d->label_chars = label_chars;
    d->lister = lister;
    if (lister(d) != 0) {
        DbListFree(d);
        PutCharMessage(mainform, "Error opening directory");
        return nullptr;
    }
    return d;
}

DbDialog *DbCreaFileDialog(const char *title, int subdir, const char *ext, const DbButton *buttons,
                           int n, unsigned char policy, int text_field, int width, int height) {
    if (!db_current) {
        PutCharMessage(mainform, "No database selected");
        return nullptr;
    }
    std::string dir = DbDialogDir(subdir);
    std::vector<std::string> names;
    if (dir.empty() || dir.size() >= sizeof DbDialog::path ||
        DbListFiles(dir.c_str(), ext, names) != 0) {
        PutCharMessage(mainform, "Error opening directory");
        return nullptr;
    }
    DbDialog *d = DbNewDialog();
    snprintf(d->path, sizeof d->path, "%s", dir.c_str());
    for (const std::string &name : names)
        DbAddItem(d, name);
    DbCreaListDialog(mainform, d, title, width, height, policy, buttons, n, n - 1, 0, text_field);
    return d;
}

void DbListFree(DbDialog *d) {
    if (!d) return;
    if (!d->dialog) {
        free_record(d);
        return;
    }
    Widget shell = XtParent(d->dialog);
    XtDestroyWidget(XtIsShell(shell) ? shell : d->dialog);
}

void DbListFreeCB(Widget, XtPointer client_data, XtPointer) {
    DbListFree(static_cast<DbDialog *>(client_data));
}

std::vector<std::string> DbChosenPaths(DbDialog *d, const std::string &dir, int all) {
    std::vector<std::string> out;
    if (all) {
        for (int i = d->count - 1; i >= 0; i--)
            out.push_back(dir + d->names[size_t(i)]);
        return out;
    }
    int *pos = nullptr, npos = 0;
    if (!d->list || !XmListGetSelectedPos(d->list, &pos, &npos)) return out;
    for (int i = npos - 1; i >= 0; i--)
        if (pos[i] >= 1 && pos[i] <= d->count) out.push_back(dir + d->names[size_t(pos[i] - 1)]);
    XtFree(reinterpret_cast<char *>(pos));
    return out;
}
