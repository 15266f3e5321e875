// Tests of the UYVY/RGB colour converters and of fitting pictures into the
// video frame. Expected values are worked out by hand from the fixed-point
// coefficients, not taken from the code under test.
#include <gtest/gtest.h>

#include <vector>

#include "media/fit.h"
#include "media/pixels.h"
#include "media/video_globals.h"

namespace {

using Bytes = std::vector<unsigned char>;

TEST(Pixels, UyvyToRgbInEveryForm) {
    const struct {
        Bytes uyvy, rgb;
    } cases[] = {
        {{0x80, 0x10, 0x80, 0x10}, Bytes(6, 0)},   // black
        {{0x80, 0xEB, 0x80, 0xEB}, Bytes(6, 255)}, // white
        // Y below 16 counts as 16: R = 104635 * 16 -> 25 (not 6 from y = -16).
        {{0x70, 0x00, 0x90, 0x05}, {25, 0, 0, 25, 0, 0}},
        // U = V = 240: R, B clamp to 255; G = 16711890 - 112 * 78984 -> 120.
        {{240, 235, 240, 235}, {255, 120, 255, 255, 120, 255}},
        // U = V = 16: R, B clamp to 0; G = 112 * 78984 -> 134.
        {{16, 16, 16, 16}, {0, 134, 0, 0, 134, 0}},
        // u = -38, v = 72, y = 84, 34: R0 = 13943760 -> 212, G1 < 0, ...
        {{90, 100, 200, 50}, {212, 54, 21, 154, 0, 0}},
    };
    for (const auto &c : cases) {
        Bytes src = c.uyvy, pic(9, 7), want = c.rgb;
        src.insert(src.end(), {0x80, 0xEB, 0x80, 0xEB});
        want.insert(want.end(), 3, 7);
        UYVYtoPIC(src.data(), pic.data(), 3); // an odd count converts one pair
        EXPECT_EQ(pic, want);
        std::vector<unsigned short> R(2), G(2), B(2);
        Bytes r8(2), g8(2), b8(2), bgr(6);
        UYVYtoRGB(src.data(), R.data(), G.data(), B.data(), 2);
        UYVYtoTGA(src.data(), r8.data(), g8.data(), b8.data(), 2);
        UYVYtoBGR(bgr.data(), src.data(), 2, 1);
        for (int x = 0; x < 2; ++x) {
            const unsigned char *e = &c.rgb[size_t(x) * 3];
            EXPECT_TRUE(R[x] == e[0] && G[x] == e[1] && B[x] == e[2]) << x;
            EXPECT_TRUE(r8[x] == e[0] && g8[x] == e[1] && b8[x] == e[2]) << x;
            EXPECT_TRUE(bgr[x * 3] == e[2] && bgr[x * 3 + 1] == e[1] && bgr[x * 3 + 2] == e[0]);
        }
    }
}

TEST(Pixels, RgbToUyvyInBothForms) {
    // Four flat pixels, worked from the coefficients by hand: the first pair
    // lacks a left neighbour in the chroma filter and the second carries the
    // fractions of the first.
    const struct {
        unsigned char r, g, b;
        Bytes uyvy;
    } cases[] = {{0, 0, 0, {0x80, 0x10, 0x80, 0x10, 0x80, 0x10, 0x80, 0x10}},
                 {255, 255, 255, {0x80, 0xEB, 0x80, 0xEB, 0x80, 0xEB, 0x80, 0xEB}},
                 {255, 0, 0, {99, 81, 211, 81, 90, 82, 240, 81}},
                 {0, 255, 0, {72, 144, 57, 145, 54, 144, 34, 145}},
                 {0, 0, 255, {211, 40, 114, 41, 240, 41, 110, 41}}};
    for (const auto &c : cases) {
        const Bytes packed = {c.r, c.g, c.b, c.r, c.g, c.b, c.r, c.g, c.b, c.r, c.g, c.b};
        Bytes out(8);
        PICtoUYVY(&packed[0], &packed[1], &packed[2], out.data(), 4, 3);
        EXPECT_EQ(out, c.uyvy);
        std::vector<unsigned short> R(4, c.r), G(4, c.g), B(4, c.b);
        RGBtoUYVY(R.data(), G.data(), B.data(), out.data(), 4, 1);
        EXPECT_EQ(out, c.uyvy);
    }
}

// Fitting ---------------------------------------------------------------------

constexpr int VX = 720, VY = 576;

// A field-sequential source whose pixel (x, picture line y) encodes x and y.
Bytes source(int w, int h) {
    Bytes s(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char *p = &s[(size_t(y / 2 + (h / 2) * (y % 2)) * w + x) * 3];
            p[0] = static_cast<unsigned char>(x), p[1] = static_cast<unsigned char>(y);
            p[2] = static_cast<unsigned char>(((x >> 8) << 4) | (y >> 8));
        }
    return s;
}

TEST(Fit, PicturesAreScaledAndCentred) {
    SetVideoMode(0);
    using FitFn = void (*)(const unsigned char *, unsigned char *, int, int);
    const struct {
        FitFn fit;
        int w, h, s, left, top, cols, rows, field_line;
    } cases[] = {
        {ScaleBufferInterp, 360, VY, 1, 180, 0, 360, 288, 0}, // height-bound
        {ScaleBuffer, 360, VY, 1, 180, 0, 360, 288, 0},
        {ScaleBuffer, 1440, VY, 2, 0, 72, 720, 144, 0}, // width-bound
        {CopyBuffer, 100, 50, 1, 310, 131, 100, 25, 1}, // no scaling, both fields
    };
    for (const auto &c : cases) {
        Bytes frame(size_t(VX) * VY * 3, 0x77);
        c.fit(source(c.w, c.h).data(), frame.data(), c.w, c.h);
        for (int f = 0; f < 2; ++f)
            for (int r = 0; r < VY / 2; r += 3)
                for (int x = 0; x < VX; x += 7) {
                    const unsigned char *p = &frame[((size_t(f) * (VY / 2) + r) * VX + x) * 3];
                    const int sx = (x - c.left) * c.s,
                              sy = 2 * (r - c.top) * c.s + f * c.field_line;
                    const bool in =
                        x >= c.left && x < c.left + c.cols && r >= c.top && r < c.top + c.rows;
                    const Bytes want = {
                        static_cast<unsigned char>(in ? sx : 0),
                        static_cast<unsigned char>(in ? sy : 0),
                        static_cast<unsigned char>(in ? ((sx >> 8) << 4) | (sy >> 8) : 0)};
                    ASSERT_EQ(Bytes(p, p + 3), want) << c.w << " " << f << " " << r << " " << x;
                }
    }
}

TEST(Fit, InterpolationBlendsNeighbours) {
    SetVideoMode(0);
    // 360 x 288 doubles: odd columns lie half-way between two source pixels.
    Bytes src(360 * 288 * 3), frame(size_t(VX) * VY * 3);
    for (size_t i = 0; i < src.size(); i += 3)
        src[i] = (i / 3) % 2 ? 21 : 10;
    ScaleBufferInterp(src.data(), frame.data(), 360, 288);
    EXPECT_EQ(Bytes({frame[0], frame[3], frame[6]}), Bytes({10, 15, 21})); // 15.5 truncated
    ScaleBuffer(src.data(), frame.data(), 360, 288);
    EXPECT_EQ(frame[3], 10);
}

TEST(Fit, OddHeightLosesItsLastLine) {
    SetVideoMode(0);
    // 100 x 51 fits as 100 x 50: the source row of line 50 is ignored.
    Bytes odd = source(100, 50), even = odd;
    odd.resize(odd.size() + 300, 0xFF);
    for (auto fit : {ScaleBufferInterp, CopyBuffer}) {
        Bytes want(size_t(VX) * VY * 3), got(want.size());
        fit(even.data(), want.data(), 100, 50);
        fit(odd.data(), got.data(), 100, 51);
        EXPECT_EQ(got, want);
    }
}

} // namespace
