// Transitions: the six effect commands and their dialog, the new window made
// at once with an icon-size preview of every transition frame, and the
// background render (job type 4) of the full-size frames, whose end routine
// turns each preview piece into a clip reading its new reel or pictures.
#include "desktop/effects_dialog.h"

#include <Xm/Scale.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/clip_operations.h"
#include "desktop/clip_window.h"
#include "desktop/commands.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "editing/derived_window.h"
#include "editing/frame_map.h"
#include "editing/segments.h"
#include "platform/sem.h"
#include "media/fm_types.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "ui/globals.h"
#include "ui/icons.h"
#include "ui/messages.h"
#include "ui/widgets.h"

namespace {

void say(const char *text) {
    PutCharMessage(mainform, text);
}

// The effect chosen by the last command and the dialog's kept values.
EffectFunc effect_function = SoftcutEffect;
std::string effect_code = "SC";
int kept_frames = 10, kept_join = 1, kept_invert = 0, kept_position = EFFECT_CENTER;

// --- Jobs -----------------------------------------------------------------------

struct EffectPiece {
    FisicData *clip = nullptr;
    EffectData *data = nullptr;
    std::atomic<int> done{0}; // set by the job when the piece's output is complete
};

struct EffectJob {
    int pid = 0;
    std::vector<std::unique_ptr<EffectPiece>> pieces;
    EffectFunc effect = nullptr;
};

// Running effect jobs; touched only in the main thread.
std::vector<EffectJob *> effect_jobs;

void effect_process(void *data) {
    auto *job = static_cast<EffectJob *>(data);
    int failed = 0;
    for (auto &piece : job->pieces) {
        if (RenderEffectPiece(*piece->data, job->effect) == 1)
            piece->done = 1;
        else
            failed = 1;
    }
    const int entry = SprocSelf();
    if (entry >= 0) pidData[entry].status = failed;
}

void restore_colours();

void finish(int entry, int pid) {
    EndEffectProcess(pid, pidData[entry].status.load());
    pidData[entry].window = nullptr;
    pidData[entry].output.clear();
    restore_colours();
}

// Undoes a piece made by MakeEffectPiece that no job will render: its
// reserved output, its preview, its registration and its busy mark.
void drop_piece(FisicData *clip) {
    EffectData *d = EffectPieceOf(clip);
    if (!d) return;
    EffectRemoveOutput(*d);
    if (LogPart *p = clip->part.load())
        if (p->file) ::unlink(p->file);
    ForgetEffectPiece(clip);
    delete d;
    clip->busy = 0;
}

// --- The dialog -----------------------------------------------------------------

struct DialogData {
    Widget dialog = nullptr, scale = nullptr, value = nullptr, join = nullptr, invert = nullptr;
    Widget position[3] = {nullptr, nullptr, nullptr};
    bool done = false;
};
DialogData *open_dialog = nullptr;

void show_value(DialogData *d) {
    int v = 0;
    XmScaleGetValue(d->scale, &v);
    char text[16];
    std::snprintf(text, sizeof text, "%i", v);
    LabelSetString(d->value, text);
}

void scale_moved(Widget, XtPointer client, XtPointer) {
    show_value(static_cast<DialogData *>(client));
}

void ok_cb(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DialogData *>(client);
    if (d->done) return;
    kept_join = XmToggleButtonGetState(d->join) ? 1 : 0;
    kept_invert = XmToggleButtonGetState(d->invert) ? 1 : 0;
    for (int k = 0; k < 3; k++)
        if (XmToggleButtonGetState(d->position[k])) {
            kept_position = k;
            break;
        }
    XmScaleGetValue(d->scale, &kept_frames);
    d->done = true;
    XtDestroyWidget(XtParent(d->dialog));
    EffectRun(kept_frames, kept_join, kept_invert, kept_position);
}

void cancel_cb(Widget, XtPointer client, XtPointer) {
    XtDestroyWidget(XtParent(static_cast<DialogData *>(client)->dialog));
}

void destroyed(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DialogData *>(client);
    if (open_dialog == d) open_dialog = nullptr;
    delete d;
}

int count_selected() {
    int n = 0;
    for (WindowData *w = first_window; w; w = w->next)
        if (w->selected) n++;
    return n;
}

} // namespace

