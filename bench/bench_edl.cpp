// bench_edl: reading a 100 000-event edit list (about 6.6 MB) through the
// program's own reader, from a file in a private directory.
//
//   taskset -c 1 build/bench/bench_edl [-p PASSES] [-n EVENTS]
//
// Two lists are read: one as this program writes them (cut events only),
// and one in the style of another editor, where every tenth event is a
// dissolve, every seventh an audio event, every fifth has a comment and
// every eleventh a motion effect. Each figure is the best of PASSES runs
// (default 5) of opening, reading and closing the file.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/bench_util.h"
#include "media/video_globals.h"
#include "vtr/edl_read.h"
#include "vtr/timecode.h"

namespace {

std::string label(int frames) {
    char text[12];
    vtr_tc2asc(frames2tc(frames), text);
    return text;
}

// The list text of n events, in this program's own layout or another
// editor's.
std::string make_list(int n, bool other) {
    std::string list =
        other ? "TITLE: BENCH\r\nFCM: NON-DROP FRAME\r\n" : "TITLE:  EDITED WITH ORVA\n";
    const char *end = other ? "\r\n" : "\n";
    char line[160];
    for (int i = 1; i <= n; i++) {
        const int in = 90000 + i * 50;
        const std::string a = label(in), b = label(in + 40);
        const char *track = other && i % 7 == 0 ? "AA" : "V";
        const char *code = other && i % 10 == 0 ? "D    030" : "C       ";
        if (other)
            snprintf(line, sizeof line, "%06d  REEL%03d  %s  %s  %s %s %s %s%s", i, i % 100, track,
                     code, a.c_str(), b.c_str(), a.c_str(), b.c_str(), end);
        else
            snprintf(line, sizeof line, "%03d %s V C %s %s %s %s\n", i, "tape1", a.c_str(),
                     b.c_str(), a.c_str(), b.c_str());
        list += line;
        if (other && i % 5 == 0) list += std::string("* FROM CLIP NAME:  SHOT ") + line;
        if (other && i % 11 == 0) {
            snprintf(line, sizeof line, "M2   REEL%03d       050.0    %s%s", i % 100, a.c_str(),
                     end);
            list += line;
        }
    }
    return list;
}

} // namespace

int main(int argc, char **argv) {
    int passes = 5, events = 100000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "-p")) passes = std::max(1, atoi(argv[i + 1]));
        if (!strcmp(argv[i], "-n")) events = std::max(1, atoi(argv[i + 1]));
    }
    BenchDir dir("bench_edl");
    if (dir.path.empty()) return 1;
    fps = 25;
    for (bool other : {false, true}) {
        const std::string path = dir.path + (other ? "/other.edl" : "/own.edl");
        const std::string list = make_list(events, other);
        std::ofstream(path, std::ios::binary) << list;
        EdlTable table;
        const double ms = best_ms(passes, [&] {
            if (EdlReadFile(path.c_str(), &table) != 0) {
                perror(path.c_str());
                exit(1);
            }
        });
        printf("%-14s %d events, %.1f MB: read %.1f ms (%zu entries, %zu skips, %zu notes)\n",
               other ? "other editor" : "own list", events, list.size() / 1e6, ms,
               table.entries.size(), table.skips.size(), table.notes.size());
    }
    return 0;
}
