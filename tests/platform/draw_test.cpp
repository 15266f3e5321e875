// The drawing layer: pictures land bottom-up at the window's bottom-left,
// magnified by the zoom, and a window that was resized is measured again once
// it is forgotten.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <vector>

#include "platform/draw.h"

namespace {

unsigned long PixelAt(Display *dpy, Window win, int x, int y) {
    XImage *img = XGetImage(dpy, win, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return ~0ul;
    const unsigned long p = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    return p;
}

TEST(DrawTest, PicturesLandAtTheBottomLeftOfTheWindowAsItIsNow) {
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) GTEST_SKIP() << "no display";
    const int screen = DefaultScreen(dpy);
    if (DefaultDepth(dpy, screen) < 24) GTEST_SKIP() << "needs a true-colour screen";
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    attrs.background_pixel = 0;
    Window win =
        XCreateWindow(dpy, RootWindow(dpy, screen), 0, 0, 40, 30, 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWBackPixel, &attrs);
    XMapRaised(dpy, win);
    XSync(dpy, False);

    // A 4 x 2 picture: bottom row red, top row green (A, B, G, R bytes).
    std::vector<unsigned char> pic(4 * 2 * 4, 0);
    for (int x = 0; x < 4; x++) {
        pic[size_t(x) * 4 + 3] = 255;     // row 0, the bottom one: red
        pic[size_t(4 + x) * 4 + 2] = 255; // row 1: green
    }
    const unsigned long red = 0xff0000, green = 0x00ff00;
    GLXwinset(dpy, win);
    rectzoom(2, 2);
    lrectwrite(0, 0, 3, 1, pic.data());
    XSync(dpy, False);
    // Zoom 2: the picture covers x 0..7 and the 4 lowest lines of 30.
    EXPECT_EQ(PixelAt(dpy, win, 0, 29) & 0xffffff, red);
    EXPECT_EQ(PixelAt(dpy, win, 7, 26) & 0xffffff, green);
    EXPECT_EQ(PixelAt(dpy, win, 0, 25) & 0xffffff, 0u);

    // The window grows: once forgotten, the next draw lands at its new bottom.
    XResizeWindow(dpy, win, 40, 50);
    XSync(dpy, False);
    GLXforget(win);
    GLXwinset(dpy, win);
    lrectwrite(0, 0, 3, 1, pic.data());
    XSync(dpy, False);
    EXPECT_EQ(PixelAt(dpy, win, 0, 49) & 0xffffff, red);
    EXPECT_EQ(PixelAt(dpy, win, 7, 46) & 0xffffff, green);
    rectzoom(1, 1);

    GLXforget(win);
    XDestroyWindow(dpy, win);
    XCloseDisplay(dpy);
}

} // namespace
