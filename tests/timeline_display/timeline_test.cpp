// The timeline in the running main window: its widgets, the scale that
// follows the master area and the summa window, the strip and the master
// windows' own strips on screen, the pointer (markers, popup, visibility),
// the Z/X/C keys and a resize.
#include "../desktop_areas/desktop_areas_fixture.h"

#include <X11/keysym.h>
#include <Xm/Scale.h>

#include <algorithm>
#include <cstdint>

#include "desktop/main_window.h"
#include "ui/colors.h"
#include "ui/globals.h"
#include "vtr/timeline.h"
#include "vtr/timeline_strip.h"

namespace {

class Timeline : public AreasFixture {
  protected:
    std::vector<WindowData *> master;

    // A master area of clips of the given lengths, a desktop window after
    // it, and a summa window as long as the master area; the timeline then
    // shows the whole range, as after a change of the master area.
    void MakeMasterArea(const std::vector<int> &lengths) {
        int total = 0;
        for (int len : lengths) {
            master.push_back(NewWindow(NewClip(len), 1));
            total += len;
        }
        NewWindow(NewClip(3));
        WindowData *summa = NewWindow(NewClip(total), 0, 1);
        summa->total = total;
        TmSetWindows(master.front(), 0);
        TmSetWindows(master.back(), 1);
        TmUpdate(1);
        Pump();
    }
    // The strip's layout as drawn now.
    static TmStripLayout Layout() {
        std::vector<int> lengths = TmMasterLengths();
        int in = 0, out = 0;
        TmResolveRange(TmRange{TmInWindow(), TmOutWindow()}, &in, &out);
        TmStripLayout lay;
        TmLayoutStrip(lengths.data(), int(lengths.size()), in, out, TmWidth(),
                      summa_window ? summa_window->total : 0, &lay);
        return lay;
    }
    // The middle of window i's block.
    static int BlockMiddle(int i) {
        TmStripLayout lay = Layout();
        return (lay.blocks[size_t(i)].x0 + lay.blocks[size_t(i)].x1) / 2;
    }
    // RGB of a pixel of a widget's window on screen.
    static uint32_t ScreenPixel(Widget w, int x, int y) {
        XImage *img = XGetImage(XtDisplay(w), XtWindow(w), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!img) return 0xffffffff;
        uint32_t p = uint32_t(XGetPixel(img, 0, 0)) & 0xffffff;
        XDestroyImage(img);
        return p;
    }
    static uint32_t Rgb(const unsigned char *c) {
        return uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
    }
    static TmStripColours Colours() { return TmMakeColours(background_rgb, foreground_rgb); }
    static int ScaleMaximum() {
        int maximum = 0;
        XtVaGetValues(TmScaleWidget(), XmNmaximum, &maximum, NULL);
        return maximum;
    }
    // The timeline's In and Out frames.
    static std::pair<int, int> InOut() {
        int in = -1, out = -1;
        TmGetInOut(&in, &out);
        return {in, out};
    }
    static int ScaleValueNow() {
        int value = 0;
        XmScaleGetValue(TmScaleWidget(), &value);
        return value;
    }
};

TEST_F(Timeline, WidgetsUnderTheTimelineForm) {
    ASSERT_NE(timeline_form, nullptr);
    EXPECT_STREQ(XtName(timeline_form), "timeline");
    Widget strip = XtNameToWidget(timeline_form, "glx");
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip, TmStripWidget());
    EXPECT_EQ(XtNameToWidget(timeline_form, "*popup"), TmPopupWidget());
    EXPECT_NE(TmPopupWidget(), nullptr);
    EXPECT_EQ(Geometry(strip)[3], 20);
    EXPECT_EQ(Geometry(timeline_form)[3], 40);
    EXPECT_EQ(TmWidth(), Geometry(strip)[2]);
    // An empty master area: no scale, and "no clips" anywhere on the strip.
    EXPECT_FALSE(XtIsManaged(TmScaleWidget()));
    EXPECT_EQ(TmPopupLine(10), "no clips");
    EXPECT_EQ(InOut(), std::make_pair(0, 0));
}

