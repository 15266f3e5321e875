// Speed of loading a work into windows: the main window is built on the X
// server in $DISPLAY (run it under Xvfb), a database is made with four reels
// and their logs, and a work file of 300 windows on them (10 in the master
// area, one to three segments each, every third one slowed through a frame
// map) is loaded with LoadWork as "Open Work" > "Replace" does, the summa
// window rebuilt after it. Each figure includes the X server's work
// (everything flushed and handled) and the opening of the clips and their
// logs: between passes the windows are closed and the clips freed.
//
//   xvfb-run -a build/bench/bench_workload [--windows N] [-p PASSES]
#include <Xm/Xm.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_display.h"
#include "bench/bench_util.h"
#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/clip_operations.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"
#include "desktop/log_writer.h"
#include "desktop/processes.h"
#include "desktop/startup.h"
#include "desktop/work_files.h"
#include "editing/work_file.h"
#include "media/fm_main.h"
#include "media/video_globals.h"
#include "platform/sem.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int REELS = 4, FRAMES = 60;

// Writes a reel of moving gradients and builds its log.
bool make_reel(const std::string &path) {
    fm_fileformat *f = fm_create_file("svj", path.c_str(), VIDEO_SIZEX, VIDEO_SIZEY, FRAMES, 0);
    if (!f) return false;
    for (int n = 0; n < FRAMES; n++) {
        for (int i = 0; i < f->size; i++)
            f->buffer[i] = (unsigned char)(i / 7 + n * 9);
        if (fm_write(f, n) != 0) return false;
    }
    const bool ok = fm_close(f) == 0;
    fm_fileformat_free(f);
    int status = 0;
    FisicData *clip = CreaFisicData(path.c_str(), 0, &status);
    if (!clip || status != 1) return false;
    clip->refs = 1;
    AddFirstFisic(clip);
    int saw = 0;
    while (ConvertPass(&saw)) {
    }
    const bool logged = clip->complete.load() == 1;
    clip->refs = 0;
    FreeUnusedClips();
    return ok && logged;
}

// The stored time text and size of a reel, as a save writes them.
void stamp(WorkSegment &s, const std::string &path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return;
    char buf[32];
    const time_t t = st.st_mtime;
    if (ctime_r(&t, buf)) memcpy(s.time, buf, strnlen(buf, WORK_TIME_SIZE - 1));
    s.size = uint32_t(uint64_t(st.st_size));
}

WorkFile make_work(int windows, const std::string &db) {
    WorkFile work;
    int desk_slot = 0;
    for (int i = 0; i < windows; i++) {
        WorkWindow w;
        w.width = VIDEO_SIZEX / 4;
        w.height = QuarterHeight(VIDEO_SIZEY);
        w.master = i < 10;
        w.slot = w.master ? i : desk_slot++;
        w.title = "window " + std::to_string(i);
        const int segs = 1 + i % 3;
        for (int k = 0; k < segs; k++) {
            WorkSegment s;
            const int reel = (i + k) % REELS;
            s.name = "r" + std::to_string(reel) + ".svj";
            stamp(s, db + "SVJ/" + s.name);
            s.first = (i + k) % 20;
            s.last = s.first + 19;
            s.offset = w.total;
            if (i % 3 == 2) { // slowed by 2: each frame twice
                s.map = {0, 0};
                s.last = s.first + 39;
            }
            w.total += s.last - s.first + 1;
            w.segments.push_back(s);
        }
        w.out = w.total - 1;
        work.windows.push_back(w);
    }
    return work;
}

void close_all() {
    CloseOK(1, 1, nullptr, 0, 0);
    pump();
    FreeClosedWindows();
    FreeUnusedClips();
}

} // namespace

int main(int argc, char **argv) {
    int windows = 300, passes = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--windows")) windows = atoi(argv[i + 1]);
        if (!strcmp(argv[i], "-p")) passes = atoi(argv[i + 1]);
    }
    if (windows < 1 || windows > WORK_MAX_WINDOWS || passes < 1 || passes > 50) {
        fprintf(stderr, "usage: bench_workload [--windows 1..1000] [-p 1..50]\n");
        return 2;
    }
    if (!BenchHasDisplay("bench_workload")) return 1;
    BenchDir dir("bench_workload");
    if (dir.path.empty()) return 1;
    const std::string db = dir.path + "/";
    for (const char *sub : {"SVJ", "CLIP", "WORK", "IMAGES"})
        mkdir((db + sub).c_str(), 0777);
    std::ofstream(db + "OrvaDB") << "DATABASE bench\nPATH " << db << "\n";
    setenv("ORVA_RSRC", dir.path.c_str(), 1);
    DbInitialize();
    fm_initialize(nullptr);
    if (!BenchMainWindow("bench_workload")) return 1;
    defaults[DEF_REARRANGE] = 0;
    for (int r = 0; r < REELS; r++)
        if (!make_reel(db + "SVJ/r" + std::to_string(r) + ".svj")) {
            fprintf(stderr, "bench_workload: could not make the reels\n");
            return 1;
        }
    const std::string path = db + "WORK/bench.wrk";
    if (!WriteWorkFile(path.c_str(), make_work(windows, db))) return 1;

    double best = 1e30, worst = 0;
    int made = 0, warned = 0;
    for (int p = 0; p < passes; p++) {
        pump();
        const Clock::time_point t0 = Clock::now();
        if (LoadWork(path.c_str(), 0)) UpdateSummaWindow();
        pump();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        best = std::min(best, ms);
        worst = std::max(worst, ms);
        made = 0;
        for (WindowData *w = first_window; w; w = w->next)
            made++;
        warned |= LoadWorkWarned();
        close_all();
    }
    printf("load %d windows (%d made%s): best %.1f ms, worst %.1f ms over %d passes\n", windows,
           made, warned ? ", with a warning" : "", best, worst, passes);
    SemRemove();
    return 0;
}
