// Playback of clip windows: the timing, start and end rules on their own, and
// whole playbacks on a stand-in clock (virtual hundredths of a second that
// move only when the loop sleeps), driven by real events on the test X
// server: stopping, reversing, dropping late frames, the reel at an eighth,
// log parts not yet written, bad log entries, the pause gate and a window
// closed while it plays.
#include <X11/keysym.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include "../clipwin/clipwin_fixture.h"
#include "desktop/desktop_area.h"
#include "desktop/frame_display.h"
#include "desktop/playback.h"
#include "desktop/zoom_view.h"
#include "platform/sem.h"

// ---- the rules ----

TEST(PlaybackRules, FirstEndAndPeriod) {
    struct Case {
        int current, total, dir, first;
    } cases[] = {
        {0, 10, 1, 0},  {4, 10, 1, 4},  {9, 10, 1, 0}, // play on the last frame starts at 0
        {0, 10, -1, 9},                                // reve on frame 0 starts at the last
        {4, 10, -1, 4}, {9, 10, -1, 9}, {0, 1, 1, 0},
        {0, 1, -1, 0},  {12, 10, 1, 0}, // a current beyond the end counts as the last frame
    };
    for (const Case &c : cases)
        EXPECT_EQ(PlayFirstFrame(c.current, c.total, c.dir), c.first)
            << c.current << " of " << c.total << " dir " << c.dir;
    EXPECT_EQ(PlayEndFrame(10, 1), 9);
    EXPECT_EQ(PlayEndFrame(10, -1), 0);
    for (int f : {-1, 0, 9, 10})
        EXPECT_EQ(PlayOffEnd(f, 10), f < 0 || f >= 10) << f;
    EXPECT_DOUBLE_EQ(PlayPeriod(1, 25), 4.0);
    EXPECT_DOUBLE_EQ(PlayPeriod(3, 25), 12.0);
    EXPECT_DOUBLE_EQ(PlayPeriod(1, 30), 100.0 / 30);
}

