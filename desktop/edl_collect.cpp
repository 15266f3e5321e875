// Saving the grab list as an edit list, and collecting an edit list from
// tape (see edl_collect.h). The collect works on its own copy of the chosen
// events; each reel is confirmed in "Change reel" and grabbed in one VTR job
// "Edlcollect", compressed into reels of SVJ/ or uncompressed into frame
// files of IMAGES/. A stop ends the whole collect.
#include "desktop/edl_collect.h"

#include <Xm/List.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Text.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "database/db_dialog.h"
#include "database/db_commands.h"
#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/commands.h"
#include "desktop/globals.h"
#include "desktop/grab.h"
#include "desktop/tape_sequence.h"
#include "device/sv.h"
#include "media/img_util.h"
#include "platform/jobs.h"
#include "ui/messages.h"
#include "ui/widgets.h"
#include "vtr/edl_collect.h"
#include "vtr/edl_read.h"
#include "vtr/grab_job.h"
#include "vtr/grab_list.h"
#include "vtr/grab_names.h"
#include "vtr/vtr_env.h"
#include "vtr/vtr_panel.h"

namespace {

constexpr int DIALOG_W = 290, DIALOG_H = 290, SAVE_H = 335;

// ---- SAVE > "Edit list ..." ----

void save_edl(const char *path) {
    EdlWrite(path);
}

void save_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    DbSaveName(d, "edl", save_edl);
}

// ---- OPEN > "Edit list ..." ----

void open_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    const std::vector<std::string> paths = DbChosenPaths(d, d->path, 0);
    if (paths.empty()) {
        PutCharMessage(d->dialog, "No edl selected");
        return;
    }
    const std::string path = paths.front();
    DbListFree(d);
    EdlcollectDialog(path.c_str());
}

// ---- the collect ----

// One event being collected.
struct EdlEvent {
    EdlEntry entry;
    GrabResult reel;
    D1Result frames;
    D1RangeFiles files;
};

// Told at the end when a range gave no clip.
constexpr const char *kEdlGrabError = "Edl grab error";

struct Collect;
Collect *collecting = nullptr; // the one that runs or was declined

// The chosen events, collected reel after reel.
struct Collect final : TapeSequence {
    Collect() : TapeSequence("Edlcollect", kEdlGrabError) {}
    ~Collect() override {
        if (collecting == this) collecting = nullptr;
    }
    size_t Tapes() const override { return groups.size(); }
    std::string TapeName(size_t n) const override { return groups[n].reel; }
    void Grab() override;
    void Grabbed() override;
    void NameRefused() override { ++tally.errors; }

    std::vector<EdlEvent> events;     // the copy of the chosen events
    std::vector<EdlReelGroup> groups; // indexes into events, by reel
    std::string db;                   // the database directory, "/" ended
    bool d1 = false;
    int quality = 0, format = 1, style = 0;
    std::atomic<bool> stop{false};
};

// Values kept between uses of the dialog.
int kept_quality = 0, kept_d1 = 0, kept_format = 1, kept_style = 0;

// Grabs the events of reel `at` in one job (in the job).
void Collect::Grab() {
    const EdlReelGroup &g = groups[at];
    if (!d1) {
        SetSVJ_MODE();
        GrabJob job;
        job.sv = vtr_board;
        job.base = db + "SVJ/" + new_tape;
        job.quality = quality;
        job.stop = &stop;
        for (int i : g.events)
            job.entries.push_back(EdlRange(events[size_t(i)].entry));
        const int q = sv_quality(vtr_board, quality);
        if (q != 0) {
            for (int i : g.events)
                events[size_t(i)].reel.error = q;
            return;
        }
        RunGrabJob(&job);
        for (size_t k = 0; k < job.results.size(); ++k)
            events[size_t(g.events[k])].reel = job.results[k];
        return;
    }
    SetD1_MODE();
    std::vector<unsigned char> frame(static_cast<size_t>(device_frame_bytes()));
    D1Job job;
    job.sv = vtr_board;
    job.base = db + "IMAGES/" + new_tape;
    job.step = 1;
    job.style = style;
    job.format = format;
    job.stop = &stop;
    for (int i : g.events)
        job.entries.push_back(EdlRange(events[size_t(i)].entry));
    job.results.assign(job.entries.size(), D1Result{});
    for (size_t k = 0; k < job.entries.size(); ++k) {
        if (JobStopRequested()) break;
        EdlEvent &e = events[size_t(g.events[k])];
        GrabD1Range(&job, k, &frame, db, &e.files);
        e.frames = job.results[k];
        if (e.frames.running) break;
    }
}

