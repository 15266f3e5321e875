// Helpers for the still-picture tests: a scratch directory, pictures made by
// the tests, conversion between the display image and top-down R, G, B, and
// ImageMagick as an independent encoder and decoder.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sem.h"

namespace stills_test {

using Bytes = std::vector<unsigned char>;

// A fresh directory under $TMPDIR or /tmp, removed at the end of the test.
class ScratchDir {
  public:
    ScratchDir() {
        const char *tmp = std::getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/orva_stills_XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back(0);
        dir_ = mkdtemp(buf.data()) ? buf.data() : "";
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }
    std::string path(const std::string &name) const { return dir_ + "/" + name; }

  private:
    std::string dir_;
};

// The readers and writers wait at semaphore 0, which must exist and be open.
inline void open_pause_gate() {
    SemInit();
    SemSet(0, 0);
}

// A picture with distinct values in every channel: top-down packed R, G, B.
inline Bytes test_rgb(int w, int h) {
    Bytes rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char *p = &rgb[(size_t(y) * w + x) * 3];
            p[0] = static_cast<unsigned char>((x * 7 + y * 3) & 255);
            p[1] = static_cast<unsigned char>((x * 2 + y * 11 + 40) & 255);
            p[2] = static_cast<unsigned char>((255 - x * 5 - y) & 255);
        }
    return rgb;
}

// Top-down R, G, B to a bottom-up 3-byte (B, G, R) or 4-byte (0, B, G, R) display image.
inline Bytes rgb_to_display(const Bytes &rgb, int w, int h, int bpp = 3) {
    Bytes out(size_t(w) * h * bpp);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char *s = &rgb[(size_t(y) * w + x) * 3];
            unsigned char *d = &out[(size_t(h - 1 - y) * w + x) * bpp];
            if (bpp == 4) *d++ = 0;
            d[0] = s[2], d[1] = s[1], d[2] = s[0];
        }
    return out;
}

// Bottom-up 3-byte display image to top-down R, G, B.
inline Bytes display_to_rgb(const Bytes &img, int w, int h) {
    Bytes out(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char *s = &img[(size_t(h - 1 - y) * w + x) * 3];
            unsigned char *d = &out[(size_t(y) * w + x) * 3];
            d[0] = s[2], d[1] = s[1], d[2] = s[0];
        }
    return out;
}

inline bool write_file(const std::string &path, const Bytes &data) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
    return bool(f);
}

inline Bytes read_file(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline bool write_ppm(const std::string &path, int w, int h, const Bytes &rgb) {
    std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes data(head.begin(), head.end());
    data.insert(data.end(), rgb.begin(), rgb.end());
    return write_file(path, data);
}

inline bool run(const std::string &cmd) {
    return std::system((cmd + " 2>/dev/null").c_str()) == 0;
}

// ImageMagick's decode of a file as top-down 8-bit R, G, B (empty on failure).
// ImageMagick keeps a Targa file's origin as an orientation tag and writes the
// rows in its own order; -auto-orient applies the tag so that the result is
// the picture as the file's header says it is stored.
inline Bytes magick_decode(const std::string &path) {
    Bytes out;
    FILE *p =
        popen(("convert '" + path + "' -auto-orient -depth 8 rgb:- 2>/dev/null").c_str(), "r");
    if (!p) return out;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.insert(out.end(), buf, buf + n);
    if (pclose(p) != 0) out.clear();
    return out;
}

// Largest absolute difference between two equal-sized byte arrays (256 when sizes differ).
inline int max_diff(const Bytes &a, const Bytes &b) {
    if (a.size() != b.size()) return 256;
    int m = 0;
    for (size_t i = 0; i < a.size(); ++i)
        m = std::max(m, std::abs(int(a[i]) - int(b[i])));
    return m;
}

} // namespace stills_test
