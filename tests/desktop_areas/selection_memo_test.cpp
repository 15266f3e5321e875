// Selection (plain, Shift range, Control toggle, the menu's all, none and
// inverse) with its colours, clicks and drags by pointer events, and memo
// mode.
#include "desktop_areas_fixture.h"
#include <Xm/ScrollBar.h>

#include "desktop/commands.h"

namespace {

Pixel Foreground(Widget w) {
    Pixel p = 0;
    XtVaGetValues(w, XmNforeground, &p, NULL);
    return p;
}
Pixel TopShadow(Widget w) {
    Pixel p = 0;
    XtVaGetValues(w, XmNtopShadowColor, &p, NULL);
    return p;
}

} // namespace

using Selection = AreasFixture;

// Selected flags of the desktop windows in list order, as a string of 0/1.
static std::string Selected() {
    std::string s;
    for (WindowData *w = first_work; w; w = w->next)
        s += w->selected ? '1' : '0';
    return s;
}

TEST_F(Selection, ColoursFollowTheFlag) {
    FisicData *c = NewClip(5);
    WindowData *a = NewWindow(c);
    ASSERT_NE(RED_COL, clip_normal_fg);
    for (int on : {1, 0}) {
        SetSelection(a, on);
        EXPECT_EQ(a->selected, on);
        for (Widget l : {a->tc_label, a->in_label, a->out_label})
            EXPECT_EQ(Foreground(l), on ? RED_COL : clip_normal_fg) << on;
        EXPECT_EQ(TopShadow(a->label_frame), on ? RED_COL : clip_normal_shadow) << on;
    }
}

TEST_F(Selection, Operations) {
    FisicData *c = NewClip(5);
    WindowData *m = NewWindow(c, 1);
    std::vector<WindowData *> d;
    for (int i = 0; i < 6; i++)
        d.push_back(NewWindow(c));
    struct Step {
        const char *what;
        std::function<void()> act;
        const char *expect;
    } steps[] = {
        {"normal 2", [&] { SelectNormal(d[2]); }, "001000"},
        {"normal 4", [&] { SelectNormal(d[4]); }, "000010"},
        {"shift 1 (none before)", [&] { SelectShift(d[1]); }, "010010"},
        {"shift 5 from 4", [&] { SelectShift(d[5]); }, "010011"},
        {"normal 1, shift 4", [&] { SelectNormal(d[1]), SelectShift(d[4]); }, "011110"},
        {"toggle 2", [&] { SelectToggle(d[2]); }, "010110"},
        {"toggle 0", [&] { SelectToggle(d[0]); }, "110110"},
        {"invert", [&] { SelectInvAll(nullptr, nullptr, nullptr); }, "001001"},
        {"all", [&] { SelectAll(nullptr, nullptr, nullptr); }, "111111"},
        {"none", [&] { DeselectAll(nullptr, nullptr, nullptr); }, "000000"},
        {"master ignored", [&] { SelectNormal(m), SelectToggle(m), SetSelection(m, 1); }, "000000"},
    };
    for (const Step &s : steps) {
        s.act();
        EXPECT_EQ(Selected(), s.expect) << s.what;
        EXPECT_EQ(m->selected, 0) << s.what;
    }
}

TEST_F(Selection, ClicksByPointer) {
    FisicData *c = NewClip(5);
    WindowData *a = NewWindow(c), *b = NewWindow(c), *d = NewWindow(c);
    struct Click {
        WindowData *win;
        int dx, dy;
        unsigned state;
        const char *expect;
    } clicks[] = {
        {b, 0, 0, 0, "010"},           {d, 5, -5, 0, "001"}, // within 6 pixels: still a click
        {a, 0, 0, ShiftMask, "101"},   // nothing selected before a: a alone joins
        {b, 0, 0, ControlMask, "111"}, // Control toggles
        {b, 0, 0, ControlMask, "101"},
    };
    for (const Click &k : clicks) {
        Press(k.win, 40, 40, k.state);
        EXPECT_EQ(DraggedWindow(), k.win);
        Motion(k.win, 40 + k.dx, 40 + k.dy);
        Release(k.win, 40 + k.dx, 40 + k.dy, k.state);
        EXPECT_EQ(DraggedWindow(), nullptr);
        EXPECT_EQ(Selected(), k.expect);
    }
    Pump();
}

