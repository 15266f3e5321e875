// "Open Reel" (OPEN > "Reel ..."): the reels in the current database's SVJ/
// directory, opened into desktop windows one by one, either the selected
// ones or all of them.
#include <Xm/List.h>

#include <string>
#include <vector>

#include "database/db_commands.h"
#include "database/db_dialog.h"
#include "database/db_list.h"
#include "ui/globals.h"
#include "ui/messages.h"

namespace {

// Opens the chosen reels of d (all of them when all is set) and closes the
// dialog. With nothing selected the dialog stays and says so.
void open_reels(DbDialog *d, int all) {
    if (all) d->flags |= DB_ALL;
    std::vector<std::string> paths = DbChosenPaths(d, d->path, all);
    if (paths.empty() && !all) {
        PutCharMessage(d->dialog, "No reel selected");
        return;
    }
    DbListFree(d);
    if (!DbOpenReelHook) return;
    for (const std::string &path : paths)
        DbOpenReelHook(path.c_str());
}

void open_selected(Widget, XtPointer client_data, XtPointer) {
    open_reels(static_cast<DbDialog *>(client_data), 0);
}

void open_all(Widget, XtPointer client_data, XtPointer) {
    open_reels(static_cast<DbDialog *>(client_data), 1);
}

} // namespace

void (*DbOpenReelHook)(const char *path) = nullptr;

ORVA_COMMAND(DbSelectSvj) {
    (void)w;
    (void)client_data;
    (void)call_data;
    if (isPlayActive) return;
    static const DbButton buttons[] = {
        {"Selected", open_selected}, {"All", open_all}, {"Cancel", nullptr}};
    DbCreaFileDialog("Open Reel", DB_SVJ, ".svj", buttons, 3, XmEXTENDED_SELECT, 0, 290, 290);
}
