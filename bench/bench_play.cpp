// Real-time playback of a clip window: plays the demo reel
// "gradient_sweep.svj" (looped or cut to the time asked for) in a desktop
// window of the program's own main window on the X server in $DISPLAY, from
// its quarter-size log and from the reel at an eighth without a log, at 25
// (PAL) and 30 (NTSC, a copy of the reel cut to 486 lines) frames per
// second, and reports for each run: frames drawn and dropped, video seconds
// against wall seconds, the lag from each deadline to the end of its draw
// (p99 and max) and the CPU time of this process as a share of one core
// (the X server's own time is not in it). Then, in each of the four, it
// measures how soon a space key stops a playback and a Right key turns a
// backward one, each key sent from another connection at a moment unrelated
// to the frame clock: from the moment the key is sent to the end of the
// playback, and to the end of the draw of the first frame shown forward.
//
// With --summa it plays instead the summa window of 100 master-area windows,
// 5-frame pieces taken in turn from the four demo reels, from their logs
// at 25 frames per second, from a frame chosen so that the runs add up to
// the seconds asked for.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" taskset -c 1 bench_play [--seconds N] [--summa]
#include <Xm/Xm.h>
#include <sys/resource.h>
#include <unistd.h>

#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_display.h"
#include "bench/bench_util.h"
#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/clip_operations.h"
#include "desktop/desktop_area.h"
#include "editing/derived_window.h"
#include "desktop/globals.h"
#include "desktop/log_writer.h"
#include "desktop/playback.h"
#include "desktop/processes.h"
#include "desktop/startup.h"
#include "media/fm_main.h"
#include "media/video_globals.h"
#include "platform/sem.h"

namespace {

double cpu_seconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = size_t(std::ceil(p * double(v.size()))) - 1;
    return v[std::min(i, v.size() - 1)];
}

// Copies a PAL reel into an NTSC one (the top 486 lines of each frame).
bool make_ntsc_reel(const std::string &pal, const std::string &ntsc) {
    SetVideoMode(0);
    fm_fileformat *in = fm_fileformat_allocate("svj");
    if (!in || fm_open(in, pal.c_str()) != 0) return false;
    SetVideoMode(1);
    fm_fileformat *out = fm_fileformat_allocate("svj");
    fm_fileformat shape{};
    shape.width = VIDEO_SIZEX;
    shape.height = VIDEO_SIZEY;
    shape.frames = in->frames;
    if (!out || fm_create(out, ntsc.c_str(), &shape, 90) != 0) return false;
    const size_t row = size_t(in->width) * 3;
    for (int f = 0; f < in->frames; f++) {
        if (fm_read(in, f) != 0) return false;
        for (int y = 0; y < VIDEO_SIZEY; y++)
            memcpy(out->buffer + size_t(y) * row, in->buffer + size_t(y) * row, row);
        if (fm_write(out, f) != 0) return false;
    }
    fm_close(out);
    fm_fileformat_free(out);
    fm_close(in);
    fm_fileformat_free(in);
    return true;
}

// Opens the reel into a desktop window whose segment ring repeats the clip
// (or cuts it) so that it holds `frames` frames (0: the reel once). With `log` the clip's log is
// built first.
WindowData *open_window(const std::string &reel, bool log, int frames) {
    int status = 0;
    FisicData *c = CreaFisicData(reel.c_str(), 1, &status);
    if (!c || !c->reader) return nullptr;
    AddFirstFisic(c);
    if (log) {
        c->refs = 1; // the converter skips clips nobody uses
        int saw = 0;
        while (ConvertPass(&saw)) {
        }
        c->refs = 0;
        if (!c->complete) return nullptr;
    }
    if (frames <= 0) frames = c->frames; // the whole reel
    AddWindowData(c, 0, strdup("bench"), 0);
    WindowData *w = last_window;
    Segment *s = w->seg_first;
    s->last = std::min(c->frames, frames) - 1;
    for (int at = c->frames; at < frames; at += c->frames) {
        auto *n = new Segment;
        n->first = 0;
        n->last = std::min(c->frames, frames - at) - 1;
        n->offset = at;
        n->fisic = c;
        n->prev = s;
        n->next = w->seg_first;
        s->next = n;
        w->seg_first->prev = n;
        w->seg_last = n;
        c->refs++;
        s = n;
    }
    w->total = frames;
    XtVaSetValues(w->scale, XmNmaximum, w->total, NULL);
    pump();
    return w;
}

