// Job types 5 (play-sequence preparation) and 7 (VTR jobs) as the process
// table sees them, and the collecting step that prepares play reels before
// the master area goes out to the board.
//
// The preparation closes the pause gate (semaphore 0) itself for as long as
// it runs, so no other job competes with it for the disk; it never waits at
// the gate but checks for a stop between frames. Stopped, it opens the gate
// and leaves no output and no continuation.
#include "desktop/invert_process.h"

#include <Xm/MessageB.h>
#include <unistd.h>

#include "database/db_list.h"
#include "database/defaults_file.h"
#include "desktop/clip_model.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "editing/clip_records.h"
#include "editing/play_reel.h"
#include "media/fm_main.h"
#include "platform/jobs.h"
#include "platform/sem.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "vtr/timeline.h"
#include "vtr/vtr_panel.h"

namespace {

Widget invert_dialog = nullptr;
int invert_pid = -1;
int invert_fields_on = 0; // "Invert fields" as the job started

int start_vtr_job(void (*fn)(void *), void *data) {
    const int entry = Sproc(fn, data, JOB_VTR);
    return entry < 0 ? -1 : pidData[entry].pid.load();
}

void vtr_finish(int, int) {
    EndVtrProcess();
}

void invert_finish(int, int pid) {
    EndInvertProcess(pid);
}

void invert_body(void *) {
    for (auto &job : play_jobs) {
        JobCheckStop();
        job->output = PlayReelName(job->clip);
        if (job->output.empty() || job->clip->busy.load()) continue;
        if (BuildPlayReel(job.get(), 1, invert_fields_on)) job->done = 1;
    }
}

void stop_pressed(Widget, XtPointer, XtPointer) {
    StopInvertProcess();
}

void dialog_gone(Widget, XtPointer, XtPointer) {
    invert_dialog = nullptr;
}

void close_dialog() {
    if (!invert_dialog) return;
    Widget shell = XtParent(invert_dialog);
    XtDestroyWidget(XtIsShell(shell) ? shell : invert_dialog);
    invert_dialog = nullptr;
}

// True for a segment whose frames the board cannot play as stored.
bool needs_play_reel(const Segment *s) {
    if (!s->fisic || s->fisic->pic || !s->fisic->path) return false;
    return s->last < s->first || (s->map && s->period != 0);
}

// Makes the new clip of a finished job and points the windows at it; false
// when the reel cannot be opened.
bool adopt(PlayJob *job) {
    int status = 0;
    FisicData *clip = CreaFisicData(job->output.c_str(), 1, &status);
    if (!clip || status != 1) return false;
    for (WindowData *w = first_window; w; w = w->next)
        RelinkToPlayReel(w, job, clip);
    if (summa_window) RelinkToPlayReel(summa_window, job, clip);
    AddFirstFisic(clip);
    SemSet(1, 0);
    SemSet(2, 0);
    return true;
}

} // namespace

void InstallVtrHooks() {
    VtrSprocHook = start_vtr_job;
    job_type_hooks[JOB_VTR].finish = vtr_finish;
    job_type_hooks[JOB_INVERT].finish = invert_finish;
}

void PreparePlaySequences(void (*continuation)()) {
    if (isPlayActive || !play_jobs.empty()) return;
    if (summa_window && summa_window->seg_first) {
        int in = 0, out = 0;
        TmGetInOut(&in, &out);
        Segment *s = summa_window->seg_first;
        do {
            const int length = std::abs(s->last - s->first) + 1;
            const bool inside = s->offset <= out && s->offset + length - 1 >= in;
            if (inside && needs_play_reel(s)) {
                if (!invert_dialog) {
                    invert_dialog = WaitMessage(mainform, "Working",
                                                "Preparing sequences.\nClick stop to abort", "Stop",
                                                stop_pressed, nullptr, 0, 0);
                    if (invert_dialog)
                        XtAddCallback(invert_dialog, XmNdestroyCallback, dialog_gone, nullptr);
                }
                AddInvertProcess(s, invert_dialog, continuation);
            }
            s = s->next;
        } while (s && s != summa_window->seg_first);
    }
    if (play_jobs.empty()) {
        continuation();
        return;
    }
    if (!SprocInvertSvj()) {
        close_dialog();
        play_jobs.clear();
        PutCharMessage(mainform, "Error creating inverted sequence");
    }
}

int SprocInvertSvj() {
    if (play_jobs.empty()) return 0;
    invert_fields_on = defaults[DEF_INVERT];
    SemSet(0, 1);
    VtrPanelSetBusy(1);
    const int entry = Sproc(invert_body, nullptr, JOB_INVERT);
    if (entry < 0) {
        VtrPanelSetBusy(0);
        SemSet(0, 0);
        return 0;
    }
    invert_pid = pidData[entry].pid.load();
    play_jobs.front()->pid = invert_pid;
    return 1;
}

void StopInvertProcess() {
    close_dialog();
    for (auto &job : play_jobs) {
        job->continuation = nullptr;
        if (job->pid != -1) JobStop(job->pid);
    }
    SemSet(0, 0);
}

void EndInvertProcess(int pid) {
    if (play_jobs.empty() || play_jobs.front()->pid != pid) return;
    void (*continuation)() = nullptr;
    for (auto &job : play_jobs) {
        continuation = job->continuation;
        if (job->output.empty()) continue;
        // A stopped preparation leaves nothing behind.
        const bool stopped = job->continuation == nullptr;
        if (stopped || !job->done || !adopt(job.get())) ::unlink(job->output.c_str());
    }
    close_dialog();
    play_jobs.clear();
    invert_pid = -1;
    VtrPanelSetBusy(0);
    SemSet(0, 0);
    if (continuation) continuation();
}
