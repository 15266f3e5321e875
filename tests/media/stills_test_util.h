// Helpers for the still-picture tests: a test picture, its display-image
// form, and ImageMagick as an independent encoder and decoder; scratch
// directories and file bytes come from the reel fixtures.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/media/reel_fixtures.h"

namespace stills_test {

using Bytes = std::vector<unsigned char>;
using ScratchDir = reel_test::temp_dir;
using reel_test::read_file;
using reel_test::write_file;

// Top-down packed R, G, B, smooth (so JPEG stays close) but different in
// every channel, row and column.
inline Bytes test_rgb(int w, int h) {
    Bytes rgb(size_t(w) * h * 3);
    for (size_t i = 0; i < rgb.size(); ++i) {
        const int x = int(i / 3) % w, y = int(i / 3) / w, c = int(i % 3);
        rgb[i] = static_cast<unsigned char>(c == 0 ? x * 6 : c == 1 ? y * 10 : 90 + x - y);
    }
    return rgb;
}

// Top-down R, G, B to a bottom-up (0,) B, G, R display image of bpp bytes per
// pixel. With bpp 3 the conversion is its own inverse.
inline Bytes flip(const Bytes &rgb, int w, int h, int bpp = 3) {
    Bytes out(size_t(w) * h * bpp);
    for (int i = 0; i < w * h; ++i) {
        const unsigned char *s = &rgb[size_t(i) * 3];
        unsigned char *d = &out[(size_t(h - 1 - i / w) * w + i % w) * bpp + (bpp - 3)];
        d[0] = s[2], d[1] = s[1], d[2] = s[0];
    }
    return out;
}

// Runs a shell command quietly; true on exit status 0.
inline bool run(const std::string &cmd) {
    return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
}

// Writes the test picture as a PPM file and has ImageMagick convert it with
// the given options to `to` (a name, possibly with a "format:" prefix).
inline bool magick_make(const std::string &ppm, int w, int h, const std::string &opts,
                        const std::string &to) {
    const std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes data(head.begin(), head.end());
    const Bytes rgb = test_rgb(w, h);
    data.insert(data.end(), rgb.begin(), rgb.end());
    write_file(ppm, data);
    return run("convert '" + ppm + "' " + opts + " '" + to + "'");
}

// ImageMagick's decode as top-down 8-bit R, G, B (empty on failure);
// -auto-orient applies the Targa origin, which ImageMagick keeps as a tag.
inline Bytes magick_decode(const std::string &path) {
    const auto r =
        reel_test::run_command("convert '" + path + "' -auto-orient -depth 8 rgb:- 2>/dev/null");
    return r.status == 0 ? Bytes(r.out.begin(), r.out.end()) : Bytes();
}

// Largest absolute difference of two byte arrays (256 when sizes differ).
inline int max_diff(const Bytes &a, const Bytes &b) {
    int m = a.size() == b.size() ? 0 : 256;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        m = std::max(m, std::abs(int(a[i]) - int(b[i])));
    return m;
}

} // namespace stills_test
