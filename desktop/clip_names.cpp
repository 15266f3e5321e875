// Names coded into clip files: the start frame of grabbed reels and the
// recognition of picture-sequence logs (log file names: editing/clip_names).
#include <cctype>
#include <cstring>
#include <string>

#include "desktop/clip_model.h"

// Reads 1..10 hexadecimal digits; -1 when the text is not that.
static long hex_field(const char *s, size_t n) {
    if (n < 1 || n > 10) return -1;
    long v = 0;
    for (size_t i = 0; i < n; i++) {
        if (!isxdigit((unsigned char)s[i])) return -1;
        v = v * 16 + (isdigit((unsigned char)s[i]) ? s[i] - '0' : (tolower(s[i]) - 'a' + 10));
    }
    return v;
}

int GetStartFrame(const FisicData *fisic) {
    if (!fisic || fisic->busy) return 0;
    if (!fisic->pic) {
        const char *p = fisic->path;
        if (!p) return 0;
        size_t len = strlen(p);
        if (len < 10) return 0;
        // The last three "_" of the file name, scanning backwards.
        const char *marks[3] = {nullptr, nullptr, nullptr};
        int found = 0;
        for (size_t i = len; i-- > 0 && found < 3;) {
            if (p[i] == '/') break;
            if (p[i] == '_') marks[found++] = p + i;
        }
        if (found < 3) return 0;
        const char *from = marks[2] + 1, *to = marks[1];
        long v = hex_field(from, size_t(to - from));
        return v < 0 || v > 0x7fffffff ? 0 : int(v);
    }
    const ImageLogInfo *pic = fisic->pic;
    if (pic->step != 1 || !pic->pattern || strlen(pic->pattern) < 3) return 0;
    const char *u = strrchr(pic->pattern, '_');
    if (!u) return 0;
    long v = hex_field(u + 1, strlen(u + 1));
    if (v < 0) return 0;
    long start = v + pic->first - 1;
    return start < 0 || start > 0x7fffffff ? 0 : int(start);
}

int ClipOrLogOfImage(const char *name, const char *prefix, int a, int b) {
    // prefix + "_" + "Img" + tag digits + ("_Clip_" digits | "_Log"); the tag
    // has at least four digits, the first two coding a and b.
    if (!name || !prefix) return 0;
    std::string s = name;
    size_t end = s.size(), d = s.size();
    while (d > 0 && isdigit((unsigned char)s[d - 1]))
        d--;
    if (d < s.size() && d >= 6 && s.compare(d - 6, 6, "_Clip_") == 0)
        end = d - 6;
    else if (s.size() >= 4 && s.compare(s.size() - 4, 4, "_Log") == 0)
        end = s.size() - 4;
    else
        return 0;
    size_t ds = end;
    while (ds > 0 && isdigit((unsigned char)s[ds - 1]))
        ds--;
    if (end - ds < 4) return 0;
    if (s[ds] != char('0' + a + 1) || s[ds + 1] != char('0' + b + 1)) return 0;
    const std::string tag = GetPicTag();
    if (ds < tag.size() + 1) return 0;
    size_t tag_start = ds - tag.size();
    if (s.compare(tag_start, tag.size(), tag) != 0 || s[tag_start - 1] != '_') return 0;
    size_t plen = strlen(prefix);
    return tag_start - 1 == plen && s.compare(0, plen, prefix) == 0 ? 1 : 0;
}
