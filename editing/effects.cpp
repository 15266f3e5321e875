// The wipe effects, the picture-file functions by extension index, the
// registry of transition pieces being produced, the names of an effect's
// output files and the preview file written while the preview is computed.
#include "editing/effects.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "editing/clip_names.h"
#include "editing/frame_map.h"
#include "editing/image_seq.h"
#include "editing/import.h"
#include "platform/byteorder.h"
#include "platform/fileio.h"

namespace {

bool wipe_args_ok(const unsigned char *out, const unsigned char *a, const unsigned char *b, int w,
                  int h, int bpp, int n) {
    return out && a && b && w > 0 && h > 0 && bpp > 0 && n >= 1;
}

// Columns 0 .. x - 1 from `left`, the rest from `right`, in every row.
void wipe_columns(unsigned char *out, const unsigned char *left, const unsigned char *right, int w,
                  int h, int bpp, long long x) {
    if (x < 0) x = 0;
    if (x > w) x = w;
    const size_t row = size_t(w) * bpp, split = size_t(x) * bpp;
    for (int r = 0; r < h; r++) {
        const size_t at = size_t(r) * row;
        std::memcpy(out + at, left + at, split);
        std::memcpy(out + at + split, right + at + split, row - split);
    }
}

// Rows 0 .. y - 1 (counted from the bottom) from `low`, the rest from
// `high`. With fields, picture line L = h - 1 - r lives at buffer row
// L / 2 + (h / 2) * (L mod 2).
void wipe_rows(unsigned char *out, const unsigned char *low, const unsigned char *high, int w,
               int h, int bpp, long long y, int fields) {
    const size_t row = size_t(w) * bpp;
    for (int r = 0; r < h; r++) {
        int at = r;
        if (fields == 1) {
            const int line = h - 1 - r;
            at = line / 2 + (h / 2) * (line % 2);
        }
        const unsigned char *src = r < y ? low : high;
        std::memcpy(out + size_t(at) * row, src + size_t(at) * row, row);
    }
}

} // namespace

void WipeLREffect(unsigned char *out, unsigned char *a, unsigned char *b, int width, int height,
                  int bytesPerPixel, int i, int n, int) {
    if (!wipe_args_ok(out, a, b, width, height, bytesPerPixel, n)) return;
    wipe_columns(out, b, a, width, height, bytesPerPixel, (long long)(i + 1) * width / (n + 1));
}

void WipeRLEffect(unsigned char *out, unsigned char *a, unsigned char *b, int width, int height,
                  int bytesPerPixel, int i, int n, int) {
    if (!wipe_args_ok(out, a, b, width, height, bytesPerPixel, n)) return;
    wipe_columns(out, a, b, width, height, bytesPerPixel, (long long)(n - i) * width / (n + 1));
}

void WipeTBEffect(unsigned char *out, unsigned char *a, unsigned char *b, int width, int height,
                  int bytesPerPixel, int i, int n, int fields) {
    if (!wipe_args_ok(out, a, b, width, height, bytesPerPixel, n)) return;
    wipe_rows(out, a, b, width, height, bytesPerPixel, (long long)(n - i) * height / (n + 1),
              fields);
}

void WipeBTEffect(unsigned char *out, unsigned char *a, unsigned char *b, int width, int height,
                  int bytesPerPixel, int i, int n, int fields) {
    if (!wipe_args_ok(out, a, b, width, height, bytesPerPixel, n)) return;
    wipe_rows(out, b, a, width, height, bytesPerPixel, (long long)(i + 1) * height / (n + 1),
              fields);
}

void GetFunctions(int format, ImgReadFunc *read, ImgHeaderFunc *header, ImgWriteFunc *write) {
    if (format < 0 || format >= 6) return;
    const ImgFunctions *f = img_functions(format);
    if (!f) return;
    if (read) *read = f->read;
    if (header) *header = f->header;
    if (write) *write = f->write;
}

// --- Pieces being produced ----------------------------------------------------

namespace {
std::mutex pieces_lock;
std::map<const FisicData *, EffectData *> &pieces() {
    static std::map<const FisicData *, EffectData *> m;
    return m;
}
} // namespace

void RegisterEffectPiece(FisicData *clip, EffectData *d) {
    std::lock_guard<std::mutex> g(pieces_lock);
    pieces()[clip] = d;
}

void ForgetEffectPiece(FisicData *clip) {
    std::lock_guard<std::mutex> g(pieces_lock);
    pieces().erase(clip);
}

EffectData *EffectPieceOf(const FisicData *clip) {
    std::lock_guard<std::mutex> g(pieces_lock);
    auto it = pieces().find(clip);
    return it == pieces().end() ? nullptr : it->second;
}

FisicData *EffectOrigin(FisicData *clip, bool use_b) {
    for (int guard = 0; clip && guard < 1000; guard++) {
        EffectData *d = EffectPieceOf(clip);
        if (!d) break;
        clip = use_b ? d->b.clip : d->a.clip;
    }
    return clip;
}

int EffectSource::Frame(int k) const {
    return PlayCtrl(&seg, start + dir * k);
}