TEST_F(Selection, DragByPointerDrops) {
    FisicData *c = NewClip(5);
    WindowData *a = NewWindow(c), *b = NewWindow(c);
    Press(a, 40, 40);
    Motion(a, 44, 40);
    Motion(a, 46, 40); // 6 pixels: a drag from here on
    // Two cells right, one down: slot 8.
    Motion(a, 40 + 2 * 206, 40 + 214);
    Release(a, 40 + 2 * 206, 40 + 214);
    EXPECT_EQ(DraggedWindow(), nullptr);
    EXPECT_EQ(Order(), "| b1 a8");
    EXPECT_EQ(Selected(), "00"); // a drop selects nothing

    // Pressing with button 3 neither selects nor drags.
    XEvent ev = MakeEvent(b->glw, ButtonPress, 10, 10, 0, Button3);
    Boolean cont = True;
    BtnPress(b->glw, b, &ev, &cont);
    EXPECT_EQ(DraggedWindow(), nullptr);
    Pump();
}

using Memo = AreasFixture;

TEST_F(Memo, Toggling) {
    FisicData *c = NewClip(5);
    WindowData *m = NewWindow(c, 1);
    WindowData *a = NewWindow(c), *b = NewWindow(c);
    auto buttons = [](WindowData *w) {
        int shown = 0;
        for (Widget x : {w->memo_btn, w->copy_btn, w->left_btn, w->right_btn, w->reve_btn,
                         w->stop_btn, w->play_btn, w->scale, w->prev_btn, w->next_btn})
            shown += XtIsManaged(x) ? 1 : 0;
        return shown;
    };
    EXPECT_FALSE(MemoShown(a));
    EXPECT_EQ(buttons(a), 10);

    ::Press(a->memo_btn); // the "M" button
    EXPECT_TRUE(MemoShown(a));
    EXPECT_TRUE(XtIsManaged(a->memo));
    EXPECT_EQ(buttons(a), 0);
    EXPECT_FALSE(MemoShown(b));

    Key(a, XK_m); // the "M" key toggles back
    EXPECT_FALSE(MemoShown(a));
    EXPECT_EQ(buttons(a), 10);

    Key(a, XK_m);
    Key(a, XK_Escape); // Escape leaves
    EXPECT_FALSE(MemoShown(a));

    // Escape typed in the memo field leaves too.
    SetMemoMode(b, 1);
    XEvent ev = MakeEvent(b->memo, KeyPress, 0, 0, 0, XK_Escape);
    XtDispatchEvent(&ev);
    EXPECT_FALSE(MemoShown(b));

    AlltoMemo(nullptr, nullptr, nullptr);
    EXPECT_TRUE(MemoShown(a));
    EXPECT_TRUE(MemoShown(b));
    EXPECT_FALSE(MemoShown(m)); // master-area windows have no memo mode
    MemoOn(m);
    EXPECT_FALSE(MemoShown(m));
    CloseAllMemo(nullptr, nullptr, nullptr);
    EXPECT_FALSE(MemoShown(a));
    EXPECT_FALSE(MemoShown(b));
    EXPECT_EQ(buttons(b), 10);
}

