// worktool: inspects and copies work files through the reader and the
// writer the program itself uses (editing/work_file.h).
//
//   worktool info FILE       windows, segments and clip names
//   worktool copy IN OUT     any version in, version 2 out
//
// A file the program would refuse or report prints the program's message on
// standard error and exits with status 1 ("info" prints the windows it could
// read first); a failed save prints "Error in saving work" and exits with
// status 1, leaving OUT as it was. Bad arguments print the usage and exit
// with status 2. To add a subcommand, write a function taking the arguments
// after the subcommand's name and add a line to the commands table.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "editing/work_file.h"
#include "orva_version.h"

namespace {

const char *program = "worktool";

constexpr int BAD_ARGUMENTS = 2;

// The loader's message for a reading result, on standard error; 1, or 0
// when there is none.
int report(int code) {
    if (code == WORK_OK) return 0;
    std::fprintf(stderr, "%s\n", WorkMessage(code));
    return 1;
}

// A text with its newlines, tabs and quotes escaped, in quotes.
std::string quoted(const std::string &s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out + "\"";
}

void print_segment(size_t k, const WorkSegment &s) {
    std::printf("  segment %zu: frames %d..%d at %d, ", k + 1, s.first, s.last, s.offset);
    if (s.map.empty())
        std::printf("plain");
    else
        std::printf("map %zu period %d", s.map.size(), s.period);
    if (s.kind == WORK_PICTURES) {
        const WorkPictures &p = s.pic;
        std::printf(", pictures %s numbers %d..%d step %d ext %d style %d tag %d\n",
                    quoted(s.name).c_str(), p.first, p.last, p.step, p.ext, p.style, p.tag);
        return;
    }
    std::string time(s.time, strnlen(s.time, WORK_TIME_SIZE));
    if (!time.empty() && time.back() == '\n') time.pop_back();
    std::printf(", reel %s time %s size %u\n", quoted(s.name).c_str(), quoted(time).c_str(),
                s.size);
}

int cmd_info(char **argv) {
    WorkFile work;
    const int code = ReadWorkFile(argv[0], &work);
    if (code == WORK_OK || code == WORK_READ_ERROR) {
        std::printf("version %d\nwindows %zu\n", work.version, work.windows.size());
        for (size_t i = 0; i < work.windows.size(); i++) {
            const WorkWindow &w = work.windows[i];
            std::printf("window %zu: %s %s slot %d size %dx%d in %d out %d total %d start %d "
                        "segments %zu\n",
                        i + 1, quoted(w.title).c_str(), w.master ? "master" : "desktop", w.slot,
                        w.width, w.height, w.in, w.out, w.total, w.start, w.segments.size());
            for (size_t k = 0; k < w.segments.size(); k++)
                print_segment(k, w.segments[k]);
        }
        if (work.dropped) std::printf("dropped %d\n", work.dropped);
    }
    std::fflush(stdout);
    return report(code);
}

int cmd_copy(char **argv) {
    WorkFile work;
    if (int failed = report(ReadWorkFile(argv[0], &work))) return failed;
    if (WriteWorkFile(argv[1], work)) return 0;
    std::fprintf(stderr, "%s\n", WorkMessage(WORK_SAVE_ERROR));
    return 1;
}

struct command {
    const char *name;
    const char *args;
    int nargs;
    int (*run)(char **argv);
    const char *help;
};

const command commands[] = {
    {"info", "FILE", 1, cmd_info, "print the windows, segments and clip names of a work file"},
    {"copy", "IN OUT", 2, cmd_copy, "read a work file of any version, write it as version 2"},
};

void usage(FILE *out) {
    std::fprintf(out, "usage: %s COMMAND ARGS...\n\ncommands:\n", program);
    for (const command &c : commands) {
        std::string line = std::string(c.name) + " " + c.args;
        std::fprintf(out, "  %-16s %s\n", line.c_str(), c.help);
    }
    std::fprintf(out,
                 "\nFrames count from 0, as stored; the program shows them from 1.\n"
                 "Exit status: 0 done, 1 failed, 2 bad arguments.\n"
                 "%s --help prints this text, %s --version the version.\n",
                 program, program);
}

} // namespace

int main(int argc, char **argv) {
    // A file size limit fails the write, which keeps the old file, instead
    // of ending the process.
    signal(SIGXFSZ, SIG_IGN);
    if (argc < 2) {
        usage(stderr);
        return BAD_ARGUMENTS;
    }
    const std::string name = argv[1];
    if (name == "help" || name == "-h" || name == "--help") {
        usage(stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("%s %s\n", program, ORVA_VERSION);
        return 0;
    }
    for (const command &c : commands) {
        if (name != c.name) continue;
        if (argc - 2 != c.nargs) {
            std::fprintf(stderr, "usage: %s %s %s\n", program, c.name, c.args);
            return BAD_ARGUMENTS;
        }
        return c.run(argv + 2);
    }
    std::fprintf(stderr, "%s: unknown command %s\n", program, name.c_str());
    usage(stderr);
    return BAD_ARGUMENTS;
}
