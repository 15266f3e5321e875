// Play reels: jobs, names, the copy of fields in play order and the relink
// of segments to the new reels.
#include "editing/play_reel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "editing/clip_records.h"
#include "editing/frame_map.h"
#include "media/fm_format_svj.h"
#include "media/fm_main.h"
#include "platform/fileio.h"
#include "platform/jobs.h"

std::vector<std::unique_ptr<PlayJob>> play_jobs;

namespace {

// The job's range as a segment, for the frame rule.
Segment as_segment(const PlayJob *job) {
    Segment s;
    s.first = job->start;
    s.last = job->end;
    s.map_len = job->map_len;
    s.period = job->period;
    s.map = job->map.empty() ? nullptr : const_cast<int *>(job->map.data());
    return s;
}

bool within(int x, int a, int b) {
    return x >= std::min(a, b) && x <= std::max(a, b);
}

bool same_map(const Segment *s, const PlayJob *job) {
    if (s->map_len != job->map_len || s->period != job->period) return false;
    if (!s->map) return job->map.empty();
    if (int(job->map.size()) != s->map_len) return false;
    return std::memcmp(s->map, job->map.data(), job->map.size() * sizeof(int)) == 0;
}

// The source reel opened for its header, closed and freed on every path.
struct Source {
    fm_fileformat *f = nullptr;
    bool open = false;
    ~Source() {
        if (open) fm_close(f);
        if (f) fm_fileformat_free(f);
    }
    fm_svj_state *state() const { return open ? static_cast<fm_svj_state *>(f->state) : nullptr; }
};

} // namespace

int PlayJobFrames(const PlayJob *job) {
    return std::abs(job->end - job->start) + 1;
}

int PlayJobFrame(const PlayJob *job, int k) {
    const Segment s = as_segment(job);
    return PlayCtrl(&s, k);
}

PlayJob *AddInvertProcess(const Segment *segment, void *dialog, void (*continuation)()) {
    if (!segment->map) {
        for (auto &j : play_jobs) {
            if (j->clip != segment->fisic || !j->map.empty()) continue;
            const int a = segment->first, b = segment->last;
            const bool overlap = within(j->start, a, b) || within(j->end, a, b) ||
                                 (within(a, j->start, j->end) && within(b, j->start, j->end));
            if (!overlap) continue;
            j->start = std::max(j->start, a);
            j->end = std::min(j->end, b);
            return j.get();
        }
    }
    auto job = std::make_unique<PlayJob>();
    job->dialog = dialog;
    job->clip = segment->fisic;
    job->start = segment->first;
    job->end = segment->last;
    if (segment->map && segment->map_len > 0)
        job->map.assign(segment->map, segment->map + segment->map_len);
    job->map_len = segment->map ? segment->map_len : 0;
    job->period = segment->period;
    job->continuation = continuation;
    play_jobs.push_back(std::move(job));
    return play_jobs.back().get();
}

std::string PlayReelName(const FisicData *clip) {
    if (!clip || !clip->path) return "";
    std::string base = clip->path;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".svj") == 0)
        base.resize(base.size() - 4);
    for (int i = 1; i < 1000; ++i) {
        char tail[32];
        snprintf(tail, sizeof tail, "_%s%02i.svj", "Play", i);
        const std::string name = base + tail;
        // O_EXCL claims the name, so two preparations never share one.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return "";
        }
        ::fchmod(fd, 0666);
        ::close(fd);
        return name;
    }
    return "";
}

