// Recollect: the material that clips were cut from is grabbed again from tape,
// found by what their file names record (tape, In, Out, quality), tape after
// tape, each behind a "Change reel" dialog. The clips' windows are then
// pointed at the new files.
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Text.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
#include "vtr/grab_job.h"
#include "vtr/grab_names.h"
#include "vtr/vtr_env.h"
#include "vtr/vtr_panel.h"

namespace {

// One clip to grab again.
struct RecRange {
    FisicData *old_clip = nullptr;
    std::string tape;
    uint32_t in = 0, out = 0;
    int quality = 0;         // reels: the quality in the name
    bool d1 = false;         // grabbed uncompressed
    int step = 1, style = 0; // D1 numbering
    int format = 1;          // D1 format
    // Filled by the job.
    GrabResult reel;
    D1Result frames;
    D1RangeFiles files;
};

// Told at the end when a range gave no clip.
constexpr const char *kRecollectError = "Recollect error.";

struct Recollect;
Recollect *recollect = nullptr; // the one that runs or was declined

// The clips of the chosen windows, grabbed again tape after tape.
struct Recollect final : TapeSequence {
    Recollect() : TapeSequence("Recollect", kRecollectError) {}
    ~Recollect() override {
        if (recollect == this) recollect = nullptr;
    }
    size_t Tapes() const override { return tapes.size(); }
    std::string TapeName(size_t n) const override { return tapes[n]; }
    void Grab() override;
    void Grabbed() override;
    void NameRefused() override { PutCharMessage(mainform, "Error: unable to recollect."); }

