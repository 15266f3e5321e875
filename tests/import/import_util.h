// Helpers of the import tests: JPEG pictures made with the project's writer,
// numbered sequences of them, and a reel opened to read its frames.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "media/fm_main.h"
#include "media/img_jpeg.h"

namespace import_test {

// A gradient of w x h that depends on seed (3-byte display image).
inline std::vector<unsigned char> picture(int w, int h, int seed) {
    std::vector<unsigned char> p(size_t(w) * h * 3);
    for (size_t i = 0; i < p.size(); i++) {
        const size_t x = i / 3 % size_t(w), y = i / 3 / size_t(w);
        p[i] = (unsigned char)((i % 3 == 0 ? x : i % 3 == 1 ? y : (x + y) / 2) + size_t(seed) * 29);
    }
    return p;
}

inline void write_jpeg(const std::string &name, int w, int h, int seed) {
    const auto p = picture(w, h, seed);
    ASSERT_EQ(glotojpg(name.c_str(), w, h, p.data(), 95), 1) << name;
}

// dir/base.0001.jpg .. dir/base.<n>.jpg of w x h, seeds 1 .. n.
inline void sequence(const std::string &dir, const std::string &base, int n, int w = 720,
                     int h = 576) {
    for (int i = 1; i <= n; i++) {
        char name[64];
        snprintf(name, sizeof name, "/%s.%04d.jpg", base.c_str(), i);
        write_jpeg(dir + name, w, h, i);
    }
}

// A reel opened for reading; f is null when it could not be opened.
struct Reel {
    fm_fileformat *f = fm_fileformat_allocate("svj");
    explicit Reel(const std::string &path) {
        if (f && fm_open(f, path.c_str()) != 0) {
            fm_fileformat_free(f);
            f = nullptr;
        }
    }
    ~Reel() {
        if (!f) return;
        fm_close(f);
        fm_fileformat_free(f);
    }
    Reel(const Reel &) = delete;
    Reel &operator=(const Reel &) = delete;
    // Frame k into the buffer, or null.
    const unsigned char *frame(int k) { return f && fm_read(f, k) == 0 ? f->buffer : nullptr; }
};

} // namespace import_test
