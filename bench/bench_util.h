// What the bench programs share: a private directory removed at the end, the
// demo database made in it, the resident memory of the process, timing of a
// run, and JPEG fields encoded in memory.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

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
