// Frame file names of picture sequences and the directory scan that lists
// the sequences of a directory.
#include "editing/image_seq.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "media/img_formats.h"

namespace {

bool all_digits(const std::string &s, size_t from, size_t to) {
    if (from >= to) return false;
    for (size_t i = from; i < to; i++)
        if (!isdigit((unsigned char)s[i])) return false;
    return true;
}

} // namespace

bool EndsWithNoCase(const std::string &s, const char *ext) {
    const size_t n = strlen(ext);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; i++)
        if (tolower((unsigned char)s[s.size() - n + i]) != tolower((unsigned char)ext[i]))
            return false;
    return true;
}

std::string ImgFrameTail(int style, int ext, int n) {
    if (style < 0 || style >= IMG_STYLES || ext < 0 || ext >= IMG_SEQ_EXTS) return "";
    char buf[64];
    switch (style) {
    case 0:
        snprintf(buf, sizeof buf, ".%i%s", n, imp_format[ext]);
        break;
    case 1:
        snprintf(buf, sizeof buf, ".%04i%s", n, imp_format[ext]);
        break;
    case 2:
        snprintf(buf, sizeof buf, "%04i%s", n, imp_format[ext]);
        break;
    default:
        snprintf(buf, sizeof buf, "%s", imp_format[ext]);
        break;
    }
    return buf;
}

std::string ImgFrameName(const std::string &base, int style, int ext, int n) {
    std::string tail = ImgFrameTail(style, ext, n);
    return tail.empty() ? tail : base + tail;
}

int ImgFrameNumber(const std::string &file, const std::string &prefix, int style, int ext) {
    if (style < 0 || style >= IMG_STYLES || ext < 0 || ext >= IMG_SEQ_EXTS) return -1;
    const std::string e = imp_format[ext];
    if (file.size() < prefix.size() + e.size() || file.compare(0, prefix.size(), prefix) != 0 ||
        file.compare(file.size() - e.size(), e.size(), e) != 0)
        return -1;
    std::string mid = file.substr(prefix.size(), file.size() - prefix.size() - e.size());
    if (style == 3) return mid.empty() ? 1 : -1;
    if (style != 2) {
        if (mid.empty() || mid[0] != '.') return -1;
        mid.erase(0, 1);
    }
    // At most nine digits: every number that fits in an int and no more.
    if (mid.empty() || mid.size() > 9 || !all_digits(mid, 0, mid.size())) return -1;
    const int n = atoi(mid.c_str());
    return ImgFrameTail(style, ext, n) == file.substr(prefix.size()) ? n : -1;
}

std::string ImportSeq::Base() const {
    if ((flags & 3) && !prefix.empty() && prefix.back() == '.')
        return prefix.substr(0, prefix.size() - 1);
    return prefix;
}

int ImportSeq::Style() const {
    if (flags & 1) return 0;
    if (flags & 2) return 1;
    if (flags & 4) return 2;
    return 3;
}

int ImportFileSearch(const char *dir, std::vector<ImportSeq> &out) {
    out.clear();
    std::unique_ptr<DIR, int (*)(DIR *)> d(dir ? opendir(dir) : nullptr, closedir);
    if (!d) return -1;
    // Sequences by prefix and extension; an entry index of -1 marks a
    // sequence whose later files were left out (it stays listed).
    std::unordered_map<std::string, size_t> seen;
    while (dirent *de = readdir(d.get())) {
        const std::string name = de->d_name;
        if (name.size() < 5) continue;
        int x = -1;
        for (int i = 0; i < IMG_SEQ_EXTS && x < 0; i++)
            if (EndsWithNoCase(name, imp_format[i])) x = i;
        if (x < 0) continue;
        ImportSeq s;
        s.ext_index = x;
        s.ext = name.substr(name.size() - strlen(imp_format[x]));
        const std::string stem = name.substr(0, name.size() - s.ext.size());
        size_t ds = stem.size();
        while (ds > 0 && isdigit((unsigned char)stem[ds - 1]))
            ds--;
        const size_t nd = stem.size() - ds;
        const bool dot = ds > 0 && stem[ds - 1] == '.';
        const bool zero = nd > 0 && stem[ds] == '0';
        if (nd == 0 || ds == 0 || nd > 9 || (nd != 4 && (zero || !dot))) {
            s.prefix = stem;
            s.flags = 8;
        } else {
            s.prefix = stem.substr(0, ds);
            s.first = s.last = atoi(stem.c_str() + ds);
            if (!dot)
                s.flags = 4;
            else if (nd == 4 && !zero)
                s.flags = 3;
            else
                s.flags = zero ? 2 : 1;
        }
        const std::string key = s.prefix + '\0' + s.ext;
        auto it = seen.find(key);
        if (it == seen.end()) {
            seen.emplace(key, out.size());
            out.push_back(std::move(s));
            continue;
        }
        ImportSeq &q = out[it->second];
        if (!(q.flags & s.flags)) continue;
        q.flags &= s.flags;
        q.first = std::min(q.first, s.first);
        q.last = std::max(q.last, s.last);
    }
    std::stable_sort(out.begin(), out.end(), [](const ImportSeq &a, const ImportSeq &b) {
        return a.prefix != b.prefix ? a.prefix < b.prefix : a.ext < b.ext;
    });
    for (ImportSeq &s : out) {
        char buf[64];
        if (s.flags == 8)
            buf[0] = 0;
        else if (s.flags == 2 || s.flags == 4)
            snprintf(buf, sizeof buf, "[%04i...%04i]", s.first, s.last);
        else
            snprintf(buf, sizeof buf, "[%i...%i]", s.first, s.last);
        s.shown = s.prefix + buf + s.ext;
    }
    return int(out.size());
}
