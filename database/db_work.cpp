// The work-file dialogs of the current database: "Open Work" (replace or add
// the windows of a work), "Delete Work", and "Save work" with the name field
// that every save of a work or an edit list goes through. Saving, loading and
// closing windows belong to the desktop, reached through the hooks it
// registers at start-up.
#include <Xm/List.h>
#include <Xm/Text.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "database/db_commands.h"
#include "database/db_dialog.h"
#include "database/db_list.h"
#include "editing/clip_names.h"
#include "editing/clip_records.h"
#include "editing/derived_window.h"
#include "ui/globals.h"
#include "ui/messages.h"

int (*DbSaveWorkHook)(const char *path, int selection) = nullptr;
int (*DbLoadWorkHook)(const char *path, int add) = nullptr;
void (*DbUpdateSummaHook)() = nullptr;
int (*DbJobsOnWindowsHook)() = nullptr;
void (*DbCloseWindowsHook)(int stop) = nullptr;
void (*DbClearAfterSaveHook)(int selection) = nullptr;

namespace {

constexpr int DIALOG_W = 290, DIALOG_H = 290, SAVE_H = 335;

// ---- opening ----

std::string replacing; // the work file a "Replace" loads once its question is answered

void load(const char *path, int add) {
    if (DbLoadWorkHook && DbLoadWorkHook(path, add) && DbUpdateSummaHook) DbUpdateSummaHook();
}

void replace_now(int stop) {
    const std::string path = replacing;
    replacing.clear();
    if (DbCloseWindowsHook) DbCloseWindowsHook(stop);
    load(path.c_str(), 0);
}
void replace_stopping(Widget, XtPointer, XtPointer) {
    replace_now(1);
}
void replace_keeping(Widget, XtPointer, XtPointer) {
    replace_now(0);
}

// The chosen work file of d, or "" after saying that none is chosen.
std::string chosen_work(DbDialog *d) {
    std::vector<std::string> paths = DbChosenPaths(d, d->path, 0);
    if (paths.empty()) {
        PutCharMessage(d->dialog, "No work selected");
        return "";
    }
    return paths.front();
}

void open_replace(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    const std::string path = chosen_work(d);
    if (path.empty()) return;
    DbListFree(d);
    replacing = path;
    if (DbJobsOnWindowsHook && DbJobsOnWindowsHook())
        Warning(mainform,
                "One or more clips have\nimport in or export progress.\nDo you want to stop them?",
                replace_stopping, nullptr, replace_keeping, nullptr);
    else
        replace_now(0);
}

void open_add(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    const std::string path = chosen_work(d);
    if (path.empty()) return;
    DbListFree(d);
    load(path.c_str(), 1);
}

// ---- deleting ----

// Removes the chosen work files of d after "Are you sure?" (only regular
// files go), then closes the dialog.
void remove_confirmed(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    const std::vector<std::string> paths = DbChosenPaths(d, d->path, d->flags & DB_ALL);
    DbListFree(d);
    bool failed = false;
    for (const std::string &path : paths) {
        struct stat st {};
        failed |=
            lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || unlink(path.c_str()) != 0;
    }
    if (failed) PutCharMessage(mainform, "Couldn't remove all files");
}

void remove_works(DbDialog *d, int all) {
    if (!all) {
        int *pos = nullptr, n = 0;
        const bool any = XmListGetSelectedPos(d->list, &pos, &n) && n > 0;
        XtFree(reinterpret_cast<char *>(pos));
        if (!any) {
            PutCharMessage(d->dialog, "No work selected");
            return;
        }
    }
    d->flags = all ? (d->flags | DB_ALL) : (d->flags & ~DB_ALL);
    Warning(d->dialog, "Are you sure?", remove_confirmed, d, nullptr, nullptr);
}
void remove_selected(Widget, XtPointer client, XtPointer) {
    remove_works(static_cast<DbDialog *>(client), 0);
}
void remove_all(Widget, XtPointer client, XtPointer) {
    remove_works(static_cast<DbDialog *>(client), 1);
}

// ---- saving ----

void save_all(const char *path) {
    if (DbSaveWorkHook) DbSaveWorkHook(path, 0);
}
void save_happy(const char *path) {
    if (DbSaveWorkHook) DbSaveWorkHook(path, 1);
}
void save_selected(const char *path) {
    if (DbSaveWorkHook) DbSaveWorkHook(path, 2);
}

void save_then_clear(const char *path, int selection) {
    if (DbSaveWorkHook && DbSaveWorkHook(path, selection) == 1 && DbClearAfterSaveHook)
        DbClearAfterSaveHook(selection);
}

// Runs the dialog's action on its path, closing the dialog first.
void run_action(DbDialog *d) {
    const std::string path = d->path;
    const DbSaveAction action = d->action;
    DbListFree(d);
    if (action) action(path.c_str());
}

void overwrite(Widget, XtPointer client, XtPointer) {
    run_action(static_cast<DbDialog *>(client));
}

void save_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    DbSaveName(d, "wrk", d->action);
}