void SetEffect(EffectFunc function, const char *code) {
    effect_function = function;
    effect_code = code;
}

void EffectDialog(const char *title) {
    if (isPlayActive) return;
    if (!first_window) return say("No clip selected");
    if (count_selected() != 2) return say("Effect needs two clips selected.");
    if (num_sproc >= GENERAL_SPROC) return say("Too many running processes.\nTry again later.");
    if (open_dialog) XtDestroyWidget(XtParent(open_dialog->dialog));
    auto *d = new DialogData;
    d->dialog = CreaDialog(mainform, title, "effect", 390, 360, 1, 0);
    XtAddCallback(d->dialog, XmNdestroyCallback, destroyed, d);
    CreaLabel(d->dialog, 48, 15, "Number of frames:");
    d->scale = CreaHScale(d->dialog, 0, 1, fps, kept_frames, 0, 48, 40, 292, 35);
    XtAddCallback(d->scale, XmNdragCallback, scale_moved, d);
    XtAddCallback(d->scale, XmNvalueChangedCallback, scale_moved, d);
    d->value = CreaLabelName(d->dialog, 48, 85, 60, 25, "", "value");
    show_value(d);
    d->join = CreaToggleXY(d->dialog, "Join clips", 48, 160);
    d->invert = CreaToggleXY(d->dialog, "Invert order", 48, 210);
    XmToggleButtonSetState(d->join, kept_join ? True : False, False);
    XmToggleButtonSetState(d->invert, kept_invert ? True : False, False);
    Widget box = CreaRadioBox(d->dialog, 243, 135, XmVERTICAL);
    const char *names[3] = {"Before", "Center", "After"};
    for (int k = 0; k < 3; k++)
        d->position[k] = CreaToggle(box, names[k]);
    XmToggleButtonSetState(d->position[kept_position], True, False);
    Widget ok = CreaBottoneXYName(d->dialog, "OK", 83, 300, 70, 35, "OK");
    Widget cancel = CreaBottoneXYName(d->dialog, "Cancel", 236, 300, 70, 35, "Cancel");
    XtAddCallback(ok, XmNactivateCallback, ok_cb, d);
    XtAddCallback(cancel, XmNactivateCallback, cancel_cb, d);
    XtManageChild(d->dialog);
    open_dialog = d;
}

FisicData *MakeEffectPiece(EffectData *d, const EffectPreview &preview, FisicData *a, WindowData *w,
                           int position) {
    auto *f = new FisicData;
    f->dir = DbGetDir(1);
    f->frames = d->length;
    f->width = a->width;
    f->height = a->height;
    f->refs = 1;
    f->parts = 1;
    auto *part = new LogPart[1];
    const size_t bytes = sizeof(int) * size_t(d->length);
    part[0].sizes = static_cast<int *>(std::malloc(bytes));
    part[0].offsets = static_cast<int *>(std::malloc(bytes));
    part[0].file = strdup(preview.Path().c_str());
    if (part[0].sizes && part[0].offsets && int(preview.Sizes().size()) == d->length) {
        std::memcpy(part[0].sizes, preview.Sizes().data(), bytes);
        std::memcpy(part[0].offsets, preview.Offsets().data(), bytes);
        part[0].ready = 1;
    }
    f->part = part;
    f->complete = 1;
    f->busy = 1;
    RegisterEffectPiece(f, d);
    AddFirstFisic(f);
    auto *s = new Segment;
    s->first = 0;
    s->last = d->length - 1;
    s->offset = position;
    s->fisic = f;
    RingAppend(w, s);
    return f;
}

