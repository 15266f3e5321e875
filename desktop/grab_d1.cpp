// "Grab D1": the ranges of the grab list grabbed uncompressed, frame by
// frame, into image files and an image-clip log each, as a VTR job. The job
// writes the frame files and the logs; the clips and their windows are made
// by the end routine in the main thread.
#include <Xm/Text.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/globals.h"
#include "desktop/grab.h"
#include "device/sv.h"
#include "editing/clip_remove.h"
#include "editing/import.h"
#include "media/clip_log.h"
#include "media/img_util.h"
#include "media/video_globals.h"
#include "platform/jobs.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "ui/widgets.h"
#include "vtr/grab_job.h"
#include "vtr/grab_names.h"
#include "vtr/vtr_env.h"
#include "vtr/vtr_panel.h"
#include "vtr/vtr_panel_internal.h"

namespace {

// Values kept between uses of the dialog.
int kept_step = 1;
int kept_format = 1; // Targa

// Index of a D1 format's extension in the picture-sequence extensions.
const int kSeqExt[D1_FORMATS] = {0, 1, 2, 4};

struct D1Run {
    D1Job job;
    std::vector<D1RangeFiles> ranges;
    std::string db;
};
D1Run *d1_run = nullptr;
Pixel d1_plain = 0;

// Appends the part's tables after the thumbnails and writes the header.
bool complete_log(const D1Job &job, const D1RangeFiles &range, const D1Result &r, int fd) {
    const int frames = int(r.thumbs.size());
    if (frames < 1) return false;
    const int entries = clip_log_table_entries(frames, 1);
    std::vector<int> sizes(size_t(entries), 0), offsets(size_t(entries), 0);
    int64_t at = 0;
    for (int i = 0; i < frames; ++i) {
        sizes[size_t(i)] = r.thumbs[size_t(i)];
        offsets[size_t(i)] = int(at);
        at += r.thumbs[size_t(i)];
    }
    const std::vector<unsigned char> tail = clip_log_tables_bytes(sizes, offsets);
    if (write(fd, tail.data(), tail.size()) != ssize_t(tail.size())) return false;
    ClipLogHeader h;
    h.parts = 1;
    h.complete = 1;
    h.width = VIDEO_SIZEX / 4;
    h.height = VIDEO_SIZEY / 4;
    h.frames = frames;
    h.picture = true;
    h.first = 1;
    h.step = job.step;
    h.last = 1 + (frames - 1) * job.step;
    h.ext = kSeqExt[job.format];
    h.style = job.style;
    h.tag = range.tag;
    h.pattern = range.pattern;
    return clip_log_write_header(range.log.c_str(), h);
}

void d1_body(void *data) {
    auto *run = static_cast<D1Run *>(data);
    SetD1_MODE();
    D1Job &job = run->job;
    job.results.assign(job.entries.size(), D1Result{});
    std::vector<unsigned char> frame(static_cast<size_t>(device_frame_bytes()));
    for (size_t i = 0; i < job.entries.size(); ++i) {
        if (JobStopRequested()) break;
        GrabD1Range(&job, i, &frame, run->db, &run->ranges[i]);
        if (job.results[i].running) break;
    }
}

// The frame files of a stopped range go, up to the first one in use.
void remove_range(const D1Run &run, const D1RangeFiles &range, const TcEntry &e) {
    const int count = Count_Frames(e.in, e.out);
    const char *ext = D1FormatExtension(run.job.format);
    for (int i = 1; i <= count; i += run.job.step) {
        if (InUseImg(range.pattern.c_str(), run.job.style, kSeqExt[run.job.format], i)) break;
        const std::string name =
            D1FrameName(run.job.base, uint32_t(tc2frames(e.in)), run.job.style, i, ext);
        unlink(name.c_str());
    }
    if (!range.part.empty()) unlink(range.part.c_str());
    if (!range.log.empty()) unlink(range.log.c_str());
}

void d1_end(int aborted) {
    D1Run *run = d1_run;
    d1_run = nullptr;
    if (vtr_panel.grab) XtVaSetValues(vtr_panel.grab, XmNbackground, d1_plain, NULL);
    std::string errors;
    for (size_t i = 0; run && i < run->job.results.size(); ++i) {
        const D1Result &r = run->job.results[i];
        const D1RangeFiles &range = run->ranges[i];
        const TcEntry &e = run->job.entries[i];
        if (r.skipped) continue;
        if (r.running) {
            remove_range(*run, range, e);
            continue;
        }
        FisicData *clip = range.logged ? ImageLogClip(range.log.c_str()) : nullptr;
        std::string base = range.pattern;
        const char *name = GetName(base.data());
        if (clip) {
            UpdateLog(clip);
            const std::string title = std::string(" GD1(") + name + ")";
            AddWindowData(clip, 0, strdup(title.c_str()), 0);
        }
        int status = 0;
        if (!clip && !range.pattern.empty()) {
            status = 1;
            char in[12], out[12], dev[128];
            vtr_tc2asc(e.in, in);
            vtr_tc2asc(e.out, out);
            if (errors.empty())
                errors = std::string("Grab error:\n") +
                         SvErrorText(r.error ? r.error : 13, dev, sizeof dev) +
                         "Can't resume clip:";
            errors += std::string("\n") + name + " " + in + " " + out;
        }
        if (int(i) <= Items_In_List) tc_list[i].status = uint32_t(status);
    }
    if (!errors.empty()) PutCharMessage(mainform, errors.c_str());
    if (aborted && vtr_board) sv_stop(vtr_board);
    delete run;
    VtrStop();
    vtr_state = SV_MASTER_STOP;
    VtrHighlight(SV_MASTER_STOP);
}

struct D1Dialog {
    Widget dialog = nullptr, step = nullptr;
    Widget formats[D1_FORMATS] = {};
};

void ok_cb(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<D1Dialog *>(client);
    char *text = XmTextGetString(d->step);
    const int step = text ? atoi(text) : 1;
    XtFree(text);
    kept_step = step < 1 ? 1 : step;
    for (int i = 0; i < D1_FORMATS; ++i)
        if (XmToggleButtonGetState(d->formats[i])) kept_format = i;
    XtDestroyWidget(XtParent(d->dialog));
    Grab_D1();
}

void cancel_cb(Widget, XtPointer client, XtPointer) {
    XtDestroyWidget(XtParent(static_cast<D1Dialog *>(client)->dialog));
}

void destroyed(Widget, XtPointer client, XtPointer) {
    delete static_cast<D1Dialog *>(client);
}

} // namespace