// The clips of reel `at` once its job has ended, each in a window.
void Collect::Grabbed() {
    for (int i : groups[at].events) {
        EdlEvent &e = events[size_t(i)];
        FisicData *clip = nullptr;
        std::string title;
        if (!d1) {
            if (!e.reel.running && e.reel.name.empty() && !e.reel.error) continue; // not reached
            clip = TapeReelClip(e.reel, &tally);
            if (clip) title = " GSV(" + GrabReelBaseName(e.reel.name) + ")";
        } else {
            if (!e.frames.running && e.files.pattern.empty() && !e.frames.error)
                continue; // not reached
            clip = TapeFramesClip(e.frames, e.files, &tally);
            if (clip) {
                std::string base = e.files.pattern;
                title = std::string(" GD1(") + GetName(base.data()) + ")";
                UpdateLog(clip);
            }
        }
        if (!clip) continue;
        e.entry.done = 1;
        AddWindowData(clip, 0, strdup(title.c_str()), 0);
    }
}

// ---- the dialog ----

struct EdlDialog {
    Widget dialog = nullptr, list = nullptr, quality = nullptr;
    Widget d1 = nullptr, compressed = nullptr;
    Widget format_menu = nullptr, style_menu = nullptr;
    Widget formats[D1_FORMATS] = {};
    Widget styles[VTR_NUM_STYLES] = {};
    EdlTable table;
};

const char *const format_names[D1_FORMATS] = {"Korvendal", "Targa", "SGI", "YUV"};
const char *const style_names[VTR_NUM_STYLES] = {".1.", ".0001.", "dos"};

Widget option_menu(Widget parent, const char *name, const char *label, const char *const *items,
                   int n, Widget *buttons, int chosen, int x, int y) {
    Widget menu = XmCreatePulldownMenu(
        parent, const_cast<char *>((std::string(name) + "_menu").c_str()), nullptr, 0);
    for (int i = 0; i < n; ++i) {
        buttons[i] = XmCreatePushButton(menu, const_cast<char *>(items[i]), nullptr, 0);
        XtManageChild(buttons[i]);
    }
    XmString text = XmStringCreateLocalized(const_cast<char *>(label));
    Arg a[5];
    int na = 0;
    XtSetArg(a[na], XmNsubMenuId, menu), na++;
    XtSetArg(a[na], XmNlabelString, text), na++;
    XtSetArg(a[na], XmNmenuHistory, buttons[chosen]), na++;
    XtSetArg(a[na], XmNx, x), na++;
    XtSetArg(a[na], XmNy, y), na++;
    Widget option = XmCreateOptionMenu(parent, const_cast<char *>(name), a, Cardinal(na));
    XmStringFree(text);
    XtManageChild(option);
    return option;
}

int chosen_of(Widget option, const Widget *buttons, int n) {
    Widget current = nullptr;
    XtVaGetValues(option, XmNmenuHistory, &current, NULL);
    for (int i = 0; i < n; ++i)
        if (buttons[i] == current) return i;
    return 0;
}

