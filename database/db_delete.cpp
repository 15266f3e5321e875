// DELETE > "Reel ..." and DELETE > "Image ...": the dialogs that remove reels
// and picture sequences of the current database, optionally with their log
// files ("Remove clips"). The files go through the clip-file removal
// (editing/clip_remove.h), which refuses what open clips or running jobs
// still use and leaves clips nobody uses to the log converter.
#include <Xm/List.h>
#include <Xm/ToggleB.h>

#include <cstdio>
#include <string>
#include <vector>

#include "database/db_commands.h"
#include "database/db_browser.h"
#include "database/db_dialog.h"
#include "database/db_list.h"
#include "editing/clip_remove.h"
#include "editing/image_seq.h"
#include "platform/sem.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "ui/widgets.h"

namespace {

// State of "Remove clips" at the last deletion of reels or images; on at
// first.
int remove_clips_last = 1;

constexpr int DIR_LABEL_CHARS = 31;

// Reads the toggle into d's flags and remembers it for the next dialog.
void take_toggle(DbDialog *d) {
    const bool on = d->toggle && XmToggleButtonGetState(d->toggle);
    remove_clips_last = on ? 1 : 0;
    if (on)
        d->flags |= DB_REMOVE_CLIPS;
    else
        d->flags &= ~DB_REMOVE_CLIPS;
}

void add_toggle(DbDialog *d, int x, int y) {
    d->toggle = CreaToggleXY(d->dialog, "Remove clips", x, y);
    XmToggleButtonSetState(d->toggle, remove_clips_last ? True : False, False);
}

// Asks the log converter to remove the clips marked for removal and waits
// until it has done so.
void sync_converter() {
    SemSet(3, 1);
    SemSet(1, 0);
    SemSet(2, 0);
    SemWait(3);
}

void closing_messages(int ok, int in_use) {
    if (!ok) PutCharMessage(mainform, "Couldn't remove all files");
    if (in_use) PutCharMessage(mainform, "One or more files are in\nuse, cannot remove them.");
}

// Asks "Are you sure?" before `yes` runs on d; with nothing chosen the dialog
// stays and shows `none`.
void ask(DbDialog *d, int all, const char *none, XtCallbackProc yes) {
    if (all)
        d->flags |= DB_ALL;
    else
        d->flags &= ~DB_ALL;
    int *pos = nullptr, n = 0;
    const bool any = all ? d->count > 0 : XmListGetSelectedPos(d->list, &pos, &n) && n > 0;
    XtFree(reinterpret_cast<char *>(pos));
    if (!any) {
        PutCharMessage(d->dialog, none);
        return;
    }
    take_toggle(d);
    Warning(d->dialog, "Are you sure?", yes, d, nullptr, nullptr);
}

// --- reels ---

void delete_reels(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    const std::vector<std::string> paths = DbChosenPaths(d, d->path, d->flags & DB_ALL);
    const int companions = d->flags & DB_REMOVE_CLIPS ? 1 : 0;
    DbListFree(d);
    int ok = 1, in_use = 0, deferred = 0;
    for (const std::string &p : paths)
        if (DoRemove(p.c_str(), &ok, &in_use, companions, 1)) deferred = 1;
    if (deferred) sync_converter();
    closing_messages(ok, in_use);
}

void reels_selected(Widget, XtPointer client, XtPointer) {
    ask(static_cast<DbDialog *>(client), 0, "No reel selected", delete_reels);
}
void reels_all(Widget, XtPointer client, XtPointer) {
    ask(static_cast<DbDialog *>(client), 1, "No reel selected", delete_reels);
}

// --- picture sequences ---

// Item names of the image list: the shown text, a NUL, then the sequence's
// file name, first, last, style and extension index separated by NULs.
std::string seq_item(const ImportSeq &s) {
    char nums[64];
    const int k = snprintf(nums, sizeof nums, "%d%c%d%c%d%c%d", s.first, 0, s.last, 0, s.Style(), 0,
                           s.ext_index);
    std::string out = s.shown;
    out += '\0';
    out += s.Base();
    out += '\0';
    out.append(nums, size_t(k > 0 && k < int(sizeof nums) ? k : 0));
    return out;
}

struct SeqItem {
    std::string base;
    int first = 0, last = 0, style = 0, ext = 0;
};

bool parse_item(const std::string &dir, const std::string &name, SeqItem &s) {
    std::vector<std::string> f;
    size_t at = 0;
    while (f.size() < 6) {
        const size_t z = name.find('\0', at);
        f.push_back(name.substr(at, z == std::string::npos ? std::string::npos : z - at));
        if (z == std::string::npos) break;
        at = z + 1;
    }
    if (f.size() < 6) return false;
    s.base = dir + f[1];
    s.first = atoi(f[2].c_str());
    s.last = atoi(f[3].c_str());
    s.style = atoi(f[4].c_str());
    s.ext = atoi(f[5].c_str());
    return true;
}

// "Current directory:" and the browsed directory, at most 31 characters of
// it (a longer one shows "[...]" and its end).
void show_dir(DbDialog *d) {
    if (d->label) LabelSetString(d->label, DbDirLabelText(db_browse_dir, d->label_chars).c_str());
}

// Lister of the image dialog: the sequences of db_browse_dir.
int list_images(DbDialog *d) {
    std::vector<ImportSeq> seqs;
    const int n = ImportFileSearch(db_browse_dir, seqs);
    if (n < 0) return -1;
    DbClearItems(d);
    for (const ImportSeq &s : seqs) {
        const std::string item = seq_item(s);
        DbAddItem(d, item, s.shown.c_str());
    }
    if (d->list) XtVaSetValues(d->list, XmNitems, d->items.data(), XmNitemCount, d->count, NULL);
    show_dir(d);
    return 0;
}

void delete_images(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    // The items are those of the browsed directory.
    const std::string dir = db_browse_dir;
    std::vector<std::string> names = DbChosenPaths(d, "", d->flags & DB_ALL);
    const int companions = d->flags & DB_REMOVE_CLIPS ? 1 : 0;
    DbListFree(d);
    int ok = 1, in_use = 0;
    for (const std::string &name : names) {
        SeqItem s;
        if (!parse_item(dir, name, s)) continue;
        DoRemoveImg(s.base.c_str(), &ok, &in_use, companions, s.first, s.last, s.style, s.ext);
    }
    closing_messages(ok, in_use);
}

void images_selected(Widget, XtPointer client, XtPointer) {
    ask(static_cast<DbDialog *>(client), 0, "No image selected", delete_images);
}
void images_all(Widget, XtPointer client, XtPointer) {
    ask(static_cast<DbDialog *>(client), 1, "No image selected", delete_images);
}

} // namespace

