// Speed of the timeline strip with a long master area: the main window is
// built on the X server in $DISPLAY (run it under Xvfb:
// xvfb-run -a -s "-screen 0 1280x1024x24" bench_timeline), a master area of
// N clip records (1000 by default, lengths 1 to 500 frames) is laid before
// an empty desktop with a summa window as long as all of them, and
// TmUpdate is timed with and without rescaling the position scale, each
// call including the X server's work (synchronised after every call). The
// In/Out range sums and the popup's hit test over the same area follow.
//
//   bench_timeline [--windows N] [--runs R]
#include <Xm/Xm.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <vector>

#include "bench/bench_display.h"
#include "desktop/clip_model.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "desktop/startup.h"
#include "media/video_globals.h"
#include "platform/sem.h"
#include "vtr/timeline.h"

namespace {

using Clock = std::chrono::steady_clock;

// Mean, 99th percentile and worst milliseconds of fn over `runs` calls,
// each synchronised with the server (which shares the cores, so the worst
// run also holds its scheduling).
void report(const char *what, int runs, const std::function<void(int)> &fn) {
    pump();
    double sum = 0;
    std::vector<double> all;
    for (int r = 0; r < runs; r++) {
        const Clock::time_point t0 = Clock::now();
        fn(r);
        XSync(XtDisplay(app_shell), False);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        sum += ms;
        all.push_back(ms);
    }
    std::sort(all.begin(), all.end());
    const double p99 = all[std::min(all.size() - 1, size_t(0.99 * double(all.size())))];
    printf("%-34s mean %7.3f ms, p99 %7.3f ms, worst %7.3f ms (%d runs)\n", what, sum / runs, p99,
           all.back(), runs);
}

} // namespace

int main(int argc, char **argv) {
    int windows = 1000, runs = 200;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--windows")) windows = atoi(argv[i + 1]);
        if (!strcmp(argv[i], "--runs")) runs = atoi(argv[i + 1]);
    }
    if (windows < 1 || windows > 100000 || runs < 1 || runs > 100000) {
        fprintf(stderr, "usage: bench_timeline [--windows 1..100000] [--runs 1..100000]\n");
        return 2;
    }
    if (!BenchMainWindow("bench_timeline")) return 1;

    // Records only: the strip reads the windows' lengths and list order,
    // not their widgets.
    std::deque<WindowData> area(static_cast<size_t>(windows));
    long long total = 0;
    for (int i = 0; i < windows; i++) {
        area[size_t(i)].master = 1;
        area[size_t(i)].total = 1 + (i * 37) % 500;
        area[size_t(i)].next = i + 1 < windows ? &area[size_t(i) + 1] : nullptr;
        total += area[size_t(i)].total;
    }
    WindowData summa;
    summa.total = int(std::min<long long>(total, 1 << 30));
    first_window = &area.front();
    last_window = &area.back();
    first_work = nullptr;
    summa_window = &summa;
    TmSetWindows(&area[size_t(windows / 4)], 0);
    TmSetWindows(&area[size_t(windows * 3 / 4)], 1);
    TmUpdate(1);

    printf("master area: %d clips, %lld frames, strip %d pixels\n", windows, total, TmWidth());
    report("TmUpdate(1)", runs, [](int) { TmUpdate(1); });
    report("TmUpdate(0)", runs, [](int) { TmUpdate(0); });
    report("TmSetWindows + TmUpdate(0)", runs, [&](int r) {
        TmSetWindows(&area[size_t(r % windows)], r % 2);
        TmUpdate(0);
    });
    int in = 0, out = 0;
    report("TmGetInOut", runs, [&](int) { TmGetInOut(&in, &out); });
    report("TmPopupLine", runs, [](int r) { (void)TmPopupLine((r * 97) % TmWidth()); });

    first_window = last_window = first_work = summa_window = nullptr;
    SemRemove();
    return 0;
}