TEST(PlaybackRules, DrawOnlyWhenLessThanHalfAPeriodLate) {
    // The deadline has already moved on to the next frame's.
    struct Case {
        double now, deadline, period;
        bool draw;
    } cases[] = {
        {100, 104, 4, true},                         // on time
        {105, 104, 4, true},                         // a quarter period late
        {105.9, 104, 4, true}, {106, 104, 4, false}, // half a period late: skipped
        {120, 104, 4, false},  {100, 112, 12, true}, {118, 112, 12, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PlayDrawNext(c.now, c.deadline, c.period), c.draw)
            << c.now << " " << c.deadline << " " << c.period;
}

// ---- whole playbacks on a stand-in clock ----

namespace {

double virtual_now = 0;
std::vector<double> sleeps; // each deadline slept to
// Called after each sleep has advanced the clock; may move it further on
// (a late loop) or send events.
std::function<void(double)> on_sleep;

double stand_in_now() {
    return virtual_now;
}
void stand_in_sleep(double until) {
    if (until > virtual_now) virtual_now = until;
    sleeps.push_back(until);
    if (on_sleep) on_sleep(until);
}
const PlayClock stand_in{stand_in_now, stand_in_sleep};

// Centre pixel of a window's picture (log pictures are width x height, reel
// pictures half that each way).
const unsigned char *Centre(const WindowData *w) {
    if (w->source == SOURCE_REEL)
        return w->image + 4 * ((w->height / 4) * (w->width / 2) + w->width / 4);
    return w->image + 4 * ((w->height / 2) * w->width + w->width / 2);
}

} // namespace

class Playback : public ClipWinFixture {
  protected:
    void SetUp() override {
        ClipWinFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        virtual_now = 1000;
        sleeps.clear();
        on_sleep = nullptr;
        SetPlayClock(&stand_in);
    }
    void TearDown() override {
        SetPlayClock(nullptr);
        on_sleep = nullptr;
        ClipWinFixture::TearDown();
    }

    // A key press (detail a keysym) or button press on `target`, as made with
    // the pointer over it.
    static XEvent Event(Widget target, int type, unsigned detail) {
        Display *dpy = XtDisplay(target);
        XEvent ev{};
        ev.type = type;
        ev.xkey.display = dpy;
        ev.xkey.window = XtWindow(target);
        ev.xkey.root = DefaultRootWindow(dpy);
        ev.xkey.same_screen = True;
        if (type == KeyPress)
            ev.xkey.keycode = XKeysymToKeycode(dpy, KeySym(detail));
        else
            ev.xbutton.button = detail;
        return ev;
    }
    // Sends the event through the server and waits until it has come back.
    static void Send(Widget target, int type, unsigned detail) {
        XEvent ev = Event(target, type, detail);
        XSendEvent(ev.xany.display, ev.xany.window, False,
                   type == KeyPress ? KeyPressMask : ButtonPressMask, &ev);
        XSync(ev.xany.display, False);
    }

    // The window stands on frame f and shows it.
    static bool Shows(const WindowData *w, int f) {
        return w->current == f && PixelIsFrame(Centre(w), f);
    }
    // No playback runs, the window is not playing and the pause gate is open.
    static bool Idle(const WindowData *w) { return !isPlayActive && !w->playing && !SemGet(0); }

    // A window on a clip of `frames` frames with a complete log of `parts`.
    WindowData *LogWindow(int frames, int parts = 1) {
        FisicData *c = NewClip(frames);
        WriteLog(c, parts);
        return NewWindow(c);
    }
};

TEST_F(Playback, RunsForwardFromTheLogToTheLastFrame) {
    WindowData *w = LogWindow(10, 3);
    std::vector<int> shown;
    on_sleep = [&](double) { shown.push_back(w->current); };
    w->current = 2;
    setenv("ORVA_PLAY_STATS", "1", 1);
    testing::internal::CaptureStderr();
    ePlayStart(w, 1);
    unsetenv("ORVA_PLAY_STATS");
    // Frames counted from 1; seconds from the start to the last deadline.
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "play: start 3 last 10 dir 1 frames 8 drawn 8 dropped 0 log 8 reel 0 "
              "lag_max_ms 0.0 seconds 0.40 ended end\n");
    EXPECT_EQ(shown, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9}));
    // The first frame is due three periods after the start, then one period
    // (4 hundredths at 25 frames per second) after another.
    ASSERT_EQ(sleeps.size(), 8u);
    EXPECT_DOUBLE_EQ(sleeps[0], 1012);
    for (size_t i = 1; i < sleeps.size(); i++)
        EXPECT_DOUBLE_EQ(sleeps[i] - sleeps[i - 1], 4) << i;
    EXPECT_EQ(w->source, SOURCE_LOG);
    EXPECT_TRUE(Shows(w, 9));
    EXPECT_TRUE(Idle(w));
    EXPECT_EQ(LabelOf(w->frame_label), "10");
    EXPECT_TRUE(Messages().empty());
}

// The buttons start at the other end when on an end; the arrows play with
// button 2 or when held.
TEST_F(Playback, ButtonsAndArrowsStartWhereTheRulesSay) {
    WindowData *w = LogWindow(6);
    struct Case {
        const char *how;
        int current, dir, start;
    } cases[] = {
        {"play", 5, 1, 0},    {"reve", 0, -1, 5},    {"play", 3, 1, 3}, {"reve", 3, -1, 3},
        {"Play2Dx", 2, 1, 2}, {"Play2Sx", 2, -1, 2}, {"held", 2, 1, 2}, {"held", 2, -1, 2},
    };
    for (const Case &c : cases) {
        const std::string how = c.how;
        w->current = c.current;
        if (how == "play" || how == "reve") {
            Press(how == "reve" ? w->reve_btn : w->play_btn);
        } else if (how == "held") {
            StartArrowPlayback(w, c.dir);
        } else {
            XEvent ev = Event(c.dir > 0 ? w->next_btn : w->prev_btn, ButtonPress, Button2);
            InDispatch([&] {
                XtCallActionProc(c.dir > 0 ? w->next_btn : w->prev_btn, c.how, &ev, nullptr, 0);
            });
        }
        const int end = c.dir > 0 ? 5 : 0;
        EXPECT_EQ(LastPlayStats().start, c.start) << how << " from " << c.current;
        EXPECT_EQ(LastPlayStats().dir, c.dir) << how;
        EXPECT_TRUE(Shows(w, end)) << how;
    }
}

