// bench_export: frames per second of the export job over one reel, and of
// FFmpeg making a QuickTime JPEG movie from the same frames as JPEG files.
//
//   bench_export REEL [-p PASSES] [-d DIR]
//
// REEL is a PAL reel at quality 85 (bench_svj --make REEL 250). Figures:
// full-size "QT JPEG" movie, compressed copy into a reel at the source's
// quality, Targa pictures, log-size "QT JPEG" movie (frames from the reel
// at a quarter, as for a clip whose log is not ready), and the reference
// `ffmpeg -threads 1 -i F%04d.jpg -c:v mjpeg -f mov` on the reel's frames
// written as JPEG at 85. Each figure is the best of PASSES runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "editing/clip_records.h"
#include "editing/export.h"
#include "editing/segments.h"
#include "media/fm_main.h"
#include "media/video_globals.h"
#include "media/svjr.h"
#include "platform/cl_compress.h"
#include "platform/sem.h"

namespace {

int reel_frames(const char *name) {
    fm_fileformat *file = fm_fileformat_allocate("svj");
    int n = -1;
    if (file && fm_rheader(file, name) == 0) {
        n = file->frames;
        fm_close(file);
    }
    fm_fileformat_free(file);
    return n;
}

// Runs one export of the whole window; its status.
int export_once(WindowData *win, const std::string &path, int kind, int format, int style = 1) {
    ExportRequest req;
    req.path = path;
    req.kind = kind;
    req.format = format;
    req.start = "1";
    req.end = std::to_string(win->total);
    req.step = "1";
    req.out_start = "1";
    req.quality = "85";
    req.style = style;
    ExportCheckResult r = ExportCheck(req, win, win->total);
    if (r.message) {
        std::fprintf(stderr, "bench_export: %s\n", r.message);
        std::exit(1);
    }
    ExportProcess(r.data);
    int status = r.data->status;
    FreeExportData(r.data);
    return status;
}

// Gives the clip a one-part log made from the reel at a quarter, as the log
// converter makes it, so the log-size movie reads the log.
bool make_log(FisicData *clip, const std::string &file) {
    fm_fileformat *r = svjr_open(clip->path, 4, 1, 0);
    if (!r) return false;
    const int w = r->width, h = r->height;
    std::vector<unsigned char> image(size_t(r->size)), jpeg(size_t(r->size) + 65536), data;
    auto *part = new LogPart[1];
    part->sizes = static_cast<int *>(calloc(size_t(clip->frames), sizeof(int)));
    part->offsets = static_cast<int *>(calloc(size_t(clip->frames), sizeof(int)));
    bool ok = true;
    for (int k = 0; k < clip->frames && ok; k++) {
        int size = int(jpeg.size());
        ok = svjr_read(r, image.data(), k) == 0 &&
             clCompressImage(CL_JPEG, w, h, CL_RGBX, 10.0f, image.data(), &size, jpeg.data()) == 0;
        part->sizes[k] = size;
        part->offsets[k] = int(data.size());
        data.insert(data.end(), jpeg.begin(), jpeg.begin() + size);
    }
    svjr_close(r->state);
    std::free(r);
    FILE *f = std::fopen(file.c_str(), "wb");
    ok = ok && f && std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (f) std::fclose(f);
    part->file = strdup(file.c_str());
    part->ready = ok ? 1 : 0;
    clip->width = w;
    clip->height = h;
    clip->parts = 1;
    clip->part = part;
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_export REEL [-p PASSES] [-d DIR]\n");
        return 2;
    }
    int passes = 3;
    std::string dir = "/tmp/bench_export";
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "-p") == 0) passes = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "-d") == 0) dir = argv[i + 1];
    }
    SetVideoMode(0);
    fm_initialize(nullptr);
    SemInit();
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    const int frames = reel_frames(argv[1]);
    if (frames < 1) {
        std::fprintf(stderr, "bench_export: %s is not a readable reel\n", argv[1]);
        return 1;
    }
    FisicData clip;
    clip.path = strdup(argv[1]);
    clip.frames = frames;
    auto *seg = new Segment;
    seg->last = frames - 1;
    seg->fisic = &clip;
    seg->next = seg->prev = seg;
    WindowData win;
    win.total = frames;
    win.seg_first = win.seg_last = win.seg_current = seg;

    struct Figure {
        const char *what;
        std::string path;
        int kind, format;
    } figures[] = {
        {"QT JPEG movie, full size", dir + "/full.movie", EXPORT_KIND_REEL, EXPORT_MOVIE_BASE + 4},
        {"compressed copy to a reel", dir + "/copy.svj", EXPORT_KIND_REEL, EXPORT_SVJ},
        {"Targa pictures", dir + "/F", EXPORT_KIND_PICTURES, 1},
        {"QT JPEG movie, log size (reel)", dir + "/small.movie", EXPORT_KIND_MOVIE,
         EXPORT_MOVIE_BASE + 4},
        {"QT JPEG movie, log size (log)", dir + "/small.movie", EXPORT_KIND_MOVIE,
         EXPORT_MOVIE_BASE + 4},
    };
    std::printf("%d frames of %s, best of %d\n", frames, argv[1], passes);
    double movie_fps = 0;
    for (const Figure &f : figures) {
        if (std::strstr(f.what, "(log)") && !make_log(&clip, dir + "/log_Clip_1")) {
            std::fprintf(stderr, "bench_export: cannot make the log\n");
            return 1;
        }
        int status = 0;
        double s = best_of(passes, [&] {
            std::remove(f.path.c_str());
            status = export_once(&win, f.path, f.kind, f.format);
        });
        if (f.format == EXPORT_MOVIE_BASE + 4 && f.kind == EXPORT_KIND_REEL) movie_fps = frames / s;
        std::printf("%-32s %8.1f frames/s  (status %d)\n", f.what, frames / s, status);
    }
    // The reference: the same frames as JPEG files at 85, through FFmpeg.
    export_once(&win, dir + "/J", EXPORT_KIND_PICTURES, 4);
    const std::string cmd = "ffmpeg -v error -y -threads 1 -i '" + dir +
                            "/J.%04d.jpg' -c:v mjpeg -f mov '" + dir + "/ref.mov'";
    int rc = 0;
    double s = best_of(passes, [&] { rc = std::system(cmd.c_str()); });
    std::printf("%-32s %8.1f frames/s  (%s)\n", "ffmpeg -threads 1 mjpeg mov", frames / s,
                rc == 0 ? "ok" : "failed");
    std::printf("QT JPEG against ffmpeg: %.2f\n", movie_fps / (frames / s));
    std::free(clip.path);
    delete seg;
    SemRemove();
    return 0;
}