int StartEffectProcess(WindowData *w, Segment *first, Segment *last) {
    auto *job = new EffectJob;
    job->effect = effect_function;
    for (Segment *s = first; s; s = RingNext(w, s)) {
        if (s->fisic && s->fisic->busy.load()) {
            if (EffectData *d = EffectPieceOf(s->fisic)) {
                auto piece = std::make_unique<EffectPiece>();
                piece->clip = s->fisic;
                piece->data = d;
                job->pieces.push_back(std::move(piece));
            }
        }
        if (s == last) break;
    }
    if (job->pieces.empty() || num_sproc >= GENERAL_SPROC) {
        delete job;
        return 0;
    }
    for (auto &p : job->pieces) {
        p->clip->refs++;
        p->data->a.clip->refs++;
        p->data->b.clip->refs++;
    }
    const int entry = Sproc(effect_process, job, JOB_EFFECT);
    if (entry < 0) {
        for (auto &p : job->pieces) {
            p->clip->refs--;
            p->data->a.clip->refs--;
            p->data->b.clip->refs--;
        }
        delete job;
        return 0;
    }
    job->pid = pidData[entry].pid.load();
    pidData[entry].window = w;
    pidData[entry].output = job->pieces.front()->data->out;
    pidData[entry].job_data = job;
    effect_jobs.push_back(job);
    return 1;
}

namespace {

// Ends of jobs waiting for the converter to finish removing clips.
struct Deferred {
    EffectJob *job;
    int status;
};
std::vector<Deferred> deferred;

void restore_colours() {
    for (WindowData *w = first_work; w; w = w->next)
        RestoreFrameColor(w);
    if (summa_window) RestoreFrameColor(summa_window);
}

// Turns the job's pieces into clips of their outputs. The converter reads the
// `path` and `pic` of every clip only while it serves a removal (semaphore 3
// set); the fields are published only when it does not, so no reader ever
// sees them half written. False when the job must wait.
bool end_job(EffectJob *job, int status) {
    if (SemGet(3) != 0) return false;
    bool error = false;
    for (auto &piece : job->pieces) {
        FisicData *c = piece->clip;
        EffectData *d = piece->data;
        bool made = piece->done.load() && status != STATUS_STOPPED;
        if (made && EffectReelOutput(d->a.clip, d->b.clip)) {
            fm_fileformat *reader = svjr_open(d->out.c_str(), 8, 1, 0);
            if (reader) {
                c->path = strdup(d->out.c_str());
                c->reader = reader;
            } else {
                made = false;
            }
        } else if (made) {
            const ImageLogInfo *src = d->a.clip->pic;
            auto *pic = new ImageLogInfo;
            pic->pattern = strdup(d->out.c_str());
            pic->first = 1;
            pic->last = d->length;
            pic->step = 1;
            pic->ext = src ? src->ext : 0;
            pic->style = src ? src->style : 0;
            pic->tag = d->tag;
            c->pic = pic;
        }
        if (!made) {
            error = true;
            EffectRemoveOutput(*d);
        }
        ForgetEffectPiece(c);
        d->a.clip->refs--;
        d->b.clip->refs--;
        delete d;
        if (made) {
            // Cleared after the clip's reel or pictures are in place: whoever
            // sees it no longer busy sees them.
            c->busy = 0;
            UpdateLog(c);
        }
        c->refs--;
    }
    delete job;
    if (error && status != STATUS_STOPPED) say("Error creating effect.");
    return true;
}

void retry_deferred(XtPointer, XtIntervalId *) {
    std::vector<Deferred> waiting;
    waiting.swap(deferred);
    for (const Deferred &d : waiting)
        if (!end_job(d.job, d.status)) deferred.push_back(d);
    restore_colours();
    if (!deferred.empty() && mainform)
        XtAppAddTimeOut(XtWidgetToApplicationContext(mainform), 100, retry_deferred, nullptr);
}

} // namespace

void EndEffectProcess(int pid, int status) {
    EffectJob *job = nullptr;
    for (size_t k = 0; k < effect_jobs.size(); k++)
        if (effect_jobs[k]->pid == pid) {
            job = effect_jobs[k];
            effect_jobs.erase(effect_jobs.begin() + long(k));
            break;
        }
    if (!job || end_job(job, status)) return;
    deferred.push_back({job, status});
    if (deferred.size() == 1 && mainform)
        XtAppAddTimeOut(XtWidgetToApplicationContext(mainform), 100, retry_deferred, nullptr);
}

