// imgtool: command-line access to the still-image formats.
//
//   imgtool info FILE                  prints "W H" from the file's header
//   imgtool convert [-q N] IN OUT      reads IN, writes OUT in OUT's format
//   imgtool fit [-q N] IN OUT          fits IN into the PAL video frame, writes OUT
//
// Formats are chosen by extension: .pic .tga .sgi .rgb .yuv .jpg. -q sets the
// JPEG quality (default 75). Errors go to standard error with exit status 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/fit.h"
#include "media/img_formats.h"
#include "media/img_util.h"
#include "media/video_globals.h"
#include "platform/sem.h"

namespace {

const char *const usage_text =
    "usage: imgtool info FILE\n"
    "       imgtool convert [-q QUALITY] IN OUT\n"
    "       imgtool fit [-q QUALITY] IN OUT\n"
    "IN and OUT are .pic, .tga, .sgi, .rgb, .yuv or .jpg files; QUALITY (1-100)\n"
    "is the JPEG quality, 75 by default. fit scales IN into a 720 x 576 frame.\n";

int usage() {
    std::fputs(usage_text, stderr);
    return 1;
}

int fail(const char *what, const char *name) {
    std::fprintf(stderr, "imgtool: %s: %s\n", name, what);
    return 1;
}

const ImgFunctions *functions_for(const char *name) {
    return img_functions(img_format_of_name(name));
}

// Reads a picture in the given reader mode; false with a message on failure.
bool read_picture(const char *name, int mode, std::vector<unsigned char> &pixels, int &w, int &h) {
    const ImgFunctions *fn = functions_for(name);
    if (!fn) {
        fail("unknown picture format", name);
        return false;
    }
    if (fn->header(name, &w, &h) != 1 || w <= 0 || h <= 0) {
        fail("cannot read picture header", name);
        return false;
    }
    pixels.assign(size_t(w) * h * (mode == GLO_DISPLAY3 || mode == GLO_FIELDS ? 3 : 4), 0);
    if (fn->read(name, pixels.data(), mode) != 1) {
        fail("cannot read picture", name);
        return false;
    }
    return true;
}

int write_picture(const char *name, int w, int h, const std::vector<unsigned char> &image,
                  int quality) {
    const ImgFunctions *fn = functions_for(name);
    if (!fn) return fail("unknown picture format", name);
    if (fn->write(name, w, h, image.data(), quality) != 1)
        return fail("cannot write picture", name);
    return 0;
}

int cmd_info(const char *name) {
    const ImgFunctions *fn = functions_for(name);
    if (!fn) return fail("unknown picture format", name);
    int w = 0, h = 0;
    if (fn->header(name, &w, &h) != 1 || w <= 0 || h <= 0)
        return fail("cannot read picture header", name);
    std::printf("%d %d\n", w, h);
    return 0;
}

int cmd_convert(const char *in, const char *out, int quality) {
    std::vector<unsigned char> image;
    int w = 0, h = 0;
    if (!read_picture(in, GLO_DISPLAY3, image, w, h)) return 1;
    return write_picture(out, w, h, image, quality);
}

int cmd_fit(const char *in, const char *out, int quality) {
    std::vector<unsigned char> fields;
    int w = 0, h = 0;
    if (!read_picture(in, GLO_FIELDS, fields, w, h)) return 1;
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
    if (argc < 2) return usage();
    const std::string cmd = argv[1];
    int quality = 75;
    std::vector<const char *> args;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "-q") == 0) {
            if (i + 1 >= argc) return usage();
            char *end = nullptr;
            const long q = std::strtol(argv[++i], &end, 10);
            if (!*argv[i] || *end || q < 1 || q > 100) {
                std::fprintf(stderr, "imgtool: bad quality %s\n", argv[i]);
                return 1;
            }
            quality = int(q);
        } else {
            args.push_back(argv[i]);
        }
    }
    SetVideoMode(0); // PAL: 720 x 576
    SemInit();       // the readers and writers pass the pause gate, which stays open
    if (cmd == "info" && args.size() == 1) return cmd_info(args[0]);
    if (cmd == "convert" && args.size() == 2) return cmd_convert(args[0], args[1], quality);
    if (cmd == "fit" && args.size() == 2) return cmd_fit(args[0], args[1], quality);
    return usage();
}
