// Speed of the desktop areas with many windows: the main window is built on
// the X server in $DISPLAY (run it under Xvfb: xvfb-run -a bench_desktop),
// 200 clip windows are opened on one clip, and the time of "Select all", of
// a drop that moves every other window one cell, of a drop into the master
// area (the window rebuilt there) and of a "Rearrange" that closes a gap
// before all of them is measured, each including the X server's work
// (everything flushed and handled). Then ten rounds of opening and closing
// the 200 windows show how resident memory grows.
//
//   bench_desktop [--windows N] [--rounds R]
#include <Xm/Xm.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "bench/bench_display.h"
#include "bench/bench_util.h"
#include "desktop/clip_model.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "desktop/startup.h"
#include "media/video_globals.h"
#include "platform/sem.h"

namespace {

void open_windows(FisicData *clip, int n) {
    for (int i = 0; i < n; i++) {
        char name[32];
        snprintf(name, sizeof name, "clip %d", i);
        AddWindowData(clip, 0, strdup(name), 0);
    }
}

void close_all() {
    CloseOK(1, 1, nullptr, 0, 0);
    FreeClosedWindows();
}

} // namespace

int main(int argc, char **argv) {
    int windows = 200, rounds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--windows")) windows = atoi(argv[i + 1]);
        if (!strcmp(argv[i], "--rounds")) rounds = atoi(argv[i + 1]);
    }
    if (windows < 2 || windows > 2000 || rounds < 1 || rounds > 100) {
        fprintf(stderr, "usage: bench_desktop [--windows 2..2000] [--rounds 1..100]\n");
        return 2;
    }
    if (!BenchMainWindow("bench_desktop")) return 1;

    auto *clip = new FisicData;
    clip->frames = 100;
    clip->width = VIDEO_SIZEX / 4;
    clip->height = QuarterHeight(VIDEO_SIZEY);

    const double open_ms = timed([&] { open_windows(clip, windows); });
    printf("open %d windows:          %8.1f ms\n", windows, open_ms);

    printf("select all:               %8.1f ms\n",
           timed([] { SelectAll(nullptr, nullptr, nullptr); }));

    defaults[DEF_REARRANGE] = 1;
    printf("drop first to the end:    %8.1f ms (arranged: every window moves a cell)\n",
           timed([&] { DropWindow(first_work, 0, windows + 10); }));
    printf("drop into master area:    %8.1f ms (rebuilt there; the rest move a cell)\n",
           timed([&] { DropWindow(first_work, 1, 0); }));
    printf("drop back to the desktop: %8.1f ms\n", timed([&] { DropWindow(first_window, 0, 0); }));

    defaults[DEF_REARRANGE] = 0;
    DropWindow(first_work, 0, windows + 40); // a gap before all the others
    pump();
    printf("rearrange:                %8.1f ms (%d windows move a cell)\n",
           timed([] { RearrangeNowOK(nullptr, nullptr, nullptr); }), windows - 1);

    printf("close all:                %8.1f ms\n", timed(close_all));

    // Memory over rounds of opening and closing; the first round warms the
    // toolkit's caches (fonts, pixmaps, translations).
    long first = 0, last = 0;
    for (int r = 0; r < rounds; r++) {
        open_windows(clip, windows);
        pump();
        close_all();
        pump();
        const long kb = resident_kb();
        if (getenv("BENCH_VERBOSE"))
            printf("  round %d: %ld kB, heap in use %zu kB\n", r + 1, kb,
                   mallinfo2().uordblks / 1024);
        if (r == 0) first = kb;
        last = kb;
    }
    printf("resident after round 1: %ld kB, after round %d: %ld kB, growth %ld kB\n", first, rounds,
           last, last - first);
    delete clip;
    SemRemove();
    return 0;
}
