// Playback of clip windows: a loop in the main thread that fetches each
// frame, keeps the toolkit alive by dispatching its events itself, sleeps on
// the X connection until the frame's deadline and draws the picture.
//
// Timing: deadlines sit on a monotonic clock, in hundredths of a second.
// The first frame is due three periods after the start (time to fetch it);
// each deadline is the previous one plus one period, whatever happened
// meanwhile, so a late loop catches up by skipping frames instead of running
// slow: a frame is drawn only when the loop is less than half a period late.
// A clip without a log plays from its reel at an eighth of full size, where
// each frame shown stands for three, so that it still keeps the video rate.
//
// A turn of direction shows at once: the frame already fetched a step the
// old way is replaced by the one a step the new way from the frame on the
// screen, drawn without waiting for the old deadline, and the schedule starts
// again from that draw (the next frame is due one period after it).
//
// While the loop runs, `isPlayActive` and the window's `playing` are set,
// the pause gate (semaphore 0) is closed so that every job waits between its
// frames, and the zoom view, when open, follows the playing window. The loop
// never keeps a segment across a dispatch, and after each dispatch it makes
// sure the window still exists: an end routine run by a timer may close it.
#include "desktop/playback.h"

#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <utility>

#include "desktop/clip_model.h"
#include "desktop/clip_window.h"
#include "editing/frame_map.h"
#include "desktop/globals.h"
#include "desktop/glw.h"
#include "desktop/zoom_view.h"
#include "media/svjr.h"
#include "platform/cl_compress.h"
#include "platform/fileio.h"
#include "platform/sem.h"
#include "ui/messages.h"

// ---- the rules ----

int PlayFirstFrame(int current, int total, int dir) {
    if (total < 1) return 0;
    if (current < 0) current = 0;
    if (current > total - 1) current = total - 1;
    if (dir < 0 && current == 0) return total - 1;
    if (dir >= 0 && current == total - 1) return 0;
    return current;
}

int PlayEndFrame(int total, int dir) {
    return dir < 0 || total < 1 ? 0 : total - 1;
}

double PlayPeriod(int s, int rate) {
    return double(s) * 100.0 / double(rate > 0 ? rate : 25);
}

bool PlayDrawNext(double now, double deadline, double period) {
    return now - deadline < period / 2;
}

bool PlayOffEnd(int n, int total) {
    return n < 0 || n >= total;
}

// ---- the clock ----

namespace {

double steady_now() {
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point origin = Clock::now();
    return std::chrono::duration<double>(Clock::now() - origin).count() * 100.0;
}

// Sleeps until `until` on the display connection, so that input from the
// server (a key, a click, an expose) ends the sleep at once.
void connection_sleep(double until) {
    const double left = until - steady_now();
    if (left <= 0) return;
    const double secs = left / 100.0;
    timespec ts{};
    ts.tv_sec = time_t(secs);
    ts.tv_nsec = long((secs - double(ts.tv_sec)) * 1e9);
    if (ts.tv_nsec > 999999999) ts.tv_nsec = 999999999;
    if (!app_shell) {
        nanosleep(&ts, nullptr);
        return;
    }
    pollfd p{};
    p.fd = ConnectionNumber(XtDisplay(app_shell));
    p.events = POLLIN;
    ppoll(&p, 1, &ts, nullptr);
}

const PlayClock program_clock{steady_now, connection_sleep};
const PlayClock *play_clock = &program_clock;

PlayStats last_stats;
PlayTrace *trace = nullptr;

} // namespace

void SetPlayClock(const PlayClock *clock) {
    play_clock = clock && clock->now && clock->sleep ? clock : &program_clock;
}

const PlayClock &ProgramPlayClock() {
    return program_clock;
}

void SetPlayTrace(PlayTrace *t) {
    trace = t;
}

const PlayStats &LastPlayStats() {
    return last_stats;
}

void FormatPlayStats(const PlayStats &st, char *buf, size_t size) {
    std::snprintf(buf, size,
                  "play: start %d last %d dir %d frames %d drawn %d dropped %d log %d reel %d "
                  "lag_max_ms %.1f seconds %.2f ended %s",
                  st.start + 1, st.last + 1, st.dir, st.frames, st.drawn, st.dropped, st.log,
                  st.reel, st.lag_max_ms, st.seconds, st.ended);
}

// ---- the frame fetch ----

void PlayParts::Close() {
    for (int k = 0; k < 4; k++) {
        if (fd[k] >= 0) ::close(fd[k]);
        fd[k] = -1;
        size[k] = 0;
    }
    clip = nullptr;
}

