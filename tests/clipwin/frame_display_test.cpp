// Frame fetch: log parts (right part and entry, pixels decoded), the reel at
// an eighth when the log part is missing, what reaches the screen, and the
// failure paths that must leave the picture alone.
#include "clipwin_fixture.h"
#include <X11/Xutil.h>

#include "desktop/frame_display.h"

namespace {

// Colour of the window's picture on the screen at x, y.
void ScreenPixel(Widget w, int x, int y, int *r, int *g, int *b) {
    XImage *img = XGetImage(XtDisplay(w), XtWindow(w), x, y, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(img, nullptr);
    unsigned long p = XGetPixel(img, 0, 0);
    auto channel = [p](unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            shift++;
        }
        return int((p >> shift) & mask);
    };
    *r = channel(img->red_mask);
    *g = channel(img->green_mask);
    *b = channel(img->blue_mask);
    XDestroyImage(img);
}

bool ScreenIsFrame(Widget w, int x, int y, int f) {
    int r = -1000, g = -1000, b = -1000, er, eg, eb;
    ScreenPixel(w, x, y, &r, &g, &b);
    FrameColour(f, &er, &eg, &eb);
    return std::abs(r - er) <= 12 && std::abs(g - eg) <= 12 && std::abs(b - eb) <= 12;
}

const unsigned char *Centre(WindowData *w) {
    return w->image + 4 * (72 * 180 + 90);
}

} // namespace

using ClipFrameFetch = ClipWinFixture;

TEST_F(ClipFrameFetch, LogFramesComeFromTheRightPartAndEntry) {
    FisicData *c = NewClip(23);
    WriteLog(c, 3);
    WindowData *w = NewWindow(c);
    for (int f : {0, 1, 2, 3, 10, 22}) {
        w->current = f;
        w->source = 2;
        ShowFrame(w);
        EXPECT_EQ(w->source, 1) << f;
        EXPECT_TRUE(PixelIsFrame(Centre(w), f)) << f;
    }
    Pump();
    EXPECT_TRUE(ScreenIsFrame(w->glw, 90, 72, 22));
    EXPECT_TRUE(ScreenIsFrame(w->glw, 0, 0, 22));
    EXPECT_TRUE(ScreenIsFrame(w->glw, 179, 143, 22));
}

TEST_F(ClipFrameFetch, BackwardSegmentMapsWindowFrames) {
    FisicData *c = NewClip(10);
    WriteLog(c, 2);
    WindowData *w = NewWindow(c);
    w->seg_first->first = 9; // the whole clip backwards
    w->seg_first->last = 0;
    w->current = 2;
    ShowFrame(w);
    EXPECT_TRUE(PixelIsFrame(Centre(w), 7));
}

TEST_F(ClipFrameFetch, MissingLogPartReadsTheReelAtAnEighth) {
    FisicData *c = NewClip(6);
    WriteReel(c, dir + "/tape_3a98_3b60_1.svj");
    WriteLog(c, 2);
    c->part[1].ready = 0; // odd frames are not in the log yet
    WindowData *w = NewWindow(c);
    w->current = 3;
    ShowFrame(w);
    EXPECT_EQ(w->source, 2);
    // The eighth-size picture (90 x 72) fills the top-left quarter of image.
    EXPECT_TRUE(PixelIsFrame(w->image + 4 * (36 * 90 + 45), 3));
    Pump();
    EXPECT_TRUE(ScreenIsFrame(w->glw, 90, 72, 3)); // drawn magnified twice
    EXPECT_TRUE(ScreenIsFrame(w->glw, 179, 143, 3));
    w->current = 4;
    ShowFrame(w);
    EXPECT_EQ(w->source, 1);
    EXPECT_TRUE(PixelIsFrame(Centre(w), 4));
}

TEST_F(ClipFrameFetch, ShortPartFileDrawsNothing) {
    FisicData *c = NewClip(8);
    WriteLog(c, 1);
    WindowData *w = NewWindow(c);
    w->current = 2;
    ShowFrame(w);
    ASSERT_TRUE(PixelIsFrame(Centre(w), 2));
    // Cut the part file inside frame 5's picture.
    ASSERT_EQ(truncate(c->part[0].file, c->part[0].offsets[5] + 10), 0);
    std::vector<unsigned char> before(w->image, w->image + 180 * 144 * 4);
    w->current = 5;
    ShowFrame(w);
    EXPECT_EQ(w->source, 1);
    EXPECT_EQ(std::memcmp(before.data(), w->image, before.size()), 0);
    // A part file that is gone altogether.
    unlink(c->part[0].file);
    w->current = 1;
    ShowFrame(w);
    EXPECT_EQ(std::memcmp(before.data(), w->image, before.size()), 0);
}

TEST_F(ClipFrameFetch, BadTableEntriesAreRefused) {
    FisicData *c = NewClip(8);
    WriteLog(c, 1);
    NewWindow(c);
    const long cap = 180L * 144 * 4;
    std::vector<unsigned char> out(size_t(cap), 0xEE);
    const int size1 = c->part[0].sizes[1], offset1 = c->part[0].offsets[1];
    c->part[0].sizes[1] = -5;
    EXPECT_EQ(ReadLogPicture(c, 1, out.data(), cap), 0);
    c->part[0].sizes[1] = 1 << 30;
    EXPECT_EQ(ReadLogPicture(c, 1, out.data(), cap), 0);
    c->part[0].sizes[1] = size1;
    c->part[0].offsets[1] = -4;
    EXPECT_EQ(ReadLogPicture(c, 1, out.data(), cap), 0);
    c->part[0].offsets[1] = 1 << 28; // beyond the file's end
    EXPECT_EQ(ReadLogPicture(c, 1, out.data(), cap), 0);
    c->part[0].offsets[1] = offset1; // the good entry reads again
    EXPECT_EQ(ReadLogPicture(c, 1, out.data(), cap), 1);
    EXPECT_TRUE(PixelIsFrame(out.data(), 1));
    EXPECT_EQ(ReadLogPicture(c, 8, out.data(), cap), 0);     // past the clip
    EXPECT_EQ(ReadLogPicture(c, -1, out.data(), cap), 0);    // before it
    EXPECT_EQ(ReadLogPicture(c, 2, out.data(), cap - 4), 0); // buffer too small
    // Garbage where the JPEG should be.
    c->part[0].offsets[3] = c->part[0].offsets[3] + 8;
    std::fill(out.begin(), out.end(), 0xEE);
    EXPECT_EQ(ReadLogPicture(c, 3, out.data(), cap), 0);
    EXPECT_EQ(out[0], 0xEE); // a failed decode leaves the buffer alone
}
