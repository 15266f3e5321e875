// What the bench programs share: a private directory removed at the end, the
// demo database or a bare one made in it, PAL reels drawn frame by frame, the
// resident memory of the process, timing of a run, and JPEG fields encoded in
// memory.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "database/db_list.h"
#include "media/fm_main.h"
#include "media/video_globals.h"
#include "platform/sem.h"

// The private directory of a bench program: made under $TMPDIR (or /tmp) and
// removed with everything in it when the program ends, unless
// ORVA_BENCH_KEEP is set.
struct BenchDir {
    std::string path; // empty when it could not be made

    explicit BenchDir(const char *prefix) {
        const char *tmp = getenv("TMPDIR");
        std::string t = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
        if (mkdtemp(t.data()))
            path = t;
        else
            perror("mkdtemp");
    }
    ~BenchDir() {
        if (path.empty() || getenv("ORVA_BENCH_KEEP")) return;
        std::string cmd = "rm -rf '" + path + "'";
        if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path.c_str());
    }
    BenchDir(const BenchDir &) = delete;
    BenchDir &operator=(const BenchDir &) = delete;
};

// Makes the demo database (tools/orva-demo) in dir + "/demo" and returns its
// path, or an empty string (after saying why) when the tool failed.
inline std::string MakeDemo(const BenchDir &dir) {
    const std::string demo = dir.path + "/demo";
    const std::string make =
        std::string(ORVA_BIN_DIR) + "/tools/orva-demo '" + demo + "' >/dev/null";
    if (system(make.c_str()) != 0) {
        fprintf(stderr, "orva-demo failed\n");
        return "";
    }
    return demo;
}

// Makes dir a database named "bench" (its SVJ, CLIP, WORK and IMAGES
// directories and the list file OrvaDB naming it, found through ORVA_RSRC)
// and readies what the program has after start-up: the database list, PAL
// video, the file formats and the semaphore set.
inline void StartBenchDatabase(const std::string &dir) {
    for (const char *sub : {"/SVJ", "/CLIP", "/WORK", "/IMAGES"})
        mkdir((dir + sub).c_str(), 0777);
    std::ofstream(dir + "/OrvaDB") << "DATABASE bench\nPATH " << dir << "/\n";
    setenv("ORVA_RSRC", dir.c_str(), 1);
    DbInitialize();
    SetVideoMode(0);
    fm_initialize(nullptr);
    SemInit();
}

// Writes a reel of `frames` PAL frames (720 x 576) through the SVJ driver,
// draw(rgb, n) filling the driver's RGB buffer for frame n; false when the
// reel could not be made or written.
inline bool MakeBenchReel(const std::string &path, int frames,
                          const std::function<void(unsigned char *rgb, int n)> &draw) {
    fm_fileformat *f = fm_create_file("svj", path.c_str(), 720, 576, frames, 0);
    if (!f) return false;
    bool ok = true;
    for (int n = 0; n < frames && ok; n++) {
        draw(f->buffer, n);
        ok = fm_write(f, n) == 0;
    }
    ok = fm_close(f) == 0 && ok;
    fm_fileformat_free(f);
    return ok;
}

// Resident memory of this process in kB, or -1.
inline long resident_kb() {
    long pages = 0, resident = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (!f) return -1;
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = -1;
    fclose(f);
    return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Wall-clock seconds one call of run takes.
inline double seconds_of(const std::function<void()> &run) {
    auto t0 = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The fastest of `passes` calls of run, in seconds.
inline double best_of(int passes, const std::function<void()> &run) {
    double best = 1e30;
    for (int p = 0; p < passes; p++)
        best = std::min(best, seconds_of(run));
    return best;
}

// The fastest of `passes` calls of run, in milliseconds.
inline double best_ms(int passes, const std::function<void()> &run) {
    return 1000 * best_of(passes, run);
}

// A baseline 4:2:2 (2x1, 1x1, 1x1) JPEG of w x h packed RGB at a quality.
inline std::vector<unsigned char> EncodeJpeg422(const unsigned char *rgb, int w, int h,
                                                int quality) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    c.comp_info[0].h_samp_factor = 2;
    c.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<unsigned char *>(rgb) + size_t(c.next_scanline) * w * 3;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<unsigned char> out(mem, mem + size);
    free(mem);
    return out;
}
