// Import of picture sequences: splitting a chosen name into base, number
// style and extension, the first-picture check, and the background body that
// writes the frames. The body passes the pause gate (semaphore 0) before each
// frame, so a stop unwinds it there with its files closed by their
// destructors: an abandoned log part leaves nothing behind, and the partial
// reel is removed by the stop's clean-up.
#include "editing/import.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "editing/clip_names.h"
#include "editing/image_seq.h"
#include "editing/import_movie.h"
#include "media/clip_log.h"
#include "media/field.h"
#include "media/fit.h"
#include "media/fm_main.h"
#include "media/img_jpeg.h"
#include "media/img_util.h"
#include "media/video_globals.h"
#include "platform/child.h"
#include "platform/cl_compress.h"
#include "platform/sem.h"

const char *const num_format[4] = {"%s.%i%s", "%s.%04i%s", "%s%04i%s", "%s%3$s"};
const char *const warning_num_format[4] = {"%s.#%s", "%s.####%s", "%s####%s", "%s%3$s"};
const char *const tmp_num_format[4] = {".%i%s", ".%04i%s", "%04i%s", "%2$s"};
const char *const tmp_abe[3] = {".[1.yuv", ".[0.yuv", "[.yuv"};

std::atomic<int> ImportJpegFields{0};