int D1FormatOfSeqExt(int ext) {
    for (int f = 0; f < D1_FORMATS; ++f)
        if (kSeqExt[f] == ext) return f;
    return -1;
}

void GrabD1Range(D1Job *job, size_t i, std::vector<unsigned char> *frame, const std::string &db,
                 D1RangeFiles *range) {
    D1Result &r = job->results[i];
    const char *dir = db.c_str();
    char in_hex[16];
    snprintf(in_hex, sizeof in_hex, "_%x", unsigned(tc2frames(job->entries[i].in)));
    range->pattern = job->base + in_hex;
    range->tag = PicClipNum(dir, range->pattern.c_str());
    std::unique_ptr<char, decltype(&free)> log(PicLogName(dir, range->pattern.c_str(), range->tag),
                                               free);
    std::unique_ptr<char, decltype(&free)> part(
        PicClipName(dir, range->pattern.c_str(), range->tag, 1), free);
    if (range->tag < 0 || !log || !part) {
        r.error = 8;
        return;
    }
    range->log = log.get();
    range->part = part.get();
    const int fd =
        open(range->part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        r.error = 8;
        return;
    }
    job->log_fd = fd;
    Do_Grab_D1(job, job->entries[i], frame, &r);
    if (!r.running && !r.error && !r.skipped) range->logged = complete_log(*job, *range, r, fd);
    close(fd);
    job->log_fd = -1;
    if (!range->logged && !r.running) unlink(range->part.c_str());
}

void VtrImport() {
    if (!vtr_board || isPlayActive) return;
    auto *d = new D1Dialog;
    d->dialog = CreaDialog(mainform, "Grab D1", "effect", 200, 360, 1, 0);
    XtAddCallback(d->dialog, XmNdestroyCallback, destroyed, d);
    CreaLabel(d->dialog, 20, 25, "Step:");
    char value[16];
    snprintf(value, sizeof value, "%i", kept_step);
    d->step = CreaText(d->dialog, 80, 20, 100, 35, value, 16, nullptr);
    Widget box = CreaRadioBox(d->dialog, 40, 80, XmVERTICAL);
    const char *const names[D1_FORMATS] = {"Korvendal", "Targa", "SGI", "YUV"};
    for (int i = 0; i < D1_FORMATS; ++i)
        d->formats[i] = CreaToggle(box, names[i]);
    XmToggleButtonSetState(d->formats[kept_format], True, False);
    Widget ok = CreaBottoneXYName(d->dialog, "OK", 20, 300, 70, 35, "OK");
    Widget cancel = CreaBottoneXYName(d->dialog, "Cancel", 110, 300, 70, 35, "Cancel");
    XtAddCallback(ok, XmNactivateCallback, ok_cb, d);
    XtAddCallback(cancel, XmNactivateCallback, cancel_cb, d);
    // Return confirms.
    XtVaSetValues(d->dialog, XmNdefaultButton, ok, NULL);
    XtManageChild(d->dialog);
}

void VtrImportOK() {
    // The dialog's OK as a command: the kept step and format.
    Grab_D1();
}

void Grab_D1() {
    if (!vtr_board || VtrJobPid() > 0) return;
    if (!DbGetName()) {
        PutCharMessage(mainform, "No database selected");
        return;
    }
    if (Items_In_List < 0) {
        PutCharMessage(mainform, "No items in list");
        return;
    }
    std::string reel = VtrReelName();
    const std::string tape = GetName(reel.data());
    if (!TapeNameOk(tape)) return;
    delete d1_run; // one whose start was declined
    auto *run = new D1Run;
    run->db = DbGetDir(0);
    run->job.sv = vtr_board;
    run->job.base = run->db + "IMAGES/" + tape;
    run->job.step = kept_step;
    run->job.format = kept_format;
    run->job.style = 0;
    run->job.entries.assign(tc_list, tc_list + Items_In_List + 1);
    run->ranges.resize(run->job.entries.size());
    d1_run = run;
    if (vtr_panel.grab) {
        XtVaGetValues(vtr_panel.grab, XmNbackground, &d1_plain, NULL);
        XtVaSetValues(vtr_panel.grab, XmNbackground, YEL_COL, NULL);
    }
    vtr_state = SV_MASTER_PLAY;
    VtrHighlight(SV_MASTER_PLAY);
    StartVtrProcess("Grab D1", d1_body, run, d1_end);
}
