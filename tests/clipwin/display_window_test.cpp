// The full-size display window: keyboard frame navigation, field modes, the
// title, reading from the reel, failure messages and closing.
#include "clipwin_fixture.h"
#include <X11/keysym.h>

#include "desktop/desktop_area.h"
#include "desktop/display_window.h"
#include "desktop/zoom_view.h"

TEST(ClipGoToFrame, DigitsThenReturnClampToTheLastFrame) {
    int typed = 0;
    EXPECT_EQ(DoGoToFrame(0, &typed, 0, 10, XK_1), -1);
    EXPECT_EQ(DoGoToFrame(0, &typed, 0, 10, XK_2), -1);
    EXPECT_EQ(typed, 12);
    EXPECT_EQ(DoGoToFrame(0, &typed, 0, 10, XK_Return), 9);
    EXPECT_EQ(typed, 0);
    // Keypad keys without NumLock count by position, and KP_Enter ends.
    DoGoToFrame(0, &typed, 0, 100, XK_KP_End);   // 1
    DoGoToFrame(0, &typed, 0, 100, XK_KP_Prior); // 9
    EXPECT_EQ(DoGoToFrame(0, &typed, 0, 100, XK_KP_Enter), 18);
    DoGoToFrame(0, &typed, 0, 100, XK_KP_Insert);            // 0
    EXPECT_EQ(DoGoToFrame(0, &typed, 0, 100, XK_Return), 0); // "0" clamps to 0
    EXPECT_EQ(DoGoToFrame(0, &typed, 5, 100, XK_Return), 0); // nothing typed
}

TEST(ClipGoToFrame, MovesAndClamps) {
    int typed = 7;
    EXPECT_EQ(DoGoToFrame(0, &typed, 4, 10, XK_Up), 5);
    EXPECT_EQ(typed, 0);
    EXPECT_EQ(DoGoToFrame(0, &typed, 9, 10, XK_Right), 9);
    EXPECT_EQ(DoGoToFrame(0, &typed, 4, 10, XK_Left), 3);
    EXPECT_EQ(DoGoToFrame(0, &typed, 0, 10, XK_Down), 0);
    EXPECT_EQ(DoGoToFrame(0, &typed, 4, 10, XK_Prior), 9);
    EXPECT_EQ(DoGoToFrame(0, &typed, 4, 30, XK_Prior), 14);
    EXPECT_EQ(DoGoToFrame(0, &typed, 4, 10, XK_Next), 0);
    EXPECT_EQ(DoGoToFrame(0, &typed, 25, 30, XK_Next), 15);
    EXPECT_EQ(DoGoToFrame(0, &typed, 4, 10, XK_Home), 0);
    EXPECT_EQ(DoGoToFrame(0, &typed, 4, 10, XK_End), 9);
    typed = 0;
    DoGoToFrame(0, &typed, 0, 10, XK_3);
    EXPECT_EQ(DoGoToFrame(0, &typed, 0, 10, XK_BackSpace), -1);
    EXPECT_EQ(typed, 0);
    DoGoToFrame(0, &typed, 0, 10, XK_3);
    EXPECT_EQ(DoGoToFrame(0, &typed, 0, 10, XK_Delete), -1);
    EXPECT_EQ(typed, 0);
    EXPECT_EQ(DoGoToFrame(0, &typed, 0, 10, XK_a), -1);
    // While a key is being handled nothing moves.
    EXPECT_EQ(DoGoToFrame(DISP_BUSY, &typed, 4, 10, XK_Up), -1);
    EXPECT_EQ(DoGoToFrame(0, &typed, 0, 0, XK_Up), -1); // an empty window
}

TEST(ClipGoToFrame, ManyDigitsDoNotOverflow) {
    int typed = 0;
    for (int i = 0; i < 40; i++)
        DoGoToFrame(0, &typed, 0, 50, XK_9);
    EXPECT_GT(typed, 0);
    EXPECT_EQ(DoGoToFrame(0, &typed, 0, 50, XK_Return), 49);
}

TEST(ClipDisplayFields, LineDoubling) {
    const int w = 2, h = 5;
    std::vector<unsigned char> src(size_t(w) * h * 4), dst(src.size());
    for (int y = 0; y < h; y++)
        for (int i = 0; i < w * 4; i++)
            src[size_t(y * w * 4 + i)] = (unsigned char)(y + 1);
    auto row = [&](int y) { return dst[size_t(y * w * 4)]; };
    DispFieldImage(src.data(), dst.data(), w, h, 2);
    EXPECT_EQ(row(0), 1);
    EXPECT_EQ(row(1), 1);
    EXPECT_EQ(row(2), 3);
    EXPECT_EQ(row(3), 3);
    EXPECT_EQ(row(4), 5);
    DispFieldImage(src.data(), dst.data(), w, h, 1);
    EXPECT_EQ(row(0), 2);
    EXPECT_EQ(row(1), 2);
    EXPECT_EQ(row(2), 4);
    EXPECT_EQ(row(3), 4);
    EXPECT_EQ(row(4), 5); // the missing row 5 falls back to the last one
    DispFieldImage(src.data(), dst.data(), w, h, 3);
    EXPECT_EQ(src, dst);
}

using ClipDisplayWindow = ClipWinFixture;

namespace {
std::string ShellTitle(Widget dialog) {
    return TitleOf(dialog);
}
} // namespace

