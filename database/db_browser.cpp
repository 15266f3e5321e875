// The directory browser: a list of the subdirectories of one directory, a
// "Current directory:" label, a text field for typed paths, "OK" and
// "Cancel". Double-clicking a subdirectory enters it (".." goes up), Enter in
// the text field goes to the typed path. The browser serves a parent dialog
// (an image list) whose list it refills at every change of directory, or
// stands alone ("New database"), where its own OK takes over.
#include "database/db_browser.h"

#include <Xm/List.h>
#include <Xm/Protocols.h>
#include <Xm/Text.h>
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "database/db_dialog.h"
#include "database/db_list.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "ui/widgets.h"

namespace {

struct DirCloser {
    void operator()(DIR *d) const { closedir(d); }
};

Widget shell_of(Widget w) {
    while (w && !XtIsShell(w))
        w = XtParent(w);
    return w;
}

int screen_width(Widget w) {
    return WidthOfScreen(XtScreen(w));
}

// Places the dialog of d at x, keeping its height on the screen.
void place(DbDialog *d, int x) {
    if (!d || !d->dialog) return;
    if (x < 0) x = 0;
    XtVaSetValues(d->dialog, XmNdefaultPosition, False, NULL);
    XtVaSetValues(shell_of(d->dialog), XmNx, Position(x), NULL);
}

void recentre(DbDialog *parent) {
    if (parent) place(parent, (screen_width(parent->dialog) - parent->width) / 2);
}

void show_items(DbDialog *d) {
    if (!d || !d->list) return;
    XmListDeselectAllItems(d->list);
    XtVaSetValues(d->list, XmNitems, d->count ? d->items.data() : nullptr, XmNitemCount, d->count,
                  NULL);
}

void set_label(DbDialog *d, const char *path) {
    if (d && d->label) LabelSetString(d->label, DbDirLabelText(path, d->label_chars).c_str());
}

// The browser's record keeps in `extra` the db_browse_dir it started from,
// so that Cancel can put it back.
const char *saved_dir(DbDialog *d) {
    return d->extra ? static_cast<const char *>(d->extra) : nullptr;
}

// Sets db_browse_dir and refills the parent's list and label from it.
void refresh_parent(DbDialog *d, const char *dir) {
    snprintf(db_browse_dir, sizeof db_browse_dir, "%s", dir);
    DbDialog *p = d->parent;
    if (!p) return;
    if (p->lister) {
        p->lister(p);
        show_items(p);
    }
    set_label(p, db_browse_dir);
}

void enter_item(Widget, XtPointer client, XtPointer call) {
    auto *d = static_cast<DbDialog *>(client);
    auto *cbs = static_cast<XmListCallbackStruct *>(call);
    if (!cbs || cbs->item_position < 1 || cbs->item_position > d->count) return;
    const std::string &name = d->names[size_t(cbs->item_position - 1)];
    std::string to = name == ".." ? DbParentDir(d->path) : std::string(d->path) + name + "/";
    if (to == d->path) return; // ".." at the top
    if (DbBrowseTo(d, to) != 0) PutCharMessage(d->dialog, "Cannot open directory");
}

void typed_path(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    char *s = XmTextGetString(d->text);
    std::string typed = s ? s : "";
    XtFree(s);
    if (typed.empty()) {
        PutCharMessage(d->dialog, "Type or select a name");
        return;
    }
    if (DbBrowseTo(d, DbBrowseTarget(d->path, typed)) != 0)
        PutCharMessage(d->dialog, "Cannot open directory");
}

void browser_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    DbDialog *parent = d->parent;
    DbListFree(d);
    recentre(parent);
}

void browser_cancel(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    if (const char *saved = saved_dir(d)) refresh_parent(d, saved);
    DbDialog *parent = d->parent;
    DbListFree(d);
    recentre(parent);
}

// The browser's list of subdirectories of d->path.
int list_subdirs(DbDialog *d) {
    std::vector<std::string> names;
    if (DbListSubdirs(d->path, names) != 0) return -1;
    DbClearItems(d);
    for (const std::string &n : names)
        DbAddItem(d, n);
    return 0;
}

} // namespace