TEST_F(Timeline, ScaleFollowsTheMasterArea) {
    MakeMasterArea({10, 20});
    EXPECT_TRUE(XtIsManaged(TmScaleWidget()));
    EXPECT_EQ(ScaleMaximum(), 30);
    int step = 0;
    XtVaGetValues(TmScaleWidget(), XmNscaleMultiple, &step, NULL);
    EXPECT_EQ(step, 2); // (30 - 1) / 10

    // The summa window's position is the timeline's.
    summa_window->current = 17;
    UpdateValue(summa_window);
    EXPECT_EQ(ScaleValueNow(), 18);
    TmSetScale(500); // kept within the range
    EXPECT_EQ(ScaleValueNow(), 30);

    // Short master areas: step 1, maximum at least 2.
    for (int total : {1, 11}) {
        summa_window->total = total;
        TmUpdate(1);
        EXPECT_EQ(ScaleMaximum(), std::max(total, 2));
        XtVaGetValues(TmScaleWidget(), XmNscaleMultiple, &step, NULL);
        EXPECT_EQ(step, 1);
    }
    // Without a summa window, or with the master area empty, it hides.
    WindowData *summa = summa_window;
    summa_window = nullptr;
    TmUpdate(1);
    EXPECT_FALSE(XtIsManaged(TmScaleWidget()));
    summa_window = summa;
    TmUpdate(0);
    EXPECT_TRUE(XtIsManaged(TmScaleWidget()));
    WindowData *first = first_window;
    first_window = first_work;
    TmUpdate(1);
    EXPECT_FALSE(XtIsManaged(TmScaleWidget()));
    first_window = first;
}

TEST_F(Timeline, StripAndWindowStripsOnScreen) {
    MakeMasterArea({10, 20, 30});
    const TmStripColours c = Colours();
    TmStripLayout lay = Layout();
    Widget strip = TmStripWidget();
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(ScreenPixel(strip, BlockMiddle(i), 10), Rgb(c.block[i % 2])) << "block " << i;
    EXPECT_EQ(ScreenPixel(strip, lay.in_x + 17, 10), Rgb(c.marker));
    EXPECT_EQ(ScreenPixel(strip, lay.out_x + 2, 10), Rgb(c.marker));
    // Each master window's own strip has its block's colour.
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(ScreenPixel(master[size_t(i)]->tmglw, 5, 2), Rgb(c.block[i % 2]))
            << "window " << i;

    // The first window dropped after the others: the strips follow the order.
    ASSERT_EQ(DropWindow(master[0], 1, 3), 1);
    Pump();
    EXPECT_EQ(TmMasterIndex(master[0]), 2);
    for (WindowData *w : master)
        EXPECT_EQ(ScreenPixel(w->tmglw, 5, 2), Rgb(c.block[TmMasterIndex(w) % 2]));

    // An empty master area leaves the strip in the background colour.
    WindowData *first = first_window;
    first_window = first_work;
    TmUpdate(1);
    Pump();
    EXPECT_EQ(ScreenPixel(strip, 100, 10), Rgb(c.background));
    first_window = first;
}

TEST_F(Timeline, PopupLines) {
    MakeMasterArea({10, 20, 30});
    master[1]->current = 4;
    summa_window->start = 25; // one second at 25 frames per second
    TmSetWindows(master[1], 0);
    TmSetWindows(master[1], 1);
    TmUpdate(0);
    TmStripLayout lay = Layout();
    struct Case {
        int x;
        const char *line;
    } cases[] = {
        {BlockMiddle(1), "5 / 20 (60)"},
        {BlockMiddle(0), "1 / 10 (60)"},
        {lay.in_x + 5, "In 00:00:01:10"},   // frame 10 + 25
        {lay.out_x + 5, "Out 00:00:02:04"}, // frame 29 + 25
        {-3, "no clips"},
        {TmWidth() + 3, "no clips"},
    };
    for (const Case &k : cases)
        EXPECT_EQ(TmPopupLine(k.x), k.line) << "x " << k.x;

    // Button 2 posts the popup with that line.
    TmButtonPress(Button2, BlockMiddle(1), nullptr);
    EXPECT_TRUE(XtIsManaged(TmPopupWidget()));
    Widget label = XtNameToWidget(TmPopupWidget(), "label");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(LabelOf(label), "5 / 20 (60)");
    XtUnmanageChild(TmPopupWidget());
    Pump();
}