void PlayParts::Open(int k) {
    if (!clip || k < 0 || k >= 4 || k >= clip->parts || fd[k] >= 0) return;
    const LogPart *p = clip->part.load();
    if (!p || !p[k].ready || !p[k].file) return;
    const int d = open_regular(p[k].file, O_RDONLY);
    if (d < 0) return;
    struct stat st {};
    if (fstat(d, &st) != 0) {
        ::close(d);
        return;
    }
    fd[k] = d;
    size[k] = st.st_size;
}

void PlayParts::SwitchTo(FisicData *c) {
    if (c == clip) return;
    Close();
    clip = c;
    if (!c || !c->part.load() || c->parts < 1 || c->parts > 4) return;
    for (int k = 0; k < c->parts; k++)
        Open(k);
}

PlayFetchResult PlayFetch(PlayParts &parts, FisicData *c, int f, unsigned char *buf,
                          size_t buf_size, unsigned char *dest, size_t dest_size, int width,
                          int height) {
    if (!c || !buf || !dest || width <= 0 || height <= 0) return PLAY_FETCH_ERROR;
    const unsigned long long picture = (unsigned long long)width * (unsigned long long)height * 4;
    if (picture > dest_size) return PLAY_FETCH_ERROR;
    const LogPart *log = c->part.load();
    if (log) {
        if (c->parts < 1 || c->parts > 4 || f < 0 || f >= c->frames) return PLAY_FETCH_ERROR;
        parts.SwitchTo(c);
        const int k = f % c->parts, entry = f / c->parts;
        const LogPart &p = log[k];
        if (!p.ready) return PLAY_FETCH_KEPT;
        // A part that became ready while the clip played is opened now.
        if (parts.fd[k] < 0) parts.Open(k);
        if (parts.fd[k] < 0) return PLAY_FETCH_ERROR;
        // The tables hold frames / parts + 1 entries (checked when loaded).
        if (!p.sizes || !p.offsets || entry > c->frames / c->parts) return PLAY_FETCH_ERROR;
        const long long size = p.sizes[entry], offset = p.offsets[entry];
        if (size <= 0 || (unsigned long long)size > buf_size || offset < 0 ||
            offset + size > (long long)parts.size[k])
            return PLAY_FETCH_ERROR;
        // The log picture must be the window's picture.
        if (c->width != width || c->height != height) return PLAY_FETCH_ERROR;
        if (!read_at(parts.fd[k], buf, size_t(size), off_t(offset))) return PLAY_FETCH_ERROR;
        if (clDecompressImage(CL_JPEG, width, height, CL_RGBX, int(size), buf, dest) != 0)
            return PLAY_FETCH_ERROR;
        return PLAY_FETCH_LOG;
    }
    fm_fileformat *r = c->reader;
    // The eighth-size picture must be half the window's picture each way.
    if (!r || r->width != width / 2 || r->height != height / 2 ||
        (long long)r->size != (long long)r->width * r->height * 4 ||
        (unsigned long long)r->size > dest_size)
        return PLAY_FETCH_ERROR;
    return svjr_read(r, dest, f) == 0 ? PLAY_FETCH_REEL : PLAY_FETCH_ERROR;
}

// ---- events ----

namespace {

bool is_widget_window(Widget w, Window win) {
    return w && XtIsRealized(w) && XtWindow(w) == win;
}

// The event happened in the zoom view while it shows `win`.
bool in_zoom_view(const WindowData *win, const XEvent *ev) {
    Widget view = ZoomDialog();
    if (!view || ZoomWindow() != win) return false;
    for (Widget w = XtWindowToWidget(ev->xany.display, ev->xany.window); w; w = XtParent(w))
        if (w == view || w == XtParent(view)) return true;
    return false;
}

} // namespace

PlayAction PlayEventAction(const WindowData *win, XEvent *ev) {
    if (!win || !ev || (ev->type != KeyPress && ev->type != ButtonPress)) return PLAY_NONE;
    const Window target = ev->xany.window;
    const bool in_picture = is_widget_window(win->glw, target) || in_zoom_view(win, ev);
    if (ev->type == KeyPress) {
        if (!in_picture) return PLAY_NONE;
        switch (XLookupKeysym(&ev->xkey, 0)) {
        case XK_space:
        case XK_Escape:
            return PLAY_STOP;
        case XK_Left:
            return PLAY_BACKWARD;
        case XK_Right:
            return PLAY_FORWARD;
        default:
            return PLAY_NONE;
        }
    }
    if (ev->xbutton.button == Button1) {
        if (in_picture || is_widget_window(win->stop_btn, target)) return PLAY_STOP;
        if (is_widget_window(win->play_btn, target)) return PLAY_FORWARD;
        if (is_widget_window(win->reve_btn, target)) return PLAY_BACKWARD;
    } else if (ev->xbutton.button == Button2) {
        if (is_widget_window(win->next_btn, target)) return PLAY_FORWARD;
        if (is_widget_window(win->prev_btn, target)) return PLAY_BACKWARD;
    }
    return PLAY_NONE;
}

