// The zoom view, the "Set timecode" dialog and the desktop cells.
#include "clipwin_fixture.h"
#include <X11/keysym.h>
#include <Xm/Text.h>

#include "desktop/desktop_area.h"
#include "desktop/frame_display.h"
#include "desktop/set_timecode.h"
#include "desktop/zoom_view.h"

namespace {
void DialogSize(Widget d, int *w, int *h) {
    Dimension dw = 0, dh = 0;
    XtVaGetValues(d, XmNwidth, &dw, XmNheight, &dh, NULL);
    *w = dw;
    *h = dh;
}
} // namespace

using ClipZoomView = ClipWinFixture;

TEST_F(ClipZoomView, SizeIsLogSizeTimesFactorAndKeysResize) {
    ResetZoomData();
    FisicData *c = NewClip(5);
    WriteLog(c, 1);
    WindowData *w = NewWindow(c);
    CreaZoomPlay(w);
    Pump();
    ASSERT_NE(ZoomDialog(), nullptr);
    EXPECT_STREQ(XtName(ZoomDialog()), "disp");
    EXPECT_EQ(TitleOf(ZoomDialog()), "Zoom view");
    int zw, zh;
    DialogSize(ZoomDialog(), &zw, &zh);
    EXPECT_EQ(zw, 360);
    EXPECT_EQ(zh, 288);
    ZoomKey(XK_plus, 0);
    EXPECT_EQ(ZoomFactor(), 3);
    DialogSize(ZoomDialog(), &zw, &zh);
    EXPECT_EQ(zw, 540);
    EXPECT_EQ(zh, 432);
    ZoomKey(XK_KP_7, 0);
    ZoomKey(XK_equal, 0); // at most 7
    EXPECT_EQ(ZoomFactor(), 7);
    DialogSize(ZoomDialog(), &zw, &zh);
    EXPECT_EQ(zw, 1260);
    ZoomKey(XK_underscore, 0);
    EXPECT_EQ(ZoomFactor(), 6);
    ZoomKey(XK_KP_End, 0); // keypad 1 without NumLock
    ZoomKey(XK_minus, 0);  // at least 1
    EXPECT_EQ(ZoomFactor(), 1);
    ZoomKey(XK_Tab, 0);
    EXPECT_EQ(ZoomFactor(), 1);
    ZoomKey(XK_Escape, 0);
    Pump();
    EXPECT_EQ(ZoomDialog(), nullptr);
    EXPECT_EQ(ZoomWindow(), nullptr);
    EXPECT_TRUE(Named(app_shell, "disp").empty());
    ResetZoomData();
    EXPECT_EQ(ZoomFactor(), 2);
}

