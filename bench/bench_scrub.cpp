// Speed of scrubbing through a clip window: frames shown per second when a
// window steps through the 250 frames of the demo reel "gradient_sweep.svj",
// once from its quarter-size log and once from the reel at an eighth (the
// log not ready), each frame fetched, decoded and drawn into a window on the
// X server in $DISPLAY (run it under Xvfb: xvfb-run -a bench_scrub).
//
//   bench_scrub [--passes P]
//
// It also counts the heap allocations per frame shown (every malloc, calloc
// and realloc of the process, the JPEG library's own included), and, for
// reference, those of one bare libjpeg decode of a log picture.
#include <Xm/Form.h>
#include <Xm/Xm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "bench/bench_util.h"
#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/frame_display.h"
#include "desktop/glw.h"
#include "desktop/log_writer.h"
#include "media/fm_main.h"
#include "media/video_globals.h"
#include "platform/sem.h"

// Every allocation of the process passes through these.
static std::atomic<long> allocations{0};
extern "C" void *__libc_malloc(size_t size);
extern "C" void *__libc_calloc(size_t n, size_t size);
extern "C" void *__libc_realloc(void *p, size_t size);
extern "C" void *malloc(size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
extern "C" void *calloc(size_t n, size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, size);
}
extern "C" void *realloc(void *p, size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, size);
}

namespace {

using Clock = std::chrono::steady_clock;

struct Scrub {
    double fps;
    double allocations_per_frame;
};

// Steps the window forwards through every frame and back, `passes` times.
Scrub scrub(WindowData &w, Display *dpy, int passes) {
    const int n = w.total;
    // One step first, so that buffers that grow once are in place.
    w.current = 1;
    ShowFrame(&w);
    XSync(dpy, False);
    const long before = allocations.load();
    const auto t0 = Clock::now();
    long shown = 0;
    for (int p = 0; p < passes; p++)
        for (int i = 0; i < 2 * n; i++) {
            w.current = i < n ? i : 2 * n - 1 - i;
            ShowFrame(&w);
            XFlush(dpy);
            shown++;
        }
    XSync(dpy, False);
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    return {shown / secs, double(allocations.load() - before) / double(shown)};
}

// Allocations of one bare libjpeg decode of a JPEG (made, decoded, destroyed).
long bare_decode_allocations(const std::vector<unsigned char> &jpeg) {
    std::vector<unsigned char> out(1 << 20);
    const long before = allocations.load();
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, jpeg.data(), jpeg.size());
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_EXT_XBGR;
    jpeg_start_decompress(&c);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = out.data() + size_t(c.output_scanline) * c.output_width * 4;
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    return allocations.load() - before;
}

std::vector<unsigned char> log_picture(FisicData *c, int f) {
    LogPart &p = c->part[f % c->parts];
    const int entry = f / c->parts;
    std::vector<unsigned char> jpeg(size_t(p.sizes[entry]));
    FILE *fp = fopen(p.file, "rb");
    if (!fp) return {};
    fseek(fp, p.offsets[entry], SEEK_SET);
    if (fread(jpeg.data(), 1, jpeg.size(), fp) != jpeg.size()) jpeg.clear();
    fclose(fp);
    return jpeg;
}

} // namespace

int main(int argc, char **argv) {
    int passes = 4;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--passes") && i + 1 < argc) {
            passes = atoi(argv[++i]);
        } else {
            fprintf(stderr, "usage: bench_scrub [--passes P]\n");
            return !strcmp(argv[i], "-h") || !strcmp(argv[i], "--help") ? 0 : 2;
        }
    }
    if (passes < 1) {
        fprintf(stderr, "usage: bench_scrub [--passes P]\n");
        return 2;
    }
    const BenchDir dir("orva-scrub");
    if (dir.path.empty()) return 1;
    const std::string demo = MakeDemo(dir);
    if (demo.empty()) return 1;
    setenv("ORVA_RSRC", demo.c_str(), 1);
    DbInitialize();
    SetVideoMode(0);
    fm_initialize(nullptr);
    SemInit();

    const std::string reel = demo + "/SVJ/gradient_sweep.svj";
    int status = 0;
    FisicData *c = CreaFisicData(reel.c_str(), 1, &status);
    if (!c || !c->reader) {
        fprintf(stderr, "bench_scrub: cannot open %s\n", reel.c_str());
        return 1;
    }
    c->refs = 1;
    AddFirstFisic(c);
    int saw = 0;
    while (ConvertPass(&saw)) {
    }
    if (!c->complete) {
        fprintf(stderr, "bench_scrub: the log was not built\n");
        return 1;
    }

    XtAppContext ctx;
    Widget shell = XtVaOpenApplication(&ctx, "OrvaBench", nullptr, 0, &argc, argv, nullptr,
                                       applicationShellWidgetClass, XmNwidth, c->width, XmNheight,
                                       c->height, NULL);
    if (!shell) {
        fprintf(stderr, "bench_scrub: cannot open the display\n");
        return 1;
    }
    Widget form = XtVaCreateManagedWidget("form", xmFormWidgetClass, shell, XmNwidth, c->width,
                                          XmNheight, c->height, NULL);
    XtRealizeWidget(shell);
    WindowData w;
    Segment s;
    s.first = 0, s.last = c->frames - 1, s.fisic = c, s.next = s.prev = &s;
    w.seg_first = w.seg_last = w.seg_current = &s;
    w.width = c->width, w.height = c->height, w.total = c->frames;
    w.glw = CreaGlw(shell, form, 0, 0, w.width, w.height, nullptr, nullptr);
    Display *dpy = XtDisplay(shell);
    for (int i = 0; i < 50; i++) {
        XSync(dpy, False);
        while (XtAppPending(ctx))
            XtAppProcessEvent(ctx, XtIMAll);
        if (XtIsRealized(w.glw)) break;
        usleep(10000);
    }
    LoadFirstFrame(&w);

    const Scrub from_log = scrub(w, dpy, passes);
    if (w.source != 1) // the log
        fprintf(stderr, "bench_scrub: frames did not come from the log\n");
    for (int k = 0; k < c->parts; k++)
        c->part[k].ready = 0;
    const Scrub from_reel = scrub(w, dpy, passes);
    if (w.source != 2) // the reel
        fprintf(stderr, "bench_scrub: frames did not come from the reel\n");
    for (int k = 0; k < c->parts; k++)
        c->part[k].ready = 1;
    const std::vector<unsigned char> jpeg = log_picture(c, 100);

    printf("scrub %d frames x %d passes each way, %dx%d window\n", c->frames, passes, w.width,
           w.height);
    printf("from the log:          %7.0f frames/s, %5.1f allocations per frame\n", from_log.fps,
           from_log.allocations_per_frame);
    printf("from the reel at 1/8:  %7.0f frames/s, %5.1f allocations per frame\n", from_reel.fps,
           from_reel.allocations_per_frame);
    if (!jpeg.empty())
        printf("bare libjpeg decode of one log picture: %ld allocations\n",
               bare_decode_allocations(jpeg));
    return 0;
}