TEST_F(Playback, OneAtATimeFollowedByTheZoomView) {
    WindowData *a = LogWindow(5);
    WindowData *b = LogWindow(5);
    CreaZoomPlay(b);
    Pump();
    int nested = 0;
    WindowData *seen = nullptr;
    on_sleep = [&](double) {
        seen = ZoomWindow();
        if (nested++) return;
        ePlayStart(b, 1); // refused: a plays
        ePlayStart(a, 1);
    };
    ePlayStart(a, 1);
    EXPECT_EQ(b->current, 0);
    EXPECT_EQ(sleeps.size(), 5u); // only a's five frames
    EXPECT_EQ(a->current, 4);
    EXPECT_EQ(seen, a);
    EXPECT_EQ(ZoomWindow(), a);
    ZoomClose();
    Pump();
}

TEST_F(Playback, SpaceEscapeAndAClickOnThePictureStop) {
    WindowData *w = LogWindow(12);
    struct Case {
        int type;
        unsigned detail;
    } cases[] = {{KeyPress, XK_space}, {KeyPress, XK_Escape}, {ButtonPress, Button1}};
    for (const Case &c : cases) {
        PlayTrace trace;
        SetPlayTrace(&trace);
        w->current = 1;
        on_sleep = [&](double) {
            if (w->current == 4) Send(w->glw, c.type, c.detail);
        };
        ePlayStart(w, 1);
        SetPlayTrace(nullptr);
        // The stop comes during frame 4's wait: 4 is drawn once, on the stop.
        EXPECT_EQ(trace.frames, (std::vector<int>{1, 2, 3, 4})) << c.detail;
        EXPECT_STREQ(LastPlayStats().ended, "stop") << c.detail;
        EXPECT_EQ(LastPlayStats().last, 4) << c.detail;
        EXPECT_TRUE(Shows(w, 4)) << c.detail;
        EXPECT_TRUE(Idle(w)) << c.detail;
    }
}

// A key that comes during a frame's wait turns the playback there and then:
// the frame a step the new way is drawn without waiting for the old deadline,
// and the next frames are due a period apart from that draw. Before anything
// is shown, a turn draws the first frame at once.
TEST_F(Playback, ATurnIsDrawnWhenTheKeyComesAndTheScheduleStartsFromIt) {
    WindowData *w = LogWindow(10);
    struct Case {
        const char *what;
        int current, dir;
        double early[2]; // how long before the deadline each key comes
        std::vector<int> frames;
        std::vector<double> times;
    } cases[] = {
        // Backward from 6: Right comes at the deadline of frame 4 with 5
        // shown, so 6 is drawn in its place; Left at that of 9 with 8 shown.
        {"turns at the deadlines",
         6,
         -1,
         {0, 0},
         {6, 5, 6, 7, 8, 7, 6, 5, 4, 3, 2, 1, 0},
         {1012, 1016, 1020, 1024, 1028, 1032, 1036, 1040, 1044, 1048, 1052, 1056, 1060}},
        // Backward from 6: Right wakes the wait of frame 4 at 1017 (due 1020)
        // with 5 shown, Left wakes the wait of 9 at 1027 (due 1029) with 8.
        {"turns while playing",
         6,
         -1,
         {3, 2},
         {6, 5, 6, 7, 8, 7, 6, 5, 4, 3, 2, 1, 0},
         {1012, 1016, 1017, 1021, 1025, 1027, 1031, 1035, 1039, 1043, 1047, 1051, 1055}},
        // Forward from 6: Left at 1005, during the wait of three periods
        // before the first frame.
        {"turn before the first frame",
         6,
         1,
         {0, 0},
         {6, 5, 4, 3, 2, 1, 0},
         {1005, 1009, 1013, 1017, 1021, 1025, 1029}},
    };
    for (const Case &c : cases) {
        virtual_now = 1000;
        PlayTrace trace;
        SetPlayTrace(&trace);
        int keys = 0;
        on_sleep = [&](double until) {
            // The sleep ends early: the key arrived before the deadline.
            if (c.dir < 0 && w->current == 4 && keys == 0) {
                virtual_now = until - c.early[0];
                Send(w->glw, KeyPress, XK_Right);
                keys++;
            } else if (c.dir < 0 && w->current == 9 && keys == 1) {
                virtual_now = until - c.early[1];
                Send(w->glw, KeyPress, XK_Left);
                keys++;
            } else if (c.dir > 0 && keys == 0) {
                virtual_now = 1005;
                Send(w->glw, KeyPress, XK_Left);
                keys++;
            }
        };
        w->current = c.current;
        ePlayStart(w, c.dir);
        SetPlayTrace(nullptr);
        EXPECT_EQ(trace.frames, c.frames) << c.what;
        ASSERT_EQ(trace.times.size(), c.times.size()) << c.what;
        for (size_t i = 0; i < c.times.size(); i++)
            EXPECT_DOUBLE_EQ(trace.times[i], c.times[i]) << c.what << " frame " << i;
        // Each draw is on its (new) deadline: no lag.
        for (double lag : trace.lags_ms)
            EXPECT_DOUBLE_EQ(lag, 0) << c.what;
        EXPECT_EQ(LastPlayStats().dropped, 0) << c.what;
        EXPECT_STREQ(LastPlayStats().ended, "end") << c.what;
        EXPECT_TRUE(Shows(w, 0)) << c.what;
    }
}