TEST_F(Timeline, MarkersDraggedOntoWindows) {
    MakeMasterArea({10, 20, 30, 40});
    EXPECT_EQ(InOut(), std::make_pair(0, 99));

    struct Step {
        int marker; // 1 In, 2 Out
        int onto;   // window index
        WindowData *in, *out;
    };
    // The In marker dropped after the Out window takes Out with it; the Out
    // marker dropped before the In window takes In with it.
    const Step steps[] = {
        {2, 1, master[0], master[1]},
        {1, 3, master[3], master[3]},
        {2, 0, master[0], master[0]},
        {2, 2, master[0], master[2]},
    };
    for (const Step &s : steps) {
        TmStripLayout lay = Layout();
        const int marker_x = (s.marker == 1 ? lay.in_x : lay.out_x) + 10;
        TmButtonPress(Button1, marker_x, nullptr);
        EXPECT_EQ(TmDragState(), s.marker);
        TmButtonRelease(Button1, BlockMiddle(s.onto));
        EXPECT_EQ(TmDragState(), 0);
        EXPECT_EQ(TmInWindow(), s.in);
        EXPECT_EQ(TmOutWindow(), s.out);
    }
    EXPECT_EQ(InOut(), std::make_pair(0, 59));
    // A release over no window puts the marker down and changes nothing.
    TmStripLayout lay = Layout();
    TmButtonPress(Button1, lay.in_x + 10, nullptr);
    TmButtonRelease(Button1, lay.out_x + 10);
    EXPECT_EQ(TmDragState(), 0);
    EXPECT_EQ(TmInWindow(), master[0]);
}

TEST_F(Timeline, KeysOverABlock) {
    MakeMasterArea({10, 20, 30, 40});
    struct Case {
        KeySym key;
        int over;
        int in, out; // frames after the key
    } cases[] = {
        {XK_z, 1, 10, 99}, {XK_X, 2, 10, 59}, {XK_Z, 3, 60, 99}, {XK_x, 0, 0, 9},
        {XK_c, 2, 30, 59}, {XK_C, 3, 60, 99}, {XK_a, 1, 60, 99}, // other keys only bring the window
                                                                 // into view
    };
    for (const Case &k : cases) {
        TmKey(k.key, BlockMiddle(k.over));
        EXPECT_EQ(InOut(), std::make_pair(k.in, k.out))
            << XKeysymToString(k.key) << " over " << k.over;
    }
    // The same through the strip's key handler, at the pointer's place.
    XEvent ev = MakeEvent(TmStripWidget(), KeyPress, BlockMiddle(1), 10, 0, XK_c);
    XtDispatchEvent(&ev);
    EXPECT_EQ(TmInWindow(), master[1]);
    EXPECT_EQ(TmOutWindow(), master[1]);

    // Nothing while a playback runs.
    isPlayActive = 1;
    TmKey(XK_z, BlockMiddle(0));
    TmButtonPress(Button1, Layout().in_x + 10, nullptr);
    isPlayActive = 0;
    EXPECT_EQ(TmInWindow(), master[1]);
    EXPECT_EQ(TmDragState(), 0);
}

TEST_F(Timeline, PressOnABlockBringsTheWindowIntoView) {
    MakeMasterArea({5, 5, 5, 5, 5, 5, 5, 5, 5});
    // The last window opened stands in view: the area is scrolled to it.
    int before = 0, after = 0;
    XtVaGetValues(happy_h, XmNvalue, &before, NULL);
    ASSERT_GT(before, 0);
    TmButtonPress(Button1, BlockMiddle(0), nullptr);
    Pump();
    XtVaGetValues(happy_h, XmNvalue, &after, NULL);
    EXPECT_EQ(after, 0);
    TmKey(XK_a, BlockMiddle(8));
    Pump();
    XtVaGetValues(happy_h, XmNvalue, &after, NULL);
    EXPECT_EQ(after, before);
}

TEST_F(Timeline, ResizeChangesTheWidthUpToTheImage) {
    MakeMasterArea({10, 20});
    const int full = TmWidth();
    for (int width : {600, 41, 1, full + 500}) {
        XEvent ev{};
        ev.xconfigure.type = ConfigureNotify;
        ev.xconfigure.display = XtDisplay(TmStripWidget());
        ev.xconfigure.event = ev.xconfigure.window = XtWindow(TmStripWidget());
        ev.xconfigure.width = width;
        ev.xconfigure.height = 20;
        XtDispatchEvent(&ev);
        EXPECT_EQ(TmWidth(), std::min(width, WidthOfScreen(XtScreen(app_shell))));
        TmStripLayout lay = Layout();
        if (width >= 41) {
            EXPECT_EQ(lay.out_x + 20, TmWidth());
        }
    }
}

} // namespace
