// The body of a compressed grab (see grab_job.h).
#include "vtr/grab_job.h"

#include "device/sv.h"
#include "media/svj.h"
#include "platform/jobs.h"
#include "vtr/grab_names.h"
#include "vtr/timecode.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool stop_asked(const GrabJob &job) {
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