TEST_F(ClipDisplayWindow, OpensReadsTheReelAndNavigates) {
    FisicData *c = NewClip(6);
    WriteReel(c, dir + "/tape_3a98_3b60_1.svj");
    WindowData *w = NewWindow(c);
    w->start = 15000;
    DispData *d = DispOpen(w);
    ASSERT_NE(d, nullptr);
    Pump();
    EXPECT_EQ(w->disp, d);
    ASSERT_EQ(Named(app_shell, "disp").size(), 1u);
    EXPECT_EQ(ShellTitle(d->dialog), "tape   00:10:00:00   Frame  1/6");
    EXPECT_EQ(d->width, 720);
    EXPECT_EQ(d->height, 576);
    EXPECT_EQ(d->last_read, 0);
    EXPECT_TRUE(PixelIsFrame(d->image + 4 * (288 * 720 + 360), 0));
    EXPECT_TRUE(Messages().empty());

    DispKey(d, XK_3);
    DispKey(d, XK_Return);
    EXPECT_EQ(w->current, 2);
    EXPECT_EQ(ShellTitle(d->dialog), "tape   00:10:00:02   Frame  3/6");
    EXPECT_TRUE(PixelIsFrame(d->image + 4 * (288 * 720 + 360), 2));
    EXPECT_EQ(LabelOf(w->frame_label), "3"); // the clip window follows
    DispKey(d, XK_End);
    EXPECT_EQ(w->current, 5);
    EXPECT_TRUE(PixelIsFrame(d->image, 5));

    DispKey(d, XK_e);
    EXPECT_EQ(d->field_mode, 1);
    DispKey(d, XK_O);
    EXPECT_EQ(d->field_mode, 2);
    DispKey(d, XK_space);
    EXPECT_EQ(d->field_mode, 3);

    // A second middle click brings the display to the window's frame.
    w->current = 1;
    EXPECT_EQ(DispOpen(w), d);
    EXPECT_EQ(d->shown, 1);
    EXPECT_EQ(ShellTitle(d->dialog), "tape   00:10:00:01   Frame  2/6");

    DispKey(d, XK_Escape);
    Pump();
    EXPECT_EQ(w->disp, nullptr);
    EXPECT_TRUE(Named(app_shell, "disp").empty());
}

TEST_F(ClipDisplayWindow, MissingReelClearsAndSaysSo) {
    FisicData *c = NewClip(4);
    c->path = strdup((dir + "/gone.svj").c_str());
    WindowData *w = NewWindow(c);
    DispData *d = DispOpen(w);
    ASSERT_NE(d, nullptr);
    Pump(); // the message waits for the first expose
    auto msgs = Messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0], "The original file is missing or corrupted");
    EXPECT_EQ(d->image[1000], 0);
    EXPECT_EQ(ShellTitle(d->dialog), "gone.svj   00:00:00:00   Frame  1/4");
    CloseMessages();
    DispExit(d);
    Pump();
    EXPECT_EQ(w->disp, nullptr);
}

TEST_F(ClipDisplayWindow, ClipBeingWrittenSaysTryLater) {
    FisicData *c = NewClip(4);
    c->path = strdup((dir + "/busy.svj").c_str());
    c->busy = 1;
    WindowData *w = NewWindow(c);
    DispData *d = DispOpen(w);
    ASSERT_NE(d, nullptr);
    Pump();
    auto msgs = Messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0], "The file is being created. Try again later.");
    EXPECT_TRUE(d->flags & DISP_MISSING);
    CloseMessages();
    c->busy = 0;
}

TEST_F(ClipDisplayWindow, ClosedWhileHandlingAKey) {
    FisicData *c = NewClip(4);
    WriteReel(c, dir + "/r.svj");
    WindowData *w = NewWindow(c);
    DispData *d = DispOpen(w);
    ASSERT_NE(d, nullptr);
    Pump();
    // The window manager's close arrives while the key's events are handled.
    XtAppAddTimeOut(
        app, 0, [](XtPointer p, XtIntervalId *) { DispExit(static_cast<DispData *>(p)); }, d);
    DispKey(d, XK_space);
    Pump();
    EXPECT_EQ(w->disp, nullptr);
    EXPECT_TRUE(Named(app_shell, "disp").empty());
}

TEST_F(ClipDisplayWindow, MiddleClickRoutes) {
    FisicData *c = NewClip(4);
    WriteLog(c, 1);
    WindowData *w = NewWindow(c);
    XEvent ev{};
    ev.type = ButtonPress;
    ev.xbutton.button = Button2;
    ev.xbutton.state = ShiftMask;
    Boolean cont = True;
    BtnPress(w->glw, w, &ev, &cont);
    Pump();
    EXPECT_EQ(ZoomWindow(), w);
    EXPECT_EQ(w->disp, nullptr);
    ZoomClose();
    ev.xbutton.state = 0;
    isPlayActive = 1; // nothing during playback
    BtnPress(w->glw, w, &ev, &cont);
    EXPECT_EQ(w->disp, nullptr);
    isPlayActive = 0;
    BtnPress(w->glw, w, &ev, &cont);
    Pump();
    EXPECT_NE(w->disp, nullptr);
    CloseMessages(); // the log-only clip has no reel to show at full size
    DispExit(w->disp);
    Pump();
}
