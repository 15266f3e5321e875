// Tests of the UYVY/RGB colour converters and of fitting pictures into the
// video frame. Expected values are worked out by hand from the fixed-point
// coefficients, not taken from the code under test.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "media/fit.h"
#include "media/pixels.h"
#include "media/video_globals.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes uyvy(std::initializer_list<int> v) {
    return Bytes(v.begin(), v.end());
}

TEST(UyvyToRgb, BlackAndWhite) {
    Bytes rgb(6, 0x55);
    UYVYtoPIC(uyvy({0x80, 0x10, 0x80, 0x10}).data(), rgb.data(), 2);
    EXPECT_EQ(rgb, Bytes(6, 0));
    UYVYtoPIC(uyvy({0x80, 0xEB, 0x80, 0xEB}).data(), rgb.data(), 2);
    EXPECT_EQ(rgb, Bytes(6, 255));
}

TEST(UyvyToRgb, LumaBelowSixteenCountsAsSixteen) {
    Bytes a(6), b(6);
    UYVYtoPIC(uyvy({0x70, 0x00, 0x90, 0x05}).data(), a.data(), 2);
    UYVYtoPIC(uyvy({0x70, 0x10, 0x90, 0x10}).data(), b.data(), 2);
    EXPECT_EQ(a, b);
}

TEST(UyvyToRgb, ChromaClampsAtFullScale) {
    Bytes rgb(6);
    UYVYtoPIC(uyvy({240, 235, 240, 235}).data(), rgb.data(), 2);
    // R and B overflow and clamp to 255; G = 16711890 - 112 * 78984 = 7865682 -> 120.
    EXPECT_EQ(rgb, uyvy({255, 120, 255, 255, 120, 255}));
    UYVYtoPIC(uyvy({16, 16, 16, 16}).data(), rgb.data(), 2);
    // u = v = -112: R and B negative clamp to 0; G = 112 * 78984 = 8846208 -> 134.
    EXPECT_EQ(rgb, uyvy({0, 134, 0, 0, 134, 0}));
}

TEST(UyvyToRgb, WorkedExample) {
    // u = -38, v = 72, y0 = 84, y1 = 34 (see the sums in the comment of each value).
    Bytes rgb(6);
    UYVYtoPIC(uyvy({90, 100, 200, 50}).data(), rgb.data(), 2);
    // R0 = 13943760 -> 212, G0 = 3549092 -> 54, B0 = 1383476 -> 21,
    // R1 = 10128260 -> 154, G1 = -266408 -> 0, B1 = -2432024 -> 0.
    EXPECT_EQ(rgb, uyvy({212, 54, 21, 154, 0, 0}));
}

TEST(UyvyToRgb, AllFormsAgree) {
    std::mt19937 gen(7);
    const int n = 64;
    Bytes src(n * 2);
    for (auto &b : src)
        b = static_cast<unsigned char>(gen());
    Bytes pic(n * 3);
    UYVYtoPIC(src.data(), pic.data(), n);
    std::vector<unsigned short> R(n), G(n), B(n);
    UYVYtoRGB(src.data(), R.data(), G.data(), B.data(), n);
    Bytes r8(n), g8(n), b8(n);
    UYVYtoTGA(src.data(), r8.data(), g8.data(), b8.data(), n);
    for (int x = 0; x < n; ++x) {
        EXPECT_EQ(R[x], pic[x * 3]);
        EXPECT_EQ(G[x], pic[x * 3 + 1]);
        EXPECT_EQ(B[x], pic[x * 3 + 2]);
        EXPECT_EQ(r8[x], pic[x * 3]);
        EXPECT_EQ(g8[x], pic[x * 3 + 1]);
        EXPECT_EQ(b8[x], pic[x * 3 + 2]);
    }
    // The thinned BGR form takes pairs 0, 4, 8, ...: pixels 0, 1, 8, 9, 16, 17, ...
    Bytes bgr(n / 4 * 3 + 3, 0xEE);
    UYVYtoBGR(bgr.data(), src.data(), n, 4);
    for (int k = 0; k < n / 4; ++k) {
        const int x = (k / 2) * 8 + (k % 2);
        EXPECT_EQ(bgr[k * 3 + 0], pic[x * 3 + 2]) << k;
        EXPECT_EQ(bgr[k * 3 + 1], pic[x * 3 + 1]) << k;
        EXPECT_EQ(bgr[k * 3 + 2], pic[x * 3 + 0]) << k;
    }
    EXPECT_EQ(bgr[n / 4 * 3], 0xEE); // nothing beyond a quarter line
}

