// svjtool: inspects and builds SVJ reels (Parts 2.1, 2.6) from the command line.
//
//   svjtool info REEL                      tail values (svj_info)
//   svjtool index REEL                     field boundaries (svj_indexate)
//   svjtool sizes REEL OUT                 per-field ratios (svj_dumpsize)
//   svjtool pack OUT W H F0 F1 [F0 F1 ...] reel from JPEG field pairs (field-split writer)
//   svjtool field REEL FRAME FIELD OUT     one field as a standalone JPEG
//
// Errors go to standard error with exit status 1. To add a subcommand, write
// a function taking the arguments after the subcommand's name and add a line
// to the commands table.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "media/field.h"
#include "media/fm_error.h"
#include "media/fm_format_svj.h"
#include "media/svj.h"

namespace {

const char *program = "svjtool";

int failure(const char *format, const char *what, const char *detail = nullptr) {
    std::fprintf(stderr, "%s: ", program);
    std::fprintf(stderr, format, what, detail);
    std::fprintf(stderr, "\n");
    return 1;
}

// A whole decimal number in min .. INT_MAX.
bool parse_int(const char *text, int min, int *value) {
    if (text == nullptr || *text == '\0') return false;
    errno = 0;
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > INT_MAX) return false;
    *value = int(v);
    return true;
}

// The reel layers print their own diagnostics; this names the file first
// when it cannot even be read.
bool readable(const char *name) {
    int fd = ::open(name, O_RDONLY);
    if (fd < 0) {
        failure("cannot open %s: %s", name, std::strerror(errno));
        return false;
    }
    ::close(fd);
    return true;
}

int cmd_info(int, char **argv) {
    if (!readable(argv[0])) return 1;
    svj_handle *h = svj_open(argv[0]);
    if (h == nullptr) return failure("%s is not a readable SVJ reel", argv[0]);
    char magic[17] = {};
    std::memcpy(magic, h->tail, 16);
    std::printf("magic %s\n", magic);
    std::printf("width %u\n", svj_info(h, 6));
    std::printf("height %u\n", svj_info(h, 7));
    std::printf("frames %u\n", svj_info(h, 8));
    std::printf("header %u\n", svj_header_size(h));
    std::printf("table %u\n", svj_table_offset(h));
    std::printf("lost %u\n", svj_info(h, 9));
    std::printf("ratio %u\n", svj_info(h, 2));
    svj_close(h);
    return 0;
}

int cmd_index(int, char **argv) {
    if (!readable(argv[0])) return 1;
    svj_indexate(argv[0], 1);
    return 0;
}

int cmd_sizes(int, char **argv) {
    if (!readable(argv[0])) return 1;
    svj_handle *h = svj_open(argv[0]);
    if (h == nullptr) return failure("%s is not a readable SVJ reel", argv[0]);
    int result = svj_dumpsize(h, argv[1]);
    svj_close(h);
    if (result != 0) return failure("cannot write %s", argv[1]);
    return 0;
}

int cmd_pack(int argc, char **argv) {
    int width, height;
    if (!parse_int(argv[1], 1, &width)) return failure("bad width %s", argv[1]);
    if (!parse_int(argv[2], 2, &height)) return failure("bad height %s", argv[2]);
    int names = argc - 3;
    if (names < 2 || names % 2 != 0) return failure("%s", "JPEG fields come in pairs (F0 F1)");
    fm_fileformat record{};
    if (svjf_create(argv[0], &record, width, height) != 0)
        return failure("cannot create %s", argv[0]);
    for (int frame = 0; frame < names / 2; frame++) {
        if (svjf_write(&record, frame, argv[3 + 2 * frame], argv[4 + 2 * frame]) != 0) {
            svjf_close(&record);
            return failure("cannot store frame of %s and %s", argv[3 + 2 * frame],
                           argv[4 + 2 * frame]);
        }
    }
    if (svjf_close(&record) != 0) return failure("cannot finish %s", argv[0]);
    return 0;
}

int cmd_field(int, char **argv) {
    int frame, field;
    if (!parse_int(argv[1], 0, &frame)) return failure("bad frame number %s", argv[1]);
    if (!parse_int(argv[2], 0, &field) || field > 1)
        return failure("bad field %s (0 or 1)", argv[2]);
    fm_errno = 0;
    fm_svj_file *file = fm_svj_file_open(argv[0], 0);
    if (file == nullptr) return failure("%s: %s", argv[0], fm_errorstr(fm_errno));
    int result = fm_svj_field_extract(file, argv[3], frame, field);
    int code = fm_errno;
    fm_svj_file_close(file);
    if (result != 0) return failure("%s: %s", argv[3], fm_errorstr(code));
    return 0;
}

struct command {
    const char *name;
    const char *args; // usage of the arguments
    int min_args;
    int max_args; // -1: no limit
    int (*run)(int argc, char **argv);
    const char *help;
};

const command commands[] = {
    {"info", "REEL", 1, 1, cmd_info, "print the reel's tail: magic, size, frames, layout"},
    {"index", "REEL", 1, 1, cmd_index, "scan the reel for field boundaries"},
    {"sizes", "REEL OUT", 2, 2, cmd_sizes, "write per-field compression ratios to OUT"},
    {"pack", "OUT W H F0 F1 [F0 F1 ...]", 5, -1, cmd_pack,
     "build a reel of W x H from JPEG field pairs"},
    {"field", "REEL FRAME FIELD OUT", 4, 4, cmd_field,
     "write one field (0 or 1) of a frame as a JPEG file"},
};

void usage(FILE *out) {
    std::fprintf(out, "usage: %s COMMAND ARGS...\n\ncommands:\n", program);
    for (const command &c : commands) {
        std::string line = std::string(c.name) + " " + c.args;
        std::fprintf(out, "  %-36s %s\n", line.c_str(), c.help);
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        usage(stderr);
        return 1;
    }
    std::string name = argv[1];
    if (name == "help" || name == "-h" || name == "--help") {
        usage(stdout);
        return 0;
    }
    for (const command &c : commands) {
        if (name != c.name) continue;
        int n = argc - 2;
        if (n < c.min_args || (c.max_args >= 0 && n > c.max_args)) {
            std::fprintf(stderr, "usage: %s %s %s\n", program, c.name, c.args);
            return 1;
        }
        return c.run(n, argv + 2);
    }
    std::fprintf(stderr, "%s: unknown command %s\n", program, name.c_str());
    usage(stderr);
    return 1;
}
