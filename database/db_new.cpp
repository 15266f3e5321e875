// "New" of "Open Database": a "New database" browser chooses where the
// database goes, its OK opens "New name" (the name, and the directory below
// the browsed one), whose OK makes the directories, appends the database to
// the list file and to the list, and switches to it.
#include "database/db_new.h"

#include <Xm/Text.h>
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "database/db_browser.h"
#include "database/db_dialog.h"
#include "database/db_list.h"
#include "database/db_select.h"
#include "editing/clip_names.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "ui/widgets.h"

namespace {

constexpr int NAME_W = 290, NAME_H = 225, BUTTON_W = 70, BUTTON_H = 35;

bool opens_as_dir(const char *path) {
    if (!path || !*path) return false;
    DIR *d = opendir(path);
    if (!d) return false;
    closedir(d);
    return true;
}

// The first of ORVA_DBDIR, the current database's parent directory, PWD,
// HOME and "/" that opens as a directory, ending in "/".
std::string start_dir() {
    std::vector<std::string> tries;
    if (const char *v = getenv("ORVA_DBDIR")) tries.emplace_back(v);
    if (db_current) tries.push_back(DbParentDir(db_current->dir));
    if (const char *v = getenv("PWD")) tries.emplace_back(v);
    if (const char *v = getenv("HOME")) tries.emplace_back(v);
    for (std::string &t : tries)
        if (opens_as_dir(t.c_str())) return t.back() == '/' ? t : t + "/";
    return "/";
}

// A directory exists at path (made now when missing, 0777 less the umask).
bool ensure_dir(const std::string &path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    if (errno != ENOENT) return false;
    return mkdir(path.c_str(), 0777) == 0;
}

std::string text_of(Widget w) {
    char *s = XmTextGetString(w);
    std::string out = s ? s : "";
    XtFree(s);
    return out;
}

void close_name_dialog(DbDialog *d) {
    if (!d->aux_dialog) return;
    Widget shell = XtParent(d->aux_dialog);
    XtDestroyWidget(XtIsShell(shell) ? shell : d->aux_dialog);
    d->aux_dialog = d->name_text = d->dir_text = nullptr;
}

void name_cancel(Widget, XtPointer client, XtPointer) {
    close_name_dialog(static_cast<DbDialog *>(client));
}

void name_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    if (!d->aux_dialog) return;
    const std::string name = text_of(d->name_text), dir = text_of(d->dir_text);
    if (name.empty()) {
        PutCharMessage(d->aux_dialog, "Type the database name");
        return;
    }
    if (dir.empty()) {
        PutCharMessage(d->aux_dialog, "Type the database directory");
        return;
    }
    if (DbFindEntry(name.c_str())) {
        PutCharMessage(d->aux_dialog, "Database already exists");
        return;
    }
    close_name_dialog(d);
    const std::string browsed = d->path;
    DbListFree(d);
    char list_path[1024];
    DbEntry *e = nullptr;
    if (DbListFileName(list_path, sizeof list_path))
        e = DbCreateDatabase(browsed.c_str(), name.c_str(), dir.c_str(), list_path);
    if (!e) {
        PutCharMessage(mainform, "Error: cannot add database");
        return;
    }
    DbConfirmSwitch(e, 0);
}

// OK of the "New database" browser: the "New name" dialog over it.
void browser_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    if (d->aux_dialog) return;
    std::string title = "New name";
    if (db_current) title = std::string("DB ") + db_current->name + " - " + title;
    Widget f = CreaDialog(d->dialog, title.c_str(), nullptr, NAME_W, NAME_H, 0, 1);
    d->aux_dialog = f;
    XtManageChild(CreaLabelXY(f, 10, 5, NAME_W - 20, 25, "New database name:"));
    d->name_text = CreaText(f, 10, 30, NAME_W - 20, 35, "", 256, "name");
    XtManageChild(d->name_text);
    XtManageChild(CreaLabelXY(f, 10, 75, NAME_W - 20, 25, "New database directory:"));
    d->dir_text = CreaText(f, 10, 100, NAME_W - 20, 35, "", 256, "directory");
    XtManageChild(d->dir_text);
    const char *labels[] = {"OK", "Cancel"};
    const XtCallbackProc cbs[] = {name_ok, name_cancel};
    Widget ok = nullptr;
    for (int i = 0; i < 2; i++) {
        int x = (i + 1) * (NAME_W - BUTTON_W * 2) / 3 + BUTTON_W * i;
        Widget b = CreaBottoneXY(f, labels[i], x, NAME_H - 50, BUTTON_W, BUTTON_H);
        XtAddCallback(b, XmNactivateCallback, cbs[i], d);
        if (i == 0) ok = b;
    }
    // Return in either field acts as OK (a text field passes it on to the
    // dialog's default button); the name field has the focus and Tab moves on
    // to the directory field.
    XtVaSetValues(f, XmNinitialFocus, d->name_text, XmNdefaultButton, ok, NULL);
    XtManageChild(f);
    XmProcessTraversal(d->name_text, XmTRAVERSE_CURRENT);
}

} // namespace

std::string DbNewDatabaseDir(const char *browsed, const char *dir_text) {
    std::string dir = browsed ? browsed : "";
    if (!dir.empty() && dir.back() != '/') dir += '/';
    std::string copy = dir_text ? dir_text : "";
    std::string base = GetName(copy.data());
    if (std::string(dir_text ? dir_text : "") != "." && !base.empty()) dir += base + "/";
    return dir;
}

DbEntry *DbCreateDatabase(const char *browsed, const char *name, const char *dir_text,
                          const char *list_path) {
    if (!browsed || !name || !*name || !dir_text || !*dir_text || !list_path) return nullptr;
    const std::string dir = DbNewDatabaseDir(browsed, dir_text);
    if (dir.empty() || dir.size() > DB_DIR_MAX) return nullptr;
    // A name or directory the list cannot hold fails before anything is made.
    DbEntry *e = DbMakeEntry(name, dir.c_str());
    if (!e) return nullptr;
    bool made = ensure_dir(dir);
    for (int i = 0; made && i < DB_NSUBDIR; i++)
        made = ensure_dir(dir + DbSubdir[i]);
    if (!made || DbAppendListFile(list_path, e) != 0) {
        delete e;
        return nullptr;
    }
    DbAppendEntry(e);
    return e;
}

void DbNewDatabaseCB(Widget, XtPointer client_data, XtPointer) {
    DbListFree(static_cast<DbDialog *>(client_data));
    DbOpenBrowser(nullptr, start_dir().c_str(), "New database", 500, 390, browser_ok);
}
