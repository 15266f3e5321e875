// File names of grabbed material (see grab_names.h).
#include "vtr/grab_names.h"

#include <cstdio>
#include <cstring>
#include <vector>

const char *const vtr_num_format[VTR_NUM_STYLES] = {"_%x.%i%s", "_%x.%04i%s", "_%x%04i%s"};

namespace {

// The last path component of path.
std::string last_component(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

bool is_hex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// s[from, to) as hexadecimal of 1 to 8 digits.
bool hex_field(const std::string &s, size_t from, size_t to, uint32_t *v) {
    if (to <= from || to - from > 8) return false;
    uint32_t n = 0;
    for (size_t i = from; i < to; ++i) {
        if (!is_hex(s[i])) return false;
        const char c = s[i];
        n = n * 16 + uint32_t(is_digit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    *v = n;
    return true;
}

// s[from, to) as decimal of 1 to `digits` digits.
bool dec_field(const std::string &s, size_t from, size_t to, size_t digits, int *v) {
    if (to <= from || to - from > digits) return false;
    int n = 0;
    for (size_t i = from; i < to; ++i) {
        if (!is_digit(s[i])) return false;
        n = n * 10 + (s[i] - '0');
    }
    *v = n;
    return true;
}

} // namespace

std::string GrabReelName(const std::string &base, uint32_t in_frames, uint32_t out_frames,
                         int quality) {
    char tail[64];
    snprintf(tail, sizeof tail, "_%x_%x_%d.svj", in_frames, out_frames, quality);
    return base + tail;
}

std::string D1FrameName(const std::string &base, uint32_t in_frames, int style, int number,
                        const char *ext) {
    if (style < 0 || style >= VTR_NUM_STYLES || number < 0) return {};
    const std::string e = ext ? ext : "";
    std::vector<char> tail(64 + e.size());
    snprintf(tail.data(), tail.size(), vtr_num_format[style], in_frames, number, e.c_str());
    return base + tail.data();
}

bool TapeNameOk(const std::string &tape) {
    return !tape.empty() && tape[0] != '.' && tape.find('/') == std::string::npos;
}

bool ParseGrabReelName(const char *path, ReelNameParts *parts) {
    if (path == nullptr || parts == nullptr) return false;
    const std::string s = last_component(path);
    static const char kExt[] = ".svj";
    const size_t ext_len = sizeof kExt - 1;
    if (s.size() <= ext_len || s.compare(s.size() - ext_len, ext_len, kExt) != 0) return false;
    const size_t end = s.size() - ext_len;
    const size_t q_at = s.rfind('_', end - 1);
    if (q_at == std::string::npos || q_at == 0) return false;
    const size_t out_at = s.rfind('_', q_at - 1);
    if (out_at == std::string::npos || out_at == 0) return false;
    const size_t in_at = s.rfind('_', out_at - 1);
    if (in_at == std::string::npos) return false;
    ReelNameParts p;
    p.tape = s.substr(0, in_at);
    if (!TapeNameOk(p.tape) || !hex_field(s, in_at + 1, out_at, &p.in) ||
        !hex_field(s, out_at + 1, q_at, &p.out) || !dec_field(s, q_at + 1, end, 3, &p.quality))
        return false;
    if (p.quality < 1 || p.quality > 100 || p.in > p.out) return false;
    *parts = p;
    return true;
}

bool ParseD1Stem(const char *path, std::string *tape, uint32_t *in_frames) {
    if (path == nullptr || tape == nullptr || in_frames == nullptr) return false;
    const std::string s = last_component(path);
    const size_t at = s.rfind('_');
    if (at == std::string::npos) return false;
    uint32_t in = 0;
    const std::string t = s.substr(0, at);
    if (!TapeNameOk(t) || !hex_field(s, at + 1, s.size(), &in)) return false;
    *tape = t;
    *in_frames = in;
    return true;
}

bool ParseD1FrameName(const char *path, int style, D1NameParts *parts) {
    if (path == nullptr || parts == nullptr || style < 0 || style >= VTR_NUM_STYLES) return false;
    const std::string s = last_component(path);
    const size_t at = s.rfind('_');
    if (at == std::string::npos) return false;
    D1NameParts p;
    p.tape = s.substr(0, at);
    // The extension runs from the last "." after In's first digit.
    size_t ext_at = s.rfind('.');
    if (ext_at == std::string::npos || ext_at <= at) ext_at = s.size();
    p.ext = s.substr(ext_at);
    size_t in_end, num_from;
    if (style == 2) {
        // In and four or more digits of the number run together: the
        // number is the last four digits (wider numbers cannot be told apart).
        if (ext_at < at + 1 + 5) return false;
        in_end = ext_at - 4;
        num_from = in_end;
    } else {
        in_end = s.find('.', at + 1);
        if (in_end == std::string::npos || in_end >= ext_at) return false;
        num_from = in_end + 1;
        if (style == 1 && ext_at - num_from < 4) return false;
    }
    if (!TapeNameOk(p.tape) || !hex_field(s, at + 1, in_end, &p.in) ||
        !dec_field(s, num_from, ext_at, 8, &p.number))
        return false;
    *parts = p;
    return true;
}

std::string GrabReelBaseName(const std::string &path) {
    const size_t slash = path.rfind('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".svj") == 0)
        base.resize(base.size() - 4);
    return base;
}