    std::vector<WindowData *> windows;
    std::vector<RecRange> ranges;
    std::vector<std::string> tapes; // in order of first use
    std::string db;
    bool add_clips = false;
};

// Values kept between uses of the dialog.
int kept_d1_quality = 0, kept_format = 1, kept_style = 0, kept_add = 0;

std::vector<WindowData *> chosen_windows(bool master) {
    std::vector<WindowData *> out;
    if (master) {
        for (WindowData *w = first_window; w && w != first_work; w = w->next)
            if (w->seg_first) out.push_back(w);
    } else {
        for (WindowData *w = first_work; w; w = w->next)
            if (w->selected && w->seg_first) out.push_back(w);
    }
    return out;
}

// The ranges of every clip of the windows; false when a name says nothing.
bool collect(Recollect *r, bool d1_quality) {
    std::vector<FisicData *> seen;
    for (WindowData *w : r->windows) {
        Segment *s = w->seg_first;
        do {
            FisicData *c = s->fisic;
            bool known = false;
            for (FisicData *k : seen)
                known = known || k == c;
            if (c && !known) {
                seen.push_back(c);
                RecRange g;
                g.old_clip = c;
                if (c->pic) {
                    uint32_t in = 0;
                    const int format = D1FormatOfSeqExt(c->pic->ext);
                    if (!c->pic->pattern || !ParseD1Stem(c->pic->pattern, &g.tape, &in) ||
                        format < 0 || c->pic->first != 1 || c->pic->last < 1 || c->pic->style < 0 ||
                        c->pic->style >= VTR_NUM_STYLES)
                        return false;
                    g.d1 = true;
                    g.in = in;
                    g.out = in + uint32_t(c->pic->last - 1);
                    g.step = c->pic->step < 1 ? 1 : c->pic->step;
                    g.style = c->pic->style;
                    g.format = format;
                } else {
                    ReelNameParts p;
                    if (!c->path || !ParseGrabReelName(c->path, &p)) return false;
                    g.tape = p.tape;
                    g.in = p.in;
                    g.out = p.out;
                    g.quality = p.quality;
                    g.d1 = d1_quality;
                    g.style = kept_style;
                    g.format = kept_format;
                }
                r->ranges.push_back(g);
                bool listed = false;
                for (const std::string &t : r->tapes)
                    listed = listed || t == g.tape;
                if (!listed) r->tapes.push_back(g.tape);
            }
            s = s->next;
        } while (s && s != w->seg_first);
    }
    return !r->ranges.empty();
}

Timecode word_of(uint32_t frames) {
    return TcAddFrames(0, int(frames));
}

// Grabs the ranges of the tape `at` (in the job).
void Recollect::Grab() {
    const std::string &tape = tapes[at];
    std::vector<unsigned char> frame;
    for (RecRange &g : ranges) {
        if (g.tape != tape) continue;
        if (JobStopRequested()) break;
        const TcEntry entry{word_of(g.in), word_of(g.out), 0};
        if (!g.d1) {
            SetSVJ_MODE();
            GrabJob job;
            job.sv = vtr_board;
            job.base = db + "SVJ/" + new_tape;
            job.quality = g.quality;
            job.entries = {entry};
            const int q = sv_quality(vtr_board, g.quality);
            if (q != 0) {
                g.reel.error = q;
                continue;
            }
            RunGrabJob(&job);
            if (!job.results.empty()) g.reel = job.results[0];
            if (g.reel.running) break;
        } else {
            SetD1_MODE();
            if (frame.empty()) frame.resize(static_cast<size_t>(device_frame_bytes()));
            D1Job job;
            job.sv = vtr_board;
            job.base = db + "IMAGES/" + new_tape;
            job.step = g.step;
            job.style = g.style;
            job.format = g.format;
            job.entries = {entry};
            job.results.assign(1, D1Result{});
            GrabD1Range(&job, 0, &frame, db, &g.files);
            g.frames = job.results[0];
            if (g.frames.running) break;
        }
    }
}

// Points every segment of the windows on old at the new clip.
void relink(Recollect *r, FisicData *old, FisicData *clip) {
    for (WindowData *w : r->windows) {
        Segment *s = w->seg_first;
        bool changed = false;
        do {
            if (s->fisic == old) {
                s->fisic = clip;
                old->refs--;
                clip->refs++;
                changed = true;
            }
            s = s->next;
        } while (s && s != w->seg_first);
        if (changed) LoadFirstFrame(w);
    }
}

// The clips of the tape `at` once its job has ended: the windows are
// pointed at them.
void Recollect::Grabbed() {
    const std::string &tape = tapes[at];
    for (RecRange &g : ranges) {
        if (g.tape != tape) continue;
        FisicData *clip = nullptr;
        std::string title;
        if (!g.d1) {
            clip = TapeReelClip(g.reel, &tally);
            if (clip) title = " GSV(" + GrabReelBaseName(g.reel.name) + ")";
        } else {
            clip = TapeFramesClip(g.frames, g.files, &tally);
            if (clip) {
                std::string base = g.files.pattern;
                title = std::string(" GD1(") + GetName(base.data()) + ")";
            }
        }
        if (!clip) continue;
        UpdateLog(clip);
        relink(this, g.old_clip, clip);
        if (add_clips) AddWindowData(clip, 0, strdup(title.c_str()), 0);
    }
}

struct RecDialog {
    Widget dialog = nullptr, quality = nullptr, add = nullptr;
    Widget options[2] = {};
    Widget formats[D1_FORMATS] = {};
    Widget styles[VTR_NUM_STYLES] = {};
    bool master = false;
};

void rec_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<RecDialog *>(client);
    Widget current = nullptr;
    XtVaGetValues(d->quality, XmNmenuHistory, &current, NULL);
    kept_d1_quality = current == d->options[1] ? 1 : 0;
    for (int i = 0; i < D1_FORMATS; ++i)
        if (XmToggleButtonGetState(d->formats[i])) kept_format = i;
    for (int i = 0; i < VTR_NUM_STYLES; ++i)
        if (XmToggleButtonGetState(d->styles[i])) kept_style = i;
    kept_add = XmToggleButtonGetState(d->add) ? 1 : 0;
    const bool master = d->master;
    XtDestroyWidget(XtParent(d->dialog));

    auto *r = new Recollect;
    r->windows = chosen_windows(master);
    r->add_clips = kept_add;
    if (r->windows.empty() || !DbGetName()) {
        PutCharMessage(mainform, r->windows.empty()
                                     ? (master ? "No clips in master area" : "No clip selected")
                                     : "No database selected");
        delete r;
        return;
    }
    r->db = DbGetDir(0);
    if (!collect(r, kept_d1_quality)) {
        PutCharMessage(mainform, "Error: unable to recollect.");
        delete r;
        return;
    }
    recollect = r;
    RunTapeSequence(r);
}