TEST(UyvyToRgb, OddAndTinyCounts) {
    const Bytes src = uyvy({0x80, 0xEB, 0x80, 0xEB, 0x80, 0xEB, 0x80, 0xEB});
    Bytes rgb(12, 7);
    UYVYtoPIC(src.data(), rgb.data(), 3); // converts 2 pixels
    EXPECT_EQ(Bytes(rgb.begin(), rgb.begin() + 6), Bytes(6, 255));
    EXPECT_EQ(Bytes(rgb.begin() + 6, rgb.end()), Bytes(6, 7));
    UYVYtoPIC(src.data(), rgb.data() + 6, 1); // nothing
    EXPECT_EQ(Bytes(rgb.begin() + 6, rgb.end()), Bytes(6, 7));
}

TEST(RgbToUyvy, BlackAndWhite) {
    std::vector<unsigned short> zero(8, 0), full(8, 255);
    Bytes out(16);
    RGBtoUYVY(zero.data(), zero.data(), zero.data(), out.data(), 8, 1);
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(Bytes(out.begin() + 4 * j, out.begin() + 4 * j + 4),
                  uyvy({0x80, 0x10, 0x80, 0x10}));
    RGBtoUYVY(full.data(), full.data(), full.data(), out.data(), 8, 1);
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(Bytes(out.begin() + 4 * j, out.begin() + 4 * j + 4),
                  uyvy({0x80, 0xEB, 0x80, 0xEB}));
}

TEST(RgbToUyvy, ChromaFilterAndCarriedFractions) {
    // Four red pixels, worked by hand: first pair without a previous pixel,
    // second pair with the previous right pixel and the carried fractions.
    const Bytes packed = uyvy({255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0});
    Bytes out(8);
    PICtoUYVY(&packed[0], &packed[1], &packed[2], out.data(), 4, 3);
    EXPECT_EQ(out, uyvy({99, 81, 211, 81, 90, 82, 240, 81}));
    std::vector<unsigned short> R(4, 255), G(4, 0), B(4, 0);
    Bytes out16(8);
    RGBtoUYVY(R.data(), G.data(), B.data(), out16.data(), 4, 1);
    EXPECT_EQ(out16, out);
}

TEST(RgbToUyvy, FlatGreyDithersBetweenCodes) {
    // Grey 128: luma 56284 * 128 / 65536 = 109.93, so codes 125 and 126 alternate
    // with a mean near 125.93 instead of always truncating to 125.
    const int n = 200;
    std::vector<unsigned short> g(n, 128);
    Bytes out(n * 2);
    RGBtoUYVY(g.data(), g.data(), g.data(), out.data(), n, 1);
    double sum = 0;
    int lows = 0;
    for (int x = 0; x < n; ++x) {
        const int y = out[(x / 2) * 4 + 1 + 2 * (x % 2)];
        ASSERT_TRUE(y == 125 || y == 126) << x;
        lows += y == 125;
        sum += y;
    }
    EXPECT_GT(lows, 0);
    EXPECT_NEAR(sum / n, 125.93, 0.02);
}