namespace {

// A window's frame n through a segment pointer of the caller's.
int frame_of(WindowData *w, long long n, Segment **seg) {
    *seg = w->seg_current;
    return FrameCtrl(w, int(n), seg);
}

// Everything a failed EffectRun made: pieces, previews, names and the window.
void undo(WindowData *w, std::vector<FisicData *> &pieces) {
    for (FisicData *f : pieces)
        drop_piece(f);
    FreeSegments(w);
    delete w;
}

} // namespace

WindowData *EffectRun(int n, int join, int invert, int position) {
    if (isPlayActive) return nullptr;
    if (!first_window) return say("No clip selected"), nullptr;
    if (n < 1) n = 1;
    int a_off = 0, b_off = 0;
    if (position == EFFECT_BEFORE) b_off = -n;
    if (position == EFFECT_AFTER) a_off = n;
    WindowData *A = nullptr, *B = nullptr;
    int count = 0;
    for (WindowData *w = first_window; w; w = w->next)
        if (w->selected) {
            if (count == 0) A = w;
            if (count == 1) B = w;
            count++;
        }
    if (invert) std::swap(A, B);
    if ((A && !A->seg_first) || (B && !B->seg_first))
        return say("Cannot work on clips in progress"), nullptr;
    if (count != 2 || !A || !B) return say("Effect needs two clips selected"), nullptr;
    if (A->total < n || B->total < n) return say("Not enough frames to do effect."), nullptr;
    const int dir_a = A->out < A->in ? -1 : 1, dir_b = B->out < B->in ? -1 : 1;
    if (dir_a < 0) a_off = -a_off;
    if (dir_b < 0) b_off = -b_off;
    auto frame_a = [&](int i) {
        return dir_a > 0 ? (long long)A->out + a_off - n + 1 + i
                         : (long long)A->out + a_off + n - 1 - i;
    };
    auto frame_b = [&](int i) {
        return dir_b > 0 ? (long long)B->in + b_off + i : (long long)B->in + b_off - i;
    };
    for (int i : {0, n - 1})
        if (frame_a(i) < 0 || frame_a(i) >= A->total || frame_b(i) < 0 || frame_b(i) >= B->total)
            return say("Not enough frames to do effect.\nCheck in and out markers."), nullptr;
    if (A->width != B->width || A->height != B->height)
        return say("The clips have different sizes."), nullptr;
    for (int i = 0; i < n; i++) {
        Segment *sa = nullptr, *sb = nullptr;
        frame_of(A, frame_a(i), &sa);
        frame_of(B, frame_b(i), &sb);
        if (!sa || !sb || !sa->fisic || !sb->fisic || sa->fisic->busy.load() ||
            sb->fisic->busy.load())
            return say("Trying to link to unfinished effect.\nPlease try again in a few seconds."),
                   nullptr;
    }

    auto *W = new WindowData;
    long long pos = 0;
    int producing = 0, carry = 0;
    if (join && std::llabs((long long)A->out + a_off - A->in) >= n) {
        const int out = A->out;
        A->out = dir_a > 0 ? out - n + a_off : out + n + a_off;
        pos = JoinWindow(W, A, 0, DERIVE_COPY, 1, &producing, &carry);
        A->out = out;
        if (pos < 0) {
            FreeSegments(W);
            delete W;
            return say("Clip too long"), nullptr;
        }
    }

    std::unique_ptr<char, decltype(&free)> dir(DbGetDir(1), free);
    const std::string db_dir = dir ? dir.get() : "";
    std::vector<FisicData *> pieces;
    Segment *first_piece = nullptr, *last_piece = nullptr;
    EffectData *d = nullptr;
    EffectPreview preview;
    Segment *prev_a = nullptr, *prev_b = nullptr;
    FisicData *icon_clip = nullptr;
    SetWaitCursor(mainform);
    auto fail = [&]() -> WindowData * {
        delete d;
        SetDefaultCursor(mainform);
        undo(W, pieces);
        say("Error creating effect.");
        return nullptr;
    };
    auto close_piece = [&]() -> bool {
        if (!d) return true;
        if (!preview.Finish()) {
            EffectRemoveOutput(*d);
            ::unlink(preview.Path().c_str());
            return false;
        }
        FisicData *f = MakeEffectPiece(d, preview, icon_clip, W, int(pos) + d->first);
        d = nullptr;
        pieces.push_back(f);
        last_piece = RingLast(W);
        if (!first_piece) first_piece = last_piece;
        return true;
    };
    for (int i = 0; i < n; i++) {
        Segment *sa = nullptr, *sb = nullptr;
        const int pa = frame_of(A, frame_a(i), &sa);
        const int pb = frame_of(B, frame_b(i), &sb);
        if (i == 0 || sa != prev_a || sb != prev_b) {
            if (!close_piece()) return fail();
            d = new EffectData;
            d->n = n;
            d->first = i;
            SetEffectSource(d->a, sa, int(frame_a(i) - sa->offset), dir_a);
            SetEffectSource(d->b, sb, int(frame_b(i) - sb->offset), dir_b);
            EffectName name = EffectFileName(sa->fisic, sb->fisic, n, db_dir);
            d->out = name.out;
            d->tag = name.tag;
            icon_clip = sa->fisic;
            if (name.out.empty()) return fail();
            if (!preview.Open(name.preview)) {
                EffectRemoveOutput(*d);
                return fail();
            }
            prev_a = sa;
            prev_b = sb;
        }
        if (!RenderEffectFrame(effect_function, sa->fisic, pa, sb->fisic, pb, icon_clip->width,
                               icon_clip->height, i, n, preview)) {
            d->length = i - d->first + 1;
            EffectRemoveOutput(*d);
            ::unlink(preview.Path().c_str());
            return fail();
        }
        d->length = i - d->first + 1;
    }
    if (!close_piece()) return fail();
    pos += n;
    if (join && std::llabs((long long)B->out - B->in - b_off) >= n) {
        const int in = B->in;
        B->in = dir_b > 0 ? in + n + b_off : in - n + b_off;
        const long long end = JoinWindow(W, B, pos, DERIVE_COPY, 1, &producing, &carry);
        B->in = in;
        if (end < 0) return fail();
        pos = end;
    }
    char head[64];
    std::snprintf(head, sizeof head, "%s%d(", effect_code.c_str(), n);
    const std::string name = head + WindowTitle(A) + "," + WindowTitle(B) + ")";
    InitDerivedWindow(W, int(pos));
    W->start = 0;
    // The job starts before the window is shown, so that a failure leaves
    // nothing on the desktop.
    if (!StartEffectProcess(W, first_piece, last_piece)) {
        SetDefaultCursor(mainform);
        undo(W, pieces);
        say("Error creating process");
        return nullptr;
    }
    LoadFirstFrame(W);
    CreaWidget(W, -1, 0, 0, -1, strdup(name.c_str()));
    if (!first_window) first_window = W;
    if (!first_work) first_work = W;
    if (last_window) last_window->next = W;
    last_window = W;
    SetFrameColor(W, long(BUSY_YEL));
    SetDefaultCursor(mainform);
    return W;
}

void InstallEffectHooks() {
    job_type_hooks[JOB_EFFECT].finish = finish;
}

#define EFFECT_COMMAND(name, function, code, title)                                                \
    ORVA_COMMAND(name) {                                                                           \
        (void)w, (void)client_data, (void)call_data;                                               \
        SetEffect(function, code);                                                                 \
        EffectDialog(title);                                                                       \
    }

EFFECT_COMMAND(SoftNewWin, SoftcutEffect, "SC", "Effect - Softcut")
EFFECT_COMMAND(TendinaLR, WipeLREffect, "WP", "Effect - Wipe L->R")
EFFECT_COMMAND(TendinaRL, WipeRLEffect, "WP", "Effect - Wipe R->L")
EFFECT_COMMAND(TendinaUD, WipeTBEffect, "WP", "Effect - Wipe T->B")
EFFECT_COMMAND(TendinaDU, WipeBTEffect, "WP", "Effect - Wipe B->T")

ORVA_COMMAND(UserEffect) {
    (void)w, (void)call_data;
    SetEffect(reinterpret_cast<EffectFunc>(client_data), "UE");
    EffectDialog("User effect");
}
