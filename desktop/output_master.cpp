// "Disp" and "Rec": the master area played out through the board, or laid
// onto tape between the In and Out marks, as VTR jobs. The job works on a
// copy of the summa window's sequences taken before it starts, each holding
// one more use of its clip, so the desktop may change while it runs.
#include "desktop/grab.h"

#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "desktop/clip_model.h"
#include "desktop/globals.h"
#include "device/sv.h"
#include "editing/frame_map.h"
#include "editing/image_seq.h"
#include "media/img_pic.h"
#include "media/img_sgi.h"
#include "media/img_tga.h"
#include "media/img_util.h"
#include "media/img_yuv.h"
#include "media/video_globals.h"
#include "platform/jobs.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "vtr/timecode.h"
#include "vtr/timeline.h"
#include "vtr/vtr_panel.h"
#include "vtr/vtr_panel_internal.h"

namespace {

// One sequence of the master area as the job plays it.
struct OutSeq {
    FisicData *clip = nullptr; // one use held for the job
    int first = 0;             // first source frame in play order
    int count = 0;             // window frames
    int step = 1;              // +1 forwards, -1 backwards
    bool held = false;         // one source frame repeated
};

struct OutRun {
    sv_handle *sv = nullptr;
    bool record = false;
    Timecode in = 0, out = 0;
    int in_marked = 0, out_marked = 0;
    std::vector<OutSeq> seqs;
    // Written by the job, read by the end routine.
    int device_error = 0;
    int skipped_images = 0;
    int laid = 0;
};
OutRun *out_run = nullptr;
Pixel out_plain = 0;
Widget out_button = nullptr;

bool held_segment(const Segment *s) {
    return s->map && s->map_len == 1 && s->period == 0;
}

// The sequences of the summa window whose start lies in the timeline's
// range; each takes one use of its clip.
std::vector<OutSeq> take_sequences() {
    std::vector<OutSeq> out;
    if (!summa_window || !summa_window->seg_first) return out;
    int in = 0, last = 0;
    TmGetInOut(&in, &last);
    Segment *s = summa_window->seg_first;
    do {
        if (s->fisic && s->offset >= in && s->offset <= last) {
            OutSeq q;
            q.clip = s->fisic;
            q.count = (s->last >= s->first ? s->last - s->first : s->first - s->last) + 1;
            q.held = held_segment(s);
            q.first = PlayCtrl(s, 0);
            q.step = !q.held && s->last < s->first ? -1 : 1;
            s->fisic->refs++;
            out.push_back(q);
        }
        s = s->next;
    } while (s && s != summa_window->seg_first);
    return out;
}

void release(OutRun *run) {
    for (OutSeq &q : run->seqs)
        if (q.clip) q.clip->refs--;
    delete run;
}

// True when a sequence takes its frames from a clip still being produced.
bool effects_running(const std::vector<OutSeq> &seqs) {
    for (const OutSeq &q : seqs)
        if (q.clip->busy) return true;
    return false;
}

bool stop_asked() {
    return JobStopRequested();
}

// Keeps the held frame on the output for count frames of the clock.
void hold_for(int count) {
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(int64_t(count) * 100 / (fps > 0 ? fps : 25) * 10);
    while (std::chrono::steady_clock::now() < end && !stop_asked())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Reads frame `frame` (0-based) of an image clip into a device frame.
bool read_image_frame(const FisicData *clip, int frame, std::vector<unsigned char> *buf) {
    const ImageLogInfo *pic = clip->pic;
    if (!pic->pattern) return false;
    int (*read)(const char *, int, int, unsigned char *) = nullptr;
    switch (pic->ext) {
    case 0:
        read = pic_to_buffer;
        break;
    case 1:
        read = tga_to_buffer;
        break;
    case 2:
        read = sgi_to_buffer;
        break;
    case 4:
        read = yuv_to_buffer;
        break;
    default:
        return false;
    }
    const std::string name =
        ImgFrameName(pic->pattern, pic->style, pic->ext, pic->first + frame * pic->step);
    buf->resize(static_cast<size_t>(device_frame_bytes()));
    return !name.empty() && read(name.c_str(), VIDEO_SIZEX, VIDEO_SIZEY, buf->data()) == 1;
}

void note(OutRun *run, int rc) {
    if (rc != 0 && !run->device_error) run->device_error = rc;
}

// The frames each sequence plays, cut at Out when both marks are set.
int frames_allowed(const OutRun &run) {
    if (!(run.in_marked && run.out_marked)) return -1;
    return Count_Frames(run.in, run.out);
}

void output_body(void *data) {
    auto *run = static_cast<OutRun *>(data);
    sv_handle *sv = run->sv;
    int total = 0;
    for (const OutSeq &q : run->seqs)
        total += q.count;
    int allowed = frames_allowed(*run);
    if (run->in_marked && run->out_marked && allowed < 1) return;
    Timecode start = run->in;
    if (run->record && !run->in_marked) {
        // Only Out marked: the material ends at Out.
        start = TcAddFrames(run->out, -total);
        allowed = -1;
    }
    std::vector<unsigned char> image;
    for (const OutSeq &q : run->seqs) {
        if (stop_asked()) break;
        int count = q.count;
        bool last = false;
        if (allowed >= 0 && run->laid + count >= allowed) {
            count = allowed - run->laid;
            last = true;
        }
        if (count < 1) break;
        const Timecode at = TcAddFrames(start, run->laid);
        if (q.clip->pic && !q.held && q.count > 1) {
            // Uncompressed frames cannot go out at the board's rate.
            ++run->skipped_images;
            run->laid += count;
            if (last) break;
            continue;
        }
        if (q.clip->pic) {
            // One image frame, shown from its file.
            if (!read_image_frame(q.clip, q.first, &image)) {
                note(run, 7); // the board library's "couldn't open file"
            } else if (run->record) {
                note(run, sv_display(sv, image.data(), int(image.size()), VIDEO_SIZEX, VIDEO_SIZEY,
                                     0, 1, 0));
                note(run, sv_vtredit(sv, at, count));
                note(run, sv_wait(sv, 0));
            } else {
                note(run, sv_display(sv, image.data(), int(image.size()), VIDEO_SIZEX, VIDEO_SIZEY,
                                     0, q.held ? 1 : 0, 0));
                if (!q.held) {
                    note(run, sv_stop(sv));
                    note(run, sv_wait(sv, 0));
                } else {
                    hold_for(count);
                    note(run, sv_stop(sv));
                    note(run, sv_wait(sv, 0));
                }
            }
            run->laid += count;
            if (last) break;
            continue;
        }
        const char *path = q.clip->path;
        if (run->record) {
            if (q.held) {
                note(run, sv_jpeg_display_file(sv, path, q.first, 0, 0));
                note(run, sv_vtredit(sv, at, count));
            } else {
                const int first = q.step > 0 ? q.first : q.first - count + 1;
                note(run, sv_jpeg_display_file(sv, path, first, count, at));
            }
            note(run, sv_wait(sv, 0));
        } else if (q.held) {
            note(run, sv_jpeg_display_file(sv, path, q.first, 0, 0));
            hold_for(count);
            note(run, sv_stop(sv));
            note(run, sv_wait(sv, 0));
        } else {
            const int first = q.step > 0 ? q.first : q.first - count + 1;
            note(run, sv_jpeg_display_file(sv, path, first, count, 0));
            note(run, sv_wait(sv, 0));
        }
        run->laid += count;
        if (last) break;
    }
    if (run->record && !stop_asked()) {
        note(run, sv_wait(sv, 0));
        note(run, sv_stop(sv));
        note(run, sv_wait(sv, 0));
    }
}

void output_end(int aborted) {
    OutRun *run = out_run;
    out_run = nullptr;
    if (out_button) XtVaSetValues(out_button, XmNbackground, out_plain, NULL);
    if (aborted && vtr_board) sv_stop(vtr_board);
    VtrStop();
    if (run) {
        if (run->device_error) {
            PutCharMessage(mainform, run->record ? "Record error" : "Display error");
        } else if (run->skipped_images) {
            PutCharMessage(mainform, "D1 sequences cannot be\nplayed in realtime.");
        }
        release(run);
    }
}

// A mark's timecode word from its field.
Timecode field_word(Widget text) {
    Timecode w = 0;
    if (!text) return w;
    char *t = XmTextGetString(text);
    if (t && is_valid_tc(t)) vtr_asc2tc(t, &w);
    XtFree(t);
    return w;
}

void start_output(bool record) {
    // The preparation may have changed the summa window: take it now.
    auto *run = new OutRun;
    run->sv = vtr_board;
    run->record = record;
    run->seqs = take_sequences();
    run->in_marked = in_set;
    run->out_marked = out_set;
    run->in = field_word(vtr_panel.in_text);
    run->out = field_word(vtr_panel.out_text);
    if (run->seqs.empty()) {
        release(run);
        PutCharMessage(mainform, "No clips in master area");
        return;
    }
    if (out_run) release(out_run); // one whose start was declined
    out_run = run;
    out_button = record ? vtr_panel.rec : vtr_panel.disp;
    if (out_button) {
        XtVaGetValues(out_button, XmNbackground, &out_plain, NULL);
        XtVaSetValues(out_button, XmNbackground, YEL_COL, NULL);
    }
    StartVtrProcess(record ? "Record" : "Display", output_body, run, output_end);
}

void output(bool record) {
    if (!vtr_board || VtrJobPid() > 0) return;
    if (!summa_window || !summa_window->seg_first) {
        PutCharMessage(mainform, "No clips in master area");
        return;
    }
    if (record && !in_set && !out_set) {
        PutCharMessage(mainform, "No in/out timecode");
        return;
    }
    sv_stop(vtr_board);
    vtr_state = SV_MASTER_STOP;
    VtrHighlight(SV_MASTER_STOP);
    {
        std::vector<OutSeq> seqs = take_sequences();
        const bool busy = effects_running(seqs);
        for (OutSeq &q : seqs)
            q.clip->refs--;
        if (busy) {
            PutCharMessage(mainform,
                           "Effect process still running.\nPlease try again in a few seconds.");
            return;
        }
    }
    if (VtrPrepareHook)
        VtrPrepareHook([record] { start_output(record); });
    else
        start_output(record);
}

} // namespace

void VtrDisp() {
    output(false);
}

void VtrRec() {
    output(true);
}
