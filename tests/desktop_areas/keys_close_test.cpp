// Keys on window pictures (marks, Tab, stepping, deletion) and closing
// windows: the commands' messages and questions, CloseOK with jobs working
// on the windows, and windows that go while their own events are handled.
#include "desktop_areas_fixture.h"
#include <X11/keysym.h>

#include "desktop/commands.h"
#include "desktop/converter.h"
#include "desktop/log_writer.h"
#include "desktop/main_window.h"
#include "desktop/processes.h"
#include "platform/jobs.h"

using Keys = AreasFixture;

TEST_F(Keys, TabWrapsAround) {
    FisicData *c = NewClip(5);
    WindowData *m = NewWindow(c, 1);
    WindowData *a = NewWindow(c), *b = NewWindow(c);
    struct Case {
        WindowData *from;
        int shift;
        WindowData *to;
    } cases[] = {
        {m, 0, a}, {a, 0, b}, {b, 0, m}, // the last goes to the first
        {b, 1, a}, {a, 1, m}, {m, 1, b}, // Shift: the first goes to the last
    };
    for (const Case &k : cases)
        EXPECT_EQ(TabTarget(k.from, k.shift), k.to);
    EXPECT_EQ(TabTarget(summa_window, 0), nullptr);

    // The pointer lands in the middle of the next picture.
    Key(b, XK_Tab);
    Pump();
    Window root, child;
    int rx, ry, x = -1, y = -1;
    unsigned mask;
    XQueryPointer(XtDisplay(m->glw), XtWindow(m->glw), &root, &child, &rx, &ry, &x, &y, &mask);
    EXPECT_EQ(x, 90);
    EXPECT_EQ(y, 72);
}

// Keys typed in turn on a desktop window of 30 frames, and its In, frame
// and Out labels after each group.
TEST_F(Keys, MarksSteppingAndFrames) {
    WindowData *a = NewWindow(NewClip(30));
    const std::pair<std::vector<KeySym>, const char *> steps[] = {
        {{XK_Up, XK_Up}, "< 1 3 > 30"},
        {{XK_z}, "< 3 3 > 30"},
        {{XK_Down}, "< 3 2 > 30"},
        {{XK_Down, XK_Down}, "< 3 1 > 30"}, // not below the first frame
        {{XK_1, XK_5, XK_Return}, "< 3 15 > 30"},
        {{XK_x}, "< 3 15 > 15"},
        {{XK_End}, "< 3 30 > 15"},
    };
    for (const auto &[keys, labels] : steps) {
        for (KeySym k : keys)
            Key(a, k);
        EXPECT_EQ(LabelOf(a->in_label) + " " + LabelOf(a->frame_label) + " " +
                      LabelOf(a->out_label),
                  labels);
    }
    EXPECT_EQ(std::make_pair(a->in, a->out), std::make_pair(2, 14));
}

// The three columns of the key table: marks and memo on the desktop, the
// timeline's sides in the master area (not built: it says so), nothing of
// either on the summa window; stepping everywhere.
TEST_F(Keys, ByKindOfWindow) {
    FisicData *c = NewClip(30);
    WindowData *m = NewWindow(c, 1);
    WindowData *d = NewWindow(c);
    WindowData *s = NewWindow(c, 0, 1);
    for (WindowData *w : {d, m, s})
        w->current = 4;
    struct Case {
        WindowData *win;
        KeySym key;
        int in, current;
        bool memo;
    } cases[] = {
        {d, XK_z, 4, 4, false},  {m, XK_z, 0, 4, false},    {s, XK_z, 0, 4, false},
        {d, XK_m, 4, 4, true},   {m, XK_m, 0, 4, false},    {s, XK_Tab, 0, 4, false},
        {s, XK_Up, 0, 5, false}, {m, XK_Down, 0, 3, false}, {d, XK_Home, 4, 0, true},
    };
    for (const Case &k : cases) {
        KeyProcess(k.win, k.key, k.win == s ? -1 : 0);
        EXPECT_EQ(k.win->in, k.in) << XKeysymToString(k.key);
        EXPECT_EQ(k.win->current, k.current) << XKeysymToString(k.key);
        EXPECT_EQ(MemoShown(k.win) != 0, k.memo) << XKeysymToString(k.key);
        EXPECT_TRUE(Messages().empty()) << XKeysymToString(k.key);
    }
}