// ---- the loop ----

namespace {

// A window the loop may still touch: listed (or the summa window) and still
// marked as playing. A window freed by an end routine is no longer listed; a
// new window made at the same address does not play.
bool window_alive(const WindowData *win) {
    bool listed = win == summa_window;
    for (const WindowData *w = first_window; w && !listed; w = w->next)
        listed = w == win;
    return listed && win->playing;
}

class Player {
  public:
    Player(WindowData *w, int d) : win(w), dir(d), clock(*play_clock) {}
    void Run();

  private:
    enum Ending { ENDED_END, ENDED_STOP, ENDED_ERROR, ENDED_GONE };

    WindowData *win;
    int dir;
    const PlayClock &clock;
    int rate = fps > 0 ? fps : 25;
    int gate_before = 0;
    std::unique_ptr<unsigned char[]> buf;
    size_t buf_size = 0, picture_size = 0;
    PlayParts parts;
    const FisicData *fetched_clip = nullptr; // (clip, frame) last fetched
    int fetched_frame = -1;
    int s = 1;     // frames each shown frame stands for
    int n = 0;     // the frame being played
    int n_dir = 0; // the direction n was stepped in
    bool stop = false, gone = false, failed = false;
    bool turned = false; // a turn of direction waits to be drawn at once
    PlayStats st;
    double started = 0;