int BuildPlayReel(PlayJob *job, int overwrite, int invert_fields) {
    if (!job || !job->clip || !job->clip->path || job->output.empty()) return 0;
    Source src;
    src.f = fm_fileformat_allocate("svj");
    if (!src.f) return 0;
    if (fm_rheader(src.f, job->clip->path) != 0) return 0;
    src.open = true;
    fm_svj_state *st = src.state();
    if (!st || !st->file) return 0;
    const svj_tail &tail = st->file->tail;
    const int n = PlayJobFrames(job);
    const uint32_t header = fm_svj_initsize(st);
    if (header == 0 || header > tail.table) return 0;

    // Every used field, with the 256 bytes that follow it, lies before the
    // frame table; that also bounds the buffers.
    std::vector<int> frames(size_t(n), 0);
    uint64_t largest = header;
    for (int k = 0; k < n; ++k) {
        const int f = PlayJobFrame(job, k);
        if (f < 0 || uint32_t(f) >= tail.frames || uint32_t(f) >= st->file->capacity) return 0;
        frames[size_t(k)] = f;
        for (int field = 0; field < 2; ++field) {
            const uint64_t size = fm_svj_size(st, f, field);
            if (uint64_t(fm_svj_offset(st, f, field)) + size + SVJ_COMMENT_SIZE > tail.table)
                return 0;
            if (size > largest) largest = size;
        }
    }
    std::vector<unsigned char> buf[2];
    buf[0].resize(size_t(largest) + SVJ_COMMENT_SIZE);
    buf[1].resize(size_t(largest) + SVJ_COMMENT_SIZE);

    if (!overwrite && ::access(job->output.c_str(), F_OK) == 0) return 0;
    Fd out(open_regular(job->output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666));
    if (out.fd < 0) return 0;
    if (fm_svj_data_read(st, 0, header, buf[0].data()) != long(header) ||
        !write_all(out.fd, buf[0].data(), header))
        return 0;

    const bool swap = invert_fields && job->end < job->start;
    std::vector<uint32_t> at(size_t(n) * 2), size(size_t(n) * 2);
    uint64_t pos = header;
    for (int k = 0; k < n; ++k) {
        JobCheckStop();
        const int f = frames[size_t(k)];
        uint32_t len[2];
        for (int field = 0; field < 2; ++field) {
            len[field] = fm_svj_size(st, f, field) + SVJ_COMMENT_SIZE;
            if (fm_svj_data_read(st, fm_svj_offset(st, f, field), len[field], buf[field].data()) !=
                long(len[field]))
                return 0;
        }
        for (int slot = 0; slot < 2; ++slot) {
            const int field = swap ? 1 - slot : slot;
            if (pos + len[field] > UINT32_MAX || !write_all(out.fd, buf[field].data(), len[field]))
                return 0;
            at[size_t(k) * 2 + size_t(slot)] = uint32_t(pos);
            size[size_t(k) * 2 + size_t(slot)] = len[field] - SVJ_COMMENT_SIZE;
            pos += len[field];
        }
    }
    // The source's table is no longer read: it now describes the new reel.
    if (fm_svj_malloc_table(st, n) != 0) return 0;
    for (int k = 0; k < n; ++k)
        for (int slot = 0; slot < 2; ++slot)
            if (fm_svj_set_table(st, k, slot, at[size_t(k) * 2 + size_t(slot)],
                                 size[size_t(k) * 2 + size_t(slot)]) < 0)
                return 0;
    if (fm_svj_write_tail(st, out.fd, n) != 0) return 0;
    ::fchmod(out.fd, 0666);
    return 1;
}

int RelinkToPlayReel(WindowData *window, const PlayJob *job, FisicData *newClip) {
    if (!window || !window->seg_first || !job || !newClip) return 0;
    int relinked = 0;
    Segment *s = window->seg_first;
    do {
        if (s->fisic == job->clip) {
            bool moved = false;
            if (s->map || !job->map.empty()) {
                if (s->first == job->start && s->last == job->end && same_map(s, job)) {
                    s->last = std::abs(s->last - s->first);
                    s->first = 0;
                    free(s->map);
                    s->map = nullptr;
                    s->map_len = 0;
                    s->period = 1;
                    moved = true;
                }
            } else if (s->last < s->first && s->first <= job->start && s->last >= job->end) {
                const int first = s->first, last = s->last;
                s->first = job->start - first;
                s->last = PlayJobFrames(job) + job->end - last - 1;
                moved = true;
            }
            if (moved) {
                job->clip->refs--;
                newClip->refs++;
                s->fisic = newClip;
                ++relinked;
            }
        }
        s = s->next;
    } while (s && s != window->seg_first);
    return relinked;
}