// Which events stop or turn a playback: keys and clicks on the playing
// window's picture, buttons and arrows, and in the zoom view showing it.
TEST_F(Playback, EventsOnTheWindowsButtonsArrowsAndZoomView) {
    WindowData *w = LogWindow(5);
    WindowData *other = LogWindow(5);
    CreaZoomPlay(w);
    Pump();
    ASSERT_NE(ZoomDialog(), nullptr);
    std::vector<Widget> draws = Named(ZoomDialog(), "draw");
    ASSERT_FALSE(draws.empty());
    struct Case {
        Widget target;
        int type;
        unsigned detail; // button, or keysym for keys
        PlayAction action;
    } cases[] = {
        {draws[0], KeyPress, XK_Escape, PLAY_STOP},
        {draws[0], ButtonPress, Button1, PLAY_STOP},
        {w->glw, KeyPress, XK_space, PLAY_STOP},
        {w->glw, KeyPress, XK_Escape, PLAY_STOP},
        {w->glw, KeyPress, XK_Left, PLAY_BACKWARD},
        {w->glw, KeyPress, XK_Right, PLAY_FORWARD},
        {w->glw, KeyPress, XK_a, PLAY_NONE},
        {other->glw, KeyPress, XK_space, PLAY_NONE}, // another window's picture
        {w->glw, ButtonPress, Button1, PLAY_STOP},
        {w->glw, ButtonPress, Button2, PLAY_NONE},
        {w->stop_btn, ButtonPress, Button1, PLAY_STOP},
        {w->play_btn, ButtonPress, Button1, PLAY_FORWARD},
        {w->reve_btn, ButtonPress, Button1, PLAY_BACKWARD},
        {w->next_btn, ButtonPress, Button2, PLAY_FORWARD},
        {w->prev_btn, ButtonPress, Button2, PLAY_BACKWARD},
        {w->next_btn, ButtonPress, Button1, PLAY_NONE},
        {other->play_btn, ButtonPress, Button1, PLAY_NONE},
        {other->next_btn, ButtonPress, Button2, PLAY_NONE},
    };
    for (const Case &c : cases) {
        XEvent ev = Event(c.target, c.type, c.detail);
        EXPECT_EQ(PlayEventAction(w, &ev), c.action) << XtName(c.target) << " " << c.detail;
    }
    XEvent ev = Event(draws[0], KeyPress, XK_Escape);
    EXPECT_EQ(PlayEventAction(other, &ev), PLAY_NONE); // the view shows w
    ZoomClose();
    Pump();
}

TEST_F(Playback, ALateLoopDropsFramesAndKeepsTheRate) {
    WindowData *w = LogWindow(20);
    std::vector<int> shown;
    on_sleep = [&](double until) {
        shown.push_back(w->current);
        // Frame 3 is drawn 2.5 periods late, frame 10 a quarter period late.
        if (w->current == 3) virtual_now = until + 10;
        if (w->current == 10) virtual_now = until + 1;
    };
    ePlayStart(w, 1);
    const PlayStats &st = LastPlayStats();
    // 2.5 periods late at frame 3: frames 4 and 5 are skipped (still 1.5 and
    // 0.5 periods late), frame 6 is due again on time. A quarter period late
    // is drawn.
    EXPECT_EQ(shown,
              (std::vector<int>{0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}));
    EXPECT_EQ(st.dropped, 2);
    EXPECT_EQ(st.drawn, 18);
    EXPECT_EQ(st.frames, 20);
    EXPECT_EQ(st.log, 18); // skipped frames are not fetched
    // Deadlines advance by whole periods whatever happened: frame 19 is due
    // 3 + 19 periods after the start.
    EXPECT_DOUBLE_EQ(sleeps.back(), 1000 + 4 * 22);
    EXPECT_DOUBLE_EQ(st.lag_max_ms, 100);
    EXPECT_EQ(w->current, 19);
}