int DbListSubdirs(const char *dir, std::vector<std::string> &names) {
    names.clear();
    if (!dir) return -1;
    std::unique_ptr<DIR, DirCloser> d(opendir(dir));
    if (!d) return -1;
    const int fd = dirfd(d.get());
    while (const dirent *e = readdir(d.get())) {
        if (strcmp(e->d_name, ".") == 0) continue;
        bool is_dir = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            is_dir = fstatat(fd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (is_dir) names.emplace_back(e->d_name);
    }
    std::sort(names.begin(), names.end());
    return 0;
}

std::string DbParentDir(const std::string &dir) {
    std::string d = dir;
    while (d.size() > 1 && d.back() == '/')
        d.pop_back();
    size_t slash = d.rfind('/');
    if (slash == std::string::npos || d == "/") return "/";
    return d.substr(0, slash + 1);
}

std::string DbBrowseTarget(const std::string &cur, const std::string &typed) {
    if (typed.empty()) return "";
    if (typed == ".." || typed == "../") return DbParentDir(cur);
    std::string to = typed[0] == '/' ? typed : cur + typed;
    if (to.back() != '/') to += '/';
    return to;
}

std::string DbDirLabelText(const std::string &path, int max) {
    std::string text = "Current directory:\n";
    if (max > 0 && path.size() > size_t(max))
        return text + "[...]" + path.substr(path.size() - size_t(max));
    return text + path;
}

int DbBrowseTo(DbDialog *d, const std::string &dir) {
    if (!d || dir.empty() || dir.size() >= sizeof d->path) return -1;
    std::vector<std::string> names;
    if (DbListSubdirs(dir.c_str(), names) != 0) return -1;
    snprintf(d->path, sizeof d->path, "%s", dir.c_str());
    DbClearItems(d);
    for (const std::string &n : names)
        DbAddItem(d, n);
    show_items(d);
    set_label(d, d->path);
    refresh_parent(d, d->path);
    return 0;
}

DbDialog *DbOpenBrowser(DbDialog *parent, const char *start, const char *title, int width,
                        int height, XtCallbackProc ok) {
    DbDialog *d = DbNewDialog();
    d->parent = parent;
    d->label_chars = DB_BROWSER_LABEL_CHARS;
    d->extra = strdup(db_browse_dir);
    snprintf(d->path, sizeof d->path, "%s", start ? start : "/");
    if (!start || strlen(start) >= sizeof d->path || list_subdirs(d) != 0) {
        free(d->extra);
        d->extra = nullptr;
        DbListFree(d);
        PutCharMessage(parent ? parent->dialog : mainform, "Cannot open directory");
        return nullptr;
    }
    if (parent) snprintf(parent->path, sizeof parent->path, "%s", db_browse_dir);
    const DbButton buttons[] = {{"OK", ok ? ok : browser_ok}, {"Cancel", browser_cancel}};
    Widget owner = parent && parent->dialog ? parent->dialog : mainform;
    // Cancel has a callback of its own (it restores the parent): no slot is
    // the plain-free Cancel.
    DbCreaListDialog(owner, d, title, width, height, XmSINGLE_SELECT, buttons, 2, -1, -1, 1);
    XtAddCallback(d->list, XmNdefaultActionCallback, enter_item, d);
    // The window manager's close is a Cancel too.
    Widget shell = XtParent(d->dialog);
    Atom del = XmInternAtom(XtDisplay(shell), const_cast<char *>("WM_DELETE_WINDOW"), False);
    XmRemoveWMProtocolCallback(shell, del, DbListFreeCB, d);
    XmAddWMProtocolCallback(shell, del, browser_cancel, d);
    XtAddCallback(d->text, XmNactivateCallback, typed_path, d);
    d->label = CreaLabelXY(d->dialog, 10, height - 160, width - 20, 50,
                           DbDirLabelText(d->path, d->label_chars).c_str());
    XtVaSetValues(d->label, XmNalignment, XmALIGNMENT_BEGINNING, NULL);
    XtVaSetValues(XtParent(d->list), XmNbottomOffset, 165, NULL);
    XtManageChild(d->label);
    const int centre = screen_width(d->dialog) / 2;
    place(d, centre);
    if (parent) place(parent, centre - parent->width);
    return d;
}

DbDialog *DbChangeDirectory(DbDialog *parent) {
    return DbOpenBrowser(parent, db_browse_dir, "Change directory", 500, 390, nullptr);
}

void DbChangeDirectoryCB(Widget, XtPointer client_data, XtPointer) {
    DbChangeDirectory(static_cast<DbDialog *>(client_data));
}

void DbFixImageDir() {
    snprintf(db_image_dir, sizeof db_image_dir, "%s", db_browse_dir);
}

void DbFixCB(Widget, XtPointer, XtPointer) {
    DbFixImageDir();
}
