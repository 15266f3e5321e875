// Removing the files of reels and picture sequences that nothing uses any
// more, with their log files.
//
// A reel is recognised by its path or by its device and inode, so that
// another name of the same file (a hard or symbolic link) is seen as in use
// as well. A clip that no window uses but that the log converter may still
// be reading is not removed here: it is marked, and the converter removes it
// (and calls back DoRemoveMarked) when the database's delete asks it to.
#include "editing/clip_remove.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "editing/clip_names.h"
#include "editing/clip_records.h"
#include "editing/image_seq.h"
#include "media/clip_log.h"

bool (*RemoveJobUsesHook)(const char *path) = nullptr;

namespace {

// Log part files beyond this are never made; the walk stops there at the
// latest.
constexpr int MAX_COMPANION_PARTS = 1000;

bool same_file(const char *a, const struct stat &sa, bool have_a, const char *b) {
    if (!a || !b) return false;
    if (strcmp(a, b) == 0) return true;
    struct stat sb;
    return have_a && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void remove_owned(char *name, int *removed) {
    if (name && unlink(name) != 0 && removed) *removed = 0;
    free(name);
}

std::string dir_of(const std::string &path) {
    const size_t s = path.rfind('/');
    return s == std::string::npos ? std::string("./") : path.substr(0, s + 1);
}

std::string file_of(const std::string &path) {
    const size_t s = path.rfind('/');
    return s == std::string::npos ? path : path.substr(s + 1);
}

// The digits of a log tag at s[from..to) (at least one), or "".
std::string tag_digits(const std::string &s, size_t from, size_t to) {
    if (from >= to) return "";
    for (size_t i = from; i < to; i++)
        if (!isdigit((unsigned char)s[i])) return "";
    return s.substr(from, to - from);
}

// Removes the log headers in clip_dir that record the sequence base (style,
// extension) and their part files.
void remove_image_logs(const std::string &clip_dir, const std::string &base, int style,
                       int extension, int *removed) {
    std::unique_ptr<DIR, int (*)(DIR *)> d(opendir(clip_dir.c_str()), closedir);
    if (!d) return;
    const std::string lead = file_of(base) + "_" + GetPicTag();
    std::vector<std::pair<std::string, std::string>> logs, parts; // (name, tag)
    while (dirent *de = readdir(d.get())) {
        const std::string n = de->d_name;
        if (n.compare(0, lead.size(), lead) != 0) continue;
        const size_t log_at = n.size() >= 4 ? n.size() - 4 : 0;
        if (n.size() > lead.size() + 4 && n.compare(log_at, 4, "_Log") == 0) {
            std::string tag = tag_digits(n, lead.size(), log_at);
            if (!tag.empty()) logs.emplace_back(n, tag);
            continue;
        }
        const size_t clip_at = n.find("_Clip_", lead.size());
        if (clip_at == std::string::npos) continue;
        std::string tag = tag_digits(n, lead.size(), clip_at);
        if (!tag.empty() && !tag_digits(n, clip_at + 6, n.size()).empty())
            parts.emplace_back(n, tag);
    }
    std::set<std::string> tags;
    for (const auto &[name, tag] : logs) {
        const std::string path = clip_dir + name;
        ClipLogHeader h;
        if (!clip_log_read_header(path.c_str(), h, true) || h.pattern != base || h.style != style ||
            h.ext != extension)
            continue;
        tags.insert(tag);
        if (unlink(path.c_str()) != 0) *removed = 0;
    }
    for (const auto &[name, tag] : parts)
        if (tags.count(tag) && unlink((clip_dir + name).c_str()) != 0) *removed = 0;
}

} // namespace

FisicData *FindReelClip(const char *path) {
    if (!path) return nullptr;
    struct stat sp;
    const bool have = stat(path, &sp) == 0;
    for (FisicData *c = first_fisic; c; c = c->next)
        if (!c->pic && same_file(path, sp, have, c->path)) return c;
    return nullptr;
}

int DoRemove(const char *path, int *removed, int *inUse, int companions, int checkOpen) {
    if (!path) return 0;
    if (checkOpen) {
        if (FisicData *c = FindReelClip(path)) {
            if (c->refs >= 1) {
                if (inUse) *inUse = 1;
                return 0;
            }
            c->remove = companions ? 2 : 1;
            return 1;
        }
    }
    if (RemoveJobUsesHook && RemoveJobUsesHook(path)) {
        if (inUse) *inUse = 1;
        return 0;
    }
    if (unlink(path) != 0 && removed) *removed = 0;
    if (companions) {
        for (int n = 1; n <= MAX_COMPANION_PARTS; n++) {
            char *name = ClipName(nullptr, path, n);
            const bool gone = name && unlink(name) == 0;
            free(name);
            if (!gone) break;
        }
        remove_owned(LogName(nullptr, path, nullptr, nullptr), nullptr);
    }
    return 0;
}

void DoRemoveMarked(const char *path, int extra) {
    int removed = 1, in_use = 0;
    DoRemove(path, &removed, &in_use, extra, 0);
}

int InUseImg(const char *base, int style, int extension, int frame) {
    if (!base) return 0;
    for (FisicData *c = first_fisic; c; c = c->next) {
        const ImageLogInfo *p = c->pic;
        if (c->refs <= 0 || !p || !p->pattern || strcmp(p->pattern, base) != 0) continue;
        if (c->busy) {
            if (frame == 0 || frame <= c->frames) return 1;
            continue;
        }
        if (p->style != style || p->ext != extension) continue;
        if (frame == 0) return 1;
        const int step = p->step >= 1 ? p->step : 1;
        if (frame >= p->first && frame <= p->last && (int64_t(frame) - p->first) % step == 0)
            return 1;
    }
    return 0;
}

int DoRemoveImg(const char *base, int *removed, int *inUse, int companions, int first, int last,
                int style, int extension) {
    if (!base) return 0;
    if (InUseImg(base, style, extension, 0)) {
        if (inUse) *inUse = 1;
        return 0;
    }
    int dummy = 1;
    if (!removed) removed = &dummy;
    const std::string b = base, dir = dir_of(b), prefix = file_of(b);
    // Only the files that exist are visited: a range may span two thousand
    // million numbers. Numbers without a file count as failures, as a
    // removal of each number in turn would have found them missing.
    std::vector<std::string> frames;
    std::set<int> numbers;
    if (std::unique_ptr<DIR, int (*)(DIR *)> d(opendir(dir.c_str()), closedir); d) {
        while (dirent *de = readdir(d.get())) {
            const int n = ImgFrameNumber(de->d_name, prefix, style, extension);
            if (n < 0 || (style != 3 && (n < first || n > last))) continue;
            frames.push_back(dir + de->d_name);
            numbers.insert(n);
        }
    }
    int64_t gone = 0;
    for (const std::string &f : frames)
        if (unlink(f.c_str()) == 0)
            gone++;
        else
            *removed = 0;
    const int64_t wanted = style == 3 ? 1 : std::max<int64_t>(int64_t(last) - first + 1, 0);
    if (gone < wanted || int64_t(numbers.size()) < wanted) *removed = 0;
    if (companions) {
        const char *db = ClipDbDir();
        if (db)
            remove_image_logs(std::string(db) + ClipDbSubdirNames[1], b, style, extension, removed);
    }
    return 1;
}