TEST_F(Keys, BackSpaceThenClickCloses) {
    FisicData *c = NewClip(5);
    WindowData *a = NewWindow(c), *b = NewWindow(c);
    XEvent click = MakeEvent(a->glw, ButtonPress);

    // A click without BackSpace before it closes nothing.
    DeleteWindow(a->glw, &click, nullptr, nullptr);
    EXPECT_TRUE(WindowListed(a));
    // BackSpace, then another key: disarmed.
    Key(a, XK_BackSpace);
    Key(a, XK_Up);
    DeleteWindow(a->glw, &click, nullptr, nullptr);
    EXPECT_TRUE(WindowListed(a));
    // BackSpace, then leaving the picture: disarmed.
    Key(a, XK_BackSpace);
    XEvent leave = MakeEvent(a->glw, LeaveNotify);
    DeleteWindow(a->glw, &leave, nullptr, nullptr);
    DeleteWindow(a->glw, &click, nullptr, nullptr);
    EXPECT_TRUE(WindowListed(a));

    // BackSpace and a click: the window closes inside the press; the
    // picture's press handler that runs after it for the same press finds
    // the window gone and starts nothing.
    Key(a, XK_BackSpace);
    InDispatch([&] {
        DeleteWindow(a->glw, &click, nullptr, nullptr);
        EXPECT_FALSE(WindowListed(a));
        Boolean cont = True;
        BtnPress(a->glw, a, &click, &cont);
        EXPECT_EQ(DraggedWindow(), nullptr);
    });
    EXPECT_EQ(Order(), "| b1"); // gaps are kept
    EXPECT_EQ(c->refs, 1);

    // With the keyboard focus elsewhere BackSpace reaches the area's viewport
    // (KeyEvent), which arms the picture under the pointer; the picture's own
    // press handler then closes the window.
    Pump();
    XEvent key = MakeEvent(b->glw, KeyPress, 20, 20, 0, XK_BackSpace);
    Boolean cont = True;
    KeyEvent(workswin, nullptr, &key, &cont);
    EXPECT_TRUE(DeleteWindowArmed(b->glw));
    XEvent press = MakeEvent(b->glw, ButtonPress);
    InDispatch([&] { BtnPress(b->glw, b, &press, &cont); });
    EXPECT_EQ(Order(), "|");
}

using Closing = AreasFixture;

TEST_F(Closing, CommandsNeedWindows) {
    struct Case {
        XtCallbackProc cmd;
        const char *message;
    } cases[] = {
        {CloseSel, "No clip selected"},
        {ClearHappy, "No clips in master area"},
        {CloseAll, "No clips in desktop"},
    };
    // Then with a desktop window that is not selected: still nothing for
    // CloseSel, and none for ClearHappy.
    for (int windows : {0, 1}) {
        if (windows) NewWindow(NewClip(5));
        for (int i = 0; i < 3 - windows; i++) {
            InDispatch([&] { cases[i].cmd(nullptr, nullptr, nullptr); });
            EXPECT_EQ(Messages(), (std::vector<std::string>{cases[i].message})) << windows;
            CloseMessages();
        }
    }
}

TEST_F(Closing, QuestionsAndAnswers) {
    FisicData *c = NewClip(5);
    NewWindow(c, 1);
    for (int i = 0; i < 3; i++)
        NewWindow(c);
    SetSelection(windows[2], 1);
    auto question = [] {
        std::vector<Widget> boxes = Named(app_shell, "warning");
        return boxes.size() == 1 ? boxes[0] : nullptr;
    };

    // "  Yes  " saves a work file first; without a database there is nowhere
    // to save it, and nothing closes.
    InDispatch([] { CloseSel(nullptr, nullptr, nullptr); });
    Widget q = question();
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(MessageOf(q), "Save selected clips in a work\nfile before clearing?");
    ::Press(ByLabel(XtParent(q), "  Yes  "));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"No database selected"}));
    CloseMessages();
    EXPECT_EQ(Order(), "a0 | b0 c1 d2");

    // "  No  " closes the selected desktop windows without saving.
    InDispatch([] { CloseSel(nullptr, nullptr, nullptr); });
    ::Press(ByLabel(XtParent(question()), "  No  "));
    EXPECT_EQ(Order(), "a0 | b0 d2");
    EXPECT_EQ(question(), nullptr);

    InDispatch([] { ClearHappy(nullptr, nullptr, nullptr); });
    q = question();
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(MessageOf(q), "Save master area in a work\nfile before clearing?");
    ::Press(ByLabel(XtParent(q), "  No  "));
    EXPECT_EQ(Order(), "| b0 d2");

    InDispatch([] { CloseAll(nullptr, nullptr, nullptr); });
    q = question();
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(MessageOf(q), "Save desktop in a work\nfile before clearing?");
    ::Press(ByLabel(XtParent(q), "Cancel"));
    EXPECT_EQ(Order(), "| b0 d2");
    InDispatch([] { CloseAll(nullptr, nullptr, nullptr); });
    ::Press(ByLabel(XtParent(question()), "  No  "));
    EXPECT_EQ(Order(), "|");
    EXPECT_EQ(c->refs, 0);
    FreeClosedWindows();
}

