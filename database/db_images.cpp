// OPEN > "Image clip ...": the image-clip logs of the current database's
// CLIP/ directory, each shown as its sequence's file name and frame range
// in its numbering style, opened into desktop windows.
#include <Xm/List.h>

#include <cstdio>
#include <string>
#include <vector>

#include "database/db_commands.h"
#include "database/db_dialog.h"
#include "database/db_files.h"
#include "database/db_list.h"
#include "editing/image_seq.h"
#include "media/clip_log.h"
#include "media/img_formats.h"
#include "ui/globals.h"
#include "ui/messages.h"

namespace {

// The shown text of a picture log's header: the pattern's file name and the
// range in the log's numbering style. False for a header that is not a
// picture log's or whose style or extension is out of range.
bool shown_text(const std::string &path, std::string &shown) {
    ClipLogHeader h;
    if (!clip_log_read_header(path.c_str(), h, true)) return false;
    if (h.style < 0 || h.style >= IMG_STYLES || h.ext < 0 || h.ext >= IMG_SEQ_EXTS) return false;
    if (h.pattern.empty() || h.pattern.size() >= CLIP_LOG_MAX_PATTERN) return false;
    const size_t slash = h.pattern.rfind('/');
    const std::string name = slash == std::string::npos ? h.pattern : h.pattern.substr(slash + 1);
    const char *ext = imp_format[h.ext];
    char range[96];
    switch (h.style) {
    case 0:
        snprintf(range, sizeof range, ".[%i...%i]%s", h.first, h.last, ext);
        break;
    case 1:
        snprintf(range, sizeof range, ".[%04i...%04i]%s", h.first, h.last, ext);
        break;
    case 2:
        snprintf(range, sizeof range, "[%04i...%04i]%s", h.first, h.last, ext);
        break;
    default:
        snprintf(range, sizeof range, "%s", ext);
        break;
    }
    shown = name + range;
    return true;
}

void open_logs(DbDialog *d, int all) {
    std::vector<std::string> names = DbChosenPaths(d, "", all);
    if (names.empty() && !all) {
        PutCharMessage(d->dialog, "No image clip selected");
        return;
    }
    const std::string dir = d->path;
    DbListFree(d);
    int failed = 0;
    // Chosen from the last to the first; opened in list order.
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        const size_t z = it->find('\0');
        const std::string file = z == std::string::npos ? *it : it->substr(z + 1);
        const std::string path = dir + file;
        if (!DbOpenImageLogHook || !DbOpenImageLogHook(path.c_str())) failed++;
    }
    if (failed >= 2)
        PutCharMessage(mainform, "Error opening some image clips");
    else if (failed == 1)
        PutCharMessage(mainform, "Error opening one image clip");
}

void open_selected(Widget, XtPointer client, XtPointer) {
    open_logs(static_cast<DbDialog *>(client), 0);
}
void open_all(Widget, XtPointer client, XtPointer) {
    open_logs(static_cast<DbDialog *>(client), 1);
}

} // namespace

int (*DbOpenImageLogHook)(const char *path) = nullptr;

ORVA_COMMAND(DbSelectImages) {
    (void)w;
    (void)client_data;
    (void)call_data;
    if (!DbCommandReady()) return;
    const std::string dir = DbDialogDir(DB_CLIP);
    snprintf(db_browse_dir, sizeof db_browse_dir, "%s", dir.c_str());
    std::vector<std::string> logs;
    if (dir.size() >= sizeof DbDialog::path || DbListFiles(dir.c_str(), "_Log", logs) != 0) {
        PutCharMessage(mainform, "Error opening directory");
        return;
    }
    DbDialog *d = DbNewDialog();
    snprintf(d->path, sizeof d->path, "%s", dir.c_str());
    for (const std::string &log : logs) {
        std::string shown;
        if (!shown_text(dir + log, shown)) continue;
        std::string item = shown;
        item += '\0';
        item += log;
        DbAddItem(d, item, shown.c_str());
    }
    static const DbButton buttons[] = {
        {"Selected", open_selected}, {"All", open_all}, {"Cancel", nullptr}};
    DbCreaListDialog(mainform, d, "Open Image Clip", 400, 290, XmEXTENDED_SELECT, buttons, 3, 2, 0,
                     0);
}