TEST_F(ClipZoomView, FollowsTheWindowsNewFrames) {
    ResetZoomData();
    FisicData *c = NewClip(5);
    WriteLog(c, 1);
    WindowData *w = NewWindow(c);
    WindowData *other = NewWindow(c);
    CreaZoomPlay(w);
    Pump();
    Widget dialog = ZoomDialog();
    CreaZoomPlay(other); // the same view, now for the other window
    EXPECT_EQ(ZoomDialog(), dialog);
    EXPECT_EQ(ZoomWindow(), other);
    other->current = 3;
    ShowFrame(other);
    Pump();
    std::vector<Widget> glx = Named(dialog, "glx");
    ASSERT_EQ(glx.size(), 1u);
    XImage *img =
        XGetImage(XtDisplay(glx[0]), XtWindow(glx[0]), 300, 250, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(img, nullptr);
    unsigned long p = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    int r, g, b;
    FrameColour(3, &r, &g, &b);
    EXPECT_NEAR(int((p >> 16) & 255), r, 12);
    EXPECT_NEAR(int((p >> 8) & 255), g, 12);
    EXPECT_NEAR(int(p & 255), b, 12);
    ZoomClose();
    Pump();
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
    // The view opens again for another window.
    CreaZoomPlay(keep);
    Pump();
    EXPECT_EQ(ZoomWindow(), keep);
    ZoomClose();
    Pump();
}

using ClipSetTimecode = ClipWinFixture;

TEST_F(ClipSetTimecode, ParsesOnlyValidTimecodes) {
    fps = 25;
    EXPECT_EQ(ParseStartTimecode("01:00:00:00"), 90000);
    EXPECT_EQ(ParseStartTimecode("00:00:01.05"), 30);
    EXPECT_EQ(ParseStartTimecode("00:60:00:00"), -1);
    EXPECT_EQ(ParseStartTimecode("00:00:00:25"), -1);
    EXPECT_EQ(ParseStartTimecode("0:00:00:00"), -1);
    EXPECT_EQ(ParseStartTimecode("garbage text"), -1);
    EXPECT_EQ(ParseStartTimecode(nullptr), -1);
}

TEST_F(ClipSetTimecode, DialogSetsTheSummaStart) {
    FisicData *c = NewClip(100);
    WindowData *s = NewWindow(c, 0, 1);
    master_tc = 0;
    s->current = 4;
    UpdateValue(s);
    Widget d = SetTimecodeDialog();
    ASSERT_NE(d, nullptr);
    Pump();
    EXPECT_EQ(TitleOf(d), "Set timecode");
    EXPECT_NE(ByLabel(d, "New start timecode:"), nullptr);
    std::vector<Widget> text = Named(d, "expText");
    ASSERT_EQ(text.size(), 1u);
    char *t = XmTextGetString(text[0]);
    EXPECT_STREQ(t, "00:00:00:00");
    XtFree(t);

    XmTextSetString(text[0], const_cast<char *>("00:61:00:00"));
    Press(ByLabel(d, "OK"));
    auto msgs = Messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0], "Start timecode not valid");
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

TEST_F(ClipDesktopCells, SlotPositions) {
    int x = 0, y = 0;
    EXPECT_EQ(WindowPosition(7, &x, &y, 0), 7);
    EXPECT_EQ(x, 208);
    EXPECT_EQ(y, 216);
    EXPECT_EQ(WindowPosition(0, &x, &y, 0), 0);
    EXPECT_EQ(x, XBORD);
    EXPECT_EQ(y, YBORD);
    EXPECT_EQ(WindowPosition(3, &x, &y, 1), 3);
    EXPECT_EQ(x, 3 * XLARG + XBORD);
    EXPECT_EQ(y, YBORD);
    // Next free cells: 0 on an empty desktop and master area.
    EXPECT_EQ(WindowPosition(-1, &x, &y, 0), 0);
    EXPECT_EQ(WindowPosition(-1, &x, &y, 1), 0);
}

TEST_F(ClipDesktopCells, NextFreeSlotFollowsTheLists) {
    FisicData *c = NewClip(3);
    WindowData *a = NewWindow(c);
    a->slot = 9; // the desktop may have gaps
    int x, y;
    EXPECT_EQ(WindowPosition(-1, &x, &y, 0), 10);
    EXPECT_EQ(x, 4 * XLARG + XBORD);
    EXPECT_EQ(y, YLARG + YBORD);
    WindowData *m = NewWindow(c, 1);
    EXPECT_EQ(m->slot, 0);
    EXPECT_EQ(WindowPosition(-1, &x, &y, 1), 1);
    EXPECT_EQ(x, XLARG + XBORD);
    // The master window stands before the desktop ones.
    EXPECT_EQ(first_window, m);
    EXPECT_EQ(first_work, a);
}

TEST_F(ClipDesktopCells, NewWindowIsScrolledIntoView) {
    FisicData *c = NewClip(3);
    WindowData *w = nullptr;
    for (int i = 0; i < 30; i++)
        w = NewWindow(c);
    Pump();
    EXPECT_EQ(w->slot, 29);
    int v = 0;
    XtVaGetValues(work_v, XmNvalue, &v, NULL);
    EXPECT_GT(v, 0); // the desktop scrolled down to the new window's row
}
