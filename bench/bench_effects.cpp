// bench_effects: frames per second of the effect render over one reel, beside
// a bare libjpeg-turbo loop doing each frame's codec work, and the time of
// the 25 preview frames the effect dialog's OK makes at once.
//
//   taskset -c 0 bench_effects REEL [-n FRAMES] [-p PASSES] [-d DIR]
//
// REEL is a PAL reel at quality 85 (bench_svj --make REEL 250). A is the
// reel from frame 0, B the same reel from frame 1; FRAMES (default 100, at
// most the reel's length - 1) transition frames go through RenderEffectPiece
// into a new reel in DIR (default $TMPDIR or /tmp) for softcut and each wipe.
// The bare loop decodes A's and B's two fields and encodes two fields at 85
// (4:2:2) per frame, without the effect. The preview figure makes 25 icon-
// size frames from ready logs and writes the preview file. Each figure is the
// best of PASSES runs (default 3).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include <jpeglib.h>

#include "bench/bench_util.h"
#include "editing/clip_records.h"
#include "editing/effects.h"
#include "media/fm_format_svj.h"
#include "media/fm_main.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "platform/cl_compress.h"
#include "platform/sem.h"

namespace {

// The fields of one reel as complete JPEGs, read into memory once.
std::vector<std::vector<unsigned char>> reel_fields(const char *name, int frames) {
    std::vector<std::vector<unsigned char>> out;
    fm_fileformat *file = fm_fileformat_allocate("svj");
    if (!file || fm_open(file, name) != 0) return out;
    auto *st = static_cast<fm_svj_state *>(file->state);
    for (int f = 0; f < frames; f++)
        for (int field = 0; field < 2; field++) {
            // Each stored field with the reel's header: a complete JPEG.
            std::vector<unsigned char> b;
            if (fm_svj_field_extract_mem(st->file, f, field, &b) != 0) return {};
            out.push_back(std::move(b));
        }
    fm_close(file);
    fm_fileformat_free(file);
    return out;
}

void decode(const std::vector<unsigned char> &jpeg, std::vector<unsigned char> &rgb) {
    jpeg_decompress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, jpeg.data(), jpeg.size());
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_RGB;
    jpeg_start_decompress(&c);
    rgb.resize(size_t(c.output_width) * c.output_height * 3);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = rgb.data() + size_t(c.output_scanline) * c.output_width * 3;
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
}

size_t encode(const std::vector<unsigned char> &rgb, int w, int h) {
    return EncodeJpeg422(rgb.data(), w, h, 85).size();
}

