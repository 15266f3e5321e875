// "Grab": the ranges of the grab list recorded from tape into one reel each,
// as a VTR job. The job body (vtr/grab_job.h) only records and fills its
// result table; clip records, windows, the grab list's status words and the
// messages are this end routine's, in the main thread.
#include "desktop/grab.h"

#include <Xm/Xm.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/globals.h"
#include "desktop/invert_process.h"
#include "device/sv.h"
#include "platform/sem.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "vtr/grab_job.h"
#include "vtr/grab_names.h"
#include "vtr/vtr_env.h"
#include "vtr/vtr_panel.h"
#include "vtr/vtr_panel_internal.h"

namespace {

struct GrabRun {
    GrabJob job;
    std::atomic<bool> stop{false};
};
GrabRun *grab_run = nullptr;
Pixel grab_plain = 0;

void grab_body(void *data) {
    auto *run = static_cast<GrabRun *>(data);
    SetSVJ_MODE();
    RunGrabJob(&run->job);
}

// The open reel of that file, when one is free to share.
FisicData *open_reel(const std::string &name) {
    for (FisicData *c = first_fisic; c; c = c->next)
        if (!c->busy && !c->pic && c->path && name == c->path) return c;
    return nullptr;
}

// Adds one problem line to a warning or error text, starting it first.
void add_problem(std::string *text, const char *head, const char *tail, int code,
                 const std::string &line) {
    if (text->empty()) {
        char dev[128];
        *text = std::string(head) + SvErrorText(code, dev, sizeof dev) + tail;
    }
    *text += "\n" + line;
}

void clear_good(Widget, XtPointer, XtPointer) {
    VtrListRemoveGood();
}

void grab_end(int aborted) {
    GrabRun *run = grab_run;
    grab_run = nullptr;
    if (vtr_panel.grab) XtVaSetValues(vtr_panel.grab, XmNbackground, grab_plain, NULL);
    std::string warnings, errors;
    int good = 0;
    for (size_t i = 0; run && i < run->job.results.size(); ++i) {
        const GrabResult &r = run->job.results[i];
        const TcEntry &e = run->job.entries[i];
        if (r.skipped) continue;
        if (r.running) {
            // Cut by the stop: whatever was written of the range goes.
            if (!r.name.empty()) unlink(r.name.c_str());
            continue;
        }
        if (r.name.empty()) continue; // not reached before the stop
        FisicData *clip = nullptr;
        if (r.has_reel) {
            clip = r.recorded ? nullptr : open_reel(r.name);
            if (!clip) {
                int status = 0;
                FisicData *made = CreaFisicData(r.name.c_str(), r.recorded, &status);
                if (made && (status == 1 || status == 2)) {
                    made->dir = DbGetDir(1);
                    AddFirstFisic(made);
                    clip = made;
                } else if (made) {
                    FreeFisicData(made);
                }
            }
        }
        const std::string base = GrabReelBaseName(r.name);
        if (clip) {
            const std::string title = " GSV(" + base + ")";
            AddWindowData(clip, 0, strdup(title.c_str()), 0);
        }
        char in[12], out[12];
        vtr_tc2asc(e.in, in);
        vtr_tc2asc(e.out, out);
        const std::string line = base + " " + in + " " + out;
        const bool warning = r.error == 31 || r.error == 22;
        int status = 0;
        if (!clip) {
            // No reel came of the range: never counted as grabbed.
            status = 1;
            if (r.error && !warning) {
                struct stat st {};
                if (lstat(r.name.c_str(), &st) == 0) unlink(r.name.c_str());
            }
            add_problem(&errors, "Grab error:\n", "Can't resume clip:", r.error ? r.error : 8,
                        line);
        } else if (r.error && !warning) {
            status = 1;
            add_problem(&errors, "Grab error:\n", "Can't resume clip:", r.error, line);
        } else if (warning) {
            add_problem(&warnings, "Grab warning:\n", "Trying to resume clip:", r.error, line);
        } else {
            ++good;
        }
        if (int(i) <= Items_In_List) tc_list[i].status = uint32_t(status);
    }
    std::string text = warnings;
    if (!errors.empty()) text = warnings.empty() ? errors : warnings + "\n\n" + errors;
    if (!errors.empty() && good > 0) {
        text += "\n\nClear the well grabbed from the list?";
        Warning(mainform, text.c_str(), clear_good, nullptr, nullptr, nullptr);
    } else if (!text.empty()) {
        PutCharMessage(mainform, text.c_str());
    }
    if (aborted && vtr_board) sv_stop(vtr_board);
    delete run;
    VtrStop();
    vtr_state = SV_MASTER_STOP;
    VtrHighlight(SV_MASTER_STOP);
    // Wake the log converter for the new reels.
    SemSet(1, 0);
    SemSet(2, 0);
}

// Disp and Rec go on once the preparation of play reels has finished; the
// preparation calls back through a plain function, so the step to go on with
// waits here.
std::function<void()> prepared_then;

void run_prepared() {
    std::function<void()> then = std::move(prepared_then);
    prepared_then = nullptr;
    if (then) then();
}

void prepare_then(std::function<void()> then) {
    prepared_then = std::move(then);
    PreparePlaySequences(run_prepared);
}

} // namespace

void InstallGrabHooks() {
    VtrGrabHook = VtrGrab;
    VtrDispHook = VtrDisp;
    VtrRecHook = VtrRec;
    VtrPrepareHook = prepare_then;
}

void (*VtrPrepareHook)(std::function<void()> then) = nullptr;

void VtrGrab() {
    if (!vtr_board || VtrJobPid() > 0) return;
    // A run whose start was declined at the question about the database.
    delete grab_run;
    grab_run = nullptr;
    if (Items_In_List < 0) {
        PutCharMessage(mainform, "No items in list");
        return;
    }
    if (!DbGetName()) {
        PutCharMessage(mainform, "No database selected");
        return;
    }
    const std::string quality = VtrQuality();
    if (quality == "D1") {
        VtrImport();
        return;
    }
    const int q = atoi(quality.c_str());
    if (q < 1 || q > 100 || sv_quality(vtr_board, q) != 0) {
        PutCharMessage(mainform, "Quality problems");
        return;
    }
    std::string reel = VtrReelName();
    const std::string tape = GetName(reel.data());
    if (!TapeNameOk(tape)) return;
    auto *run = new GrabRun;
    run->job.sv = vtr_board;
    run->job.base = std::string(DbGetDir(0)) + "SVJ/" + tape;
    run->job.quality = q;
    run->job.entries.assign(tc_list, tc_list + Items_In_List + 1);
    run->job.stop = &run->stop;
    grab_run = run;
    if (vtr_panel.grab) {
        XtVaGetValues(vtr_panel.grab, XmNbackground, &grab_plain, NULL);
        XtVaSetValues(vtr_panel.grab, XmNbackground, YEL_COL, NULL);
    }
    vtr_state = SV_MASTER_PLAY;
    VtrHighlight(SV_MASTER_PLAY);
    StartVtrProcess("Grab", grab_body, run, grab_end);
}
