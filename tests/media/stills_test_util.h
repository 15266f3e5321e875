// Helpers for the still-picture tests: a scratch directory, a test picture,
// file bytes, and ImageMagick as an independent encoder and decoder.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace stills_test {

using Bytes = std::vector<unsigned char>;

// A fresh directory under the system temporary directory, removed at the end.
struct ScratchDir {
    std::string dir = [] {
        std::string t = std::filesystem::temp_directory_path() / "orva_stills_XXXXXX";
        return std::string(mkdtemp(t.data()) ? t : "");
    }();
    ~ScratchDir() { std::filesystem::remove_all(dir); }
    std::string path(const std::string &name) const { return dir + "/" + name; }
};

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

inline bool write_file(const std::string &path, const Bytes &data) {
    std::ofstream f(path, std::ios::binary);
    return bool(f.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size())));
}

inline Bytes read_file(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Runs a shell command quietly; true on exit status 0.
inline bool run(const std::string &cmd) {
    return std::system((cmd + " 2>/dev/null").c_str()) == 0;
}

inline bool write_ppm(const std::string &path, int w, int h, const Bytes &rgb) {
    const std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes data(head.begin(), head.end());
    data.insert(data.end(), rgb.begin(), rgb.end());
    return write_file(path, data);
}

// ImageMagick's decode as top-down 8-bit R, G, B (empty on failure);
// -auto-orient applies the Targa origin, which ImageMagick keeps as a tag.
inline Bytes magick_decode(const std::string &path) {
    Bytes out;
    FILE *p =
        popen(("convert '" + path + "' -auto-orient -depth 8 rgb:- 2>/dev/null").c_str(), "r");
    unsigned char buf[65536];
    for (size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        out.insert(out.end(), buf, buf + n);
    if (!p || pclose(p) != 0) out.clear();
    return out;
}

// Largest absolute difference of two byte arrays (256 when sizes differ).
inline int max_diff(const Bytes &a, const Bytes &b) {
    int m = a.size() == b.size() ? 0 : 256;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        m = std::max(m, std::abs(int(a[i]) - int(b[i])));
    return m;
}

} // namespace stills_test
