// Helpers of the clip-file tests: files, clips put on the clip list, and
// picture-log headers.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "desktop/clip_model.h"
#include "media/clip_log.h"

namespace dbfiles_test {

inline void Touch(const std::string &p) {
    std::ofstream(p) << "x";
}
inline bool Exists(const std::string &p) {
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}
inline std::string Owned(char *s) {
    std::string out = s ? s : "";
    free(s);
    return out;
}
inline FisicData *PushClip(FisicData *f, int refs) {
    f->refs = refs;
    f->next = first_fisic.load();
    first_fisic = f;
    return f;
}
// A reel clip whose log is complete (the converter leaves it alone).
inline FisicData *Reel(const std::string &path, int refs) {
    auto *f = new FisicData;
    f->path = strdup(path.c_str());
    f->complete = 1;
    return PushClip(f, refs);
}
inline FisicData *Seq(const std::string &base, int first, int last, int step, int style, int ext,
                      int refs) {
    auto *f = new FisicData;
    f->pic = new ImageLogInfo{strdup(base.c_str()), first, last, step, ext, style, 0};
    f->frames = (last - first) / step + 1;
    return PushClip(f, refs);
}
inline void FreeClips() {
    for (FisicData *c = first_fisic; c;)
        c = FreeFisicData(c);
    first_fisic = nullptr;
}
// Writes a picture-log header at path recording frames 1..3 of pattern.
inline void PictureLog(const std::string &path, const std::string &pattern, int style, int ext,
                       int tag = 1201) {
    ClipLogHeader h;
    h.parts = h.complete = 1;
    h.width = 180;
    h.height = 144;
    h.frames = 3;
    h.picture = true;
    h.first = 1;
    h.last = 3;
    h.step = 1;
    h.style = style;
    h.ext = ext;
    h.tag = tag;
    h.pattern = pattern;
    ASSERT_TRUE(clip_log_write_header(path.c_str(), h));
}

} // namespace dbfiles_test
