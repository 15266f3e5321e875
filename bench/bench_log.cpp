// Speed of the clip logs: how fast the log converter builds a PAL reel's
// log on one core, and what opening a long reel without a log costs (time to
// the first picture, resident memory per open reel).
//
//   bench_log [--frames N] [--long-frames M]
//
// Makes its reels in a private directory under $TMPDIR (or /tmp): an N-frame
// reel of moving, detailed pictures written through the SVJ driver, and an
// M-frame reel (90 000 by default, one hour at 25 frames per second) built
// by the field-split writer from one realistic field pair.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "bench/bench_util.h"
#include "desktop/clip_model.h"
#include "desktop/log_writer.h"
#include "media/field.h"
#include "media/fm_main.h"

namespace {

using Clock = std::chrono::steady_clock;
const int W = 720, H = 576;

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Moving gradients with a checker of detail, field-sequential RGB.
void draw(unsigned char *buf, int n) {
    for (int y = 0; y < H; y++) {
        unsigned char *row = buf + (size_t(y / 2) + size_t(H / 2) * (y % 2)) * W * 3;
        for (int x = 0; x < W; x++) {
            int r = (x + 3 * n) % 256, g = (y + 2 * n) % 256,
                b = int(128 + 100 * std::sin((x * x + y * y + n * 500) / 3000.0));
            if (((x + n) / 16 + y / 16) % 2) r = 255 - r;
            row[x * 3] = (unsigned char)r;
            row[x * 3 + 1] = (unsigned char)g;
            row[x * 3 + 2] = (unsigned char)b;
        }
    }
}

// Writes one 720 x 288 field of packed RGB as a baseline 4:2:2 JPEG file.
bool write_field(const std::string &name, const unsigned char *rgb) {
    const std::vector<unsigned char> jpeg = EncodeJpeg422(rgb, W, H / 2, 75);
    FILE *f = fopen(name.c_str(), "wb");
    bool ok = f && fwrite(jpeg.data(), 1, jpeg.size(), f) == jpeg.size();
    ok = f && fclose(f) == 0 && ok;
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    int frames = 250, long_frames = 90000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--frames"))
            frames = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--long-frames"))
            long_frames = atoi(argv[i + 1]);
    }
    if (frames < 1 || long_frames < 1) {
        fprintf(stderr, "usage: bench_log [--frames N] [--long-frames M]\n");
        return 1;
    }
    const BenchDir bench_dir("orva-bench");
    if (bench_dir.path.empty()) return 1;
    const std::string &dir = bench_dir.path;
    StartBenchDatabase(dir);

    // 1. Log building on one core: every part of the reel, as the converter
    // writes them.
    const std::string reel = dir + "/SVJ/bench.svj";
    if (!MakeBenchReel(reel, frames, draw)) {
        fprintf(stderr, "bench_log: cannot write %s\n", reel.c_str());
        return 1;
    }
    int status = 0;
    FisicData *f = CreaFisicData(reel.c_str(), 1, &status);
    if (!f) {
        fprintf(stderr, "bench_log: cannot open %s\n", reel.c_str());
        return 1;
    }
    f->refs = 1;
    AddFirstFisic(f);
    int saw = 0;
    auto t0 = Clock::now();
    while (ConvertPass(&saw)) {
    }
    double secs = seconds_since(t0);
    printf("log building: %d frames in %.3f s = %.0f frames/s (%.1f x real time at 25 fps)%s\n",
           frames, secs, frames / secs, frames / secs / 25, f->complete ? "" : " INCOMPLETE");

    // 2. A long reel without a log: time to the first picture and memory.
    const std::string f0 = dir + "/f0.jpg", f1 = dir + "/f1.jpg", big = dir + "/SVJ/long.svj";
    {
        // One field pair, plain grey: opening costs do not depend on the
        // pictures, and small fields keep an hour of frames modest on disk.
        std::vector<unsigned char> frame(size_t(W) * H * 3, 128);
        if (!write_field(f0, frame.data()) ||
            !write_field(f1, frame.data() + size_t(W) * H / 2 * 3)) {
            fprintf(stderr, "bench_log: cannot write the field pictures\n");
            return 1;
        }
        fm_fileformat rec{};
        if (svjf_create(big.c_str(), &rec, W, H) != 0) return 1;
        for (int n = 0; n < long_frames; n++)
            if (svjf_write(&rec, n, f0.c_str(), f1.c_str()) != 0) return 1;
        if (svjf_close(&rec) != 0) return 1;
    }
    struct stat st {};
    stat(big.c_str(), &st);
    // Time to the first picture of one open, then memory over several
    // opens of the same reel (each open keeps its own reader and table).
    t0 = Clock::now();
    FisicData *g = CreaFisicData(big.c_str(), 0, &status);
    if (!g) {
        fprintf(stderr, "bench_log: cannot open %s\n", big.c_str());
        return 1;
    }
    WindowData w;
    Segment s;
    s.first = 0, s.last = g->frames - 1, s.fisic = g, s.next = s.prev = &s;
    w.seg_first = w.seg_last = w.seg_current = &s;
    w.width = g->width, w.height = g->height;
    LoadFirstFrame(&w);
    double first = seconds_since(t0);
    const int opens = 8;
    std::vector<FisicData *> more;
    std::vector<unsigned char *> images;
    long before = resident_kb();
    for (int i = 0; i < opens; i++) {
        FisicData *h = CreaFisicData(big.c_str(), 0, &status);
        if (!h) return 1;
        more.push_back(h);
        // Each open window also holds its quarter-size picture.
        images.push_back(static_cast<unsigned char *>(calloc(size_t(h->width) * h->height * 4, 1)));
        memset(images.back(), 1, size_t(h->width) * h->height * 4);
    }
    long after = resident_kb();
    printf("open without log: %d frames (%.0f MB) first picture after %.1f ms, resident memory "
           "%.0f kB per open reel\n",
           g->frames, st.st_size / 1e6, first * 1000, double(after - before) / opens);
    for (FisicData *h : more)
        FreeFisicData(h);
    for (unsigned char *im : images)
        free(im);
    free(w.image);
    FreeFisicData(g);
    return 0;
}