// A quarter-size log of the reel's first frames in one part file.
bool make_log(FisicData &clip, const std::string &file, int frames) {
    fm_fileformat *rec = svjr_open(clip.path, 4, 1, 0);
    if (!rec) return false;
    const int w = rec->width, h = rec->height;
    std::vector<unsigned char> pic(size_t(rec->size)), jpeg(pic.size() + 65536);
    EffectPreview out;
    bool ok = out.Open(file);
    for (int f = 0; ok && f < frames; f++) {
        int size = int(jpeg.size());
        ok = svjr_read(rec, pic.data(), f) == 0 &&
             clCompressImage(CL_JPEG, w, h, CL_RGBX, 10.0f, pic.data(), &size, jpeg.data()) == 0 &&
             out.Append(jpeg.data(), size);
    }
    ok = out.Finish() && ok;
    svjr_close(rec->state);
    std::free(rec);
    if (!ok) return false;
    clip.width = w;
    clip.height = h;
    clip.parts = 1;
    auto *part = new LogPart[1];
    part[0].sizes = static_cast<int *>(std::malloc(sizeof(int) * size_t(frames)));
    part[0].offsets = static_cast<int *>(std::malloc(sizeof(int) * size_t(frames)));
    std::memcpy(part[0].sizes, out.Sizes().data(), sizeof(int) * size_t(frames));
    std::memcpy(part[0].offsets, out.Offsets().data(), sizeof(int) * size_t(frames));
    part[0].file = strdup(file.c_str());
    part[0].ready = 1;
    clip.part = part;
    clip.complete = 1;
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_effects REEL [-n FRAMES] [-p PASSES] [-d DIR]\n");
        return 2;
    }
    int n = 100, passes = 3;
    const char *tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "-n") == 0) n = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "-p") == 0) passes = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "-d") == 0) dir = argv[i + 1];
    }
    SetVideoMode(0);
    fm_initialize(nullptr);
    SemInit();
    FisicData clip;
    clip.path = strdup(argv[1]);
    {
        fm_fileformat *file = fm_fileformat_allocate("svj");
        if (file && fm_rheader(file, argv[1]) == 0) {
            clip.frames = file->frames;
            fm_close(file);
        }
        fm_fileformat_free(file);
    }
    if (clip.frames < 2) {
        std::fprintf(stderr, "bench_effects: %s is not a readable reel of 2 frames or more\n",
                     argv[1]);
        return 1;
    }
    n = std::min(n, clip.frames - 1);
    Segment seg;
    seg.first = 0;
    seg.last = clip.frames - 1;
    seg.fisic = &clip;
    const std::string out = dir + "/bench_effects_" + std::to_string(getpid()) + ".svj";
    std::printf("reel %s, %d transition frames, %d x %d, best of %d\n", argv[1], n, VIDEO_SIZEX,
                VIDEO_SIZEY, passes);

    struct Named {
        const char *name;
        EffectFunc f;
    };
    const Named effects[] = {{"softcut", SoftcutEffect},
                             {"wipe L->R", WipeLREffect},
                             {"wipe R->L", WipeRLEffect},
                             {"wipe T->B", WipeTBEffect},
                             {"wipe B->T", WipeBTEffect}};
    double softcut_fps = 0;
    for (const Named &e : effects) {
        bool ok = true;
        const double s = best_of(passes, [&] {
            EffectData d;
            SetEffectSource(d.a, &seg, 0, 1);
            SetEffectSource(d.b, &seg, 1, 1);
            d.out = out;
            d.n = d.length = n;
            ok = RenderEffectPiece(d, e.f) == 1 && ok;
        });
        ::unlink(out.c_str());
        if (!ok) {
            std::fprintf(stderr, "bench_effects: the %s render failed\n", e.name);
            return 1;
        }
        if (e.f == SoftcutEffect) softcut_fps = n / s;
        std::printf("%-28s %8.1f frames/s\n", e.name, n / s);
    }

    // The bare codec loop over the same fields.
    const auto fields = reel_fields(argv[1], n + 1);
    if (fields.size() != size_t(2 * (n + 1))) {
        std::fprintf(stderr, "bench_effects: cannot read the reel's fields\n");
        return 1;
    }
    std::vector<unsigned char> a0, a1, b0, b1;
    size_t bytes = 0;
    const double bare = best_of(passes, [&] {
        for (int k = 0; k < n; k++) {
            decode(fields[2 * k], a0);
            decode(fields[2 * k + 1], a1);
            decode(fields[2 * k + 2], b0);
            decode(fields[2 * k + 3], b1);
            const int fh = VIDEO_SIZEY / 2;
            bytes += encode(a0, VIDEO_SIZEX, fh) + encode(b1, VIDEO_SIZEX, fh);
        }
    });
    std::printf("%-28s %8.1f frames/s\n", "bare libjpeg-turbo loop", n / bare);
    std::printf("%-28s %8.2f\n", "softcut / bare", softcut_fps / (n / bare));

    // 25 preview frames from ready logs, with the preview file.
    const int pn = std::min(25, clip.frames - 1);
    const std::string log = dir + "/bench_effects_log_" + std::to_string(getpid());
    if (!make_log(clip, log, pn + 1)) {
        std::fprintf(stderr, "bench_effects: cannot make the log\n");
        return 1;
    }
    const std::string prev = dir + "/bench_effects_prev_" + std::to_string(getpid());
    bool ok = true;
    const double ps = best_of(passes, [&] {
        EffectPreview p;
        ok = p.Open(prev) && ok;
        for (int i = 0; i < pn; i++)
            ok = RenderEffectFrame(SoftcutEffect, &clip, i, &clip, i + 1, clip.width, clip.height,
                                   i, pn, p) == 1 &&
                 ok;
        ok = p.Finish() && ok;
    });
    ::unlink(prev.c_str());
    ::unlink(log.c_str());
    if (!ok) {
        std::fprintf(stderr, "bench_effects: the preview failed\n");
        return 1;
    }
    std::printf("%-28s %8.1f ms (%d frames %d x %d)\n", "preview of OK", ps * 1000, pn, clip.width,
                clip.height);
    SemRemove();
    return bytes > 0 ? 0 : 1;
}
