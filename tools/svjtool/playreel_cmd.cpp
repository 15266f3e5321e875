// svjtool playreel: one segment's play reel, built as the program builds it
// before output to the board: the source's fields copied in play order by
// the frame rule, without decoding.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "editing/clip_records.h"
#include "editing/play_reel.h"
#include "media/fm_main.h"

int cmd_playreel(int argc, char **argv);

namespace {

const char *playreel_usage =
    "usage: svjtool playreel SRC FIRST LAST OUT [--map m0,m1,... --period A] [--invert-fields]\n";

bool number(const char *text, int *value) {
    if (!text || !*text) return false;
    char *end = nullptr;
    const long v = strtol(text, &end, 10);
    if (*end || v < -1000000000L || v > 1000000000L) return false;
    *value = int(v);
    return true;
}

int bad(const char *what) {
    fprintf(stderr, "svjtool: %s\n%s", what, playreel_usage);
    return 2;
}

} // namespace

// argv[0] is SRC.
int cmd_playreel(int argc, char **argv) {
    if (argc < 4) return bad("playreel needs SRC FIRST LAST OUT");
    PlayJob job;
    if (!number(argv[1], &job.start) || !number(argv[2], &job.end) || job.start < 0 || job.end < 0)
        return bad("FIRST and LAST are frame numbers from 0");
    int invert = 0;
    bool have_period = false;
    for (int i = 4; i < argc; ++i) {
        if (strcmp(argv[i], "--invert-fields") == 0) {
            invert = 1;
        } else if (strcmp(argv[i], "--map") == 0 && i + 1 < argc) {
            std::string list = argv[++i];
            size_t at = 0;
            while (at <= list.size() && job.map.size() < 4096) {
                const size_t comma = list.find(',', at);
                const std::string item = list.substr(at, comma - at);
                int v = 0;
                if (!number(item.c_str(), &v)) return bad("--map takes numbers");
                job.map.push_back(v);
                if (comma == std::string::npos) break;
                at = comma + 1;
            }
        } else if (strcmp(argv[i], "--period") == 0 && i + 1 < argc) {
            if (!number(argv[++i], &job.period)) return bad("--period takes a number");
            have_period = true;
        } else {
            return bad("unknown option");
        }
    }
    if (have_period && job.map.empty()) return bad("--period goes with --map");
    job.map_len = int(job.map.size());
    FisicData clip;
    clip.path = argv[0];
    job.clip = &clip;
    job.output = argv[3];
    fm_initialize(nullptr);
    const int ok = BuildPlayReel(&job, 1, invert);
    clip.path = nullptr;
    if (!ok) {
        fprintf(stderr, "svjtool: cannot build the play reel %s from %s\n", argv[3], argv[0]);
        return 1;
    }
    printf("frames %d\n", PlayJobFrames(&job));
    return 0;
}