ORVA_COMMAND(DbRemoveSvj) {
    (void)w;
    (void)client_data;
    (void)call_data;
    if (isPlayActive) return;
    static const DbButton buttons[] = {
        {"Selected", reels_selected}, {"All", reels_all}, {"Cancel", nullptr}};
    DbDialog *d =
        DbCreaFileDialog("Delete Reel", DB_SVJ, ".svj", buttons, 3, XmEXTENDED_SELECT, 0, 290, 340);
    if (!d) return;
    // The list ends above the toggle.
    XtVaSetValues(XtParent(d->list), XmNbottomOffset, 340 - 225, NULL);
    add_toggle(d, 20, 235);
}

ORVA_COMMAND(DbRemoveImg) {
    (void)w;
    (void)client_data;
    (void)call_data;
    if (!DbCommandReady()) return;
    snprintf(db_browse_dir, sizeof db_browse_dir, "%s", db_image_dir);
    DbDialog *d = DbNewBrowseDialog(list_images, DIR_LABEL_CHARS);
    if (!d) return;
    static const DbButton buttons[] = {{"Selected", images_selected},
                                       {"All", images_all},
                                       {"Ch. dir.", DbChangeDirectoryCB},
                                       {"Cancel", nullptr}};
    const int W = 500, H = 410;
    DbCreaListDialog(mainform, d, "Delete Image", W, H, XmEXTENDED_SELECT, buttons, 4, 3, 0, 0);
    XtVaSetValues(XtParent(d->list), XmNbottomOffset, H - 235, NULL);
    add_toggle(d, 20, 245);
    d->label = CreaLabelName(d->dialog, 20, 285, 330, 40, "", "dirLabel");
    XtVaSetValues(d->label, XmNalignment, XmALIGNMENT_BEGINNING, NULL);
    show_dir(d);
    Widget fix = CreaBottoneXY(d->dialog, "Fix", W - 90, 285, 70, 35);
    XtAddCallback(fix, XmNactivateCallback, DbFixCB, d);
}