// The real pointer through the server: press, move and release on the
// picture drop the window two cells on; a press and release in place selects.
TEST_F(Selection, RealPointerDragAndClick) {
    if (system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
    FisicData *c = NewClip(5);
    WindowData *a = NewWindow(c), *b = NewWindow(c);
    Pump();
    Position rx = 0, ry = 0;
    XtTranslateCoords(b->glw, 90, 72, &rx, &ry);
    // Press at (x, y), move 10 pixels and then to (tx, ty), release; with
    // (tx, ty) = (x, y) a press and release in place.
    auto pointer = [](int x, int y, int tx, int ty, const std::function<bool()> &done) {
        char cmd[512];
        if (tx == x && ty == y)
            snprintf(cmd, sizeof cmd,
                     "xdotool mousemove %d %d sleep 0.1 mousedown 1 sleep 0.1 mouseup 1 &", x, y);
        else
            snprintf(cmd, sizeof cmd,
                     "xdotool mousemove %d %d sleep 0.1 mousedown 1 sleep 0.1 mousemove %d %d "
                     "sleep 0.1 mousemove %d %d sleep 0.1 mouseup 1 &",
                     x, y, x + 10, y, tx, ty);
        ASSERT_EQ(system(cmd), 0);
        for (int i = 0; i < 30000 && !done(); i++) {
            while (XtAppPending(app))
                XtAppProcessEvent(app, XtIMAll);
            usleep(1000);
        }
        Pump();
    };
    pointer(rx, ry, rx, ry, [&] { return b->selected != 0; });
    EXPECT_EQ(Selected(), "01");
    pointer(rx, ry, rx + 2 * 206, ry + 214, [&] { return b->slot != 1; });
    EXPECT_EQ(Order(), "| a0 b9");
    EXPECT_EQ(DraggedWindow(), nullptr);

    // Released over another window's picture, the drop still comes to the
    // dragged one: a goes before b in the kept arrangement.
    defaults[DEF_REARRANGE] = 1;
    WindowData *d = NewWindow(c);
    RepositionWindows();
    Pump();
    ASSERT_EQ(Order(), "| a0 b1 c2");
    Position ax = 0, ay = 0, dx = 0, dy = 0;
    XtTranslateCoords(a->glw, 90, 72, &ax, &ay);
    XtTranslateCoords(d->glw, 90, 72, &dx, &dy);
    pointer(ax, ay, dx, dy, [&] { return first_work != a; });
    EXPECT_EQ(Order(), "| b0 a1 c2");
    EXPECT_EQ(DraggedWindow(), nullptr);
}

// Dragging near the bottom edge of the desktop scrolls it a tenth of its
// range per motion, never past its end; near the top it scrolls back.
TEST_F(Selection, DragScrollsAtTheEdges) {
    FisicData *c = NewClip(5);
    for (int i = 0; i < 36; i++)
        NewWindow(c);
    Pump();
    WindowData *a = first_work;
    Widget clip = nullptr;
    XtVaGetValues(workswin, XmNclipWindow, &clip, NULL);
    ASSERT_NE(clip, nullptr);
    Position cx = 0, cy = 0;
    Dimension cw = 0, ch = 0;
    XtTranslateCoords(clip, 0, 0, &cx, &cy);
    XtVaGetValues(clip, XmNwidth, &cw, XmNheight, &ch, NULL);
    int lo = 0, hi = 0, slider = 0;
    XtVaGetValues(work_v, XmNminimum, &lo, XmNmaximum, &hi, XmNsliderSize, &slider, NULL);
    ASSERT_GT(hi - slider, lo) << "the desktop must be taller than its view";
    auto value = [] {
        int v = 0;
        XtVaGetValues(work_v, XmNvalue, &v, NULL);
        return v;
    };
    auto motion_at = [&](int rx, int ry) {
        XEvent ev = MakeEvent(a->glw, MotionNotify, 0, 0);
        ev.xmotion.x_root = rx;
        ev.xmotion.y_root = ry;
        Boolean cont = True;
        DragEvent(a->glw, nullptr, &ev, &cont);
    };
    // New windows scrolled the desktop to the last one: back to the top.
    int v0 = 0, sl = 0, inc = 0, page = 0;
    XmScrollBarGetValues(work_v, &v0, &sl, &inc, &page);
    XmScrollBarSetValues(work_v, 0, sl, inc, page, True);
    Pump();
    XEvent press = MakeEvent(a->glw, ButtonPress, 0, 0);
    press.xbutton.x_root = cx + cw / 2;
    press.xbutton.y_root = cy + ch / 2;
    Boolean cont = True;
    BtnPress(a->glw, a, &press, &cont);
    const int step = (hi - lo) / 10;
    EXPECT_EQ(value(), 0);
    motion_at(cx + cw / 2, cy + ch / 2 + 20); // a drag now, away from the edges
    EXPECT_EQ(value(), 0);
    motion_at(cx + cw / 2, cy + ch - 10);
    EXPECT_EQ(value(), step);
    for (int i = 0; i < 20; i++)
        motion_at(cx + cw / 2, cy + ch - 10);
    EXPECT_EQ(value(), hi - slider);
    motion_at(cx + cw / 2, cy + 10);
    EXPECT_EQ(value(), hi - slider - step);
    CancelDrag();
    EXPECT_EQ(DraggedWindow(), nullptr);
}
