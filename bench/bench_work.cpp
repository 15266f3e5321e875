// bench_work: writing and reading a large work file, 1000 windows of one
// segment each with a 2000-entry map (about 8 MB), through the program's
// own writer and reader.
//
//   taskset -c 1 build/bench/bench_work [-p PASSES]
//
// Each figure is the best of PASSES runs (default 5). "write" includes the
// sync of the new file and its rename over the old one; "read" opens the
// file and checks every number; "collect" fills the model from 1000 window
// records; "encode" makes the bytes in memory only.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "editing/clip_records.h"
#include "editing/segments.h"
#include "editing/work_file.h"

namespace {

constexpr int WINDOWS = 1000, MAP = 2000;

} // namespace

int main(int argc, char **argv) {
    int passes = 5;
    if (argc == 3 && strcmp(argv[1], "-p") == 0) passes = std::max(1, atoi(argv[2]));
    BenchDir dir("bench_work");
    if (dir.path.empty()) return 1;

    // 1000 windows on one reel, each a slowed range with a 2000-entry map.
    FisicData clip;
    clip.path = strdup((dir.path + "/SVJ/reel.svj").c_str());
    clip.frames = 100000;
    std::vector<WindowData *> wins;
    for (int i = 0; i < WINDOWS; i++) {
        auto *w = new WindowData;
        auto *s = new Segment;
        s->first = i;
        s->last = i + MAP - 1;
        s->map_len = MAP;
        s->map = static_cast<int *>(malloc(MAP * sizeof(int)));
        for (int k = 0; k < MAP; k++)
            s->map[k] = k / 2;
        s->fisic = &clip;
        s->next = s->prev = s;
        w->seg_first = w->seg_last = w->seg_current = s;
        w->total = MAP;
        w->out = MAP - 1;
        w->master = i < 10;
        w->slot = i % 1000;
        w->next = nullptr;
        if (!wins.empty()) wins.back()->next = w;
        wins.push_back(w);
    }
    first_window = wins.front();
    last_window = wins.back();
    first_work = wins[10];

    const std::string path = dir.path + "/big.wrk", db = dir.path + "/";
    WorkFile work;
    const double collect =
        best_ms(passes, [&] { CollectWork(WORK_ALL, nullptr, nullptr, db.c_str(), &work); });
    size_t bytes = 0;
    const double encode = best_ms(passes, [&] { bytes = WorkFileBytes(work).size(); });
    int ok = 1;
    const double write = best_ms(passes, [&] { ok &= WriteWorkFile(path.c_str(), work); });
    WorkFile back;
    int code = WORK_OK;
    const double read = best_ms(passes, [&] { code = ReadWorkFile(path.c_str(), &back); });
    if (!ok || code != WORK_OK || back.windows.size() != size_t(WINDOWS) ||
        back.windows.back().segments.at(0).map.size() != size_t(MAP) ||
        back.windows.back().segments[0].map[MAP - 1] != (MAP - 1) / 2) {
        fprintf(stderr, "bench_work: the work did not round-trip\n");
        return 1;
    }
    printf("work of %d windows x %d-entry maps: %.1f MB\n", WINDOWS, MAP, bytes / 1e6);
    printf("collect %8.1f ms\nencode  %8.1f ms\nwrite   %8.1f ms\nread    %8.1f ms\n", collect,
           encode, write, read);

    first_window = last_window = first_work = nullptr;
    for (WindowData *w : wins) {
        FreeSegments(w);
        delete w;
    }
    free(clip.path);
    return 0;
}
