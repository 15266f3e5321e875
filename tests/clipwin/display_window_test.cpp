// The full-size display window: keyboard frame navigation, field modes, the
// title, reading from the reel and the failure message.
#include "clipwin_fixture.h"
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "desktop/display_window.h"
#include "editing/image_seq.h"
#include "media/img_tga.h"

TEST(ClipGoToFrame, KeyRules) {
    std::vector<KeySym> nines(40, XK_9), nines_return = nines;
    nines_return.push_back(XK_Return);
    struct Row {
        int flags, typed, current, total;
        std::vector<KeySym> keys;
        int frame, typed_after; // result of the last key, number typed after it
    } rows[] = {
        {0, 0, 0, 10, {XK_1, XK_2}, -1, 12},
        {0, 0, 0, 10, {XK_1, XK_2, XK_Return}, 9, 0},                 // clamped to the last frame
        {0, 0, 0, 100, {XK_KP_End, XK_KP_Prior, XK_KP_Enter}, 18, 0}, // keypad, no NumLock
        {0, 0, 0, 100, {XK_KP_Insert, XK_Return}, 0, 0},
        {0, 0, 5, 100, {XK_Return}, 0, 0}, // nothing typed
        {0, 7, 4, 10, {XK_Up}, 5, 0},
        {0, 0, 9, 10, {XK_Right}, 9, 0},
        {0, 0, 4, 10, {XK_Left}, 3, 0},
        {0, 0, 0, 10, {XK_Down}, 0, 0},
        {0, 0, 4, 10, {XK_Prior}, 9, 0},
        {0, 0, 4, 30, {XK_Prior}, 14, 0},
        {0, 0, 4, 10, {XK_Next}, 0, 0},
        {0, 0, 25, 30, {XK_Next}, 15, 0},
        {0, 0, 4, 10, {XK_Home}, 0, 0},
        {0, 0, 4, 10, {XK_End}, 9, 0},
        {0, 0, 0, 10, {XK_3, XK_BackSpace}, -1, 0},
        {0, 0, 0, 10, {XK_3, XK_Delete}, -1, 0},
        {0, 0, 0, 10, {XK_3, XK_a}, -1, 3},
        {0, 0, 0, 50, nines, -1, 999999999}, // saturates, no overflow
        {0, 0, 0, 50, nines_return, 49, 0},
        {DISP_BUSY, 0, 4, 10, {XK_Up}, -1, 0}, // while a key is being handled
        {0, 0, 0, 0, {XK_Up}, -1, 0},          // an empty window
    };
    int i = 0;
    for (const Row &r : rows) {
        int typed = r.typed, frame = -2;
        for (KeySym k : r.keys)
            frame = DoGoToFrame(r.flags, &typed, r.current, r.total, k);
        EXPECT_EQ(frame, r.frame) << "row " << i;
        EXPECT_EQ(typed, r.typed_after) << "row " << i++;
    }
}

TEST(ClipDisplayFields, LineDoubling) {
    const int w = 2, h = 5;
    std::vector<unsigned char> src(size_t(w) * h * 4), dst(src.size());
    for (size_t i = 0; i < src.size(); i++)
        src[i] = (unsigned char)(i / (w * 4) + 1); // row y holds y + 1
    const std::vector<int> want[] = {{2, 2, 4, 4, 5}, {1, 1, 3, 3, 5}, {1, 2, 3, 4, 5}};
    for (int mode = 1; mode <= 3; mode++) {
        DispFieldImage(src.data(), dst.data(), w, h, mode);
        std::vector<int> rows;
        for (int y = 0; y < h; y++)
            rows.push_back(dst[size_t(y * w * 4)]);
        EXPECT_EQ(rows, want[mode - 1]) << "mode " << mode;
    }
}

using ClipDisplayWindow = ClipWinFixture;

TEST_F(ClipDisplayWindow, OpensReadsTheReelAndNavigates) {
    FisicData *c = NewClip(6);
    WriteReel(c, dir + "/tape_3a98_3b60_1.svj");
    WindowData *w = NewWindow(c);
    w->start = 15000;
    DispData *d = DispOpen(w);
    ASSERT_NE(d, nullptr);
    Pump();
    EXPECT_EQ(w->disp, d);
    EXPECT_EQ(TitleOf(d->dialog), "tape   00:10:00:00   Frame  1/6");
    EXPECT_EQ(d->width, 720);
    EXPECT_EQ(d->height, 576);
    const size_t centre = 4 * (288 * 720 + 360);
    EXPECT_TRUE(PixelIsFrame(d->image + centre, 0));
    EXPECT_TRUE(Messages().empty());

    DispKey(d, XK_3);
    DispKey(d, XK_Return);
    EXPECT_EQ(w->current, 2);
    EXPECT_EQ(TitleOf(d->dialog), "tape   00:10:00:02   Frame  3/6");
    EXPECT_TRUE(PixelIsFrame(d->image + centre, 2));
    EXPECT_EQ(LabelOf(w->frame_label), "3"); // the clip window follows

    const std::pair<KeySym, int> modes[] = {{XK_e, 1}, {XK_O, 2}, {XK_space, 3}};
    for (auto [key, mode] : modes) {
        DispKey(d, key);
        EXPECT_EQ(d->field_mode, mode) << key;
    }
    // A key typed while another is handled is dropped, not handled after it.
    Pump();
    ASSERT_TRUE(d->glw && XtIsRealized(d->glw));
    XEvent typed{};
    typed.xkey.type = KeyPress;
    typed.xkey.display = XtDisplay(d->glw);
    typed.xkey.window = XtWindow(d->glw);
    typed.xkey.keycode = XKeysymToKeycode(XtDisplay(d->glw), XK_o);
    XSendEvent(XtDisplay(d->glw), XtWindow(d->glw), False, KeyPressMask, &typed);
    XFlush(XtDisplay(d->glw));
    DispKey(d, XK_e);
    Pump();
    EXPECT_EQ(d->field_mode, 1);
    DispKey(d, XK_Escape);
    Pump();
    EXPECT_EQ(w->disp, nullptr);
    EXPECT_TRUE(Named(app_shell, "disp").empty());
}

