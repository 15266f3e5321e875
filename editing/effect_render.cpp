// Computing transition frames: one icon-size preview frame at once, in the
// user's process, and a whole piece at the video size in the background.
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "editing/effects.h"
#include "editing/export.h"
#include "editing/image_seq.h"
#include "media/fm_main.h"
#include "media/img_util.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "platform/cl_compress.h"
#include "platform/fileio.h"
#include "platform/sem.h"

std::atomic<int> effect_progress{0};

namespace {

// Frame k of a clip from its ready log part into a w x h 4-byte picture.
bool log_frame(const FisicData *f, int k, int w, int h, unsigned char *image) {
    LogPart *parts = f->part.load();
    if (!parts || f->parts < 1 || k < 0 || k >= f->frames || f->width != w || f->height != h)
        return false;
    const LogPart &p = parts[k % f->parts];
    if (!p.ready.load() || !p.sizes || !p.offsets || !p.file) return false;
    const int e = k / f->parts;
    const int size = p.sizes[e], offset = p.offsets[e];
    if (size <= 0 || size > 16 << 20 || offset < 0) return false;
    Fd fd(open_regular(p.file, O_RDONLY));
    if (fd.fd < 0) return false;
    std::vector<unsigned char> jpeg(static_cast<size_t>(size));
    if (!read_at(fd.fd, jpeg.data(), jpeg.size(), off_t(offset))) return false;
    return clDecompressImage(CL_JPEG, w, h, CL_RGBX, size, jpeg.data(), image) == 0;
}

// Frame k of a reel through the display reader at a quarter.
bool reel_frame(const FisicData *f, int k, int w, int h, unsigned char *image) {
    if (!f->path) return false;
    fm_fileformat *rec = svjr_open(f->path, 4, 1, 0);
    if (!rec) return false;
    const bool ok = rec->width == w && rec->height == h && svjr_read(rec, image, k) == 0;
    svjr_close(rec->state);
    std::free(rec);
    return ok;
}

bool icon_frame(const FisicData *f, int k, int w, int h, unsigned char *image) {
    return log_frame(f, k, w, h, image) || reel_frame(f, k, w, h, image);
}

// A reel input opened through the format manager.
struct ReelInput {
    fm_fileformat *file = nullptr;
    ~ReelInput() {
        if (file) {
            if (file->state) fm_close(file);
            fm_fileformat_free(file);
        }
    }
    bool open(const char *path) {
        file = fm_fileformat_allocate("svj");
        return file && fm_open(file, path) == 0;
    }
};

// One input of a piece: a reel (read into its own buffer by the driver) or a
// picture sequence (read by its format's reader in `mode`).
struct Input {
    const FisicData *clip = nullptr;
    ReelInput reel;
    std::vector<unsigned char> picture;
    ImgReadFunc read = nullptr;
    ImgHeaderFunc header = nullptr;
    int mode = GLO_FIELDS;

    bool open(const FisicData *f, long long size, int read_mode) {
        clip = f;
        mode = read_mode;
        if (f->path) return reel.open(f->path) && reel.file->size == size;
        if (!f->pic || !f->pic->pattern) return false;
        GetFunctions(f->pic->ext, &read, &header, nullptr);
        picture.assign(size_t(size), 0);
        return read && header;
    }
    // Reads physical frame k; the picture is then at data().
    bool get(int k) {
        if (clip->path) return k >= 0 && k < reel.file->frames && fm_read(reel.file, k) == 0;
        const std::string name = PicFrameFile(clip, k);
        int w = 0, h = 0;
        if (name.empty() || header(name.c_str(), &w, &h) != 1 || w != VIDEO_SIZEX ||
            h != VIDEO_SIZEY)
            return false;
        return read(name.c_str(), picture.data(), mode) == 1;
    }
    unsigned char *data() { return clip->path ? reel.file->buffer : picture.data(); }
};

// Removes a piece's output unless the render completed.
struct OutputGuard {
    const EffectData &d;
    int written = 0;
    bool done = false;
    ~OutputGuard() {
        if (done) return;
        EffectData partial = d;
        partial.length = written > d.length ? written : d.length;
        EffectRemoveOutput(partial);
    }
};

} // namespace

