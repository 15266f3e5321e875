// edltool: reads edit decision lists through the reader the program itself
// uses (vtr/edl_read.h) and prints what it takes from them.
//
//   edltool read LIST [--fps 25|30]
//   edltool write OUT REEL IN-OUT...
//   edltool [-d SETUP] collect LIST DBDIR [-q Q] [--fps 25|30]
//
// "write" adds the ranges to a grab list as the VTR panel's add does (its
// messages on standard error) and writes the list as the program saves it.
// "collect" grabs every entry of a list from tape into DBDIR/SVJ, one grab
// per reel as the "All" button of the collect dialog does, without asking
// for reels; an existing reel of a range is kept, not grabbed again. At 30
// frames per second the timecodes, the counts and the frame numbers in the
// reel names are those of an NTSC board.
//
// "read" prints, in line order, "EVENT n reel in out frames" for each entry
// (n from 1), "SKIP line reason" for each event line or M2 line without an
// entry, "NOTE line reason" for each entry taken with a reservation, and last
// "TOTAL entries skips". The frame rate is 25 unless given. A list that
// cannot be read prints one message on standard error and exits with status
// 1; bad arguments print the usage and exit with status 2.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <chrono>
#include <sys/stat.h>
#include <vector>

#include "device/sv.h"
#include "media/video_globals.h"
#include "orva_version.h"
#include "platform/fileio.h"
#include "vtr/edl_collect.h"
#include "vtr/edl_read.h"
#include "vtr/edl_write.h"
#include "vtr/grab_job.h"
#include "vtr/grab_list.h"
#include "vtr/grab_names.h"
#include "vtr/timecode.h"
#include "vtr/vtr_env.h"