void close_window(WindowData *w) {
    WindowData **link = &first_window;
    while (*link && *link != w)
        link = &(*link)->next;
    if (*link) *link = w->next;
    if (first_work == w) first_work = w->next;
    last_window = first_window;
    while (last_window && last_window->next)
        last_window = last_window->next;
    FreeWindowData(w, 1);
    pump();
}

void run(const char *name, WindowData *w, int s) {
    PlayTrace trace;
    SetPlayTrace(&trace);
    const std::vector<double> &lags = trace.lags_ms;
    w->current = 0;
    const double cpu0 = cpu_seconds();
    ePlayStart(w, 1);
    const double cpu = cpu_seconds() - cpu0;
    SetPlayTrace(nullptr);
    const PlayStats &st = LastPlayStats();
    const double video = double(st.frames) * s / fps;
    printf("%-14s %5d drawn %3d dropped  video %6.2f s wall %6.2f s  lag p99 %5.2f ms max %5.2f "
           "ms  cpu %4.1f %%  (%s)\n",
           name, st.drawn, st.dropped, video, st.seconds, percentile(lags, 0.99), st.lag_max_ms,
           100.0 * cpu / st.seconds, st.ended);
}

// ---- keys sent while a playback runs ----

// Sends a key press to `target` from a connection of its own at time `at`
// (program clock) and stores in *sent the time right before it went out.
void send_key_at(double at, Window target, KeySym key, std::atomic<double> *sent) {
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) return;
    const KeyCode code = XKeysymToKeycode(dpy, key);
    while (ProgramPlayClock().now() < at)
        usleep(200);
    XEvent ev{};
    ev.xkey.type = KeyPress;
    ev.xkey.display = dpy;
    ev.xkey.window = target;
    ev.xkey.root = DefaultRootWindow(dpy);
    ev.xkey.keycode = code;
    ev.xkey.same_screen = True;
    const double now = ProgramPlayClock().now();
    XSendEvent(dpy, target, False, KeyPressMask, &ev);
    XFlush(dpy);
    *sent = now;
    XCloseDisplay(dpy);
}

void summary(const char *name, const char *what, const std::vector<double> &ms) {
    double sum = 0, worst = 0;
    for (double v : ms) {
        sum += v;
        worst = std::max(worst, v);
    }
    printf("%-14s %-50s mean %5.1f ms  max %5.1f ms  (%zu trials)\n", name, what,
           ms.empty() ? 0 : sum / double(ms.size()), worst, ms.size());
}

void stop_and_reverse(const char *name, WindowData *w, int trials) {
    std::vector<double> stops, turns;
    const Window target = XtWindow(w->glw);
    for (int i = 0; i < trials; i++) {
        // Half a second in, at a phase that walks through the frame period.
        const double delay = 50 + 4.0 * i / trials;

        std::atomic<double> stop_sent{0};
        w->current = 0;
        std::thread stopper(send_key_at, ProgramPlayClock().now() + delay, target, XK_space,
                            &stop_sent);
        ePlayStart(w, 1);
        const double ended = ProgramPlayClock().now();
        stopper.join();
        if (stop_sent > 0) stops.push_back((ended - stop_sent) * 10.0);

        // Backward from the middle, Right half a second in, space later.
        w->current = w->total / 2;
        const double now = ProgramPlayClock().now();
        std::atomic<double> turn_sent{0}, later{0};
        std::thread turner(send_key_at, now + delay, target, XK_Right, &turn_sent);
        std::thread ender(send_key_at, now + delay + 50, target, XK_space, &later);
        PlayTrace trace;
        SetPlayTrace(&trace);
        ePlayStart(w, -1);
        SetPlayTrace(nullptr);
        turner.join();
        ender.join();
        // The first frame drawn forward after the Right key went out.
        for (size_t k = 1; k < trace.frames.size(); k++)
            if (trace.frames[k] > trace.frames[k - 1] && trace.times[k] >= turn_sent) {
                turns.push_back((trace.times[k] - turn_sent) * 10.0);
                break;
            }
    }
    summary(name, "stop: space to the playback's end", stops);
    summary(name, "reversal: Right to the first frame drawn forward", turns);
}