TEST_F(Playback, AClipWithoutALogPlaysEveryThirdFrameFromTheReel) {
    FisicData *c = NewClip(10);
    WriteReel(c, dir + "/reel.svj");
    WindowData *w = NewWindow(c);
    std::vector<int> shown;
    std::vector<bool> right;
    on_sleep = [&](double) {
        shown.push_back(w->current);
        right.push_back(w->source == SOURCE_REEL && PixelIsFrame(Centre(w), w->current));
    };
    testing::internal::CaptureStderr();
    ePlayStart(w, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), ""); // no stats line unless asked for
    EXPECT_EQ(shown, (std::vector<int>{0, 3, 6, 9}));
    EXPECT_EQ(right, (std::vector<bool>{true, true, true, true}));
    // Each shown frame stands for three: 12 hundredths apart at 25 fps.
    ASSERT_EQ(sleeps.size(), 4u);
    EXPECT_DOUBLE_EQ(sleeps[1] - sleeps[0], 12);
    EXPECT_EQ(LastPlayStats().reel, 4);
    EXPECT_EQ(w->current, 9);

    // Backward from 8 the end frame 0 is fetched after running off.
    shown.clear();
    right.clear();
    w->current = 8;
    on_sleep = [&](double until) {
        shown.push_back(w->current);
        if (w->current == 5) virtual_now = until + 0.0325 * 100; // 32.5 ms late, drawn
    };
    setenv("ORVA_PLAY_STATS", "1", 1);
    testing::internal::CaptureStderr();
    ePlayStart(w, -1);
    unsetenv("ORVA_PLAY_STATS");
    // Four reel pictures: three drawn and the end frame after running off.
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "play: start 9 last 1 dir -1 frames 3 drawn 3 dropped 0 log 0 reel 4 "
              "lag_max_ms 32.5 seconds 0.36 ended end\n");
    EXPECT_EQ(shown, (std::vector<int>{8, 5, 2}));
    EXPECT_TRUE(Shows(w, 0));
}

TEST_F(Playback, APartNotYetWrittenKeepsThePreviousPicture) {
    FisicData *c = NewClip(9);
    WriteLog(c, 2);
    c->part[1].ready = 0; // odd frames are not in the log yet
    WindowData *w = NewWindow(c);
    std::vector<int> pictures;
    on_sleep = [&](double) {
        int found = -1;
        for (int f = 0; f < 9; f++)
            if (PixelIsFrame(Centre(w), f)) found = f;
        pictures.push_back(found);
    };
    ePlayStart(w, 1);
    EXPECT_EQ(pictures, (std::vector<int>{0, 0, 2, 2, 4, 4, 6, 6, 8}));
    EXPECT_EQ(LastPlayStats().log, 5);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Playback, BadSourcesArePlayErrorsAndNeverOverrun) {
    struct Case {
        const char *what;
        int parts;                              // log parts written; 0: no log, no reel
        std::function<void(FisicData *)> spoil; // after the window is made
        int at;                                 // the frame left on the window
    } cases[] = {
        {"size beyond the buffer", 1,
         [](FisicData *c) {
             // Within the file (made longer), but more than the buffer holds.
             ASSERT_EQ(truncate(c->part[0].file, 1 << 20), 0);
             c->part[0].sizes[3] = 180 * 144 * 4 + 1;
         },
         2},
        {"negative size", 1, [](FisicData *c) { c->part[0].sizes[3] = -5; }, 2},
        {"zero size", 1, [](FisicData *c) { c->part[0].sizes[3] = 0; }, 2},
        {"negative offset", 1, [](FisicData *c) { c->part[0].offsets[3] = -1; }, 2},
        {"offset past the file", 1, [](FisicData *c) { c->part[0].offsets[3] = 1 << 30; }, 2},
        {"end past the file", 1,
         [](FisicData *c) {
             LogPart &p = c->part[0];
             p.offsets[3] = p.offsets[9] + p.sizes[9] - p.sizes[3] + 1;
         },
         2},
        {"not a JPEG", 1, [](FisicData *c) { c->part[0].offsets[3] += 2; }, 2},
        {"picture of another size", 1, [](FisicData *c) { c->width = 90; }, 0},
        {"no source", 0, [](FisicData *) {}, 0},
        {"missing part file", 2, [](FisicData *c) { unlink(c->part[1].file); }, 0},
    };
    for (const Case &k : cases) {
        FisicData *c = NewClip(10);
        if (k.parts) WriteLog(c, k.parts);
        WindowData *w = NewWindow(c);
        k.spoil(c);
        ePlayStart(w, 1);
        EXPECT_STREQ(LastPlayStats().ended, "error") << k.what;
        // The picture shown before the error stays.
        EXPECT_TRUE(k.at ? Shows(w, k.at) : w->current == 0) << k.what;
        EXPECT_TRUE(Idle(w)) << k.what;
        EXPECT_EQ(Messages(), (std::vector<std::string>{"Play error"})) << k.what;
        CloseMessages();
    }
}