// "Selected" (all false) or "All": the chosen events from the dialog's
// values, then the first reel.
void start_collect(EdlDialog *d, bool all) {
    std::vector<int> chosen;
    if (all) {
        for (size_t i = 0; i < d->table.entries.size(); ++i)
            chosen.push_back(int(i));
    } else {
        int *pos = nullptr, n = 0;
        if (XmListGetSelectedPos(d->list, &pos, &n)) {
            for (int i = 0; i < n; ++i)
                chosen.push_back(pos[i] - 1);
            XtFree(reinterpret_cast<char *>(pos));
        }
        if (chosen.empty()) {
            PutCharMessage(d->dialog, "No events selected");
            return;
        }
    }
    kept_d1 = XmToggleButtonGetState(d->d1) ? 1 : 0;
    kept_format = chosen_of(d->format_menu, d->formats, D1_FORMATS);
    kept_style = chosen_of(d->style_menu, d->styles, VTR_NUM_STYLES);
    if (!kept_d1) {
        char *t = XmTextGetString(d->quality);
        const int q = t ? atoi(t) : 0;
        XtFree(t);
        if (q < 1 || q > 100) {
            PutCharMessage(d->dialog, "Quality problems");
            return;
        }
        kept_quality = q;
    }
    if (!DbGetName()) {
        PutCharMessage(d->dialog, "No database selected");
        return;
    }
    auto *c = new Collect;
    c->db = DbGetDir(0);
    c->d1 = kept_d1;
    c->quality = kept_quality;
    c->format = kept_format;
    c->style = kept_style;
    // The collect's own copy: the table may be read again while it runs.
    EdlTable copy;
    for (int i : chosen)
        if (i >= 0 && size_t(i) < d->table.entries.size())
            copy.entries.push_back(d->table.entries[size_t(i)]);
    std::vector<int> every(copy.entries.size());
    for (size_t i = 0; i < every.size(); ++i)
        every[i] = int(i);
    c->groups = EdlGroupByReel(copy, every);
    for (EdlEntry &e : copy.entries)
        c->events.push_back({std::move(e), {}, {}, {}});
    XtDestroyWidget(XtParent(d->dialog));
    collecting = c;
    RunTapeSequence(c);
}

void selected_cb(Widget, XtPointer client, XtPointer) {
    start_collect(static_cast<EdlDialog *>(client), false);
}
void all_cb(Widget, XtPointer client, XtPointer) {
    start_collect(static_cast<EdlDialog *>(client), true);
}
void cancel_cb(Widget, XtPointer client, XtPointer) {
    XtDestroyWidget(XtParent(static_cast<EdlDialog *>(client)->dialog));
}
void destroyed_cb(Widget, XtPointer client, XtPointer) {
    delete static_cast<EdlDialog *>(client);
}

// What the reader left out or took with a reservation, a line each, at
// most `max` lines; empty when nothing.
std::string remarks_text(const EdlTable &t, size_t max) {
    std::string text;
    size_t shown = 0;
    for (const std::string &line : EdlReportLines(t)) {
        if (line.rfind("SKIP ", 0) != 0 && line.rfind("NOTE ", 0) != 0) continue;
        if (shown++ == max) {
            text += "\n...";
            break;
        }
        const bool skip = line[0] == 'S';
        const size_t blank = line.find(' ', 5);
        const std::string reason = line.substr(blank + 1);
        std::string how = "skipped: " + reason;
        if (!skip) {
            if (reason == "transition")
                how = "taken as the cut of its incoming source";
            else if (reason == "speed")
                how = "taken as the range its motion effect plays";
            else if (reason == "drop-frame")
                how = "taken, counted as drop frame";
            else
                how = "taken: " + reason;
        }
        text += "\nline " + line.substr(5, blank - 5) + " " + how;
    }
    if (text.empty()) return text;
    return "Lines of the list not collected as they stand:" + text;
}

} // namespace