namespace {

constexpr int JPG_EXT = 5;
constexpr int YUV_EXT = 4;

// A shell word that carries s literally: single quotes, each quote in s
// written as '\''.
std::string shell_quote(const std::string &s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// A database directory, or null for the current one.
const char *dir_or_null(const std::string &dir) {
    return dir.empty() ? nullptr : dir.c_str();
}

bool file_exists(const std::string &name) {
    struct stat st;
    return stat(name.c_str(), &st) == 0;
}

// Size of the icon of a w x h picture: a quarter each way, 120 rows for 486.
void icon_size(int w, int h, int &iw, int &ih) {
    iw = w / 4;
    ih = h == NTSC_PRESENTED ? NTSC_QUARTER : h / 4;
}

// The icon of a field-sequential R, G, B frame of w x h: every fourth pixel
// of every fourth picture line, rows bottom-up, pixels B, G, R, compressed.
// Picture line y (a multiple of 4, so in field 0) is at row y / 2.
bool make_icon(const unsigned char *frame, int w, int h, std::vector<unsigned char> &jpeg) {
    int iw, ih;
    icon_size(w, h, iw, ih);
    if (iw < 1 || ih < 1) return false;
    std::vector<unsigned char> icon(size_t(iw) * ih * 3);
    for (int r = 0; r < ih; r++) {
        const int64_t y = int64_t(ih - 1 - r) * 4;
        const unsigned char *src = frame + (y / 2) * int64_t(w) * 3;
        unsigned char *dst = icon.data() + size_t(r) * iw * 3;
        for (int x = 0; x < iw; x++) {
            const unsigned char *p = src + size_t(x) * 12;
            dst[x * 3 + 0] = p[2];
            dst[x * 3 + 1] = p[1];
            dst[x * 3 + 2] = p[0];
        }
    }
    int cap = int(icon.size() + 65536);
    jpeg.resize(size_t(cap));
    if (clCompressImage(CL_JPEG, iw, ih, CL_RGB, 10.0f, icon.data(), &cap, jpeg.data()) != 0)
        return false;
    jpeg.resize(size_t(cap));
    return true;
}

// Fetches frame n from the remote recorder into `local` with rcp. False when
// the command fails.
bool remote_fetch(const char *source, int64_t n, const std::string &local) {
    const std::string remote = std::string(source) + std::to_string(n);
    const std::string cmd = "rcp " + shell_quote(remote) + " " + shell_quote(local) + "\n";
    const int rc = ChildSystem(cmd.c_str());
    return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

// One frame's file made ready: fetched in the remote modes. Returns the name,
// or "" when the fetch failed.
struct FrameSource {
    const ImportData &d;
    const char *remote = nullptr;
    std::string name(int64_t n) const { return ImportFrameName(d, n); }
    bool fetch(int64_t n, const std::string &local) const {
        return d.mode == 0 || remote_fetch(remote, n, local);
    }
};

void set_status(ImportData &d, int s) {
    // A later frame never lowers a worse status.
    if (d.status->load() < s) d.status->store(s);
}

// A black JPEG field of w x h in a private temporary file, removed when done;
// it stands for a field pair that cannot be read.
struct BlackField {
    std::string path;
    bool make(int w, int h, int quality) {
        if (!path.empty()) return true;
        const char *tmp = getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/orva-black-XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back(0);
        const int fd = mkstemp(buf.data());
        if (fd < 0) return false;
        close(fd);
        path = buf.data();
        std::vector<unsigned char> black(size_t(w) * h * 3, 0);
        if (!glotojpg(path.c_str(), w, h, black.data(), quality)) {
            unlink(path.c_str());
            path.clear();
            return false;
        }
        return true;
    }
    ~BlackField() {
        if (!path.empty()) unlink(path.c_str());
    }
};

// Field pairs into a reel, without decoding.
void write_fields(ImportData &d, const FrameSource &src, int64_t count) {
    fm_fileformat rec{};
    if (svjf_create(d.out_name.c_str(), &rec, d.xsize, d.ysize) != 0) {
        d.status->store(IMPORT_ERROR);
        return;
    }
    struct Closer {
        fm_fileformat *r;
        ~Closer() { svjf_close(r); }
    } closer{&rec};
    BlackField black;
    for (int64_t i = 0; i < count; i++) {
        SemWait(0);
        d.progress->store(int(count - i));
        const int64_t n = ImportFrameNumber(d, i);
        std::string f[2] = {ImportFieldName(d, 0, n), ImportFieldName(d, 1, n)};
        bool good = true;
        for (int k = 0; k < 2 && good; k++) {
            int w = -1, h = -1;
            if (!src.fetch(n, f[k]) || !file_exists(f[k]) || headerjpg(f[k].c_str(), &w, &h) < 0) {
                good = false;
                continue;
            }
            if (w != d.xsize || h != d.ysize / 2) {
                d.status->store(IMPORT_EARLY);
                return;
            }
        }
        if (!good) {
            set_status(d, IMPORT_BLACK);
            if (!black.make(d.xsize, d.ysize / 2, d.quality)) {
                set_status(d, IMPORT_EARLY);
                return;
            }
            f[0] = f[1] = black.path;
        }
        if (svjf_write(&rec, int(i), f[0].c_str(), f[1].c_str()) != 0) {
            set_status(d, IMPORT_EARLY);
            return;
        }
        d.frames_made = int(i + 1);
    }
}

struct FmCloser {
    fm_fileformat *f;
    ~FmCloser() {
        if (f) {
            fm_close(f);
            fm_fileformat_free(f);
        }
    }
};

// Frames into a reel, or only the preview of an image clip.
void write_frames(ImportData &d, const FrameSource &src, int64_t count) {
    const bool reel = d.svj != 0;
    const int pw = d.fit ? d.file_x : d.xsize, ph = d.fit ? d.file_y : d.ysize;
    fm_fileformat *out = nullptr;
    if (reel) {
        out = fm_create_file("svj", d.out_name.c_str(), d.xsize, d.ysize, int(count), d.quality);
        if (!out) {
            d.status->store(IMPORT_ERROR);
            return;
        }
    }
    FmCloser closer{out};
    int iw, ih;
    icon_size(d.xsize, d.ysize, iw, ih);
    d.icon_w = iw;
    d.icon_h = ih;
    ClipLogPartWriter part(d.preview.c_str(), int(count) + 1);
    if (!part.ok()) {
        d.status->store(IMPORT_ERROR);
        return;
    }
    // The picture as read (file size), and the frame it becomes (video size).
    std::vector<unsigned char> picture(size_t(pw) * ph * 3);
    std::vector<unsigned char> own_frame;
    unsigned char *frame = nullptr;
    if (reel)
        frame = out->buffer;
    else {
        own_frame.resize(size_t(d.xsize) * d.ysize * 3);
        frame = own_frame.data();
    }
    std::vector<unsigned char> jpeg;
    MovieSource movie;
    if (d.movie && (!movie.open(d.in_basename) || movie.width() != pw || movie.height() != ph)) {
        d.status->store(IMPORT_ERROR);
        return;
    }
    int64_t i = 0;
    for (; i < count; i++) {
        SemWait(0);
        d.progress->store(int(count - i));
        const int64_t n = ImportFrameNumber(d, i);
        unsigned char *target = d.fit ? picture.data() : frame;
        bool good;
        if (d.movie) {
            // Reel frame n - 1 shows the movie's picture at (n - 1) / fps seconds.
            good = movie.picture_at(double(n - 1) / fps, target);
        } else {
            const std::string name = src.name(n);
            int w = -1, h = -1;
            good = src.fetch(n, name) && file_exists(name) && d.header &&
                   d.header(name.c_str(), &w, &h) > 0;
            if (good && (w != pw || h != ph)) {
                set_status(d, IMPORT_EARLY);
                break;
            }
            if (good) good = d.read && d.read(name.c_str(), target, GLO_FIELDS) == 1;
        }
        if (!good) {
            set_status(d, IMPORT_BLACK);
            std::memset(frame, 0, size_t(d.xsize) * d.ysize * 3);
        } else if (d.fit) {
            ScaleBufferInterp(picture.data(), frame, pw, ph);
        }
        if (!make_icon(frame, d.xsize, d.ysize, jpeg) || !part.add(jpeg.data(), jpeg.size())) {
            set_status(d, IMPORT_EARLY);
            break;
        }
        if (reel && fm_write(out, int(i)) != 0) {
            fm_errno = 0;
            set_status(d, IMPORT_EARLY);
            break;
        }
        d.frames_made = int(i + 1);
    }
    if (d.frames_made == 0) {
        d.status->store(IMPORT_ERROR);
        return;
    }
    if (!part.commit()) set_status(d, reel ? IMPORT_BLACK : IMPORT_ERROR);
}

} // namespace

int64_t ImportFrameCount(int start, int end, int step) {
    if (step < 1 || end < start) return 0;
    return (int64_t(end) - int64_t(start)) / step + 1;
}

std::string ImportFrameName(const ImportData &d, int64_t n) {
    if (d.mode == 2) return d.in_basename + imp_format[YUV_EXT];
    return ImgFrameName(d.in_basename, d.format_num, d.ext_num, int(n));
}

std::string ImportFieldName(const ImportData &d, int field, int64_t n) {
    return ImgFrameName(d.in_basename + (field == 0 ? "_f1" : "_f2"), d.format_num, d.ext_num,
                        int(n));
}

int GetBasename(const std::string &path, std::string &base, int &ext) {
    if (path.size() < 4) return -1;
    ext = -1;
    for (int i = 0; i < IMG_SEQ_EXTS; i++)
        if (path.compare(path.size() - 4, 4, imp_format[i]) == 0) ext = i;
    if (ext < 0) return -1;
    const size_t open = path.find('[');
    int style;
    if (open != std::string::npos) {
        if (open > 0 && path[open - 1] == '.') {
            style = open + 1 < path.size() && path[open + 1] == '0' ? 1 : 0;
            base = path.substr(0, open - 1);
        } else {
            style = 2;
            base = path.substr(0, open);
        }
    } else {
        style = 3;
        base = path.substr(0, path.size() - 4);
    }
    if (base.empty() || base.back() == '/') return -1;
    return style;
}

std::string CreaAbeName(const std::string &name, int padding) {
    if (padding < 0 || padding > 2) padding = 0;
    std::string s = name;
    if (padding == 2) {
        const size_t slash = s.rfind('/');
        const size_t from = slash == std::string::npos ? 0 : slash + 1;
        if (s.size() - from > 5) s.resize(from + 5);
    }
    return s + tmp_abe[padding];
}

int VtrToImportFormat(int i) {
    if (i < 0 || i >= EXP_FORMATS) return IMG_SEQ_EXTS;
    for (int k = 0; k < IMG_SEQ_EXTS; k++)
        if (strcmp(exp_format[i], imp_format[k]) == 0) return k;
    return IMG_SEQ_EXTS;
}

int PicClipNum(const char *dir, const char *base) {
    for (int tag = 0; tag < 100; tag++) {
        std::unique_ptr<char, decltype(&free)> log(PicLogName(dir, base, tag), free);
        std::unique_ptr<char, decltype(&free)> part(PicClipName(dir, base, tag, 1), free);
        if (!log || !part) return -1;
        if (!file_exists(log.get()) && !file_exists(part.get())) return tag;
    }
    return -1;
}

void Import_data_dump(const ImportData &d) {
    fprintf(stderr, " in_basename %s\n", d.in_basename.c_str());
    fprintf(stderr, " out_name %s\n", d.out_name.empty() ? "(null)" : d.out_name.c_str());
    fprintf(stderr, " db_path %s\n", d.db_path.c_str());
    fprintf(stderr, " xsize %d\n", d.xsize);
    fprintf(stderr, " ysize %d\n", d.ysize);
    fprintf(stderr, " start %d\n", d.start);
    fprintf(stderr, " end %d\n", d.end);
    fprintf(stderr, " step %d\n", d.step);
    fprintf(stderr, " quality %d\n", d.quality);
    fprintf(stderr, " pid_index %d\n", d.pid_index);
    fprintf(stderr, " ext_num %d\n", d.ext_num);
    fprintf(stderr, " format_num %d\n", d.format_num);
    fprintf(stderr, " svj %d\n", d.svj);
    fprintf(stderr, " clip_num %d\n", d.clip_num);
}

namespace {

// A movie into a reel: the whole movie by default, its pictures fitted to
// the video frame.
int prepare_movie(const std::string &path, const std::string &reel, const std::string &db_dir,
                  ImportData &d, std::string &message) {
    if (reel.empty()) {
        message = "You must write the svj to\nimport movies\n";
        return PREPARE_ERROR;
    }
    MovieSource m;
    std::vector<unsigned char> first;
    if (m.open(path)) first.resize(size_t(m.width()) * m.height() * 3);
    if (first.empty() || !m.picture_at(0, first.data())) {
        message = "Error reading first picture\n";
        return PREPARE_ERROR;
    }
    d.movie = 1;
    d.in_basename = path;
    d.out_name = reel;
    d.svj = 1;
    d.db_path = db_dir;
    d.fields = 0;
    d.format_num = 3;
    d.ext_num = 0;
    d.read = nullptr;
    d.header = nullptr;
    if (d.start < 1) d.start = 1;
    if (d.start > m.frames()) d.start = m.frames();
    if (d.end > m.frames()) d.end = m.frames();
    if (d.end < d.start) d.end = d.start;
    if (d.step < 1) d.step = 1;
    std::unique_ptr<char, decltype(&free)> p(ClipName(dir_or_null(db_dir), reel.c_str(), 1), free);
    d.preview = p ? p.get() : "";
    d.xsize = m.width();
    d.ysize = m.height();
    if (d.xsize != VIDEO_SIZEX || d.ysize != VIDEO_SIZEY) ImportSetFit(d);
    return PREPARE_START;
}

} // namespace

int ImportPrepare(const std::string &path, const std::string &reel, const std::string &db_dir,
                  int mode, int fields, ImportData &d, std::string &message) {
    message.clear();
    d.mode = mode;
    d.movie = 0;
    if (mode == 0 && ImportIsMovie(path)) return prepare_movie(path, reel, db_dir, d, message);
    if (mode == 2) {
        d.format_num = 3;
        d.ext_num = YUV_EXT;
        d.in_basename = path;
        const std::string yuv = imp_format[YUV_EXT];
        if (path.size() >= yuv.size() &&
            path.compare(path.size() - yuv.size(), yuv.size(), yuv) == 0)
            d.in_basename = path.substr(0, path.size() - yuv.size());
    } else {
        int ext = 0;
        const int style = GetBasename(path, d.in_basename, ext);
        if (style < 0) {
            message = "Error importing pictures\n";
            return PREPARE_ERROR;
        }
        d.format_num = style;
        d.ext_num = ext;
    }
    const ImgFunctions *fn = img_functions(d.ext_num);
    d.read = fn ? fn->read : nullptr;
    d.header = fn ? fn->header : nullptr;
    d.db_path = db_dir;
    d.svj = reel.empty() ? 0 : 1;
    d.out_name = reel;
    d.fields = fields && d.svj && d.ext_num == JPG_EXT ? 1 : 0;
    if (d.fields) {
        const std::string &b = d.in_basename;
        if (b.size() > 3 &&
            (b.compare(b.size() - 3, 3, "_f1") == 0 || b.compare(b.size() - 3, 3, "_f2") == 0))
            d.in_basename.resize(b.size() - 3);
    }
    if (d.step < 1) d.step = 1;
    if (d.end < d.start) d.end = d.start;
    if (!d.svj) {
        d.clip_num = PicClipNum(dir_or_null(db_dir), d.in_basename.c_str());
        if (d.clip_num < 0) {
            message = "Error importing pictures\n";
            return PREPARE_ERROR;
        }
        std::unique_ptr<char, decltype(&free)> p(
            PicClipName(dir_or_null(db_dir), d.in_basename.c_str(), d.clip_num, 1), free);
        d.preview = p ? p.get() : "";
    } else {
        std::unique_ptr<char, decltype(&free)> p(ClipName(dir_or_null(db_dir), reel.c_str(), 1),
                                                 free);
        d.preview = p ? p.get() : "";
    }
    int w = VIDEO_SIZEX, h = VIDEO_SIZEY;
    if (mode == 0) {
        const std::string first =
            d.fields ? ImportFieldName(d, 0, d.start) : ImportFrameName(d, d.start);
        if (!d.header || d.header(first.c_str(), &w, &h) <= 0 || w <= 0 || h <= 0) {
            ImportAbandon(d);
            message = "Error reading first picture\n";
            return PREPARE_ERROR;
        }
        if (d.fields) h *= 2;
    }
    d.xsize = w;
    d.ysize = h;
    if (w == VIDEO_SIZEX && h == VIDEO_SIZEY) return PREPARE_START;
    if (!d.svj || d.fields) {
        ImportAbandon(d);
        message = d.fields ? "Error reading first picture\n"
                           : "You must write the svj to\nimport non video size images\n";
        return PREPARE_ERROR;
    }
    return PREPARE_FIT;
}

void ImportSetFit(ImportData &d) {
    d.fit = 1;
    d.file_x = d.xsize;
    d.file_y = d.ysize;
    d.xsize = VIDEO_SIZEX;
    d.ysize = VIDEO_SIZEY;
}

void ImportAbandon(const ImportData &d) {
    if (!d.svj && !d.preview.empty()) unlink(d.preview.c_str());
}

void ImportWrite(void *data) {
    ImportData &d = *static_cast<ImportData *>(data);
    d.frames_made = 0;
    d.status->store(IMPORT_OK);
    const int64_t count64 = ImportFrameCount(d.start, d.end, d.step);
    if (count64 < 1 || count64 > IMPORT_MAX_FRAMES) {
        d.status->store(IMPORT_ERROR);
        return;
    }
    d.progress->store(int(count64));
    FrameSource src{d};
    if (d.mode != 0) {
        src.remote = getenv(IMPORT_RECORD_ENV);
        if (!src.remote) {
            d.status->store(IMPORT_NOENV);
            return;
        }
    }
    if (d.fields)
        write_fields(d, src, count64);
    else
        write_frames(d, src, count64);
    d.progress->store(0);
}

ImageLogInfo ImportImageInfo(const ImportData &d) {
    ImageLogInfo info;
    info.pattern = strdup(d.in_basename.c_str());
    info.first = d.start;
    // An import that ended early covers the frames it made.
    const int64_t made = d.frames_made > 0 ? d.frames_made : 1;
    info.last = int(ImportFrameNumber(d, made - 1));
    info.step = d.step;
    info.ext = d.ext_num;
    info.style = d.format_num;
    info.tag = d.clip_num;
    return info;
}

bool ImportWriteImageLog(const ImportData &d) {
    if (d.svj || d.frames_made < 1) return false;
    std::unique_ptr<char, decltype(&free)> log(
        PicLogName(dir_or_null(d.db_path), d.in_basename.c_str(), d.clip_num), free);
    if (!log) return false;
    ClipLogHeader h;
    h.parts = 1;
    h.complete = 1;
    h.width = d.icon_w;
    h.height = d.icon_h;
    h.frames = d.frames_made;
    h.picture = true;
    ImageLogInfo info = ImportImageInfo(d);
    h.first = info.first;
    h.last = info.last;
    h.step = info.step;
    h.ext = info.ext;
    h.style = info.style;
    h.tag = info.tag;
    h.pattern = info.pattern;
    free(info.pattern);
    return clip_log_write_header(log.get(), h);
}