TEST(RgbToUyvy, RoundTripOfFlatColoursStaysClose) {
    std::mt19937 gen(3);
    const int n = 32;
    for (int trial = 0; trial < 50; ++trial) {
        const unsigned char c[3] = {static_cast<unsigned char>(gen()),
                                    static_cast<unsigned char>(gen()),
                                    static_cast<unsigned char>(gen())};
        Bytes rgb(n * 3);
        for (int x = 0; x < n; ++x)
            std::memcpy(&rgb[x * 3], c, 3);
        Bytes yuv(n * 2), back(n * 3);
        PICtoUYVY(&rgb[0], &rgb[1], &rgb[2], yuv.data(), n, 3);
        UYVYtoPIC(yuv.data(), back.data(), n);
        // The first pair lacks its left neighbour in the chroma filter.
        for (int i = 6; i < n * 3; ++i)
            ASSERT_NEAR(back[i], rgb[i], 4) << trial << " " << i;
    }
}

// Fitting ---------------------------------------------------------------

class Fit : public ::testing::Test {
  protected:
    void SetUp() override { SetVideoMode(0); }
    static constexpr int VX = 720, VY = 576;
    Bytes frame = Bytes(size_t(VX) * VY * 3, 0x77);

    // Pixel (x, field row r) of field f of the destination.
    const unsigned char *dst(int f, int r, int x) const {
        return &frame[((size_t(f) * (VY / 2) + r) * VX + x) * 3];
    }
    // A field-sequential source whose pixel (x, picture line y) encodes x and y.
    static Bytes source(int w, int h) {
        Bytes s(size_t(w) * h * 3);
        for (int y = 0; y < h; ++y) {
            const int row = y / 2 + (h / 2) * (y % 2);
            for (int x = 0; x < w; ++x) {
                unsigned char *p = &s[(size_t(row) * w + x) * 3];
                p[0] = static_cast<unsigned char>(x & 255);
                p[1] = static_cast<unsigned char>(y & 255);
                p[2] = static_cast<unsigned char>(((x >> 8) << 4) | (y >> 8));
            }
        }
        return s;
    }
    static bool is(const unsigned char *p, int x, int y) {
        return p[0] == (x & 255) && p[1] == (y & 255) && p[2] == (((x >> 8) << 4) | (y >> 8));
    }
};

TEST_F(Fit, FullFrameCopiesEvenLinesIntoBothFields) {
    const Bytes src = source(VX, VY);
    for (auto fn : {ScaleBuffer, ScaleBufferInterp}) {
        std::fill(frame.begin(), frame.end(), 0x77);
        fn(src.data(), frame.data(), VX, VY);
        for (int f = 0; f < 2; ++f)
            for (int r = 0; r < VY / 2; r += 7)
                for (int x = 0; x < VX; x += 13)
                    ASSERT_TRUE(is(dst(f, r, x), x, 2 * r)) << f << " " << r << " " << x;
    }
}

TEST_F(Fit, HalfWidthPictureIsHeightBoundAndCentred) {
    const Bytes src = source(360, VY);
    ScaleBufferInterp(src.data(), frame.data(), 360, VY);
    for (int f = 0; f < 2; ++f)
        for (int r = 0; r < VY / 2; r += 5) {
            for (int x = 0; x < 180; ++x)
                ASSERT_EQ(dst(f, r, x)[1], 0);
            for (int x = 180; x < 540; ++x)
                ASSERT_TRUE(is(dst(f, r, x), x - 180, 2 * r));
            for (int x = 540; x < VX; ++x)
                ASSERT_EQ(dst(f, r, x)[0], 0);
        }
}

TEST_F(Fit, DoubleWidthPictureIsWidthBoundAndCentredVertically) {
    // s = 2: 720 x 288 scaled picture, 144 rows per field starting 72 rows down.
    const Bytes src = source(1440, VY);
    ScaleBuffer(src.data(), frame.data(), 1440, VY);
    for (int f = 0; f < 2; ++f) {
        for (int r = 0; r < 72; ++r)
            ASSERT_EQ(dst(f, r, 100)[0] | dst(f, r, 100)[1], 0);
        for (int r = 0; r < 144; ++r)
            for (int x = 0; x < VX; x += 11)
                ASSERT_TRUE(is(dst(f, 72 + r, x), 2 * x, 4 * r)) << r << " " << x;
        for (int r = 216; r < VY / 2; ++r)
            ASSERT_EQ(dst(f, r, 100)[0] | dst(f, r, 100)[1], 0);
    }
}

