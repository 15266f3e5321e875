// edltool: reads edit decision lists through the reader the program itself
// uses (vtr/edl_read.h) and prints what it takes from them.
//
//   edltool read LIST [--fps 25|30]
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

#include "media/video_globals.h"
#include "platform/fileio.h"
#include "vtr/edl_read.h"

namespace {

const char *program = "edltool";

constexpr int BAD_ARGUMENTS = 2;

void usage(FILE *out) {
    std::fprintf(
        out,
        "usage: %s read LIST [--fps 25|30]\n\n"
        "  read LIST   print the entries an edit list gives (EVENT n reel in out frames),\n"
        "              the lines skipped (SKIP line reason), the entries taken with a\n"
        "              reservation (NOTE line reason), and TOTAL entries skips\n"
        "  --fps       frame rate of the timecodes, 25 (default) or 30\n\n"
        "Exit status: 0 done, 1 the list could not be read, 2 bad arguments.\n",
        program);
}

int cmd_read(int argc, char **argv) {
    const char *list = nullptr;
    for (int i = 0; i < argc; i++) {
        if (!strcmp(argv[i], "--fps") && i + 1 < argc &&
            (!strcmp(argv[i + 1], "25") || !strcmp(argv[i + 1], "30"))) {
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
    if (name == "read") return cmd_read(argc - 2, argv + 2);
    std::fprintf(stderr, "%s: unknown command %s\n", program, name.c_str());
    usage(stderr);
    return BAD_ARGUMENTS;
}
