// The custom effect job: the temporary sequences it reserves, the frame
// loop that hands each picture to the outside program, and the clean-up of
// what it leaves.
#include "editing/custom_process.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "editing/clip_names.h"
#include "editing/clip_records.h"
#include "editing/export.h"
#include "editing/frame_map.h"
#include "editing/image_seq.h"
#include "editing/import.h"
#include "editing/reel_reader.h"
#include "media/img_formats.h"
#include "media/img_util.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "platform/child.h"
#include "platform/fileio.h"
#include "platform/jobs.h"
#include "platform/sem.h"

int ext_fx = 1;
int qual_fx = 85;
int svj_fx = 1;

namespace {

constexpr int import_ext_of[FX_FORMATS] = {0, 1, 2, 4};

bool exists(const std::string &name) {
    struct stat st;
    return ::lstat(name.c_str(), &st) == 0;
}

// The output numbers of the job's range.
std::vector<int> numbers_of(const ExportData &e) {
    std::vector<int> n;
    for (long long f = e.start; f <= e.end; f += e.step)
        n.push_back(int(e.out_start + f - e.start));
    return n;
}

// Picks the first stem_NN (NN from 01) of which no frame of the range
// exists and reserves its first frame's name with O_EXCL, so that no other
// effect takes it meanwhile. Empty when none is free or a name cannot be
// made.
std::string reserve_sequence(StlnJob &job, const std::string &dir, const char *stem) {
    const std::vector<int> numbers = numbers_of(*job.exp);
    for (int k = 1; k <= 99; k++) {
        char tail[16];
        std::snprintf(tail, sizeof tail, "_%02d", k);
        const std::string base = dir + stem + tail;
        bool taken = false;
        for (int n : numbers)
            if ((taken = exists(StlnFrameName(job, base, n)))) break;
        if (taken) continue;
        const std::string first = StlnFrameName(job, base, numbers.front());
        const int fd = ::open(first.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return "";
        }
        ::close(fd);
        job.reserved.push_back(first);
        return base;
    }
    return "";
}

// Removes a file when it goes out of scope (also when the job unwinds).
struct RemoveLater {
    std::string name;
    ~RemoveLater() {
        if (!name.empty()) ::unlink(name.c_str());
    }
};

} // namespace

int FxImportExt(int format) {
    return format >= 0 && format < FX_FORMATS ? import_ext_of[format] : -1;
}

std::string StlnFrameName(const StlnJob &job, const std::string &base, int number) {
    return ImgFrameName(base, job.exp ? job.exp->style : 0, FxImportExt(job.format), number);
}

StlnJob *StlnPrepare(ExportData *exp, const FxCommand &command, int format, int quality,
                     const std::string &image_dir, const std::string &db_dir,
                     std::string &message) {
    const char *error = "Error in creating effect\n";
    if (!exp || format < 0 || format >= FX_FORMATS || exp->start > exp->end || exp->step < 1 ||
        exp->style < 0 || exp->style > 2 ||
        (long long)exp->out_start + (exp->end - exp->start) > 0x7fffffffLL) {
        FreeExportData(exp);
        message = error;
        return nullptr;
    }
    auto *job = new StlnJob;
    job->exp = exp;
    job->command = command;
    job->format = format;
    job->quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    job->svj = exp->kind == EXPORT_KIND_FX_REEL;
    std::string dir = image_dir;
    if (!dir.empty() && dir.back() != '/') dir += '/';

    auto *d = new ImportData;
    job->import = d;
    d->quality = job->quality;
    d->xsize = VIDEO_SIZEX;
    d->ysize = VIDEO_SIZEY;
    d->start = exp->out_start;
    d->end = int(exp->out_start + (long long)(exp->end - exp->start));
    d->step = exp->step;
    d->db_path = db_dir;
    d->ext_num = FxImportExt(format);
    d->format_num = exp->style;
    const ImgFunctions *img = img_functions(d->ext_num);
    d->read = img ? img->read : nullptr;
    d->header = img ? img->header : nullptr;

    job->in_base = reserve_sequence(*job, dir, "ex");
    bool ok = !job->in_base.empty() && img;
    if (ok && job->svj) {
        job->out_base = reserve_sequence(*job, dir, "im");
        job->reel = exp->path;
        if (job->reel.size() < 4 || job->reel.compare(job->reel.size() - 4, 4, ".svj") != 0)
            job->reel += ".svj";
        d->in_basename = job->out_base;
        d->out_name = job->reel;
        d->svj = 1;
        ok = !job->out_base.empty();
    } else if (ok) {
        job->out_base = exp->path;
        d->in_basename = job->out_base;
        d->clip_num = PicClipNum(db_dir.empty() ? nullptr : db_dir.c_str(), exp->path.c_str());
        ok = d->clip_num >= 0;
    }
    if (ok) {
        const char *dir_or_null = db_dir.empty() ? nullptr : db_dir.c_str();
        std::unique_ptr<char, decltype(&free)> p(
            job->svj ? ClipName(dir_or_null, job->reel.c_str(), 1)
                     : PicClipName(dir_or_null, d->in_basename.c_str(), d->clip_num, 1),
            free);
        d->preview = p ? p.get() : "";
        ok = !d->preview.empty();
    }
    if (!ok) message = error;
    std::string program;
    if (ok) ok = FxFindProgram(command.command, program, message);
    if (!ok) {
        Free_Fake(job, false);
        StlnFreeJob(job);
        return nullptr;
    }
    return job;
}