void SetEffectSource(EffectSource &src, const Segment *seg, int start, int dir) {
    src.clip = seg->fisic;
    src.seg = Segment{};
    src.seg.first = seg->first;
    src.seg.last = seg->last;
    src.seg.period = seg->period;
    src.seg.fisic = seg->fisic;
    src.map.clear();
    if (seg->map && seg->map_len > 0) src.map.assign(seg->map, seg->map + seg->map_len);
    src.seg.map_len = src.map.empty() ? 0 : seg->map_len;
    src.seg.map = src.map.empty() ? nullptr : src.map.data();
    src.start = start;
    src.dir = dir < 0 ? -1 : 1;
}

// --- Output names ---------------------------------------------------------------

bool EffectReelOutput(const FisicData *a, const FisicData *b) {
    return (a && a->path) || (b && b->path);
}

namespace {

std::string file_part(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Drops a trailing "_Fake" with any digits after it.
std::string strip_fake(std::string name) {
    size_t end = name.size();
    while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9')
        end--;
    if (end >= 5 && name.compare(end - 5, 5, "_Fake") == 0) name.erase(end - 5);
    return name;
}

bool exists(const std::string &name) {
    struct stat st;
    return ::lstat(name.c_str(), &st) == 0;
}

// Creates `name` empty, only when it does not exist: 1 made, 0 taken, -1 error.
int reserve(const std::string &name) {
    const int fd = open_regular(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) return errno == EEXIST ? 0 : -1;
    ::fchmod(fd, 0666);
    ::close(fd);
    return 1;
}

std::string owned(char *s) {
    std::string r = s ? s : "";
    std::free(s);
    return r;
}

} // namespace

std::string EffectBaseName(const FisicData *a, const FisicData *b, const std::string &db_dir) {
    if (EffectReelOutput(a, b)) {
        std::string name = file_part((a && a->path) ? a->path : b->path);
        if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".svj") == 0)
            name.erase(name.size() - 4);
        return db_dir + ClipDbSubdirNames[0] + strip_fake(name);
    }
    const std::string pattern = (a && a->pic && a->pic->pattern) ? a->pic->pattern : "";
    return db_dir + ClipDbSubdirNames[3] + strip_fake(file_part(pattern));
}

EffectName EffectFileName(FisicData *a, FisicData *b, int n, const std::string &db_dir) {
    EffectName r;
    a = EffectOrigin(a);
    b = EffectOrigin(b);
    if (!a || !b || n < 1) return r;
    const std::string base = EffectBaseName(a, b, db_dir);
    const bool reel = EffectReelOutput(a, b);
    for (int number = 1; number <= 9999; number++) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "_%s%02i", "Fake", number);
        std::string out = base + suffix;
        if (reel) {
            out += ".svj";
            const int got = reserve(out);
            if (got < 0) return r;
            if (got == 0) continue;
            r.out = out;
            r.preview = owned(ClipName(db_dir.c_str(), out.c_str(), 1));
            r.tag = -1;
            return r;
        }
        const ImageLogInfo *p = a->pic;
        bool taken = false;
        for (int k = 1; k <= n && !taken; k++)
            taken = exists(ImgFrameName(out, p->style, p->ext, k));
        if (taken) continue;
        const std::string first = ImgFrameName(out, p->style, p->ext, 1);
        const int got = reserve(first);
        if (got < 0) return r;
        if (got == 0) continue;
        r.tag = PicClipNum(db_dir.c_str(), out.c_str());
        if (r.tag < 0) {
            ::unlink(first.c_str());
            return r;
        }
        r.out = out;
        r.preview = owned(PicClipName(db_dir.c_str(), out.c_str(), r.tag, 1));
        return r;
    }
    return r;
}

void EffectRemoveOutput(const EffectData &d) {
    const FisicData *a = d.a.clip;
    if (d.out.empty()) return;
    if (EffectReelOutput(a, d.b.clip) || !a || !a->pic) {
        ::unlink(d.out.c_str());
        return;
    }
    for (int k = 1; k <= d.length || k == 1; k++)
        ::unlink(ImgFrameName(d.out, a->pic->style, a->pic->ext, k).c_str());
}

// --- Preview file -----------------------------------------------------------------

EffectPreview::~EffectPreview() {
    if (fd_ >= 0) ::close(fd_);
}

bool EffectPreview::Open(const std::string &path) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = open_regular(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    path_ = path;
    end_ = 0;
    sizes_.clear();
    offsets_.clear();
    if (fd_ >= 0) ::fchmod(fd_, 0666);
    return fd_ >= 0;
}

bool EffectPreview::Append(const unsigned char *jpeg, int size) {
    if (fd_ < 0 || size <= 0 || end_ + size > 0x7fffffffLL) return false;
    if (!write_all(fd_, jpeg, size_t(size))) return false;
    offsets_.push_back(int(end_));
    sizes_.push_back(size);
    end_ += size;
    return true;
}

bool EffectPreview::Finish() {
    if (fd_ < 0) return false;
    const size_t n = sizes_.size();
    std::vector<unsigned char> tail(8 * n + 4);
    for (size_t k = 0; k < n; k++) {
        put_be32(&tail[4 * k], uint32_t(sizes_[k]));
        put_be32(&tail[4 * (n + k)], uint32_t(offsets_[k]));
    }
    put_be32(&tail[8 * n], uint32_t(n));
    const bool ok = write_all(fd_, tail.data(), tail.size());
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return ok && closed;
}