void rec_cancel(Widget, XtPointer client, XtPointer) {
    XtDestroyWidget(XtParent(static_cast<RecDialog *>(client)->dialog));
}

void rec_destroyed(Widget, XtPointer client, XtPointer) {
    delete static_cast<RecDialog *>(client);
}

void open_recollect(bool master) {
    if (isPlayActive) return;
    if (!vtr_board) {
        PutCharMessage(mainform, "Unable to find SCSI Video");
        return;
    }
    if (VtrJobPid() > 0 || (recollect && recollect->Asking())) return;
    // One whose grab was declined at the question about the database.
    delete recollect;
    if (chosen_windows(master).empty()) {
        PutCharMessage(mainform, master ? "No clips in master area" : "No clip selected");
        return;
    }
    auto *d = new RecDialog;
    d->master = master;
    d->dialog = CreaDialog(mainform, "Recollect", "effect", 300, 400, 1, 0);
    XtAddCallback(d->dialog, XmNdestroyCallback, rec_destroyed, d);

    Widget menu = XmCreatePulldownMenu(d->dialog, const_cast<char *>("quality_menu"), nullptr, 0);
    const char *const qualities[2] = {"Original quality", "D1 quality"};
    for (int i = 0; i < 2; ++i) {
        d->options[i] = XmCreatePushButton(menu, const_cast<char *>(qualities[i]), nullptr, 0);
        XtManageChild(d->options[i]);
    }
    XmString label = XmStringCreateLocalized(const_cast<char *>("Quality:"));
    Arg a[5];
    int n = 0;
    XtSetArg(a[n], XmNsubMenuId, menu), n++;
    XtSetArg(a[n], XmNlabelString, label), n++;
    XtSetArg(a[n], XmNmenuHistory, d->options[kept_d1_quality]), n++;
    XtSetArg(a[n], XmNx, 20), n++;
    XtSetArg(a[n], XmNy, 15), n++;
    d->quality = XmCreateOptionMenu(d->dialog, const_cast<char *>("quality"), a, Cardinal(n));
    XmStringFree(label);
    XtManageChild(d->quality);

    Widget formats = CreaRadioBox(d->dialog, 20, 70, XmVERTICAL);
    const char *const names[D1_FORMATS] = {"Korvendal", "Targa", "SGI", "YUV"};
    for (int i = 0; i < D1_FORMATS; ++i)
        d->formats[i] = CreaToggle(formats, names[i]);
    XmToggleButtonSetState(d->formats[kept_format], True, False);
    Widget styles = CreaRadioBox(d->dialog, 160, 70, XmVERTICAL);
    const char *const numbering[VTR_NUM_STYLES] = {".1.", ".0001.", "dos"};
    for (int i = 0; i < VTR_NUM_STYLES; ++i)
        d->styles[i] = CreaToggle(styles, numbering[i]);
    XmToggleButtonSetState(d->styles[kept_style], True, False);
    d->add = CreaToggleXY(d->dialog, "Add clips", 20, 250);
    XmToggleButtonSetState(d->add, kept_add ? True : False, False);

    Widget ok = CreaBottoneXYName(d->dialog, "OK", 40, 330, 80, 35, "OK");
    Widget cancel = CreaBottoneXYName(d->dialog, "Cancel", 180, 330, 80, 35, "Cancel");
    XtAddCallback(ok, XmNactivateCallback, rec_ok, d);
    XtAddCallback(cancel, XmNactivateCallback, rec_cancel, d);
    XtVaSetValues(d->dialog, XmNdefaultButton, ok, NULL);
    XtManageChild(d->dialog);
}

} // namespace

ORVA_COMMAND(RecollectSelected) {
    (void)w, (void)client_data, (void)call_data;
    open_recollect(false);
}

ORVA_COMMAND(RecollectHappy) {
    (void)w, (void)client_data, (void)call_data;
    open_recollect(true);
}
