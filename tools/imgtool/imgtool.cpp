// imgtool: command-line access to the still-image formats.
//
//   imgtool info FILE                  prints "W H" from the file's header
//   imgtool convert [-q N] IN OUT      reads IN, writes OUT in OUT's format
//   imgtool fit [-q N] IN OUT          fits IN into the PAL video frame, writes OUT
//
// Formats are chosen by extension, without regard to case (PIC names end in
// ".pic" exactly): .pic .tga .sgi .rgb .bw .rgba .yuv .jpg .jpeg. -q sets the
// JPEG quality (default 75). -h or --help prints the usage on standard output.
// Each failure prints one message on standard error; the exit status is 1 for
// a picture that cannot be read or written and 2 for bad arguments.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <strings.h>

#include "media/fit.h"
#include "media/img_formats.h"
#include "media/img_pic.h"
#include "media/img_util.h"
#include "media/video_globals.h"
#include "platform/fileio.h"
#include "orva_version.h"

namespace {

const char *const usage_text =
    "usage: imgtool info FILE\n"
    "       imgtool convert [-q QUALITY] IN OUT\n"
    "       imgtool fit [-q QUALITY] IN OUT\n"
    "       imgtool --help | --version\n"
    "IN and OUT are .pic, .tga, .sgi, .rgb, .bw, .rgba, .yuv, .jpg or .jpeg files\n"
    "(any case, but .pic in lower case); QUALITY (1-100) is the JPEG quality, 75\n"
    "by default. fit scales IN into a 720 x 576 frame.\n";

constexpr int EXIT_BAD_ARGS = 2;

int usage_error(const char *what, const char *arg) {
    if (!what) {
        std::fputs(usage_text, stderr);
    } else {
        std::fprintf(stderr, "imgtool: %s%s%s (imgtool --help for usage)\n", what, arg ? " " : "",
                     arg ? arg : "");
    }
    return EXIT_BAD_ARGS;
}

int fail(const char *what, const char *name) {
    std::fprintf(stderr, "imgtool: %s: %s\n", name, what);
    return 1;
}

// The entry points for name's format; null after a message when there are none.
const ImgFunctions *functions_for(const char *name) {
    const ImgFunctions *fn = img_functions(img_format_of_name(name));
    if (fn) return fn;
    const size_t len = std::strlen(name);
    if (len > 4 && strcasecmp(name + len - 4, ".pic") == 0)
        fail("PIC file names must end in lower-case .pic", name);
    else
        fail("unknown picture format", name);
    return nullptr;
}

// True when the file a reader would open can be opened; otherwise prints why
// ("No such file or directory", "not a regular file", ...).
bool can_open(const char *name, bool pic) {
    const std::string path = pic ? pic_file_name(name) : std::string(name);
    FilePtr f(fopen_regular(path.c_str(), "rb"));
    if (!f) fail(file_error(errno), path.c_str());
    return bool(f);
}

// Reads the header of name; false with a message on failure.
bool read_header(const char *name, const ImgFunctions *fn, int &w, int &h) {
    if (!can_open(name, fn == img_functions(0))) return false;
    if (fn->header(name, &w, &h) != 1 || w <= 0 || h <= 0) {
        fail("cannot read picture header", name);
        return false;
    }
    return true;
}

// Reads a picture in the given reader mode; false with a message on failure.
bool read_picture(const char *name, int mode, std::vector<unsigned char> &pixels, int &w, int &h) {
    const ImgFunctions *fn = functions_for(name);
    if (!fn || !read_header(name, fn, w, h)) return false;
    pixels.assign(size_t(w) * size_t(h) * (mode == GLO_DISPLAY3 || mode == GLO_FIELDS ? 3 : 4), 0);
    if (fn->read(name, pixels.data(), mode) != 1) {
        fail("cannot read picture (damaged or truncated)", name);
        return false;
    }
    return true;
}

int write_picture(const char *name, int w, int h, const std::vector<unsigned char> &image,
                  int quality) {
    const ImgFunctions *fn = functions_for(name);
    if (!fn) return 1;
    errno = 0;
    if (fn->write(name, w, h, image.data(), quality) != 1) {
        const std::string what = std::string("cannot write picture") +
                                 (errno ? std::string(": ") + file_error(errno) : std::string());
        return fail(what.c_str(), name);
    }
    return 0;
}

int cmd_info(const char *name) {
    const ImgFunctions *fn = functions_for(name);
    int w = 0, h = 0;
    if (!fn || !read_header(name, fn, w, h)) return 1;
    std::printf("%d %d\n", w, h);
    return 0;
}

int cmd_convert(const char *in, const char *out, int quality) {
    std::vector<unsigned char> image;
    int w = 0, h = 0;
    if (!functions_for(out) || !read_picture(in, GLO_DISPLAY3, image, w, h)) return 1;
    return write_picture(out, w, h, image, quality);
}

int cmd_fit(const char *in, const char *out, int quality) {
    std::vector<unsigned char> fields;
    int w = 0, h = 0;
    if (!functions_for(out) || !read_picture(in, GLO_FIELDS, fields, w, h)) return 1;
    const int vx = VIDEO_SIZEX, vy = VIDEO_SIZEY;
    std::vector<unsigned char> frame(size_t(vx) * vy * 3);
    ScaleBufferInterp(fields.data(), frame.data(), w, h);
    // Field-sequential R, G, B to a bottom-up B, G, R display image.
    std::vector<unsigned char> image(frame.size());
    for (int y = 0; y < vy; ++y) {
        const unsigned char *src =
            frame.data() + (size_t(y / 2) + size_t(vy / 2) * (y % 2)) * vx * 3;
        unsigned char *dst = image.data() + size_t(vy - 1 - y) * vx * 3;
        for (int x = 0; x < vx; ++x) {
            dst[x * 3 + 0] = src[x * 3 + 2];
            dst[x * 3 + 1] = src[x * 3 + 1];
            dst[x * 3 + 2] = src[x * 3 + 0];
        }
    }
    return write_picture(out, vx, vy, image, quality);
}

} // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage_text, stdout);
            return 0;
        }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("imgtool %s\n", ORVA_VERSION);
        return 0;
    }
    if (argc < 2) return usage_error(nullptr, nullptr);
    const std::string cmd = argv[1];
    if (cmd != "info" && cmd != "convert" && cmd != "fit")
        return usage_error("unknown command", argv[1]);
    int quality = 75;
    std::vector<const char *> args;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "-q") == 0 && cmd != "info") {
            if (i + 1 >= argc) return usage_error("-q needs a quality", nullptr);
            char *end = nullptr;
            const long q = std::strtol(argv[++i], &end, 10);
            if (!*argv[i] || *end || q < 1 || q > 100)
                return usage_error("bad quality (1-100):", argv[i]);
            quality = int(q);
        } else if (argv[i][0] == '-' && argv[i][1]) {
            return usage_error("unknown option", argv[i]);
        } else {
            args.push_back(argv[i]);
        }
    }
    const size_t want = cmd == "info" ? 1 : 2;
    if (args.size() != want) return usage_error("wrong number of files for", argv[1]);
    for (const char *a : args)
        if (!*a) return usage_error("empty file name", nullptr);
    SetVideoMode(0); // PAL: 720 x 576
    if (cmd == "info") return cmd_info(args[0]);
    if (cmd == "convert") return cmd_convert(args[0], args[1], quality);
    return cmd_fit(args[0], args[1], quality);
}
