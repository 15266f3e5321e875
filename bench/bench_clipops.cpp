// Costs of clip operations: the memory a derived window takes, the frame
// rule over long and many-segment windows, and a join of many windows, on
// records made by hand. With an X display ($DISPLAY; run it under
// xvfb-run -a) a second part works on the demo database in the program's own
// main window: a join of 100 selected windows and the summa window of 100
// master-area windows, each timed until shown, and a check that no operation
// writes anything under the database. Each figure is printed as one line
// "name value unit" followed by its target.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench_clipops
#include <Xm/Xm.h>
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_display.h"
#include "bench/bench_util.h"
#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/clip_operations.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"
#include "desktop/log_writer.h"
#include "desktop/processes.h"
#include "desktop/startup.h"
#include "platform/sem.h"
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

// ---- on the display ----

// Size and modification time of every file under dir.
std::map<std::string, std::pair<uintmax_t, long long>> snapshot(const std::string &dir) {
    namespace fs = std::filesystem;
    std::map<std::string, std::pair<uintmax_t, long long>> files;
    for (const auto &e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            files[e.path().string()] = {e.file_size(),
                                        (long long)e.last_write_time().time_since_epoch().count()};
    return files;
}

// A desktop window on a demo reel whose log is built first.
WindowData *reel_window(const std::string &path) {
    int status = 0;
    FisicData *c = CreaFisicData(path.c_str(), 1, &status);
    if (!c) return nullptr;
    AddFirstFisic(c);
    c->refs = 1; // the converter skips clips nobody uses
    int saw = 0;
    while (ConvertPass(&saw)) {
    }
    c->refs = 0;
    AddWindowData(c, 0, strdup(path.c_str()), 0);
    return last_window;
}

int display_part(int argc, char **argv) {
    const BenchDir dir("orva-clipops");
    if (dir.path.empty()) return 1;
    const std::string demo = MakeDemo(dir);
    if (demo.empty()) return 1;
    setenv("ORVA_RSRC", demo.c_str(), 1);
    DbInitialize();
    if (!BenchMainWindow("bench_clipops", &argc, argv)) return 1;
    std::vector<WindowData *> reels;
    for (const char *name : {"colour_bars", "gradient_sweep", "bouncing_ball", "tape_3a98_3b60_85"})
        if (WindowData *w = reel_window(demo + "/SVJ/" + name + ".svj")) reels.push_back(w);
    if (reels.size() != 4) {
        fprintf(stderr, "bench_clipops: cannot open the demo reels\n");
        return 1;
    }
    pump();
    const auto before = snapshot(demo);

    // 100 pieces of 5 frames, taken in turn from the four reels.
    std::vector<WindowData *> pieces;
    for (int i = 0; i < 100; i++) {
        WindowData *r = reels[size_t(i % 4)];
        r->in = 5 * (i / 4) % (r->total - 5);
        r->out = r->in + 4;
        pieces.push_back(AddNewWindow(r, 1, 0, DERIVE_COPY, 1));
    }
    DeselectAll(nullptr, nullptr, nullptr);
    for (WindowData *w : pieces)
        SetSelection(w, 1);
    report("join_of_100_shown", timed([] { NewWindowMulti(nullptr, nullptr, nullptr); }), "ms",
           "<= 40");
    const int frames = last_window->total;
    report("join_of_100_frames", frames, "frames", "500");

    // The same pieces in the master area; the summa window joins them.
    for (WindowData *w : pieces)
        DropWindow(w, 1, 1000);
    report("summa_of_100_shown", timed([] { UpdateSummaWindow(); }), "ms", "<= 40");
    report("summa_of_100_frames", summa_window ? summa_window->total : 0, "frames", "500");

    // Every other operation once, then the database is compared.
    SelectAll(nullptr, nullptr, nullptr);
    for (int type : {DERIVE_FASTER, DERIVE_SLOWER, DERIVE_STROBE})
        AddNewWindow(nullptr, 1, 0, type, 3);
    AddNewWindow(nullptr, -3, 0, DERIVE_COPY, 1);
    DeselectAll(nullptr, nullptr, nullptr);
    SetSelection(reels[0], 1);
    reels[0]->current = 20;
    StillWindow(25);
    SpliceWindow(1, nullptr);
    pump();
    const auto after = snapshot(demo);
    int changed = 0;
    for (const auto &[path, stamp] : after) {
        auto it = before.find(path);
        if (it == before.end() || it->second != stamp) {
            changed++;
            fprintf(stderr, "written: %s\n", path.c_str());
        }
    }
    changed += int(before.size()) - int(after.size()) > 0 ? int(before.size() - after.size()) : 0;
    report("files_written_under_database", changed, "files", "0");
    SemRemove();
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    derived_window_bytes();
    sequential_frames();
    random_frames();
    join_of_100();
    if (!getenv("DISPLAY")) {
        printf("(no X display: the part on the demo database is skipped)\n");
        return 0;
    }
    return display_part(argc, argv);
}