// The summa window of 100 five-frame pieces of the four demo reels in the
// master area, played from the logs until `seconds` of video were shown.
int summa_runs(const std::string &demo, int seconds) {
    SetVideoMode(0);
    std::vector<WindowData *> reels;
    for (const char *name : {"colour_bars", "gradient_sweep", "bouncing_ball", "tape_3a98_3b60_85"})
        if (WindowData *w = open_window(demo + "/SVJ/" + name + ".svj", true, 0))
            reels.push_back(w);
    if (reels.size() != 4) {
        fprintf(stderr, "bench_play: cannot open the demo reels\n");
        return 1;
    }
    std::vector<WindowData *> pieces;
    for (int i = 0; i < 100; i++) {
        WindowData *r = reels[size_t(i % 4)];
        r->in = 5 * (i / 4) % (r->total - 5);
        r->out = r->in + 4;
        if (WindowData *p = AddNewWindow(r, 1, 0, DERIVE_COPY, 1)) pieces.push_back(p);
    }
    for (WindowData *p : pieces)
        DropWindow(p, 1, 1000);
    UpdateSummaWindow();
    pump();
    WindowData *summa = summa_window;
    if (!summa || summa->total != 500) {
        fprintf(stderr, "bench_play: the summa window was not made\n");
        return 1;
    }
    printf("summa window of %zu pieces (%d frames), %d s of video\n", pieces.size(), summa->total,
           seconds);
    int left = seconds * fps, runs = 0, drawn = 0, dropped = 0, log = 0;
    double video = 0, wall = 0, lag_max = 0, cpu = 0;
    std::vector<double> lags;
    while (left > 0) {
        PlayTrace trace;
        SetPlayTrace(&trace);
        const int frames = std::min(left, summa->total);
        summa->current = summa->total - frames;
        const double cpu0 = cpu_seconds();
        ePlayStart(summa, 1);
        cpu += cpu_seconds() - cpu0;
        SetPlayTrace(nullptr);
        const PlayStats &st = LastPlayStats();
        lags.insert(lags.end(), trace.lags_ms.begin(), trace.lags_ms.end());
        drawn += st.drawn, dropped += st.dropped, log += st.log;
        video += double(st.frames) / fps, wall += st.seconds;
        lag_max = std::max(lag_max, st.lag_max_ms);
        left -= st.frames > 0 ? st.frames : left;
        runs++;
    }
    printf("%-14s %5d drawn %3d dropped  video %6.2f s wall %6.2f s  lag p99 %5.2f ms max %5.2f "
           "ms  cpu %4.1f %%  (%d runs, %d pictures from logs)\n",
           "summa log", drawn, dropped, video, wall, percentile(lags, 0.99), lag_max,
           100.0 * cpu / (wall > 0 ? wall : 1), runs, log);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    int seconds = 30;
    bool summa = false;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "--summa")) {
            summa = true;
        } else {
            fprintf(stderr, "usage: bench_play [--seconds N] [--summa]\n");
            return !strcmp(argv[i], "-h") || !strcmp(argv[i], "--help") ? 0 : 2;
        }
    }
    if (seconds < 1) {
        fprintf(stderr, "usage: bench_play [--seconds N] [--summa]\n");
        return 2;
    }
    const BenchDir dir("orva-play");
    if (dir.path.empty()) return 1;
    const std::string demo = MakeDemo(dir);
    if (demo.empty()) return 1;
    setenv("ORVA_RSRC", demo.c_str(), 1);
    DbInitialize();
    fm_initialize(nullptr);
    const std::string pal = demo + "/SVJ/gradient_sweep.svj";
    const std::string ntsc = dir.path + "/gradient_sweep_ntsc.svj";
    if (!make_ntsc_reel(pal, ntsc)) {
        fprintf(stderr, "bench_play: cannot make the NTSC reel\n");
        return 1;
    }
    if (!BenchMainWindow("bench_play", &argc, argv)) return 1;
    if (summa) return summa_runs(demo, seconds);

    printf("playback of %d s of video per run, one desktop window\n", seconds);
    struct Config {
        const char *name;
        int mode;
        bool log;
    } configs[] = {
        {"PAL log", 0, true},
        {"PAL reel 1/8", 0, false},
        {"NTSC log", 1, true},
        {"NTSC reel 1/8", 1, false},
    };
    for (const Config &c : configs) {
        SetVideoMode(c.mode);
        WindowData *w = open_window(c.mode ? ntsc : pal, c.log, seconds * fps);
        if (!w) {
            fprintf(stderr, "bench_play: cannot open %s\n", c.name);
            return 1;
        }
        run(c.name, w, c.log ? 1 : 3);
        stop_and_reverse(c.name, w, 10);
        close_window(w);
    }
    SetVideoMode(0);
    return 0;
}