TEST_F(Playback, JobsWaitAtTheGateWhichIsLeftAsFound) {
    WindowData *w = LogWindow(6);
    for (int before : {0, 1}) {
        SemSet(0, before);
        std::atomic<bool> passed{false};
        std::thread job;
        std::vector<int> gate;
        std::vector<bool> waited;
        on_sleep = [&](double) {
            gate.push_back(SemGet(0));
            if (w->current == 1)
                job = std::thread([&] {
                    SemWait(0);
                    passed = true;
                });
            if (w->current > 1) {
                usleep(2000);
                waited.push_back(!passed);
            }
        };
        w->current = 0;
        ePlayStart(w, 1);
        EXPECT_EQ(gate, std::vector<int>(6, 1)) << before;
        EXPECT_EQ(waited, std::vector<bool>(4, true)) << before;
        EXPECT_EQ(SemGet(0), before);
        if (before) {
            EXPECT_FALSE(passed); // still closed, as it was found
        }
        SemSet(0, 0);
        job.join(); // the job goes on once the gate opens
        EXPECT_TRUE(passed);
    }
}

namespace {
WindowData *to_close = nullptr;
void close_window(XtPointer, XtIntervalId *) {
    WindowData **link = &first_window;
    while (*link && *link != to_close)
        link = &(*link)->next;
    if (*link) *link = to_close->next;
    if (first_work == to_close) first_work = to_close->next;
    if (last_window == to_close) {
        last_window = first_window;
        while (last_window && last_window->next)
            last_window = last_window->next;
    }
    FreeWindowData(to_close, 1);
}
} // namespace

TEST_F(Playback, AWindowClosedWhileItPlaysEndsThePlaybackCleanly) {
    WindowData *keep = LogWindow(8);
    WindowData *w = LogWindow(8);
    to_close = w;
    windows.pop_back(); // freed by the timer below
    int sleeps_after = 0;
    bool armed = false;
    on_sleep = [&](double) {
        if (!armed && sleeps.size() == 3) {
            XtAppAddTimeOut(app, 0, close_window, nullptr);
            armed = true;
        } else if (armed) {
            sleeps_after++;
        }
    };
    ePlayStart(w, 1);
    EXPECT_EQ(sleeps_after, 0);
    EXPECT_STREQ(LastPlayStats().ended, "stop");
    EXPECT_EQ(isPlayActive, 0);
    EXPECT_EQ(SemGet(0), 0);
    EXPECT_EQ(first_window, keep);
    EXPECT_EQ(keep->next, nullptr);
    // Playback works on for the windows that remain.
    ePlayStart(keep, 1);
    EXPECT_EQ(keep->current, 7);
}

// The program's own clock: a short playback in real time ends on its last
// frame with every frame counted.
TEST_F(Playback, RealClock) {
    SetPlayClock(nullptr);
    WindowData *w = LogWindow(8);
    ePlayStart(w, 1);
    const PlayStats &st = LastPlayStats();
    EXPECT_EQ(w->current, 7);
    EXPECT_EQ(st.frames, 8);
    EXPECT_STREQ(st.ended, "end");
    EXPECT_GE(st.seconds, 0.4); // 3 + 7 periods of 40 ms at least
}
