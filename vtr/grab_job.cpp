// The body of a compressed grab (see grab_job.h).
#include "vtr/grab_job.h"

#include "device/sv.h"
#include "media/img_pic.h"
#include "media/img_sgi.h"
#include "media/img_tga.h"
#include "media/img_util.h"
#include "media/img_yuv.h"
#include "media/svj.h"
#include "media/video_globals.h"
#include "platform/jobs.h"
#include "vtr/grab_names.h"
#include "vtr/timecode.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

template <typename Job> bool stop_asked(const Job &job) {
    return (job.stop && job.stop->load()) || JobStopRequested();
}

// 1 when name opens as a reel, 0 when it does not exist, -1 when something
// else is there.
int reel_state(const std::string &name) {
    struct stat st {};
    if (lstat(name.c_str(), &st) != 0) return errno == ENOENT ? 0 : -1;
    svj_handle *h = S_ISREG(st.st_mode) ? svj_open(name.c_str()) : nullptr;
    if (h == nullptr) return -1;
    svj_close(h);
    return 1;
}

} // namespace

int RunGrabJob(GrabJob *job) {
    job->results.assign(job->entries.size(), GrabResult{});
    int recorded = 0;
    for (size_t i = 0; i < job->entries.size(); ++i) {
        if (stop_asked(*job)) break;
        const TcEntry &e = job->entries[i];
        GrabResult &r = job->results[i];
        const int count = Count_Frames(e.in, e.out);
        if (count < 1) {
            r.skipped = 1;
            continue;
        }
        r.name = GrabReelName(job->base, uint32_t(tc2frames(e.in)), uint32_t(tc2frames(e.out)),
                              job->quality);
        const int state = reel_state(r.name);
        if (state == 1) {
            r.has_reel = 1;
            continue;
        }
        // Left by a crash or a failed grab: not a reel, so grabbed again.
        if (state < 0 && unlink(r.name.c_str()) != 0) {
            r.error = 8; // the board library's "couldn't create file"
            continue;
        }
        r.running = 1;
        r.error = sv_jpeg_record_file(job->sv, r.name.c_str(), 0, count, e.in);
        const bool kept = r.error == 0 || r.error == 31 || r.error == 22;
        if (!kept && stop_asked(*job)) {
            // Cut by the stop: the range stays marked running and leaves no file.
            unlink(r.name.c_str());
            break;
        }
        r.running = 0;
        r.has_reel = kept && reel_state(r.name) == 1;
        r.recorded = r.has_reel;
        if (r.has_reel) ++recorded;
    }
    return recorded;
}

namespace {

// Readers and writers of device frames for each D1 format.
struct D1Format {
    const char *ext;
    int (*read)(const char *name, int w, int h, unsigned char *frame);
    int (*write)(const char *name, int w, int h, const unsigned char *frame, int fd);
};
const D1Format kD1Formats[D1_FORMATS] = {
    {".pic", pic_to_buffer, buffer_to_pic},
    {".tga", tga_to_buffer, buffer_to_tga},
    {".sgi", sgi_to_buffer, buffer_to_sgi},
    {".yuv", yuv_to_buffer, buffer_to_yuv},
};

} // namespace

const char *D1FormatExtension(int format) {
    return format >= 0 && format < D1_FORMATS ? kD1Formats[format].ext : nullptr;
}

int Do_Grab_D1(D1Job *job, const TcEntry &entry, std::vector<unsigned char> *frame,
               D1Result *result) {
    *result = D1Result{};
    const int count = Count_Frames(entry.in, entry.out);
    if (count < 1) {
        result->skipped = 1;
        return 0;
    }
    if (job->format < 0 || job->format >= D1_FORMATS || job->step < 1 || job->log_fd < 0 ||
        job->style < 0 || job->style >= VTR_NUM_STYLES)
        return result->error = 1;
    const D1Format &fmt = kD1Formats[job->format];
    const size_t bytes = size_t(device_frame_bytes());
    if (frame->size() < bytes) frame->resize(bytes);
    const uint32_t in_frames = uint32_t(tc2frames(entry.in));
    result->running = 1;
    for (int i = 1; i <= count; i += job->step) {
        if (stop_asked(*job)) return result->error = 0; // running stays 1
        const std::string name = D1FrameName(job->base, in_frames, job->style, i, fmt.ext);
        // A frame file left by an interrupted grab is read back, not grabbed.
        struct stat st {};
        const bool there = lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                           fmt.read(name.c_str(), VIDEO_SIZEX, VIDEO_SIZEY, frame->data()) == 1;
        int thumb;
        if (there) {
            thumb = fmt.write(nullptr, VIDEO_SIZEX, VIDEO_SIZEY, frame->data(), job->log_fd);
            ++result->read_back;
        } else {
            int w = 0, h = 0;
            const int rc = sv_record(job->sv, frame->data(), int(frame->size()), &w, &h, 0, 1,
                                     TcAddFrames(entry.in, i - 1));
            if (rc != 0) {
                if (stop_asked(*job)) return 0; // cut by the stop: running stays 1
                result->running = 0;
                return result->error = rc;
            }
            if (w != VIDEO_SIZEX || h != VIDEO_SIZEY) {
                result->running = 0;
                return result->error = 6; // the board's frame is not the program's
            }
            thumb = fmt.write(name.c_str(), w, h, frame->data(), job->log_fd);
            if (thumb == 0) unlink(name.c_str());
            ++result->grabbed;
        }
        if (thumb == 0) {
            result->running = 0;
            return result->error = 13; // the board library's "couldn't write to file"
        }
        result->thumbs.push_back(thumb);
    }
    result->running = 0;
    return 0;
}

int RunGrabD1Job(D1Job *job) {
    job->results.assign(job->entries.size(), D1Result{});
    std::vector<unsigned char> frame(static_cast<size_t>(device_frame_bytes()));
    int done = 0;
    for (size_t i = 0; i < job->entries.size(); ++i) {
        if (stop_asked(*job)) break;
        D1Result &r = job->results[i];
        if (Do_Grab_D1(job, job->entries[i], &frame, &r) == 0 && !r.running && !r.skipped) ++done;
        if (r.running) break; // stopped in this range
    }
    return done;
}
