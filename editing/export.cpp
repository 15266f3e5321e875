// Export checks and names: the dialog's values turned into an export record,
// the names of the files an export writes, the overwrite and in-use checks,
// and the comparison of reel headers that allows copying fields as they are.
#include "editing/export.h"

#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

#include "editing/clip_records.h"
#include "editing/image_seq.h"
#include "editing/segments.h"
#include "media/fm_format_svj.h"
#include "media/fm_main.h"
#include "media/img_formats.h"
#include "media/video_globals.h"

const char *const EXPORT_MSG_NO_CLIP = "No clip selected";
const char *const EXPORT_MSG_START = "Start must be >= 1";
const char *const EXPORT_MSG_END = "End exceeds number of frames";
const char *const EXPORT_MSG_STEP = "Step must be >= 1";
const char *const EXPORT_MSG_ORDER = "Start is greater than End";
const char *const EXPORT_MSG_EFFECT =
    "Effect not completed\nbetween start and end.\nCannot export.";
const char *const EXPORT_MSG_DIRECTORY = "Error opening directory";
const char *const EXPORT_MSG_IN_USE = "One or more files are in\nuse, cannot remove them.";
const char *const EXPORT_MSG_OVERWRITE = "One or more files will be\noverwritten. Continue anyway?";
const char *const EXPORT_MSG_NO_NAME = "No file name given";

WindowData *export_window = nullptr;
bool (*ExportPathWrittenHook)(const char *path) = nullptr;

