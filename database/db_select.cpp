// "Open Database" (OPEN > "Database ..."): the known databases by name;
// "OK" switches to the chosen one (choosing the current one reloads it),
// "New" makes a new one.
#include "database/db_select.h"

#include <sys/stat.h>

#include "database/db_commands.h"
#include "database/db_list.h"
#include "database/db_new.h"
#include "database/db_pick.h"
#include "ui/globals.h"
#include "ui/messages.h"

namespace {

void switch_stopping(Widget, XtPointer client, XtPointer) {
    DbSetCurrent(static_cast<DbEntry *>(client), 1, 1);
}

void switch_keeping(Widget, XtPointer client, XtPointer) {
    DbSetCurrent(static_cast<DbEntry *>(client), 0, 1);
}

void open_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    DbEntry *e = DbChosenDatabase(d);
    if (!e) {
        PutCharMessage(d->dialog, "No database selected");
        return;
    }
    struct stat st {};
    if (stat(e->dir, &st) != 0) {
        PutCharMessage(d->dialog, "Cannot open selected database.");
        return;
    }
    DbListFree(d);
    DbConfirmSwitch(e, 1);
}

} // namespace

void DbConfirmSwitch(DbEntry *entry, int ask_sure) {
    if (!entry) return;
    if (DbJobsOnWindowsHook && DbJobsOnWindowsHook())
        Warning(mainform,
                "One or more clips have\nimport or export in progress.\nDo you want to stop them?",
                switch_stopping, entry, switch_keeping, entry);
    else if (ask_sure)
        Warning(mainform, "Are you sure?", switch_keeping, entry, nullptr, nullptr);
    else
        DbSetCurrent(entry, 0, 1);
}

ORVA_COMMAND(DbSelectDatabase) {
    (void)w;
    (void)client_data;
    (void)call_data;
    if (isPlayActive) return;
    static const DbButton buttons[] = {
        {"OK", open_ok}, {"New", DbNewDatabaseCB}, {"Cancel", nullptr}};
    DbOpenDatabaseList("Open Database", buttons, 3);
}