void StlnEffectProcess(void *data) {
    auto *job = static_cast<StlnJob *>(data);
    ExportData *e = job->exp;
    *job->status = FX_OK;
    *job->progress = 0;
    if (!e || !e->copy) {
        *job->status = FX_FAILED;
        return;
    }
    const int w = VIDEO_SIZEX, h = VIDEO_SIZEY;
    std::vector<unsigned char> image(size_t(w) * h * 3);
    const ImgFunctions *img = img_functions(FxImportExt(job->format));
    ReelReader reader;
    int done = 0;
    for (long long f = e->start; f <= e->end; f += e->step) {
        SemWait(0);
        const int phys = FrameCtrl(e->copy, int(f - 1), &e->copy->seg_current);
        const Segment *seg = e->copy->seg_current;
        const FisicData *clip = seg ? seg->fisic : nullptr;
        if (!clip || clip->busy.load()) {
            *job->status = FX_FAILED;
            return;
        }
        bool ok;
        if (clip->path) {
            if (!reader.open(clip)) {
                *job->status = FX_FAILED;
                return;
            }
            ok = reader.rec->width == w && reader.rec->height == h &&
                 svjr_read(reader.rec, image.data(), phys) == 0;
            if (!ok) *job->status = FX_FAILED;
        } else {
            reader.close();
            ok = ReadPictureFrame(clip, phys, image.data(), GLO_DISPLAY3);
        }
        if (!ok) std::memset(image.data(), 0, image.size());

        const int number = int(e->out_start + f - e->start);
        RemoveLater in{StlnFrameName(*job, job->in_base, number)};
        const std::string out = StlnFrameName(*job, job->out_base, number);
        if (!img || img->write(in.name.c_str(), w, h, image.data(), job->quality) != 1 ||
            !exists(in.name)) {
            *job->status = FX_FAILED;
            return;
        }
        // A leftover from an earlier run must never pass for this frame's result.
        ::unlink(out.c_str());
        ChildSystem(StlnBuildCommand(job->command, in.name, out).c_str());
        JobCheckStop();
        struct stat st;
        if (::stat(out.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            *job->status = FX_NO_RESULT;
            return;
        }
        *job->progress = ++done;
    }
}

void Free_Fake(StlnJob *job, bool results_kept) {
    if (!job || !job->exp) {
        if (job)
            for (const std::string &r : job->reserved)
                ::unlink(r.c_str());
        return;
    }
    for (int n : numbers_of(*job->exp)) {
        if (!job->in_base.empty()) ::unlink(StlnFrameName(*job, job->in_base, n).c_str());
        if (job->svj && !results_kept && !job->out_base.empty())
            ::unlink(StlnFrameName(*job, job->out_base, n).c_str());
    }
    for (const std::string &r : job->reserved)
        if (r.compare(0, job->in_base.size(), job->in_base) == 0 || !results_kept)
            ::unlink(r.c_str());
    job->reserved.clear();
}

void StlnFreeExportData(StlnJob *job) {
    if (!job) return;
    FreeExportData(job->exp);
    job->exp = nullptr;
}

void StlnFreeJob(StlnJob *job) {
    if (!job) return;
    StlnFreeExportData(job);
    delete job->import;
    delete job;
}

void StlnCopyImport(const ImportData &from, ImportData &to) {
    to.in_basename = from.in_basename;
    to.out_name = from.out_name;
    to.db_path = from.db_path;
    to.xsize = from.xsize;
    to.ysize = from.ysize;
    to.start = from.start;
    to.end = from.end;
    to.step = from.step;
    to.quality = from.quality;
    to.ext_num = from.ext_num;
    to.format_num = from.format_num;
    to.svj = from.svj;
    to.clip_num = from.clip_num;
    to.read = from.read;
    to.header = from.header;
    to.fit = from.fit;
    to.file_x = from.file_x;
    to.file_y = from.file_y;
    to.mode = from.mode;
    to.fields = from.fields;
    to.movie = from.movie;
    to.preview = from.preview;
}

void StlnRemoveResults(const ImportData &d) {
    for (long long n = d.start; n <= d.end; n += d.step > 0 ? d.step : 1)
        ::unlink(ImportFrameName(d, n).c_str());
}

bool StlnImportReady(ImportData &d, std::string &message) {
    int w = 0, h = 0;
    const std::string first = ImportFrameName(d, d.start);
    if (!d.header || d.header(first.c_str(), &w, &h) != 1 || w <= 0 || h <= 0) {
        message = "Error in creating effect\n";
        return false;
    }
    d.xsize = w;
    d.ysize = h;
    if (w == VIDEO_SIZEX && h == VIDEO_SIZEY) return true;
    if (!d.svj) {
        message = "You must write the svj to\nimport non video size images\n";
        return false;
    }
    ImportSetFit(d);
    return true;
}

void StlnImportWrite(void *data) {
    auto *d = static_cast<ImportData *>(data);
    struct Results {
        const ImportData *d;
        ~Results() { StlnRemoveResults(*d); }
    } results{d};
    ImportWrite(d);
}
