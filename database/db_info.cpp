// TOOLS > "Info ...": the reels of the current database's SVJ/ directory; the
// chosen ones are shown in the clip information table of the desktop.
#include <Xm/List.h>

#include <string>
#include <vector>

#include "database/db_commands.h"
#include "database/db_dialog.h"
#include "database/db_list.h"
#include "ui/globals.h"
#include "ui/messages.h"

namespace {

void show_info(DbDialog *d, int all) {
    std::vector<std::string> paths = DbChosenPaths(d, d->path, all);
    if (paths.empty() && !all) {
        PutCharMessage(d->dialog, "No reel selected");
        return;
    }
    DbListFree(d);
    // Chosen from the last to the first; the table lists them in list order.
    std::vector<const char *> p;
    p.reserve(paths.size());
    for (auto it = paths.rbegin(); it != paths.rend(); ++it)
        p.push_back(it->c_str());
    if (DbInfoHook) DbInfoHook(p.data(), int(p.size()));
}

void info_selected(Widget, XtPointer client, XtPointer) {
    show_info(static_cast<DbDialog *>(client), 0);
}
void info_all(Widget, XtPointer client, XtPointer) {
    show_info(static_cast<DbDialog *>(client), 1);
}

} // namespace

void (*DbInfoHook)(const char *const *paths, int n) = nullptr;

ORVA_COMMAND(DbInfoSvj) {
    (void)w;
    (void)client_data;
    (void)call_data;
    if (isPlayActive) return;
    static const DbButton buttons[] = {
        {"Selected", info_selected}, {"All", info_all}, {"Cancel", nullptr}};
    DbCreaFileDialog("Info", DB_SVJ, ".svj", buttons, 3, XmEXTENDED_SELECT, 0, 290, 290);
}
