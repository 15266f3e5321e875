// Frame fetch: log parts (right part and entry, pixels decoded and drawn), the
// reel at an eighth when the log part is missing, and the failure paths that
// must leave the picture alone.
#include "clipwin_fixture.h"
#include <X11/Xutil.h>

#include <functional>

#include "desktop/frame_display.h"

namespace {

// True when the window shows frame f's colour at x, y (24-bit TrueColor).
bool ScreenIsFrame(Widget w, int x, int y, int f) {
    XImage *img = XGetImage(XtDisplay(w), XtWindow(w), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return false;
    const unsigned long p = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    unsigned char px[4] = {0, (unsigned char)(p & 255), (unsigned char)((p >> 8) & 255),
                           (unsigned char)((p >> 16) & 255)};
    return PixelIsFrame(px, f);
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
        EXPECT_TRUE(PixelIsFrame(PictureCentre(w), f)) << f;
    }
    Pump();
    EXPECT_TRUE(ScreenIsFrame(w->glw, 0, 0, 22));
    EXPECT_TRUE(ScreenIsFrame(w->glw, 179, 143, 22));
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
    EXPECT_TRUE(ScreenIsFrame(w->glw, 179, 143, 3)); // drawn magnified twice
    w->current = 4;
    ShowFrame(w);
    EXPECT_EQ(w->source, 1);
    EXPECT_TRUE(PixelIsFrame(PictureCentre(w), 4));
}

TEST_F(ClipFrameFetch, BrokenLogPartsDrawNothing) {
    struct Row {
        const char *what;
        int frame;
        std::function<void(LogPart &)> spoil;
    } rows[] = {
        {"short part file", 5,
         [](LogPart &p) { ASSERT_EQ(truncate(p.file, p.offsets[5] + 10), 0); }},
        {"part file gone", 1, [](LogPart &p) { unlink(p.file); }},
        {"negative size", 1, [](LogPart &p) { p.sizes[1] = -5; }},
        {"huge size", 1, [](LogPart &p) { p.sizes[1] = 1 << 30; }},
        {"negative offset", 1, [](LogPart &p) { p.offsets[1] = -4; }},
        {"offset past the end", 1, [](LogPart &p) { p.offsets[1] = 1 << 28; }},
        {"garbage for a picture", 3, [](LogPart &p) { p.offsets[3] += 8; }},
    };
    for (const Row &r : rows) {
        FisicData *c = NewClip(8);
        WriteLog(c, 1);
        WindowData *w = NewWindow(c);
        w->current = 2;
        ShowFrame(w);
        ASSERT_TRUE(PixelIsFrame(PictureCentre(w), 2)) << r.what;
        r.spoil(c->part[0]);
        const std::vector<unsigned char> before(w->image, w->image + 180 * 144 * 4);
        w->source = 7;
        w->current = r.frame;
        ShowFrame(w);
        EXPECT_EQ(w->source, 7) << r.what;
        EXPECT_TRUE(std::equal(before.begin(), before.end(), w->image)) << r.what;
    }
    // Frames outside the clip and a buffer too small are refused too.
    FisicData *c = clips.back();
    std::vector<unsigned char> out(180 * 144 * 4);
    EXPECT_EQ(ReadLogPicture(c, 8, out.data(), long(out.size())), 0);
    EXPECT_EQ(ReadLogPicture(c, -1, out.data(), long(out.size())), 0);
    EXPECT_EQ(ReadLogPicture(c, 2, out.data(), long(out.size()) - 4), 0);
    EXPECT_EQ(ReadLogPicture(c, 2, out.data(), long(out.size())), 1);
}