    bool Fetch(PlayParts &files, int frame);
    void HandleEvents();
    void Retarget();
    void WaitUntil(double deadline);
    void Drawn(int frame);
    void Finish(Ending how);
};

// Notes a frame drawn (the loop's, the stop's or the end's).
void Player::Drawn(int frame) {
    if (st.start < 0) st.start = frame;
    st.last = frame;
    if (trace) {
        trace->frames.push_back(frame);
        trace->times.push_back(clock.now());
    }
}

// Fetches a window frame into the window's picture. False on "Play error".
bool Player::Fetch(PlayParts &files, int frame) {
    const int f = FrameCtrl(win, frame, &win->seg_current);
    FisicData *c = win->seg_current ? win->seg_current->fisic : nullptr;
    if (!c) return false;
    if (c == fetched_clip && f == fetched_frame) return true;
    const PlayFetchResult r = PlayFetch(files, c, f, buf.get(), buf_size, win->back, picture_size,
                                        win->width, win->height);
    switch (r) {
    case PLAY_FETCH_ERROR:
        return false;
    case PLAY_FETCH_KEPT: // the previous picture stays; tried again next time
        s = 1;
        return true;
    case PLAY_FETCH_LOG:
    case PLAY_FETCH_REEL:
        std::swap(win->image, win->back);
        win->source = r == PLAY_FETCH_LOG ? SOURCE_LOG : SOURCE_REEL;
        s = r == PLAY_FETCH_LOG ? 1 : 3;
        (r == PLAY_FETCH_LOG ? st.log : st.reel)++;
        fetched_clip = c;
        fetched_frame = f;
        return true;
    }
    return false;
}

// Dispatches every pending toolkit event, noting what each means to the
// playback. Returns early on a stop or when the window is gone.
void Player::HandleEvents() {
    if (!app) return;
    while (!stop && !gone) {
        const XtInputMask mask = XtAppPending(app);
        if (!mask) return;
        if (mask & XtIMXEvent) {
            XEvent ev;
            XtAppNextEvent(app, &ev); // may run due timers first
            if (!window_alive(win)) {
                gone = true;
                XtDispatchEvent(&ev);
                return;
            }
            switch (PlayEventAction(win, &ev)) {
            case PLAY_STOP:
                stop = true;
                break;
            case PLAY_FORWARD:
                dir = 1;
                break;
            case PLAY_BACKWARD:
                dir = -1;
                break;
            case PLAY_NONE:
                break;
            }
            XtDispatchEvent(&ev);
        } else {
            XtAppProcessEvent(app, mask);
        }
        if (!window_alive(win)) gone = true;
    }
}

// A direction changed while frame n waits to be drawn: n was a step the old
// way from the frame on the screen, so the frame a step the new way takes its
// place and is to be drawn at once (`turned`). Before any frame is shown the
// first frame is drawn at once. A turn that would step off an end leaves n
// as it is and keeps the schedule.
void Player::Retarget() {
    if (dir == n_dir || stop || gone || failed) return;
    n_dir = dir;
    if (!win->seg_first) return;
    if (st.last < 0) {
        turned = true;
        return;
    }
    const int m = st.last + s * dir;
    if (PlayOffEnd(m, win->total)) return;
    if (!Fetch(parts, m)) { // nothing to read when m is the frame fetched last
        failed = true;
        return;
    }
    n = m;
    win->current = n;
    UpdateValue(win);
    turned = true;
}

// Sleeps until the deadline, handling the events that come meanwhile; returns
// at once when the direction turns. Events are handled right before each
// sleep, so none waits in the queue while the sleep watches the connection.
void Player::WaitUntil(double deadline) {
    for (;;) {
        Retarget();
        if (turned || stop || gone || failed || clock.now() >= deadline) return;
        clock.sleep(deadline);
        HandleEvents();
    }
}

void Player::Run() {
    started = clock.now();
    st.dir = dir;
    // The gate is closed while the window plays and left as it was found.
    if (semaphore > 0) {
        gate_before = SemGet(0) > 0 ? 1 : 0;
        SemSet(0, 1);
    }
    isPlayActive = 1;
    win->playing = 1;
    picture_size = size_t(win->width) * size_t(win->height) * 4;
    buf_size = picture_size;
    buf.reset(new (std::nothrow) unsigned char[buf_size]);
    if (!win->back) win->back = static_cast<unsigned char *>(calloc(picture_size, 1));
    if (!buf || !win->back) {
        Finish(ENDED_ERROR);
        return;
    }
    if (ZoomDialog()) CreaZoomPlay(win);

    n = PlayFirstFrame(win->current, win->total, dir);
    n_dir = dir;
    double deadline = clock.now() + 3 * PlayPeriod(1, rate);
    bool draw = true, ran_off = false;
    for (;;) {
        if (draw && win->seg_first) {
            if (!Fetch(parts, n)) {
                Finish(ENDED_ERROR);
                return;
            }
            win->current = n;
            UpdateValue(win);
        }
        HandleEvents();
        // A turn after a skipped step is drawn at once as well.
        if (!draw && !stop && !gone) {
            Retarget();
            draw = turned;
        }
        double now = 0;
        if (!stop && !gone && !failed && draw) {
            WaitUntil(deadline);
            if (failed) {
                Finish(ENDED_ERROR);
                return;
            }
            if (!stop && !gone) {
                now = clock.now();
                if (turned) deadline = now; // the schedule starts again here
                turned = false;
                DrawImage(win, 0);
                const double lag_ms = (clock.now() - deadline) * 10.0;
                if (lag_ms > st.lag_max_ms) st.lag_max_ms = lag_ms;
                if (trace) trace->lags_ms.push_back(lag_ms);
                Drawn(n);
                st.drawn++;
            }
        } else if (!stop && !gone && !failed) {
            now = clock.now();
            st.dropped++;
        }
        if (failed) {
            Finish(ENDED_ERROR);
            return;
        }
        if (gone) {
            Finish(ENDED_GONE);
            return;
        }
        if (stop) {
            DrawImage(win, 0);
            Drawn(win->current);
            break;
        }
        const double period = PlayPeriod(s, rate);
        deadline += period;
        draw = PlayDrawNext(now, deadline, period);
        n += s * dir;
        n_dir = dir;
        if (PlayOffEnd(n, win->total)) {
            ran_off = true;
            break;
        }
    }
    parts.Close();
    if (ran_off) {
        // The end frame is shown, read with its part files opened for it.
        const int end = PlayEndFrame(win->total, dir);
        win->current = end;
        if (end != st.last && win->seg_first) {
            PlayParts once;
            if (!Fetch(once, end)) {
                Finish(ENDED_ERROR);
                return;
            }
            DrawImage(win, 0);
            Drawn(end);
        }
        UpdateValue(win);
    }
    Finish(ran_off ? ENDED_END : ENDED_STOP);
}

void Player::Finish(Ending how) {
    parts.Close();
    isPlayActive = 0;
    if (how != ENDED_GONE) win->playing = 0;
    buf.reset();
    if (semaphore > 0) SemSet(0, gate_before);
    st.frames = st.drawn + st.dropped;
    st.seconds = (clock.now() - started) / 100.0;
    st.ended = how == ENDED_END ? "end" : how == ENDED_ERROR ? "error" : "stop";
    last_stats = st;
    const char *want = getenv("ORVA_PLAY_STATS");
    if (want && !strcmp(want, "1")) {
        char line[256];
        FormatPlayStats(st, line, sizeof line);
        fprintf(stderr, "%s\n", line);
    }
    if (how == ENDED_ERROR) PutCharMessage(mainform, "Play error");
}

} // namespace

void ePlayStart(WindowData *win, int dir) {
    if (!win || win->playing || isPlayActive) return;
    if (!win->seg_first || win->seg_first == fixed_picture_marker || win->total < 1 ||
        win->width <= 0 || win->height <= 0)
        return;
    Player(win, dir < 0 ? -1 : 1).Run();
}