TEST_F(Fit, InterpolationBlendsNeighbours) {
    // 360 x 288 doubles: s = 0.5, odd columns lie half-way between two source pixels.
    const int w = 360, h = 288;
    Bytes src(size_t(w) * h * 3);
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            src[(size_t(row) * w + x) * 3] = static_cast<unsigned char>(x % 2 ? 21 : 10);
            src[(size_t(row) * w + x) * 3 + 1] = static_cast<unsigned char>(row);
        }
    ScaleBufferInterp(src.data(), frame.data(), w, h);
    EXPECT_EQ(dst(0, 0, 0)[0], 10);
    EXPECT_EQ(dst(0, 0, 1)[0], 15); // 10 * 0.5 + 21 * 0.5 = 15.5, truncated
    EXPECT_EQ(dst(0, 0, 2)[0], 21);
    EXPECT_EQ(dst(1, 0, 1)[0], 15);
    // Field row r samples picture line r: rows r/2 of field 0 or h/2 + r/2 of field 1.
    EXPECT_EQ(dst(0, 3, 0)[1], h / 2 + 1);
    EXPECT_EQ(dst(1, 4, 0)[1], 2);
    // The right column copies its pixel unchanged.
    EXPECT_EQ(dst(0, 0, VX - 1)[0], 21);
    ScaleBuffer(src.data(), frame.data(), w, h);
    EXPECT_EQ(dst(0, 0, 1)[0], 10);
}

TEST_F(Fit, OddHeightLosesItsLastLine) {
    // 100 x 51 fits exactly as 100 x 50: the source rows of line 50 are ignored.
    Bytes odd = source(100, 50);
    odd.resize(odd.size() + 300, 0xFF);
    Bytes expect(frame.size());
    ScaleBufferInterp(source(100, 50).data(), expect.data(), 100, 50);
    ScaleBufferInterp(odd.data(), frame.data(), 100, 51);
    EXPECT_EQ(frame, expect);
    CopyBuffer(source(100, 50).data(), expect.data(), 100, 50);
    CopyBuffer(odd.data(), frame.data(), 100, 51);
    EXPECT_EQ(frame, expect);
}

TEST_F(Fit, CopyBufferCentresWithoutScaling) {
    const Bytes src = source(100, 50);
    CopyBuffer(src.data(), frame.data(), 100, 50);
    const int top = (VY - 50) / 4, left = 310;
    for (int f = 0; f < 2; ++f) {
        EXPECT_EQ(dst(f, top - 1, left)[0] | dst(f, top - 1, left)[1], 0);
        for (int k = 0; k < 25; ++k) {
            EXPECT_EQ(dst(f, top + k, left - 1)[0], 0);
            for (int x = 0; x < 100; ++x)
                ASSERT_TRUE(is(dst(f, top + k, left + x), x, 2 * k + f));
            EXPECT_EQ(dst(f, top + k, left + 100)[0], 0);
        }
        EXPECT_EQ(dst(f, top + 25, left)[1], 0);
    }
    for (unsigned char b : frame)
        ASSERT_NE(b, 0x77); // every byte written
}

TEST_F(Fit, CopyBufferRefusesPictureLargerThanFrame) {
    const Bytes src = source(800, 100);
    CopyBuffer(src.data(), frame.data(), 800, 100);
    EXPECT_EQ(frame, Bytes(frame.size(), 0));
}

TEST_F(Fit, EmptyPictureGivesBlackFrame) {
    const Bytes src(30, 9);
    ScaleBufferInterp(src.data(), frame.data(), 10, 1);
    EXPECT_EQ(frame, Bytes(frame.size(), 0));
}

} // namespace
