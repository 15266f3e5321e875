// Costs of clip operations: the memory a derived window takes, the frame
// rule over long and many-segment windows, and a join of many windows. The
// part here needs no display: clips and windows are records made by hand.
// Each figure is printed as one line "name value unit" followed by its
// target.
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "editing/clip_records.h"
#include "editing/derived_window.h"
#include "editing/frame_map.h"
#include "editing/segments.h"

namespace {

constexpr int one_hour = 90000; // frames of a one-hour PAL reel

double now_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void report(const char *name, double value, const char *unit, const char *target) {
    printf("%-32s %12.3f %-6s (target %s)\n", name, value, unit, target);
}

// Clips and windows made by hand, freed at the end.
struct Bench {
    std::vector<std::unique_ptr<FisicData>> clips;
    std::vector<WindowData *> windows;

    Bench() { first_window = last_window = first_work = nullptr; }
    ~Bench() {
        for (WindowData *w : windows) {
            FreeSegments(w);
            delete w;
        }
        first_window = last_window = first_work = nullptr;
    }

    // A selected desktop window showing frames 0 .. frames - 1 of a new clip.
    WindowData *window(int frames) {
        clips.push_back(std::make_unique<FisicData>());
        FisicData *c = clips.back().get();
        c->frames = frames, c->width = 180, c->height = 144, c->refs = 1;
        WindowData *w = new WindowData;
        Segment *s = new Segment;
        s->last = frames - 1, s->fisic = c, s->next = s->prev = s;
        w->seg_first = w->seg_last = w->seg_current = s;
        w->width = 180, w->height = 144, w->total = frames, w->out = frames - 1;
        w->selected = 1;
        list(w);
        return w;
    }

    void list(WindowData *w) {
        windows.push_back(w);
        if (last_window)
            last_window->next = w;
        else
            first_window = first_work = w;
        last_window = w;
    }

    // A derived window from the selected windows, kept out of the list.
    WindowData *derive(int repetitions, int type, int factor) {
        WindowData *w = new WindowData;
        windows.push_back(w);
        std::string name;
        if (BuildDerivedWindow(w, nullptr, 0, repetitions, 0, &name, type, factor) < DERIVE_OK)
            fprintf(stderr, "bench_clipops: the derived window was not made\n");
        return w;
    }
};

// Bytes the allocator has handed out, large blocks included.
size_t heap_bytes() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// Segments and map entries of a window's ring.
void count_ring(const WindowData *w, long long *segments, long long *entries) {
    *segments = *entries = 0;
    for (const Segment *s = w->seg_first; s; s = RingNext(w, s)) {
        ++*segments;
        *entries += s->map ? s->map_len : 0;
    }
}

// Memory of a Loop 1000 (saw tooth) of a one-hour window, counted from the
// records and seen by the allocator and the kernel; then what one segment
// and one map entry cost as the allocator sees them.
void derived_window_bytes() {
    Bench b;
    b.window(one_hour);
    const size_t heap0 = heap_bytes();
    const long rss0 = resident_kb();
    WindowData *loop = b.derive(1000, DERIVE_COPY, 1);
    const size_t heap = heap_bytes() - heap0;
    const long rss = resident_kb() - rss0;
    long long segments, entries;
    count_ring(loop, &segments, &entries);
    const long long counted =
        segments * (long long)sizeof(Segment) + entries * (long long)sizeof(int);
    printf("loop 1000 of a one-hour window: %d frames, %lld segments, %lld map entries\n",
           loop->total, segments, entries);
    report("loop1000_counted_bytes", (double)counted, "bytes", "< 1048576");
    report("loop1000_heap_growth", (double)heap, "bytes", "< 1048576");
    report("loop1000_resident_growth", (double)rss * 1024, "bytes", "< 1048576");
    report("bytes_per_segment_counted", (double)sizeof(Segment), "bytes", "<= 128");
    // The allocator's figure includes its chunk headers and the window record.
    report("bytes_per_segment_heap", segments ? (double)heap / segments : 0, "bytes", "<= 128");

    // Slower 1000000 of a one-frame window: one segment whose map has
    // 1000000 entries (the window record and the segment taken off).
    Bench m;
    m.window(1);
    const size_t heap1 = heap_bytes();
    WindowData *slow = m.derive(1, DERIVE_SLOWER, 1000000);
    const size_t grown = heap_bytes() - heap1;
    count_ring(slow, &segments, &entries);
    report("bytes_per_map_entry_counted", (double)sizeof(int), "bytes", "<= 4");
    // The allocator rounds the block up to whole pages.
    report("bytes_per_map_entry_heap",
           entries ? (double)(grown - sizeof(WindowData) - segments * sizeof(Segment)) / entries
                   : 0,
           "bytes", "<= 4");
}

// FrameCtrl frame after frame over a long derived window: Strobe 3 of a
// join of 50 one-hour windows (50 segments with maps, 4.5 million frames).
void sequential_frames() {
    Bench b;
    for (int i = 0; i < 50; i++)
        b.window(one_hour);
    WindowData *w = b.derive(1, DERIVE_STROBE, 3);
    long long sum = 0;
    const double t0 = now_ms();
    for (int rounds = 0; rounds < 4; rounds++)
        for (int k = 0; k < w->total; k++)
            sum += FrameCtrl(w, k, &w->seg_current);
    const double ms = now_ms() - t0;
    printf("sequential frames over %d frames of %d segments (checksum %lld)\n", w->total, 50, sum);
    report("sequential_frame", ms * 1e6 / (4.0 * w->total), "ns", "<= 50");
}

// FrameCtrl at random frames of a window of 10 000 segments (Loop 10000 of
// a ten-frame window), each lookup starting where the last one ended.
void random_frames() {
    Bench b;
    b.window(10);
    WindowData *w = b.derive(10000, DERIVE_COPY, 1);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> frame(0, w->total - 1);
    const int lookups = 20000;
    long long sum = 0;
    const double t0 = now_ms();
    for (int i = 0; i < lookups; i++)
        sum += FrameCtrl(w, frame(rng), &w->seg_current);
    const double ms = now_ms() - t0;
    printf("random frames of a 10000-segment window (checksum %lld)\n", sum);
    report("random_frame", ms * 1e3 / lookups, "us", "<= 20");
}

// BuildDerivedWindow joining 100 selected one-hour windows.
void join_of_100() {
    Bench b;
    for (int i = 0; i < 100; i++)
        b.window(one_hour);
    const int rounds = 50;
    const double t0 = now_ms();
    for (int r = 0; r < rounds; r++) {
        WindowData *w = b.derive(1, DERIVE_COPY, 1);
        FreeSegments(w);
    }
    report("join_of_100_windows", (now_ms() - t0) / rounds, "ms", "none set");
}

} // namespace

int main() {
    derived_window_bytes();
    sequential_frames();
    random_frames();
    join_of_100();
    return 0;
}