void EdlcollectDialog(const char *path) {
    if (!vtr_board) {
        PutCharMessage(mainform, "Unable to find SCSI Video");
        return;
    }
    if (VtrJobPid() > 0 || (collecting && collecting->Asking())) return;
    // One whose job was declined at the question about the database.
    delete collecting;
    auto *d = new EdlDialog;
    if (EdlReadFile(path, &d->table) != 0) {
        char text[1200];
        snprintf(text, sizeof text, "Cannot open %s file", path);
        PutCharMessage(mainform, text);
        delete d;
        return;
    }
    if (d->table.entries.empty()) {
        const std::string remarks = remarks_text(d->table, 20);
        PutCharMessage(mainform, remarks.empty()
                                     ? "No entries in edl_list"
                                     : ("No entries in edl_list\n\n" + remarks).c_str());
        delete d;
        return;
    }
    if (kept_quality < 1) {
        kept_quality = atoi(VtrQuality());
        if (kept_quality < 1 || kept_quality > 100) kept_quality = 85;
    }
    d->dialog = CreaDialog(mainform, "Edlcollect", "effect", 450, 370, 1, 0);
    XtAddCallback(d->dialog, XmNdestroyCallback, destroyed_cb, d);

    Widget radio = CreaRadioBox(d->dialog, 10, 10, XmVERTICAL);
    d->d1 = CreaToggle(radio, "D1 quality");
    d->compressed = CreaToggle(radio, "Quality:");
    XmToggleButtonSetState(kept_d1 ? d->d1 : d->compressed, True, False);
    char q[16];
    snprintf(q, sizeof q, "%d", kept_quality);
    d->quality = CreaText(d->dialog, 120, 45, 60, 35, q, 3, "quality_text");
    d->format_menu = option_menu(d->dialog, "format", "", format_names, D1_FORMATS, d->formats,
                                 kept_format, 200, 10);
    d->style_menu = option_menu(d->dialog, "numbering", "", style_names, VTR_NUM_STYLES, d->styles,
                                kept_style, 200, 50);

    std::vector<XmString> items;
    for (const EdlEntry &e : d->table.entries) {
        char line[200];
        snprintf(line, sizeof line, "%s    %s    %s", e.reel.c_str(), e.in.c_str(), e.out.c_str());
        items.push_back(XmStringCreateLocalized(line));
    }
    Arg a[6];
    int na = 0;
    XtSetArg(a[na], XmNvisibleItemCount, 8), na++;
    XtSetArg(a[na], XmNselectionPolicy, XmEXTENDED_SELECT), na++;
    XtSetArg(a[na], XmNitems, items.data()), na++;
    XtSetArg(a[na], XmNitemCount, int(items.size())), na++;
    d->list = XmCreateScrolledList(d->dialog, const_cast<char *>("list"), a, Cardinal(na));
    for (XmString s : items)
        XmStringFree(s);
    XtVaSetValues(XtParent(d->list), XmNtopAttachment, XmATTACH_FORM, XmNtopOffset, 100,
                  XmNleftAttachment, XmATTACH_FORM, XmNleftOffset, 10, XmNrightAttachment,
                  XmATTACH_FORM, XmNrightOffset, 10, XmNbottomAttachment, XmATTACH_FORM,
                  XmNbottomOffset, 60, NULL);
    XtManageChild(d->list);

    Widget sel = CreaBottoneXYName(d->dialog, "Selected", 40, 320, 90, 35, "Selected");
    Widget all = CreaBottoneXYName(d->dialog, "All", 180, 320, 90, 35, "All");
    Widget cancel = CreaBottoneXYName(d->dialog, "Cancel", 320, 320, 90, 35, "Cancel");
    XtAddCallback(sel, XmNactivateCallback, selected_cb, d);
    XtAddCallback(all, XmNactivateCallback, all_cb, d);
    XtAddCallback(cancel, XmNactivateCallback, cancel_cb, d);
    XtVaSetValues(d->dialog, XmNdefaultButton, all, NULL);
    XtManageChild(d->dialog);
    const std::string remarks = remarks_text(d->table, 20);
    if (!remarks.empty()) PutCharMessage(d->dialog, remarks.c_str());
}

ORVA_COMMAND(DbSaveEdl) {
    (void)w, (void)client_data, (void)call_data;
    if (isPlayActive) return;
    if (Items_In_List < 0) {
        PutCharMessage(mainform, "No items in grab list");
        return;
    }
    static const DbButton buttons[] = {{"OK", save_ok}, {"Cancel", nullptr}};
    DbDialog *d = DbCreaFileDialog("Save edit list", DB_WORK, ".edl", buttons, 2, XmSINGLE_SELECT,
                                   1, DIALOG_W, SAVE_H);
    if (d) d->action = save_edl;
}

ORVA_COMMAND(DbSelectEdl) {
    (void)w, (void)client_data, (void)call_data;
    if (isPlayActive) return;
    static const DbButton buttons[] = {{"OK", open_ok}, {"Cancel", nullptr}};
    DbCreaFileDialog("Open Edit List", DB_WORK, ".edl", buttons, 2, XmSINGLE_SELECT, 0, DIALOG_W,
                     DIALOG_H);
}