// What reaches the screen: the whole picture, or one field with each of its
// lines shown twice. Picture rows go up from the bottom of the window.
TEST_F(ClipDisplayWindow, DrawsTheWholePictureOrOneFieldDoubled) {
    FisicData *c = NewClip(2);
    WriteReel(c, dir + "/tape_3a98_3b60_1.svj");
    DispData *d = DispOpen(NewWindow(c));
    ASSERT_NE(d, nullptr);
    Pump();
    ASSERT_TRUE(d->glw && XtIsRealized(d->glw));
    const int w = 8, h = 6;
    std::vector<unsigned char> picture(size_t(w) * h * 4);
    for (size_t i = 0; i < picture.size(); i++)
        picture[i] = i % 4 ? (unsigned char)(20 + 30 * (i / (w * 4))) : 0; // grey 20 + 30 row
    Display *dpy = XtDisplay(d->glw);
    const std::vector<int> want[] = {{1, 1, 3, 3, 5, 5}, {0, 0, 2, 2, 4, 4}, {0, 1, 2, 3, 4, 5}};
    for (int mode = FIELD_ODD; mode <= FIELD_FULL; mode++) {
        DispDrawPicture(d->glw, picture.data(), w, h, mode);
        XSync(dpy, False);
        XImage *img = XGetImage(dpy, XtWindow(d->glw), 2, d->height - h, 1, h, AllPlanes, ZPixmap);
        ASSERT_NE(img, nullptr);
        std::vector<int> rows; // picture rows, bottom up
        for (int y = h - 1; y >= 0; y--)
            rows.push_back(int((XGetPixel(img, 0, y) & 255) - 20) / 30);
        XDestroyImage(img);
        EXPECT_EQ(rows, want[mode - 1]) << "mode " << mode;
    }
}

// A picture-sequence clip is read file by file; a frame file of another size
// is reported as damaged.
TEST_F(ClipDisplayWindow, ReadsAPictureSequence) {
    FisicData *c = NewClip(3);
    c->pic = new ImageLogInfo;
    c->pic->pattern = strdup((dir + "/pic").c_str());
    c->pic->first = 1;
    c->pic->last = 3;
    c->pic->ext = 1; // Targa
    c->pic->style = 1;
    std::vector<unsigned char> rgb(size_t(720) * 576 * 3);
    for (int f = 0; f < 2; f++) {
        int r, g, b;
        FrameColour(f, &r, &g, &b);
        for (size_t i = 0; i < rgb.size(); i += 3)
            rgb[i] = (unsigned char)b, rgb[i + 1] = (unsigned char)g, rgb[i + 2] = (unsigned char)r;
        ASSERT_EQ(
            glototga(ImgFrameName(c->pic->pattern, 1, 1, f + 1).c_str(), 720, 576, rgb.data()), 1);
    }
    ASSERT_EQ(glototga(ImgFrameName(c->pic->pattern, 1, 1, 3).c_str(), 16, 16, rgb.data()), 1);
    WindowData *w = NewWindow(c);
    DispData *d = DispOpen(w);
    ASSERT_NE(d, nullptr);
    Pump();
    const size_t centre = 4 * (288 * 720 + 360);
    EXPECT_TRUE(PixelIsFrame(d->image + centre, 0));
    DispKey(d, XK_Right);
    EXPECT_TRUE(PixelIsFrame(d->image + centre, 1));
    EXPECT_TRUE(Messages().empty());
    DispKey(d, XK_Right);
    Pump();
    EXPECT_EQ(Messages(), std::vector<std::string>{"The original file is missing or corrupted"});
    CloseMessages();
    DispExit(d);
    Pump();
}

TEST_F(ClipDisplayWindow, MissingReelClearsAndSaysSo) {
    FisicData *c = NewClip(4);
    c->path = strdup((dir + "/gone.svj").c_str());
    WindowData *w = NewWindow(c);
    DispData *d = DispOpen(w);
    ASSERT_NE(d, nullptr);
    Pump(); // the message waits for the first expose
    EXPECT_EQ(Messages(), std::vector<std::string>{"The original file is missing or corrupted"});
    EXPECT_EQ(d->image[1000], 0);
    EXPECT_EQ(TitleOf(d->dialog), "gone.svj   00:00:00:00   Frame  1/4");
    CloseMessages();
    DispExit(d);
    Pump();
    EXPECT_EQ(w->disp, nullptr);
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