// A stand-in import job working on a window, held until stopped.
static int StartHeldJob(WindowData *win, int type) {
    SemSet(4, 1);
    const int e = Sproc(held_job, nullptr, type);
    if (e >= 0) {
        pidData[e].window = win;
        pidData[e].slot = e;
    }
    return e;
}

TEST_F(Closing, JobsStopOrKeep) {
    InstallLogWriter();
    FisicData *c = NewClip(5);
    clips.clear(); // listed below: the clean-up tick frees it
    AddFirstFisic(c);
    WindowData *a = NewWindow(c), *b = NewWindow(c);
    const int ea = StartHeldJob(a, JOB_EXPORT);
    const int eb = StartHeldJob(b, JOB_IMPORT);
    ASSERT_GE(ea, 0);
    ASSERT_GE(eb, 0);
    EXPECT_EQ(ClosingImpExpWindows(0, 0, nullptr), 0); // nothing selected
    EXPECT_EQ(ClosingImpExpWindows(0, 0, a), 1);
    EXPECT_EQ(ClosingImpExpWindows(0, 1, nullptr), 1);
    SetSelection(a, 1);
    EXPECT_EQ(ClosingImpExpWindows(0, 0, nullptr), 1);

    // Selected a, answered "  No  " to stopping: the job runs on without it.
    InDispatch([] { CloseSelOK(nullptr, nullptr, nullptr); });
    std::vector<Widget> boxes = Named(app_shell, "warning");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(MessageOf(boxes[0]), "One or more clips have\nimport, export or effect\nprocesses "
                                   "in progress. Do\nyou want to stop them?");
    ::Press(ByLabel(XtParent(boxes[0]), "  No  "));
    EXPECT_FALSE(WindowListed(a));
    EXPECT_EQ(pidData[ea].window.load(), nullptr);
    EXPECT_GT(pidData[ea].pid.load(), 0);
    EXPECT_NE(pidData[ea].status.load(), STATUS_STOPPED);

    // b with "  Yes  ": its import stops, its progress display with it.
    CloseOK(0, 1, nullptr, 1, 0);
    EXPECT_EQ(Order(), "|");
    EXPECT_EQ(pidData[eb].window.load(), nullptr);
    EXPECT_EQ(pidData[eb].slot.load(), -1);
    EXPECT_EQ(pidData[eb].status.load(), STATUS_STOPPED);
    EXPECT_TRUE(WaitUntil([&] { return ReapEndedJobs() > 0 && pidData[eb].pid.load() <= 0; }));
    EXPECT_GT(pidData[ea].pid.load(), 0);
    FreeClosedWindows();

    // The clip lost its last user: the next clean-up tick frees it.
    EXPECT_EQ(c->refs, 0);
    EXPECT_EQ(SemGet(1), 0); // the converter was woken
    SemSet(2, 1);            // as the converter asks after seeing it unused
    ClearWorkTick();
    EXPECT_EQ(first_fisic.load(), nullptr);
}

TEST_F(Closing, DragEndsWhenItsWindowGoes) {
    FisicData *c = NewClip(5);
    WindowData *a = NewWindow(c), *b = NewWindow(c);
    Press(a, 40, 40);
    Motion(a, 60, 60);
    ASSERT_EQ(DraggedWindow(), a);
    // An end routine closes the window in mid-drag.
    CloseOK(0, 0, a, 0, 0);
    EXPECT_EQ(DraggedWindow(), nullptr);
    // The release that follows drops nothing.
    Release(b, 40 + 206 * 3, 40);
    EXPECT_EQ(Order(), "| b1");
    Pump(); // the closed record is freed after the event
}
