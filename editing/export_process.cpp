// The export job: takes the frames Start, Start + Step, ... End of the
// window's frame-map copy and writes them as picture files, as JPEG field
// pairs, or into a new reel (decoding and encoding, or copying the
// compressed fields when source and target reels share their header).
#include "editing/export.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "editing/clip_records.h"
#include "editing/frame_map.h"
#include "editing/movie.h"
#include "editing/reel_reader.h"
#include "platform/cl_compress.h"
#include "media/fm_format_svj.h"
#include "media/fm_main.h"
#include "media/img_formats.h"
#include "media/img_util.h"
#include "media/svj.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "platform/byteorder.h"
#include "platform/fileio.h"
#include "platform/sem.h"

namespace {

// Import index of the picture writers for export formats 0 .. 4.
constexpr int writer_of_format[5] = {0, 1, 2, 4, 5};

// A reel opened through the format manager, closed when replaced or destroyed.
struct Source {
    fm_fileformat *file = nullptr;
    const FisicData *fisic = nullptr;
    ~Source() { close(); }
    void close() {
        if (file) {
            if (file->state) fm_close(file);
            fm_fileformat_free(file);
        }
        file = nullptr;
        fisic = nullptr;
    }
    bool open(const FisicData *f) {
        if (f == fisic && file) return true;
        close();
        file = fm_fileformat_allocate("svj");
        if (!file || fm_open(file, f->path) != 0) {
            close();
            return false;
        }
        fisic = f;
        return true;
    }
    fm_svj_state *state() const { return static_cast<fm_svj_state *>(file->state); }
};

// Reads the field's stored bytes after checking that they lie in the file.
bool read_field_data(Source &src, int frame, int field, std::vector<unsigned char> &out) {
    fm_svj_state *st = src.state();
    if (!st || !st->file || frame < 0 || uint32_t(frame) >= st->file->tail.frames) return false;
    const uint32_t offset = fm_svj_offset(st, frame, field);
    const uint32_t size = fm_svj_size(st, frame, field);
    struct stat sb;
    if (::fstat(st->file->fd, &sb) != 0) return false;
    if (size == 0 || uint64_t(offset) + size > uint64_t(sb.st_size)) return false;
    out.resize(size);
    return fm_svj_data_read(st, offset, size, out.data()) == long(size);
}

// The frame walk shared by every export: the next window frame n and the
// physical frame and clip it shows.
struct Walk {
    ExportData *d;
    long long n;
    int index = 0; // output index (0, 1, ...)
    Segment *seg = nullptr;
    int phys = 0;
    explicit Walk(ExportData *data) : d(data), n(data->start) {}
    bool more() const { return n <= d->end; }
    // Passes the pause gate and looks the frame up; null clip when none.
    FisicData *fetch() {
        SemWait(0);
        seg = nullptr;
        phys = FrameCtrl(d->copy, int(n - 1), &d->copy->seg_current);
        seg = d->copy->seg_current;
        return seg ? seg->fisic : nullptr;
    }
    void next() {
        n += d->step;
        index++;
        d->progress.store(index);
    }
    int number() const { return int(d->out_start + n - d->start); }
};

void export_pictures(ExportData *d) {
    const int w = VIDEO_SIZEX, h = VIDEO_SIZEY;
    std::vector<unsigned char> image(size_t(w) * h * 3);
    const ImgFunctions *img = img_functions(writer_of_format[d->format]);
    ReelReader reader;
    for (Walk wk(d); wk.more(); wk.next()) {
        FisicData *f = wk.fetch();
        if (!f || f->busy.load()) {
            d->status = EXPORT_PARTIAL;
            return;
        }
        bool ok;
        if (f->path) {
            if (!reader.open(f, 1, 0)) {
                d->status = EXPORT_PARTIAL;
                return;
            }
            ok = reader.rec->width == w && reader.rec->height == h &&
                 svjr_read(reader.rec, image.data(), wk.phys) == 0;
            if (!ok) d->status = EXPORT_PARTIAL;
        } else {
            ok = ReadPictureFrame(f, wk.phys, image.data(), GLO_DISPLAY3);
        }
        if (!ok) std::memset(image.data(), 0, image.size());
        const std::string name = ExportFrameName(*d, wk.number());
        if (!img || img->write(name.c_str(), w, h, image.data(), d->quality) != 1)
            d->status = EXPORT_PARTIAL;
    }
}

bool write_all(int fd, const unsigned char *p, size_t n) {
    while (n > 0) {
        ssize_t got = ::write(fd, p, n);
        if (got <= 0) return false;
        p += got;
        n -= size_t(got);
    }
    return true;
}

void export_fields(ExportData *d) {
    Source src;
    std::vector<unsigned char> header, data;
    for (Walk wk(d); wk.more(); wk.next()) {
        FisicData *f = wk.fetch();
        if (!f || f->busy.load()) {
            d->status = EXPORT_PARTIAL;
            return;
        }
        if (!f->path) {
            d->status = EXPORT_NOT_REEL;
            return;
        }
        if (src.fisic != f) {
            if (!src.open(f)) {
                d->status = EXPORT_PARTIAL;
                return;
            }
            const uint32_t size = fm_svj_initsize(src.state());
            if (size <= 10 || size > src.state()->file->file_size) {
                d->status = EXPORT_PARTIAL;
                return;
            }
            header.resize(size);
            if (fm_svj_data_read(src.state(), 0, size, header.data()) != long(size)) {
                d->status = EXPORT_PARTIAL;
                return;
            }
        }
        for (int field = 0; field < 2; field++) {
            const std::string name = ExportFrameName(*d, wk.number(), field);
            if (!read_field_data(src, wk.phys, field, data)) {
                d->status = EXPORT_PARTIAL;
                return;
            }
            int fd = open_regular(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            static const unsigned char soi[2] = {0xFF, 0xD8};
            bool ok = fd >= 0 && write_all(fd, soi, 2) &&
                      write_all(fd, header.data() + 10, header.size() - 10) &&
                      write_all(fd, data.data(), data.size());
            if (fd >= 0) ::close(fd);
            if (!ok) {
                d->status = EXPORT_PARTIAL;
                return;
            }
        }
    }
}

// Appends frames of one reel to the output reel as compressed fields while
// the walk stays on that reel. The output format is closed around the copy
// and created again after it (continuing the reel, so later encodes use its
// tables). Returns the number of frames copied; on failure the walk ends
// with status 1.
int copy_compressed(ExportData *d, Walk &wk, Source &src, fm_fileformat *&out, bool &failed) {
    const std::string &path = d->path;
    const int w = out->width, h = out->height;
    const bool fresh = wk.index == 0;
    fm_close(out);
    fm_svj_file *file = nullptr;
    fm_svj_state *ss = src.state();
    const uint32_t hsize = fm_svj_initsize(ss);
    if (fresh) {
        ::unlink(path.c_str());
        file =
            fm_svj_file_create(path.c_str(), (int)ss->file->tail.width, (int)ss->file->tail.height);
        std::vector<unsigned char> header(hsize);
        if (file && (hsize == 0 || hsize > ss->file->file_size ||
                     fm_svj_data_read(ss, 0, hsize, header.data()) != long(hsize) ||
                     ::pwrite(file->fd, header.data(), hsize, 0) != ssize_t(hsize))) {
            fm_svj_file_close(file);
            file = nullptr;
        }
        if (file) file->tail.header = hsize;
    } else {
        file = fm_svj_file_open(path.c_str(), 1);
    }
    int count = 0;
    std::vector<unsigned char> data;
    unsigned char comment[SVJ_COMMENT_SIZE];
    svj_comment_block(comment);
    const FisicData *reel = src.fisic;
    bool first = true;
    while (file && wk.more()) {
        // The frame at the walk's position has been fetched already.
        if (!first) {
            FisicData *f = wk.fetch();
            if (f != reel) break;
            if (f->busy.load()) {
                failed = true;
                break;
            }
        }
        first = false;
        const int frame = wk.index;
        fm_svj_fault fault{};
        if (fm_svj_store_begin(file, frame, &fault) != 0) {
            failed = true;
            break;
        }
        bool ok = true;
        for (int field = 0; field < 2 && ok; field++) {
            ok = read_field_data(src, wk.phys, field, data);
            if (!ok) break;
            uint64_t at;
            if (frame == 0 && field == 0) {
                at = file->tail.header;
            } else {
                const svj_frame_entry &e = file->table[field == 0 ? frame - 1 : frame];
                at = field == 0 ? uint64_t(e.offset1) + e.size1 : uint64_t(e.offset0) + e.size0;
                ok = at + SVJ_COMMENT_SIZE + data.size() <= UINT32_MAX &&
                     ::pwrite(file->fd, comment, SVJ_COMMENT_SIZE, off_t(at)) ==
                         ssize_t(SVJ_COMMENT_SIZE);
                at += SVJ_COMMENT_SIZE;
            }
            ok = ok && at + data.size() <= UINT32_MAX &&
                 ::pwrite(file->fd, data.data(), data.size(), off_t(at)) == ssize_t(data.size());
            if (!ok) break;
            svj_frame_entry &e = file->table[frame];
            if (field == 0) {
                e.offset0 = uint32_t(at);
                e.size0 = uint32_t(data.size());
            } else {
                e.offset1 = uint32_t(at);
                e.size1 = uint32_t(data.size());
            }
        }
        if (!ok) {
            // The frame was not written whole: the reel ends before it.
            file->tail.frames = uint32_t(frame);
            failed = true;
            break;
        }
        count++;
        wk.next();
    }
    if (!file || (fm_svj_file_close(file) != 0 && count > 0)) failed = true;
    ::chmod(path.c_str(), 0666);
    fm_fileformat shape{};
    shape.width = w;
    shape.height = h;
    shape.frames = 0;
    if (fm_create(out, path.c_str(), &shape, d->quality) != 0) failed = true;
    if (count < 1) failed = true;
    return count;
}

void export_reel(ExportData *d) {
    const int w = VIDEO_SIZEX, h = VIDEO_SIZEY;
    ::unlink(d->path.c_str());
    fm_errno = 0;
    std::unique_ptr<fm_fileformat, int (*)(fm_fileformat *)> out(fm_fileformat_allocate("svj"),
                                                                 fm_fileformat_free);
    fm_fileformat shape{};
    shape.width = w;
    shape.height = h;
    if (!out || fm_create(out.get(), d->path.c_str(), &shape, d->quality) != 0) {
        d->status = EXPORT_PARTIAL;
        return;
    }
    ::chmod(d->path.c_str(), 0666);
    fm_fileformat *o = out.get();
    Source src;
    const FisicData *checked = nullptr; // reel last compared with the output
    bool same = false;
    Walk wk(d);
    while (wk.more()) {
        FisicData *f = wk.fetch();
        if (!f || f->busy.load()) {
            d->status = EXPORT_PARTIAL;
            break;
        }
        if (f->path && src.fisic != f && !src.open(f)) {
            d->status = EXPORT_PARTIAL;
            break;
        }
        if (f->path && checked != f) {
            checked = f;
            same = src.file->width == w && src.file->height == h &&
                   SameQuality(src.file, o, wk.index == 0);
        }
        if (f->path && same) {
            bool failed = false;
            copy_compressed(d, wk, src, o, failed);
            if (failed) {
                d->status = EXPORT_PARTIAL;
                break;
            }
            checked = nullptr;
            continue;
        }
        bool ok;
        if (f->path) {
            ok = src.file->size == o->size && fm_read(src.file, wk.phys) == 0;
            if (ok) std::memcpy(o->buffer, src.file->buffer, size_t(o->size));
            if (!ok) d->status = EXPORT_PARTIAL;
        } else {
            ok = ReadPictureFrame(f, wk.phys, o->buffer, GLO_FIELDS);
        }
        if (!ok) std::memset(o->buffer, 0, size_t(o->size));
        if (fm_write(o, wk.index) != 0) {
            d->status = EXPORT_PARTIAL;
            break;
        }
        wk.next();
    }
    if (o->state && fm_close(o) != 0) d->status = EXPORT_PARTIAL;
}

// A log-size frame from the clip's ready log part (frame k lies in part
// k mod parts at entry k div parts); false when no part holds it.
bool read_log_frame(const FisicData *f, int k, int w, int h, unsigned char *image,
                    std::vector<unsigned char> &jpeg) {
    LogPart *parts = f->part.load();
    if (!parts || f->parts < 1 || k < 0 || f->width != w || f->height != h) return false;
    const LogPart &p = parts[k % f->parts];
    if (!p.ready.load() || !p.sizes || !p.offsets || !p.file) return false;
    const int e = k / f->parts;
    const int size = p.sizes[e], offset = p.offsets[e];
    if (size <= 0 || size > 16 << 20 || offset < 0) return false;
    int fd = open_regular(p.file, O_RDONLY);
    if (fd < 0) return false;
    jpeg.resize(size_t(size));
    const bool got = ::pread(fd, jpeg.data(), size_t(size), off_t(offset)) == ssize_t(size);
    ::close(fd);
    return got && clDecompressImage(CL_JPEG, w, h, CL_RGBX, size, jpeg.data(), image) == 0;
}

void export_movie(ExportData *d) {
    const bool full = d->kind == EXPORT_KIND_REEL;
    const int w = full ? VIDEO_SIZEX : VIDEO_SIZEX / 4;
    const int h = full ? VIDEO_SIZEY : (VIDEO_SIZEY == 486 ? 120 : VIDEO_SIZEY / 4);
    const int index = d->format - EXPORT_MOVIE_BASE;
    Movie *movie = nullptr;
    if (MvCreate(d->path.c_str(), w, h, fps > 0 ? fps : 25, &movie, index, d->quality) != 0) {
        d->status = EXPORT_NO_MOVIE;
        return;
    }
    // The movie is closed (its index written) however the walk ends, also
    // when the job is stopped at its pause gate.
    struct Closer {
        Movie *m;
        ~Closer() { MvClose(m); }
    } closer{movie};
    std::vector<unsigned char> image(size_t(w) * h * 4), buffer, jpeg;
    ReelReader reader;
    for (Walk wk(d); wk.more(); wk.next()) {
        FisicData *f = wk.fetch();
        if (!f || f->busy.load()) {
            d->status = EXPORT_PARTIAL;
            return;
        }
        bool ok = !full && read_log_frame(f, wk.phys, w, h, image.data(), jpeg);
        if (!ok && f->path) {
            if (!reader.open(f, full ? 1 : 4, 1)) {
                d->status = EXPORT_NO_MOVIE;
                return;
            }
            ok = reader.rec->width == w && reader.rec->height == h &&
                 svjr_read(reader.rec, image.data(), wk.phys) == 0;
            if (!ok) d->status = EXPORT_PARTIAL;
        } else if (!ok && full) {
            ok = ReadPictureFrame(f, wk.phys, image.data(), 2);
        }
        if (!ok) std::memset(image.data(), 0, image.size());
        if (MvFrameAdd(image.data(), buffer, movie, index, w, h, wk.index) != 0) {
            d->status = EXPORT_PARTIAL;
            return;
        }
    }
}

} // namespace

void ExportProcess(void *data) {
    auto *d = static_cast<ExportData *>(data);
    d->status = EXPORT_OK;
    d->progress = 0;
    if (!d->copy) {
        d->status = EXPORT_PARTIAL;
        return;
    }
    const bool pictures = d->kind == EXPORT_KIND_PICTURES || d->kind == EXPORT_KIND_FX_PICS;
    if (pictures && d->format == EXPORT_FIELDS)
        export_fields(d);
    else if (pictures && d->format >= 0 && d->format < EXPORT_FIELDS)
        export_pictures(d);
    else if ((d->kind == EXPORT_KIND_REEL || d->kind == EXPORT_KIND_FX_REEL) &&
             d->format == EXPORT_SVJ)
        export_reel(d);
    else if ((d->kind == EXPORT_KIND_REEL || d->kind == EXPORT_KIND_MOVIE) &&
             d->format >= EXPORT_MOVIE_BASE && d->format < EXPORT_MOVIE_BASE + EXPORT_MOVIES)
        export_movie(d);
    else
        d->status = EXPORT_PARTIAL;
}