// "Save empty work?" answered "  Yes  ".
void empty_all(Widget, XtPointer, XtPointer) {
    DbSaveWorkAnyway(save_all);
}
void empty_happy(Widget, XtPointer, XtPointer) {
    DbSaveWorkAnyway(save_happy);
}
void empty_selected(Widget, XtPointer, XtPointer) {
    DbSaveWorkAnyway(save_selected);
}

} // namespace

void DbSaveName(DbDialog *d, const char *ext, DbSaveAction action) {
    char *text = d->text ? XmTextGetString(d->text) : nullptr;
    std::string typed = text ? text : "";
    XtFree(text);
    const std::string name = GetName(typed.data());
    if (name.empty()) {
        PutCharMessage(d->dialog, "Type or select a name");
        return;
    }
    const char *dir = DbGetDir(0);
    if (!dir) {
        PutCharMessage(d->dialog, "No database selected");
        return;
    }
    std::string path = std::string(dir) + DbSubdir[DB_WORK] + name;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.compare(dot + 1, std::string::npos, ext) != 0)
        path += std::string(".") + ext;
    if (path.size() >= sizeof d->path) {
        PutCharMessage(d->dialog, "Type or select a name");
        return;
    }
    snprintf(d->path, sizeof d->path, "%s", path.c_str());
    d->action = action;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        run_action(d);
        return;
    }
    if (S_ISDIR(st.st_mode)) return;
    Warning(d->dialog, "File exists. Overwrite?", overwrite, d, nullptr, nullptr);
}

void DbSaveWorkAnyway(DbSaveAction action) {
    if (isPlayActive) return;
    static const DbButton buttons[] = {{"OK", save_ok}, {"Cancel", nullptr}};
    DbDialog *d = DbCreaFileDialog("Save work", DB_WORK, ".wrk", buttons, 2, XmSINGLE_SELECT, 1,
                                   DIALOG_W, SAVE_H);
    if (d) d->action = action;
}

void DbDoSaveWorkAllAndClear(const char *path) {
    save_then_clear(path, 0);
}
void DbDoSaveWorkHappyAndClear(const char *path) {
    save_then_clear(path, 1);
}
void DbDoSaveWorkSelectedAndClear(const char *path) {
    save_then_clear(path, 2);
}

ORVA_COMMAND(DbSelectWork) {
    (void)w, (void)client_data, (void)call_data;
    if (isPlayActive) return;
    static const DbButton buttons[] = {
        {"Replace", open_replace}, {"Add", open_add}, {"Cancel", nullptr}};
    DbCreaFileDialog("Open Work", DB_WORK, ".wrk", buttons, 3, XmSINGLE_SELECT, 0, DIALOG_W,
                     DIALOG_H);
}

ORVA_COMMAND(DbRemoveWork) {
    (void)w, (void)client_data, (void)call_data;
    if (isPlayActive) return;
    static const DbButton buttons[] = {
        {"Selected", remove_selected}, {"All", remove_all}, {"Cancel", nullptr}};
    DbCreaFileDialog("Delete Work", DB_WORK, ".wrk", buttons, 3, XmEXTENDED_SELECT, 0, DIALOG_W,
                     DIALOG_H);
}

ORVA_COMMAND(DbSaveWorkAll) {
    (void)w, (void)client_data, (void)call_data;
    if (isPlayActive) return;
    if (!first_window)
        Warning(mainform, "No clips in desktop.\nSave empty work?", empty_all, nullptr, nullptr,
                nullptr);
    else
        DbSaveWorkAnyway(save_all);
}

ORVA_COMMAND(DbSaveWorkHappy) {
    (void)w, (void)client_data, (void)call_data;
    if (isPlayActive) return;
    if (first_work == first_window)
        Warning(mainform, "No clips in master area.\nSave empty work?", empty_happy, nullptr,
                nullptr, nullptr);
    else
        DbSaveWorkAnyway(save_happy);
}

ORVA_COMMAND(DbSaveWorkSelected) {
    (void)w, (void)client_data, (void)call_data;
    if (isPlayActive) return;
    if (CountSelected() == 0)
        Warning(mainform, "No clips selected.\nSave empty work?", empty_selected, nullptr, nullptr,
                nullptr);
    else
        DbSaveWorkAnyway(save_selected);
}