namespace {

const char *program = "edltool";

constexpr int BAD_ARGUMENTS = 2;

void usage(FILE *out) {
    std::fprintf(
        out,
        "usage: %s read LIST [--fps 25|30]\n"
        "       %s write OUT REEL IN-OUT...\n"
        "       %s [-d SETUP] collect LIST DBDIR [-q Q] [--fps 25|30]\n"
        "       %s --help | --version\n\n"
        "commands:\n"
        "  read LIST   print the entries an edit list gives (EVENT n reel in out frames),\n"
        "              the lines skipped (SKIP line reason), the entries taken with a\n"
        "              reservation (NOTE line reason), and TOTAL entries skips\n"
        "  write OUT REEL IN-OUT...\n"
        "              add the ranges (01:00:00:00-01:00:00:24) to a grab list as the VTR\n"
        "              panel does and write it as an edit list of tape REEL\n"
        "  collect LIST DBDIR\n"
        "              grab every entry of the list from tape into DBDIR/SVJ, one grab\n"
        "              per reel; prints a line per event and a TOTAL line\n\n"
        "  --fps       frame rate of the timecodes, 25 (default) or 30 (an NTSC board)\n"
        "  -q          JPEG quality of a collect, 1-100 (default 85)\n"
        "  -d          the board's setup string (default: SCSIVIDEO_CMD)\n\n"
        "Exit status: 0 done, 1 failed (one message on standard error), 2 bad arguments.\n",
        program, program, program, program);
}

// True when argv[i] is "--fps" followed by 25 or 30.
bool is_fps_option(int argc, char **argv, int i) {
    return !strcmp(argv[i], "--fps") && i + 1 < argc &&
           (!strcmp(argv[i + 1], "25") || !strcmp(argv[i + 1], "30"));
}

int cmd_read(int argc, char **argv) {
    const char *list = nullptr;
    for (int i = 0; i < argc; i++) {
        if (is_fps_option(argc, argv, i)) {
            fps = atoi(argv[++i]);
        } else if (!list && argv[i][0] != '-') {
            list = argv[i];
        } else {
            usage(stderr);
            return BAD_ARGUMENTS;
        }
    }
    if (!list) {
        usage(stderr);
        return BAD_ARGUMENTS;
    }
    EdlTable table;
    if (EdlReadFile(list, &table) != 0) {
        std::fprintf(stderr, "%s: cannot read %s: %s\n", program, list, file_error(errno));
        return 1;
    }
    for (const std::string &line : EdlReportLines(table))
        std::printf("%s\n", line.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// "IN-OUT" into two valid timecodes.
bool parse_range(const std::string &arg, Timecode *in, Timecode *out) {
    const size_t dash = arg.find('-');
    if (dash == std::string::npos) return false;
    const std::string a = arg.substr(0, dash), b = arg.substr(dash + 1);
    if (a.size() != 11 || b.size() != 11 || !is_valid_tc(a.c_str()) || !is_valid_tc(b.c_str()))
        return false;
    vtr_asc2tc(a.c_str(), in);
    vtr_asc2tc(b.c_str(), out);
    return true;
}

int cmd_write(int argc, char **argv) {
    if (argc < 2) {
        usage(stderr);
        return BAD_ARGUMENTS;
    }
    const char *path = argv[0];
    const char *reel = argv[1];
    GrabListClear();
    for (int i = 2; i < argc; i++) {
        Timecode in = 0, out = 0;
        if (!parse_range(argv[i], &in, &out)) {
            std::fprintf(stderr, "%s: not a range IN-OUT: %s\n", program, argv[i]);
            return BAD_ARGUMENTS;
        }
        if (const char *m = GrabAddMessage(GrabListAdd(in, out)))
            std::fprintf(stderr, "%s: %s: %s\n", program, argv[i], m);
    }
    std::string message;
    if (EdlWriteFile(path, reel, true, &message) != 0) {
        std::fprintf(stderr, "%s: %s\n", program, message.c_str());
        return 1;
    }
    return 0;
}

bool is_dir(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int cmd_collect(const char *setup, int argc, char **argv) {
    const char *list = nullptr, *dbdir = nullptr;
    int quality = 85;
    for (int i = 0; i < argc; i++) {
        if (is_fps_option(argc, argv, i)) {
            fps = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "-q") && i + 1 < argc) {
            quality = atoi(argv[++i]);
            if (quality < 1 || quality > 100) {
                usage(stderr);
                return BAD_ARGUMENTS;
            }
        } else if (argv[i][0] != '-' && !list) {
            list = argv[i];
        } else if (argv[i][0] != '-' && !dbdir) {
            dbdir = argv[i];
        } else {
            usage(stderr);
            return BAD_ARGUMENTS;
        }
    }
    if (!list || !dbdir) {
        usage(stderr);
        return BAD_ARGUMENTS;
    }
    EdlTable table;
    if (EdlReadFile(list, &table) != 0) {
        std::fprintf(stderr, "%s: Cannot open %s file: %s\n", program, list, file_error(errno));
        return 1;
    }
    if (table.entries.empty()) {
        std::fprintf(stderr, "%s: No entries in edl_list\n", program);
        return 1;
    }
    const std::string svj = std::string(dbdir) + "/SVJ";
    if (!is_dir(svj)) {
        std::fprintf(stderr, "%s: no SVJ directory in %s\n", program, dbdir);
        return 1;
    }
    sv_handle *sv = sv_open(setup);
    if (!sv) {
        std::fprintf(stderr, "%s: Unable to find SCSI Video\n", program);
        return 1;
    }
    if (sv_quality(sv, quality) != 0) {
        sv_close(sv);
        std::fprintf(stderr, "%s: Quality problems\n", program);
        return 1;
    }
    InitVtrEnv();
    SetSVJ_MODE();
    std::vector<int> all(table.entries.size());
    for (size_t i = 0; i < all.size(); i++)
        all[i] = int(i);
    int recorded = 0, kept = 0, failed = 0, lost = 0;
    long frames = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const EdlReelGroup &g : EdlGroupByReel(table, all)) {
        GrabJob job;
        job.sv = sv;
        job.base = svj + "/" + g.reel;
        job.quality = quality;
        for (int i : g.events)
            job.entries.push_back(EdlRange(table.entries[size_t(i)]));
        RunGrabJob(&job);
        for (size_t k = 0; k < g.events.size(); k++) {
            EdlEntry &e = table.entries[size_t(g.events[k])];
            const GrabResult &r = job.results[k];
            const char *what = "failed";
            if (r.has_reel && r.recorded) {
                what = r.error ? "lost" : "recorded";
                ++(r.error ? lost : recorded);
                frames += e.frames;
                e.done = 1;
            } else if (r.has_reel) {
                what = "kept";
                ++kept;
                e.done = 1;
            } else {
                ++failed;
            }
            std::printf("%s %s %s %s %s\n", what, e.reel.c_str(), e.in.c_str(), e.out.c_str(),
                        r.name.c_str());
        }
    }
    sv_close(sv);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("TOTAL %d recorded %d kept %d lost %d failed %ld frames %.3f s %.1f frames/s\n",
                recorded, kept, lost, failed, frames, seconds,
                seconds > 0 ? double(frames) / seconds : 0.0);
    if (std::fflush(stdout) != 0) return 1;
    if (failed) {
        std::fprintf(stderr, "%s: Edl grab error: %d of %zu events not collected\n", program,
                     failed, table.entries.size());
        return 1;
    }
    if (lost) std::fprintf(stderr, "%s: Warning: data lost while grabbing\n", program);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        usage(stderr);
        return BAD_ARGUMENTS;
    }
    const std::string name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        usage(stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("%s %s\n", program, ORVA_VERSION);
        return 0;
    }
    if (name == "read") return cmd_read(argc - 2, argv + 2);
    if (name == "write") return cmd_write(argc - 2, argv + 2);
    if (name == "collect") return cmd_collect(nullptr, argc - 2, argv + 2);
    if (name == "-d" && argc >= 4 && !strcmp(argv[3], "collect"))
        return cmd_collect(argv[2], argc - 4, argv + 4);
    std::fprintf(stderr, "%s: unknown command %s\n", program, name.c_str());
    usage(stderr);
    return BAD_ARGUMENTS;
}