int RenderEffectFrame(EffectFunc effect, FisicData *a, int fa, FisicData *b, int fb, int w, int h,
                      int i, int n, EffectPreview &preview) {
    if (!effect || !a || !b || w <= 0 || h <= 0 || (long long)w * h > (1 << 24)) return 0;
    const size_t bytes = size_t(w) * h * 4;
    std::vector<unsigned char> pa(bytes), pb(bytes), out(bytes), jpeg(bytes + 65536);
    if (!icon_frame(a, fa, w, h, pa.data()) || !icon_frame(b, fb, w, h, pb.data())) return 0;
    effect(out.data(), pa.data(), pb.data(), w, h, 4, i, n, 0);
    int size = int(jpeg.size());
    if (clCompressImage(CL_JPEG, w, h, CL_RGBX, 10.0f, out.data(), &size, jpeg.data()) != 0)
        return 0;
    return preview.Append(jpeg.data(), size) ? 1 : 0;
}

int RenderEffectPiece(EffectData &d, EffectFunc effect) {
    effect_progress.store(0);
    FisicData *a = d.a.clip, *b = d.b.clip;
    if (!effect || !a || !b || d.out.empty() || d.length < 1 || d.n < 1) return 0;
    OutputGuard guard{d};
    if (a->busy.load() || b->busy.load() || EffectPieceOf(a) || EffectPieceOf(b)) return 0;
    const int w = VIDEO_SIZEX, h = VIDEO_SIZEY;
    if (w <= 0 || h <= 0) return 0;
    const long long size = (long long)w * h * 3;
    const bool reel = EffectReelOutput(a, b);
    const int mode = reel ? GLO_FIELDS : GLO_DISPLAY3;

    std::unique_ptr<fm_fileformat, int (*)(fm_fileformat *)> out(nullptr, fm_fileformat_free);
    ImgWriteFunc write = nullptr;
    std::vector<unsigned char> picture;
    if (reel) {
        // The reel is written into the name reserved for it, emptied in place:
        // unlinking it first would leave a moment in which the name is free
        // for another effect (or another program) to take.
        {
            Fd reserved{open_regular(d.out.c_str(), O_WRONLY | O_CREAT, 0666)};
            if (reserved.fd < 0 || ::ftruncate(reserved.fd, 0) != 0) return 0;
        }
        fm_errno = 0;
        out.reset(fm_fileformat_allocate("svj"));
        fm_fileformat shape{};
        shape.width = w;
        shape.height = h;
        if (!out || fm_create(out.get(), d.out.c_str(), &shape, 85) != 0) return 0;
        ::chmod(d.out.c_str(), 0666);
        if (out->size != size) return 0;
    } else {
        if (!a->pic) return 0;
        GetFunctions(a->pic->ext, nullptr, nullptr, &write);
        if (!write) return 0;
        picture.assign(size_t(size), 0);
    }
    struct Closer {
        fm_fileformat *f;
        ~Closer() {
            if (f && f->state) fm_close(f);
        }
    } closer{out.get()};

    Input ia, ib;
    if (!ia.open(a, size, mode) || !ib.open(b, size, mode)) return 0;
    for (int k = 0; k < d.length; k++) {
        SemWait(0);
        if (!ia.get(d.a.Frame(k))) return 0;
        SemWait(0);
        if (!ib.get(d.b.Frame(k))) return 0;
        SemWait(0);
        unsigned char *target = reel ? out->buffer : picture.data();
        effect(target, ia.data(), ib.data(), w, h, 3, d.first + k, d.n, reel ? 1 : 0);
        SemWait(0);
        if (reel) {
            if (fm_write(out.get(), k) != 0) return 0;
        } else {
            const std::string name = ImgFrameName(d.out, a->pic->style, a->pic->ext, k + 1);
            guard.written = k + 1;
            if (write(name.c_str(), w, h, picture.data(), 85) != 1) return 0;
            ::chmod(name.c_str(), 0666);
        }
        effect_progress.store(k + 1);
    }
    if (reel) {
        closer.f = nullptr;
        if (fm_close(out.get()) != 0) return 0;
    }
    guard.done = true;
    return 1;
}
