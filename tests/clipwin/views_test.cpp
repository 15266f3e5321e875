// The zoom view, the "Set timecode" dialog and the desktop cells.
#include "clipwin_fixture.h"
#include <X11/keysym.h>
#include <Xm/Text.h>

#include "desktop/desktop_area.h"
#include "desktop/set_timecode.h"
#include "desktop/zoom_view.h"

using ClipZoomView = ClipWinFixture;

TEST_F(ClipZoomView, SizeIsLogSizeTimesFactor) {
    ResetZoomData();
    FisicData *c = NewClip(5);
    WriteLog(c, 1);
    WindowData *w = NewWindow(c);
    CreaZoomPlay(w);
    Pump();
    ASSERT_NE(ZoomDialog(), nullptr);
    EXPECT_EQ(TitleOf(ZoomDialog()), "Zoom view");
    // Factor 2 at first, then the keys move it within 1..7.
    const std::pair<KeySym, int> steps[] = {{0, 2},        {XK_plus, 3},       {XK_KP_7, 7},
                                            {XK_equal, 7}, {XK_underscore, 6}, {XK_KP_End, 1},
                                            {XK_minus, 1}};
    for (auto [key, factor] : steps) {
        if (key) ZoomKey(key, 0);
        Dimension zw = 0, zh = 0;
        XtVaGetValues(ZoomDialog(), XmNwidth, &zw, XmNheight, &zh, NULL);
        EXPECT_EQ(ZoomFactor(), factor) << key;
        EXPECT_EQ(zw, 180 * factor) << key;
        EXPECT_EQ(zh, 144 * factor) << key;
    }
    ZoomKey(XK_Escape, 0);
    Pump();
    EXPECT_EQ(ZoomDialog(), nullptr);
    EXPECT_TRUE(Named(app_shell, "disp").empty());
}

TEST_F(ClipZoomView, ClosesWhenItsWindowIsReleased) {
    ResetZoomData();
    FisicData *c = NewClip(5);
    WriteLog(c, 1);
    WindowData *keep = NewWindow(c);
    WindowData *w = NewWindow(c);
    CreaZoomPlay(w);
    Pump();
    ASSERT_NE(ZoomDialog(), nullptr);
    // Release w as closing a window does (unlisted, then freed).
    windows.pop_back();
    keep->next = nullptr;
    last_window = keep;
    InDispatch([w] { FreeWindowData(w, 1); });
    EXPECT_EQ(ZoomWindow(), nullptr);
    EXPECT_EQ(ZoomDialog(), nullptr);
    EXPECT_TRUE(Named(app_shell, "disp").empty());
}

using ClipSetTimecode = ClipWinFixture;

TEST_F(ClipSetTimecode, DialogRejectsInvalidAndAppliesValid) {
    fps = 25;
    FisicData *c = NewClip(100);
    WindowData *s = NewWindow(c, 0, 1);
    master_tc = 0;
    s->current = 4;
    UpdateValue(s);
    Widget d = SetTimecodeDialog();
    ASSERT_NE(d, nullptr);
    Pump();
    EXPECT_EQ(TitleOf(d), "Set timecode");
    std::vector<Widget> text = Named(d, "expText");
    ASSERT_EQ(text.size(), 1u);

    XmTextSetString(text[0], const_cast<char *>("00:61:00:00"));
    Press(ByLabel(d, "OK"));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Start timecode not valid"});
    CloseMessages();
    EXPECT_FALSE(Named(app_shell, "settc").empty()); // the dialog stays
    EXPECT_EQ(master_tc, 0);

    XmTextSetString(text[0], const_cast<char *>("00:01:00:00"));
    Press(ByLabel(d, "OK"));
    EXPECT_EQ(master_tc, 1500);
    EXPECT_EQ(s->start, 1500);
    EXPECT_EQ(LabelOf(s->tc_label), "00:01:00:04");
    EXPECT_TRUE(Named(app_shell, "settc").empty());
    master_tc = 0;
}

using ClipDesktopCells = ClipWinFixture;

TEST_F(ClipDesktopCells, CellsAndTheNextFreeSlot) {
    struct Row {
        int slot, master, x, y;
    } rows[] = {
        {0, 0, XBORD, YBORD},  {7, 0, 208, 216}, {3, 1, 3 * XLARG + XBORD, YBORD},
        {-1, 0, XBORD, YBORD}, // an empty desktop and master area: cell 0
        {-1, 1, XBORD, YBORD},
    };
    for (const Row &r : rows) {
        int x = -1, y = -1;
        EXPECT_EQ(WindowPosition(r.slot, &x, &y, r.master), r.slot < 0 ? 0 : r.slot);
        EXPECT_EQ(std::make_pair(x, y), std::make_pair(r.x, r.y)) << r.slot << " " << r.master;
    }
    FisicData *c = NewClip(3);
    WindowData *a = NewWindow(c);
    a->slot = 9; // the desktop may have gaps
    int x, y;
    EXPECT_EQ(WindowPosition(-1, &x, &y, 0), 10);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(4 * XLARG + XBORD, YLARG + YBORD));
    WindowData *m = NewWindow(c, 1);
    EXPECT_EQ(m->slot, 0);
    EXPECT_EQ(WindowPosition(-1, &x, &y, 1), 1);
    EXPECT_EQ(x, XLARG + XBORD);
    EXPECT_EQ(first_window, m); // the master window stands before the desktop ones
    EXPECT_EQ(first_work, a);
}
