// Helpers of the format-manager, svj driver and display reader tests.
#include "tests/media/fm_test_util.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "tests/media/reel_fixtures.h"

namespace fm_test {

bytes make_frame(int w, int h, int seed) {
    bytes frame(size_t(w) * h * 3);
    for (int y = 0; y < h - h % 2; y++) {
        unsigned char *p = frame.data() + (size_t(y / 2) + size_t(h / 2) * (y % 2)) * size_t(w) * 3;
        for (int x = 0; x < w; x++) {
            p[3 * x] = (unsigned char)(20 + x * 200 / w + (seed * 7) % 32);
            p[3 * x + 1] = (unsigned char)(30 + y * 180 / h + (seed * 3) % 16);
            double s = std::sin((x + 3.0 * seed) / 40.0) * std::cos(y / 30.0);
            p[3 * x + 2] = (unsigned char)(128 + 90 * s);
        }
    }
    return frame;
}

std::string write_reel(const std::string &name, int w, int h, const std::vector<bytes> &frames,
                       int quality) {
    fm_errno = 0;
    fm_fileformat *file = fm_fileformat_allocate("svj");
    if (file == nullptr) return std::string("allocate: ") + fm_errorstr(fm_errno);
    fm_fileformat shape{};
    shape.width = w;
    shape.height = h;
    shape.frames = int(frames.size());
    const char *step = "create";
    if (fm_create(file, name.c_str(), &shape, quality) == 0) {
        step = nullptr;
        for (size_t f = 0; f < frames.size() && step == nullptr; f++) {
            std::copy_n(frames[f].begin(), file->size, file->buffer);
            if (fm_write(file, int(f)) != 0) step = "write";
        }
        if (fm_close(file) != 0 && step == nullptr) step = "close";
    }
    fm_fileformat_free(file);
    return step ? std::string(step) + ": " + fm_errorstr(fm_errno) : "";
}

const sample &sample_reel(int w, int h) {
    static reel_test::temp_dir dir;
    static std::map<std::pair<int, int>, sample> made;
    sample &s = made[{w, h}];
    if (s.path.empty()) {
        s.path = dir.path(std::to_string(w) + "x" + std::to_string(h) + ".svj");
        s.frames = {make_frame(w, h, 1), make_frame(w, h, 7)};
        std::string problem = write_reel(s.path, w, h, s.frames, 90);
        if (!problem.empty()) std::fprintf(stderr, "sample reel: %s\n", problem.c_str());
    }
    return s;
}

pixel_error compare(const unsigned char *a, const unsigned char *b, size_t n) {
    pixel_error e;
    double sum = 0;
    for (size_t i = 0; i < n; i++) {
        int d = std::abs(int(a[i]) - int(b[i]));
        sum += d;
        if (d > e.max) e.max = d;
    }
    e.mean = n ? sum / double(n) : 0;
    return e;
}

void corrupt_scan(const std::string &reel, int k) {
    bytes data = reel_test::read_file(reel);
    uint32_t at =
        reel_test::get32(data, reel_test::get32(data, data.size() - 36) + 8 * uint32_t(k));
    data.at(at + 7) = 0x77; // at + 3 is the DA of FF FF FF DA
    reel_test::write_file(reel, data);
}

bytes read_ppm(const std::string &name, int *w, int *h) {
    bytes data = reel_test::read_file(name);
    int maxval = 0, used = 0;
    std::string head(data.begin(), data.begin() + std::min<size_t>(data.size(), 64));
    if (std::sscanf(head.c_str(), "P6 %d %d %d%n", w, h, &maxval, &used) != 3 || maxval != 255)
        return {};
    size_t start = size_t(used) + 1, n = size_t(*w) * size_t(*h) * 3;
    if (data.size() < start + n) return {};
    return bytes(data.begin() + long(start), data.begin() + long(start + n));
}

} // namespace fm_test