namespace {

bool numbered(int kind) {
    return kind == EXPORT_KIND_PICTURES || kind == EXPORT_KIND_FX_PICS;
}

// Directory part (with its '/') and file name of a path.
std::pair<std::string, std::string> split_path(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// The dialog's numbers are read as atoi reads them.
int value_of(const std::string &text, int fallback) {
    return text.empty() ? fallback : std::atoi(text.c_str());
}

bool same_file(const struct stat &a, const char *name) {
    struct stat b;
    return name && ::stat(name, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when the existing file `st` is read by a clip: any open clip (every
// physical clip in first_fisic) or a clip of the window.
bool file_of_clip(const struct stat &st, const FisicData *f) {
    if (f->path) return same_file(st, f->path);
    if (!f->pic) return false;
    for (int k = 0; k < f->frames; k++)
        if (same_file(st, PicFrameFile(f, k).c_str())) return true;
    return false;
}

bool target_in_use(const std::vector<std::string> &names, WindowData *win) {
    std::vector<FisicData *> clips;
    for (FisicData *f = first_fisic.load(); f; f = f->next.load())
        clips.push_back(f);
    if (win && win->seg_first && win->seg_first != fixed_picture_marker) {
        Segment *s = win->seg_first;
        for (int guard = 0; s && guard < 1 << 20; guard++) {
            if (s->fisic) clips.push_back(s->fisic);
            s = RingNext(win, s);
        }
    }
    for (const std::string &name : names) {
        struct stat st;
        if (::stat(name.c_str(), &st) != 0) continue;
        if (ExportPathWrittenHook && ExportPathWrittenHook(name.c_str())) return true;
        for (const FisicData *f : clips)
            if (file_of_clip(st, f)) return true;
    }
    return false;
}

} // namespace

std::string PicFrameFile(const FisicData *fisic, int k) {
    if (!fisic || !fisic->pic || !fisic->pic->pattern) return "";
    const ImageLogInfo *p = fisic->pic;
    long long number = p->first + (long long)k * (p->step > 0 ? p->step : 1);
    if (number < 0 || number > 0x7fffffff) return "";
    return ImgFrameName(p->pattern, p->style, p->ext, int(number));
}

bool ReadPictureFrame(const FisicData *f, int k, unsigned char *buffer, int mode) {
    const std::string name = PicFrameFile(f, k);
    const ImgFunctions *img = img_functions(img_format_of_name(name.c_str()));
    if (name.empty() || !img) return false;
    int w = 0, h = 0;
    if (img->header(name.c_str(), &w, &h) != 1 || w != VIDEO_SIZEX || h != VIDEO_SIZEY)
        return false;
    return img->read(name.c_str(), buffer, mode) == 1;
}

std::string ExportFrameName(const ExportData &d, int number, int field) {
    char num[32];
    if (d.style == 0)
        std::snprintf(num, sizeof num, ".%d", number);
    else if (d.style == 1)
        std::snprintf(num, sizeof num, ".%04d", number);
    else
        std::snprintf(num, sizeof num, "%04d", number);
    if (d.format == EXPORT_FIELDS) {
        const char *mark = d.style == 2 ? (field ? "2" : "1") : (field ? "_f2" : "_f1");
        return d.path + mark + num + ".jpg";
    }
    return d.path + num + exp_format[d.format];
}

std::vector<std::string> ExportFileNames(const ExportData &d) {
    std::vector<std::string> names;
    if (!numbered(d.kind)) {
        names.push_back(d.path);
        return names;
    }
    for (long long n = d.start; n <= d.end; n += d.step) {
        const int number = int(d.out_start + n - d.start);
        names.push_back(ExportFrameName(d, number, 0));
        if (d.format == EXPORT_FIELDS) names.push_back(ExportFrameName(d, number, 1));
    }
    return names;
}

bool EffectsRunning(WindowData *win, int start, int end) {
    if (!win || !win->seg_first || win->seg_first == fixed_picture_marker) return false;
    Segment *s = win->seg_first;
    for (int guard = 0; s && guard < 1 << 20; guard++) {
        // Window frames offset .. offset + length - 1 belong to segment s.
        Segment *next = RingNext(win, s);
        const long long first = s->offset + 1LL;
        const long long last = next ? next->offset : (long long)win->total;
        if (s->fisic && s->fisic->busy.load() && first <= end && last >= start) return true;
        s = next;
    }
    return false;
}

ExportCheckResult ExportCheck(const ExportRequest &req, WindowData *win, int frames) {
    ExportCheckResult r;
    auto [dir, file] = split_path(req.path);
    if (file.empty()) {
        r.message = EXPORT_MSG_NO_NAME;
        return r;
    }
    const int kind = req.kind;
    const int format = req.format;
    if (numbered(kind)) {
        file = file.substr(0, file.find('.'));
    } else if (format == EXPORT_SVJ) {
        size_t dot = file.rfind('.');
        file = (dot == std::string::npos ? file : file.substr(0, dot)) + ".svj";
    } else if (file.find('.') == std::string::npos) {
        file += ".movie";
    }
    int quality = kind == EXPORT_KIND_MOVIE ? 85 : value_of(req.quality, 85);
    quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    const int out_start = numbered(kind) ? value_of(req.out_start, 1) : 1;
    const int style = numbered(kind) && req.style >= 0 && req.style < EXPORT_STYLES ? req.style : 0;
    if (numbered(kind) && style == 2) file = file.substr(0, format == EXPORT_FIELDS ? 4 : 5);
    const int start = std::atoi(req.start.c_str());
    const int end = std::atoi(req.end.c_str());
    const int step = std::atoi(req.step.c_str());

    if (win == nullptr)
        r.message = EXPORT_MSG_NO_CLIP;
    else if (start < 1 || out_start < 1)
        r.message = EXPORT_MSG_START;
    else if (end > frames)
        r.message = EXPORT_MSG_END;
    else if (step < 1)
        r.message = EXPORT_MSG_STEP;
    else if (end < start)
        r.message = EXPORT_MSG_ORDER;
    else if (EffectsRunning(win, start, end))
        r.message = EXPORT_MSG_EFFECT;
    if (r.message) return r;

    const std::string dirname = dir.empty() ? "." : dir;
    DIR *dp = opendir(dirname.c_str());
    if (!dp) {
        r.message = EXPORT_MSG_DIRECTORY;
        return r;
    }
    std::set<std::string> entries;
    while (dirent *e = readdir(dp))
        entries.insert(e->d_name);
    closedir(dp);

    auto *d = new ExportData;
    d->path = dir + file;
    d->start = start;
    d->end = end;
    d->step = step;
    d->out_start = out_start;
    d->format = format;
    d->style = style;
    d->quality = quality;
    d->kind = kind;
    d->window = win;
    const std::vector<std::string> names = ExportFileNames(*d);
    bool overwrite = false;
    std::vector<std::string> existing;
    for (const std::string &name : names) {
        if (entries.count(split_path(name).second)) {
            overwrite = true;
            existing.push_back(name);
        }
    }
    if (target_in_use(existing, win)) {
        delete d;
        r.message = EXPORT_MSG_IN_USE;
        return r;
    }
    d->copy = CopyWindow(win, frames);
    if (!d->copy) {
        delete d;
        r.message = EXPORT_MSG_NO_CLIP;
        return r;
    }
    r.data = d;
    r.overwrite = overwrite;
    return r;
}

bool SameQuality(fm_fileformat *source, fm_fileformat *target, bool target_is_new) {
    if (!source || !target || !source->state || !target->state) return false;
    auto *src = static_cast<fm_svj_state *>(source->state);
    auto *dst = static_cast<fm_svj_state *>(target->state);
    const uint32_t size = fm_svj_initsize(src);
    if (size == 0 || size > 65536) return false;
    std::vector<unsigned char> a(size), b;
    if (fm_svj_data_read(src, 0, size, a.data()) != long(size)) return false;
    if (target_is_new) {
        b.resize(65536);
        int h = fm_svj_header(dst, b.data(), int(b.size()));
        if (h <= 0) return false;
        b.resize(size_t(h));
    } else {
        const uint32_t tsize = fm_svj_initsize(dst);
        if (tsize != size) return false;
        b.resize(size);
        if (fm_svj_data_read(dst, 0, size, b.data()) != long(size)) return false;
    }
    return a == b;
}

void FreeExportData(ExportData *d) {
    if (!d) return;
    if (d->copy) {
        FreeSegments(d->copy);
        delete d->copy;
    }
    delete d;
}
