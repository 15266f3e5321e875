// Tests of the still-image formats: round trips through our own readers and
// writers, hand-built files for the corner cases, files that lie about
// themselves, and cross-checks against ImageMagick as an independent encoder
// and decoder.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>

#include "media/img_formats.h"
#include "media/img_jpeg.h"
#include "media/img_pic.h"
#include "media/img_sgi.h"
#include "media/img_tga.h"
#include "media/img_yuv.h"
#include "media/video_globals.h"
#include "platform/byteorder.h"
#include "platform/sem.h"
#include "stills_test_util.h"

namespace {

using namespace stills_test;

class Stills : public ::testing::Test {
  protected:
    void SetUp() override {
        SetVideoMode(0);
        open_pause_gate();
    }
    ScratchDir dir;
};

// Reads a file with a ...toglo reader in mode 0 and returns top-down R, G, B.
Bytes read_rgb(ImgReadFunc read, const std::string &path, int w, int h) {
    Bytes img(size_t(w) * h * 3, 0xAA);
    if (read(path.c_str(), img.data(), 0) != 1) return {};
    return display_to_rgb(img, w, h);
}

// Round trips ----------------------------------------------------------------

TEST_F(Stills, LosslessFormatsRoundTripInEveryReaderMode) {
    const int w = 37, h = 23;
    const Bytes rgb = test_rgb(w, h);
    const Bytes disp = rgb_to_display(rgb, w, h);
    for (int index : {0, 1, 2, 3}) {
        const ImgFunctions *fn = img_functions(index);
        const std::string path = dir.path(std::string("rt") + imp_format[index]);
        ASSERT_EQ(fn->write(path.c_str(), w, h, disp.data(), 75), 1) << index;
        int pw = 0, ph = 0;
        ASSERT_EQ(fn->header(path.c_str(), &pw, &ph), 1);
        EXPECT_EQ(pw, w);
        EXPECT_EQ(ph, h);
        EXPECT_EQ(read_rgb(fn->read, path, w, h), rgb) << index;
        Bytes four(size_t(w) * h * 4);
        ASSERT_EQ(fn->read(path.c_str(), four.data(), 2), 1);
        EXPECT_EQ(four, rgb_to_display(rgb, w, h, 4)) << index;
        // Field-sequential: picture line y at row y/2 + (h/2)(y mod 2); h odd
        // drops the last line, which has no row of its own.
        Bytes fields(size_t(w) * h * 3, 0xAA);
        ASSERT_EQ(fn->read(path.c_str(), fields.data(), 1), 1);
        for (int y = 0; y < h - 1; ++y) {
            const int row = y / 2 + (h / 2) * (y % 2);
            ASSERT_EQ(0, std::memcmp(&fields[size_t(row) * w * 3], &rgb[size_t(y) * w * 3],
                                     size_t(w) * 3))
                << y;
        }
        EXPECT_EQ(fields[size_t(h - 1) * w * 3], 0xAA); // row h-1 never written
    }
}

TEST_F(Stills, JpegRoundTripIsCloseAndKeepsOrientation) {
    const int w = 64, h = 40;
    Bytes rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            rgb[(size_t(y) * w + x) * 3 + 0] = static_cast<unsigned char>(x * 4);
            rgb[(size_t(y) * w + x) * 3 + 1] = static_cast<unsigned char>(y * 6);
            rgb[(size_t(y) * w + x) * 3 + 2] = 128;
        }
    const std::string path = dir.path("rt.jpg");
    ASSERT_EQ(glotojpg(path.c_str(), w, h, rgb_to_display(rgb, w, h).data(), 95), 1);
    int pw, ph;
    ASSERT_EQ(headerjpg(path.c_str(), &pw, &ph), 1);
    EXPECT_EQ(pw, w);
    EXPECT_EQ(ph, h);
    EXPECT_LE(max_diff(read_rgb(jpgtoglo, path, w, h), rgb), 8);
    Bytes fields(rgb.size());
    ASSERT_EQ(jpgtoglo(path.c_str(), fields.data(), 1), 1);
    EXPECT_NEAR(fields[(size_t(h / 2) * w) * 3 + 1], 6, 8); // line 1 opens field 1
    EXPECT_NEAR(fields[(size_t(1) * w) * 3 + 1], 12, 8);    // line 2 is row 1
    Bytes four(size_t(w) * h * 4);
    ASSERT_EQ(jpgtoglo(path.c_str(), four.data(), 7), 1);
    EXPECT_EQ(four[0], 0);
    EXPECT_NEAR(four[3], 0, 8);           // bottom-left pixel: red 0
    EXPECT_NEAR(four[2], (h - 1) * 6, 8); // green of the last line
}

TEST_F(Stills, ProbesOfMissingFilesReportMinusOne) {
    const std::string none = dir.path("missing");
    for (int index = 0; index < 6; ++index) {
        int w = 5, h = 5;
        EXPECT_EQ(img_functions(index)->header((none + imp_format[index]).c_str(), &w, &h), -1);
        EXPECT_EQ(w, -1);
        EXPECT_EQ(h, -1);
        Bytes buf(16);
        EXPECT_EQ(img_functions(index)->read((none + imp_format[index]).c_str(), buf.data(), 0), 0);
    }
}

TEST_F(Stills, FormatTables) {
    EXPECT_STREQ(imp_format[3], ".rgb");
    EXPECT_STREQ(imp_format[6], ".[1.yuv");
    EXPECT_STREQ(imp_format[8], "[.yuv");
    EXPECT_STREQ(exp_format[3], ".yuv");
    EXPECT_STREQ(exp_format[5], ".jfi");
    EXPECT_STREQ(exp_format[6], ".svj");
    EXPECT_EQ(img_format_of_name("a/b.rgb"), 3);
    EXPECT_EQ(img_format_of_name("x.jpg"), 5);
    EXPECT_EQ(img_format_of_name(".jpg"), -1);
    EXPECT_EQ(img_format_of_name("x.png"), -1);
    EXPECT_EQ(img_functions(6), nullptr);
    EXPECT_EQ(img_functions(3)->read, sgitoglo);
    EXPECT_EQ(img_functions(4)->header, headeryuv);
}

// Semaphore 0 ------------------------------------------------------------------

TEST_F(Stills, ReadersWaitAtTheClosedPauseGateButJpegAndDeviceReadersDoNot) {
    const int w = 8, h = 6;
    const Bytes disp = rgb_to_display(test_rgb(w, h), w, h);
    const std::string pic = dir.path("gate.pic"), jpg = dir.path("gate.jpg");
    ASSERT_EQ(glotopic(pic.c_str(), w, h, disp.data()), 1);
    ASSERT_EQ(glotojpg(jpg.c_str(), w, h, disp.data(), 90), 1);
    Bytes buf(size_t(w) * h * 4);
    SemSet(0, 1);
    auto blocked =
        std::async(std::launch::async, [&] { return pictoglo(pic.c_str(), buf.data(), 0); });
    EXPECT_EQ(blocked.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    Bytes buf2(size_t(w) * h * 4);
    EXPECT_EQ(jpgtoglo(jpg.c_str(), buf2.data(), 0), 1); // does not wait
    SemSet(0, 0);
    EXPECT_EQ(blocked.get(), 1);
}

// PIC --------------------------------------------------------------------------

TEST_F(Stills, PicNameRule) {
    EXPECT_EQ(pic_file_name("a"), "a.pic");
    EXPECT_EQ(pic_file_name("b.pic"), "b.pic");
    EXPECT_EQ(pic_file_name(".pic"), ".pic.pic");
    EXPECT_EQ(pic_file_name("frame.tga"), "frame.tga.pic");
    const Bytes disp = rgb_to_display(test_rgb(4, 2), 4, 2);
    ASSERT_EQ(glotopic(dir.path("a").c_str(), 4, 2, disp.data()), 1);
    EXPECT_EQ(read_file(dir.path("a.pic")).size(), 104u + 4 + 4 * 2 * 3);
    int w, h;
    EXPECT_EQ(headerpic(dir.path("a").c_str(), &w, &h), 1);
}

// A PIC header (104 bytes) for w x h followed by the given packets.
Bytes pic_header(int w, int h, std::initializer_list<std::array<unsigned char, 4>> packets,
                 uint32_t magic = 0x5380F634) {
    Bytes b(104, 0);
    put_be32(b.data(), magic);
    std::memcpy(&b[88], "PICT", 4);
    put_be16(&b[92], uint16_t(w));
    put_be16(&b[94], uint16_t(h));
    for (auto &p : packets)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

TEST_F(Stills, PicWriterHeader) {
    const std::string path = dir.path("hdr.pic");
    const Bytes disp = rgb_to_display(test_rgb(3, 2), 3, 2);
    ASSERT_EQ(glotopic(path.c_str(), 3, 2, disp.data()), 1);
    const Bytes f = read_file(path);
    ASSERT_EQ(f.size(), 104u + 4 + 18);
    EXPECT_EQ(be32(&f[0]), 0x5380F634u);
    EXPECT_EQ(be32(&f[4]), 0x4029999Au); // 2.65f
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&f[8])), "No comment...");
    EXPECT_EQ(be32(&f[96]), 0x3F800000u); // 1.0f
    EXPECT_EQ(Bytes(f.begin() + 104, f.begin() + 108), Bytes({0, 8, 0, 0xE0}));
    EXPECT_EQ(Bytes(f.begin() + 108, f.end()), test_rgb(3, 2)); // rows top-down R, G, B
}

TEST_F(Stills, PicRunLengthPacketsDecode) {
    // 6 x 2: packet 1 mixed run-length for R, G, B; packet 2 pure runs for alpha.
    Bytes b = pic_header(6, 2, {{1, 8, 2, 0xE0}, {0, 8, 1, 0x10}});
    const Bytes rows[2] = {{1, 10, 20, 30, 11, 21, 31, 130, 1, 2, 3, 128, 0, 1, 7, 8, 9, 6, 0xFF},
                           {128, 0, 6, 50, 60, 70, 3, 9, 3, 9}};
    for (auto &r : rows)
        b.insert(b.end(), r.begin(), r.end());
    const std::string path = dir.path("rle.pic");
    ASSERT_TRUE(write_file(path, b));
    const Bytes expect = {10, 20, 30, 11, 21, 31, 1,  2,  3,  1,  2,  3,  1,  2,  3,  7,  8,  9,
                          50, 60, 70, 50, 60, 70, 50, 60, 70, 50, 60, 70, 50, 60, 70, 50, 60, 70};
    EXPECT_EQ(read_rgb(pictoglo, path, 6, 2), expect);
}

TEST_F(Stills, PicRunPastRowEndIsRefused) {
    Bytes b = pic_header(4, 2, {{0, 8, 2, 0xE0}});
    const Bytes bad = {133, 1, 2, 3, 133, 1, 2, 3}; // a run of 6 in a row of 4
    b.insert(b.end(), bad.begin(), bad.end());
    const std::string path = dir.path("bad.pic");
    ASSERT_TRUE(write_file(path, b));
    Bytes buf(4 * 2 * 3 + 64, 0xCC);
    EXPECT_EQ(pictoglo(path.c_str(), buf.data(), 0), 0);
    for (size_t i = 24; i < buf.size(); ++i)
        ASSERT_EQ(buf[i], 0xCC); // nothing past the picture
    // Literal run too long, a long run with a 16-bit count too long, pure run too long.
    for (const Bytes &row : {Bytes{10, 1, 2, 3}, Bytes{128, 0, 5, 1, 2, 3}}) {
        Bytes c = pic_header(4, 1, {{0, 8, 2, 0xE0}});
        c.insert(c.end(), row.begin(), row.end());
        c.resize(c.size() + 40, 0);
        ASSERT_TRUE(write_file(path, c));
        EXPECT_EQ(pictoglo(path.c_str(), buf.data(), 0), 0);
    }
    Bytes d = pic_header(4, 1, {{0, 8, 1, 0xE0}});
    const Bytes run = {5, 1, 2, 3};
    d.insert(d.end(), run.begin(), run.end());
    ASSERT_TRUE(write_file(path, d));
    EXPECT_EQ(pictoglo(path.c_str(), buf.data(), 0), 0);
}

TEST_F(Stills, PicHeadersThatLieAreRefused) {
    const std::string path = dir.path("lie.pic");
    Bytes buf(64 * 64 * 4);
    int w, h;
    auto refused = [&](const Bytes &b) {
        EXPECT_TRUE(write_file(path, b));
        return pictoglo(path.c_str(), buf.data(), 0) == 0;
    };
    Bytes ok = pic_header(2, 1, {{0, 8, 0, 0xE0}}, 0x5380F646);
    ok.resize(ok.size() + 6, 9);
    EXPECT_FALSE(refused(ok)); // last accepted magic
    EXPECT_EQ(headerpic(path.c_str(), &w, &h), 1);
    Bytes badmagic = pic_header(2, 1, {{0, 8, 0, 0xE0}}, 0x5380F647);
    badmagic.resize(badmagic.size() + 6, 9);
    EXPECT_TRUE(refused(badmagic));
    EXPECT_EQ(headerpic(path.c_str(), &w, &h), -1);
    EXPECT_TRUE(refused(pic_header(0, 1, {{0, 8, 0, 0xE0}})));         // zero width
    EXPECT_TRUE(refused(pic_header(60000, 60000, {{0, 8, 0, 0xE0}}))); // huge, no data
    EXPECT_TRUE(refused(pic_header(2, 1, {{0, 16, 0, 0xE0}})));        // 16-bit channels
    EXPECT_TRUE(refused(pic_header(2, 1, {{0, 8, 3, 0xE0}})));         // unknown coding
    EXPECT_TRUE(refused(pic_header(2, 1, {{0, 8, 0, 0x00}})));         // no channels
    Bytes chain = pic_header(2, 1, {});
    for (int i = 0; i < 64; ++i)
        chain.insert(chain.end(), {1, 8, 0, 0x80});
    EXPECT_TRUE(refused(chain)); // a packet chain that never ends
    Bytes shortdata = pic_header(4, 4, {{0, 8, 0, 0xE0}});
    shortdata.resize(shortdata.size() + 20);
    EXPECT_TRUE(refused(shortdata));
}

// Targa ------------------------------------------------------------------------

Bytes tga_header(int type, int w, int h, int depth, int desc, int cmaptype = 0, int cmaplen = 0,
                 int cmapsize = 0, int idlen = 0) {
    Bytes b(18, 0);
    b[0] = static_cast<unsigned char>(idlen);
    b[1] = static_cast<unsigned char>(cmaptype);
    b[2] = static_cast<unsigned char>(type);
    put_le16(&b[5], uint16_t(cmaplen));
    b[7] = static_cast<unsigned char>(cmapsize);
    put_le16(&b[12], uint16_t(w));
    put_le16(&b[14], uint16_t(h));
    b[16] = static_cast<unsigned char>(depth);
    b[17] = static_cast<unsigned char>(desc);
    return b;
}

TEST_F(Stills, TargaSixteenBitPixelsAndOrientation) {
    const std::string path = dir.path("t16.tga");
    // Two rows of one pixel each: stored first 0x7FFF, then 0x001F.
    for (int desc : {0x00, 0x20}) {
        Bytes b = tga_header(2, 1, 2, 16, desc);
        b.insert(b.end(), {0xFF, 0x7F, 0x1F, 0x00});
        ASSERT_TRUE(write_file(path, b));
        Bytes img(6);
        ASSERT_EQ(tgatoglo(path.c_str(), img.data(), 0), 1);
        // Display image rows are bottom-up B, G, R.
        const Bytes white = {255, 255, 255}, blue = {255, 0, 0};
        const Bytes first(img.begin(), img.begin() + 3), second(img.begin() + 3, img.end());
        if (desc == 0) { // first stored row is the bottom line: buffer row 0
            EXPECT_EQ(first, white);
            EXPECT_EQ(second, blue);
        } else { // first stored row is the top line: last buffer row
            EXPECT_EQ(first, blue);
            EXPECT_EQ(second, white);
        }
    }
}

TEST_F(Stills, TargaRightToLeftRowsAreMirrored) {
    const std::string path = dir.path("rtl.tga");
    Bytes b = tga_header(3, 3, 1, 8, 0x10);
    b.insert(b.end(), {10, 20, 30});
    ASSERT_TRUE(write_file(path, b));
    EXPECT_EQ(read_rgb(tgatoglo, path, 3, 1), Bytes({30, 30, 30, 20, 20, 20, 10, 10, 10}));
}

TEST_F(Stills, TargaColourMapsAndTypes) {
    const std::string path = dir.path("cm.tga");
    int w, h;
    Bytes buf(64);
    // Type 2 with a skipped 24-bit colour map and an id field.
    Bytes b = tga_header(2, 2, 1, 24, 0, 1, 3, 24, 4);
    b.insert(b.end(), {'i', 'd', '!', '!'});
    b.insert(b.end(), 9, 0x99);
    b.insert(b.end(), {1, 2, 3, 4, 5, 6});
    ASSERT_TRUE(write_file(path, b));
    EXPECT_EQ(read_rgb(tgatoglo, path, 2, 1), Bytes({3, 2, 1, 6, 5, 4}));
    // Colour-mapped images and colour maps of 8-bit entries are refused.
    Bytes mapped = tga_header(1, 2, 1, 8, 0, 1, 2, 24);
    mapped.resize(mapped.size() + 20, 0);
    ASSERT_TRUE(write_file(path, mapped));
    EXPECT_EQ(headertga(path.c_str(), &w, &h), -1);
    EXPECT_EQ(tgatoglo(path.c_str(), buf.data(), 0), 0);
    Bytes cm8 = tga_header(2, 2, 1, 24, 0, 1, 2, 8);
    cm8.resize(cm8.size() + 20, 0);
    ASSERT_TRUE(write_file(path, cm8));
    EXPECT_EQ(tgatoglo(path.c_str(), buf.data(), 0), 0);
}

TEST_F(Stills, TargaRunLengthPacketsCrossRowsAndStayInside) {
    const std::string path = dir.path("rle.tga");
    // 3 x 2 grey: one run of 4 crossing the row end, then 2 literals.
    Bytes b = tga_header(11, 3, 2, 8, 0x20);
    b.insert(b.end(), {0x83, 50, 0x01, 60, 70});
    ASSERT_TRUE(write_file(path, b));
    EXPECT_EQ(read_rgb(tgatoglo, path, 3, 2),
              Bytes({50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 60, 60, 60, 70, 70, 70}));
    // A run longer than the whole picture fills it and stops there.
    Bytes c = tga_header(11, 3, 2, 8, 0);
    c.insert(c.end(), {0xFF, 9, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(write_file(path, c));
    Bytes buf(3 * 2 * 3 + 32, 0xCC);
    EXPECT_EQ(tgatoglo(path.c_str(), buf.data(), 0), 1);
    for (size_t i = 18; i < buf.size(); ++i)
        ASSERT_EQ(buf[i], 0xCC);
    // Data ending inside a packet is refused.
    Bytes d = tga_header(10, 40, 2, 24, 0);
    d.insert(d.end(), {0x85, 1, 2, 3, 0x7F, 1, 2});
    ASSERT_TRUE(write_file(path, d));
    EXPECT_EQ(tgatoglo(path.c_str(), buf.data(), 0), 0);
}

TEST_F(Stills, TargaHeadersThatLieAreRefused) {
    const std::string path = dir.path("lie.tga");
    int w, h;
    for (const Bytes &b : {tga_header(2, 60000, 60000, 24, 0), tga_header(2, 0, 5, 24, 0),
                           tga_header(2, 4, 4, 12, 0), tga_header(5, 4, 4, 24, 0),
                           tga_header(2, 2, 2, 24, 0, 1, 65535, 32)}) {
        Bytes f = b;
        f.resize(f.size() + 12, 1);
        ASSERT_TRUE(write_file(path, f));
        EXPECT_EQ(headertga(path.c_str(), &w, &h), -1);
        EXPECT_EQ(w, -1);
        Bytes buf(64);
        EXPECT_EQ(tgatoglo(path.c_str(), buf.data(), 0), 0);
    }
}

TEST_F(Stills, TargaWriterLayout) {
    const std::string path = dir.path("w.tga");
    const Bytes disp = rgb_to_display(test_rgb(5, 3), 5, 3);
    ASSERT_EQ(glototga(path.c_str(), 5, 3, disp.data()), 1);
    const Bytes f = read_file(path);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 18), tga_header(2, 5, 3, 24, 0));
    EXPECT_EQ(Bytes(f.begin() + 18, f.end()), disp); // rows bottom-up B, G, R
}

// Cross-checks with ImageMagick ---------------------------------------------------

class Magick : public Stills {
  protected:
    void SetUp() override {
        Stills::SetUp();
        if (!run("convert -version >/dev/null")) GTEST_SKIP() << "ImageMagick not installed";
        ASSERT_TRUE(write_ppm(src, w, h, rgb));
    }
    const int w = 37, h = 23;
    const Bytes rgb = test_rgb(w, h);
    const std::string src = dir.path("src.ppm");
};

TEST_F(Magick, TargaFilesWrittenByImageMagickReadPixelEqual) {
    const char *variants[] = {"-type TrueColor",
                              "-type TrueColor -compress RLE",
                              "-type Grayscale",
                              "-type Grayscale -compress RLE",
                              "-type TrueColorAlpha",
                              "-type TrueColorAlpha -compress RLE",
                              "-depth 5",
                              "-depth 5 -compress RLE",
                              "-orient TopLeft",
                              "-orient TopLeft -compress RLE -type TrueColorAlpha"};
    for (const char *opts : variants) {
        const std::string path = dir.path("im.tga");
        ASSERT_TRUE(run("convert '" + src + "' " + opts + " '" + path + "'")) << opts;
        const Bytes theirs = magick_decode(path);
        ASSERT_EQ(theirs.size(), rgb.size()) << opts;
        int pw, ph;
        ASSERT_EQ(headertga(path.c_str(), &pw, &ph), 1) << opts;
        ASSERT_EQ(pw, w);
        ASSERT_EQ(ph, h);
        const Bytes ours = read_rgb(tgatoglo, path, w, h);
        EXPECT_EQ(max_diff(ours, theirs), 0) << opts;
    }
}

TEST_F(Magick, SgiFilesWrittenByImageMagickReadPixelEqual) {
    const char *variants[] = {"-compress RLE", "-compress None", "-type Grayscale -compress RLE",
                              "-type Grayscale -compress None",
                              "-type TrueColorAlpha -compress RLE"};
    for (const char *opts : variants) {
        for (const char *ext : {".sgi", ".rgb"}) {
            const std::string path = dir.path(std::string("im") + ext);
            ASSERT_TRUE(run("convert '" + src + "' " + opts + " 'sgi:" + path + "'")) << opts;
            const Bytes theirs = magick_decode("sgi:" + path);
            ASSERT_EQ(theirs.size(), rgb.size()) << opts;
            int pw, ph;
            ASSERT_EQ(headersgi(path.c_str(), &pw, &ph), 1) << opts;
            ASSERT_EQ(pw, w);
            ASSERT_EQ(ph, h);
            EXPECT_EQ(max_diff(read_rgb(sgitoglo, path, w, h), theirs), 0) << opts;
        }
    }
}

TEST_F(Magick, OurFilesReadByImageMagick) {
    const Bytes disp = rgb_to_display(rgb, w, h);
    const std::string tga = dir.path("ours.tga"), sgi = dir.path("ours.sgi"),
                      pic = dir.path("ours.pic"), jpg = dir.path("ours.jpg");
    ASSERT_EQ(glototga(tga.c_str(), w, h, disp.data()), 1);
    ASSERT_EQ(glotosgi(sgi.c_str(), w, h, disp.data()), 1);
    EXPECT_EQ(magick_decode(tga), rgb);
    EXPECT_EQ(magick_decode(sgi), rgb);
    // JPEG: a smooth picture so that coding error stays small.
    Bytes smooth(rgb.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char *p = &smooth[(size_t(y) * w + x) * 3];
            p[0] = static_cast<unsigned char>(x * 6), p[1] = static_cast<unsigned char>(y * 10),
            p[2] = 90;
        }
    ASSERT_EQ(glotojpg(jpg.c_str(), w, h, rgb_to_display(smooth, w, h).data(), 95), 1);
    EXPECT_LE(max_diff(magick_decode(jpg), smooth), 10);
    // A JPEG written by ImageMagick decodes as ImageMagick decodes it.
    const std::string imjpg = dir.path("im.jpg");
    ASSERT_TRUE(run("convert '" + src + "' -quality 90 '" + imjpg + "'"));
    EXPECT_LE(max_diff(read_rgb(jpgtoglo, imjpg, w, h), magick_decode(imjpg)), 2);
}

// YUV --------------------------------------------------------------------------

TEST_F(Stills, YuvHeaderNeedsTheExactFrameSize) {
    const std::string path = dir.path("f.yuv");
    int w, h;
    ASSERT_TRUE(write_file(path, Bytes(829440, 0x80)));
    EXPECT_EQ(headeryuv(path.c_str(), &w, &h), 1);
    EXPECT_EQ(w, 720);
    EXPECT_EQ(h, 576);
    for (size_t size : {829439u, 829441u, 0u, 699840u}) {
        ASSERT_TRUE(write_file(path, Bytes(size, 0x80)));
        EXPECT_EQ(headeryuv(path.c_str(), &w, &h), 0);
        EXPECT_EQ(w, 0);
        EXPECT_EQ(h, 0);
        Bytes buf(720 * 576 * 3);
        EXPECT_EQ(yuvtoglo(path.c_str(), buf.data(), 0), 0);
    }
    SetVideoMode(1); // NTSC: 720 x 486
    ASSERT_TRUE(write_file(path, Bytes(720 * 2 * 486, 0x80)));
    EXPECT_EQ(headeryuv(path.c_str(), &w, &h), 1);
    EXPECT_EQ(h, 486);
}

TEST_F(Stills, YuvWriterWritesOneFrameAndReadsBack) {
    const int w = 720, h = 576;
    Bytes rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char *p = &rgb[(size_t(y) * w + x) * 3];
            p[0] = static_cast<unsigned char>(y < h / 2 ? 200 : 30);
            p[1] = static_cast<unsigned char>(x < w / 2 ? 60 : 180);
            p[2] = 100;
        }
    const std::string path = dir.path("out.yuv");
    ASSERT_EQ(glotoyuv(path.c_str(), w, h, rgb_to_display(rgb, w, h).data()), 1);
    EXPECT_EQ(read_file(path).size(), 829440u);
    const Bytes back = read_rgb(yuvtoglo, path, w, h);
    ASSERT_EQ(back.size(), rgb.size());
    // Away from the colour edges the round trip is within a few codes.
    for (int y : {10, 500})
        for (int x : {20, 700})
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(back[(size_t(y) * w + x) * 3 + c], rgb[(size_t(y) * w + x) * 3 + c], 3);
}

// Device frames ------------------------------------------------------------------

class DeviceFrames : public Stills {
  protected:
    // A picture whose lines are flat greys 20 + (y mod 200), as a display image.
    Bytes line_picture(int w, int h) {
        Bytes rgb(size_t(w) * h * 3);
        for (int y = 0; y < h; ++y)
            std::memset(&rgb[size_t(y) * w * 3], 20 + y % 200, size_t(w) * 3);
        return rgb_to_display(rgb, w, h);
    }
    // The luma that RGBtoUYVY gives a flat grey g (first pixel of a line).
    static int luma(int g) { return ((16829 + 33039 + 6416) * g >> 16) + 16; }
};

TEST_F(DeviceFrames, ReadersPlaceLinesByTheDeviceMapping) {
    for (int mode : {0, 1}) {
        SetVideoMode(mode);
        const int w = VIDEO_SIZEX, h = VIDEO_SIZEY;
        const Bytes disp = line_picture(w, h);
        const long rowbytes = 2L * w, half = mode == 0 ? 288 : 248;
        const std::string base = dir.path("dev");
        ASSERT_EQ(glotopic((base + ".pic").c_str(), w, h, disp.data()), 1);
        ASSERT_EQ(glototga((base + ".tga").c_str(), w, h, disp.data()), 1);
        ASSERT_EQ(glotosgi((base + ".sgi").c_str(), w, h, disp.data()), 1);
        ASSERT_EQ(glotoyuv((base + ".yuv").c_str(), w, h, disp.data()), 1);
        ASSERT_EQ(glotojpg((base + ".jpg").c_str(), w, h, disp.data(), 95), 1);
        using Reader = int (*)(const char *, int, int, unsigned char *);
        const std::pair<const char *, Reader> readers[] = {{".pic", pic_to_buffer},
                                                           {".tga", tga_to_buffer},
                                                           {".sgi", sgi_to_buffer},
                                                           {".yuv", yuv_to_buffer},
                                                           {".jpg", jpg_to_buffer}};
        for (auto &[ext, read] : readers) {
            Bytes frame(size_t(rowbytes) * half * 2, 0xAB);
            ASSERT_EQ(read((base + ext).c_str(), w, h, frame.data()), 1) << ext;
            for (int y = 0; y < h; y += 37) {
                const long row =
                    mode == 0 ? y / 2 + (y % 2) * half : 5 + y / 2 + (y % 2 ? 0 : half);
                EXPECT_NEAR(frame[size_t(row * rowbytes) + 1], luma(20 + y % 200), 2)
                    << ext << " " << y;
            }
            if (mode == 1) { // the 5 leading rows of each half are left alone
                for (long r : {0L, 4L, half, half + 4})
                    for (long i = 0; i < rowbytes; ++i)
                        ASSERT_EQ(frame[size_t(r * rowbytes + i)], 0xAB) << ext;
            }
            Bytes wrong(frame.size());
            EXPECT_EQ(read((base + ext).c_str(), w / 2, h, wrong.data()), 0) << ext;
        }
    }
}

TEST_F(DeviceFrames, WritersMakeFilesAndThumbnails) {
    for (int mode : {0, 1}) {
        SetVideoMode(mode);
        const int w = VIDEO_SIZEX, h = VIDEO_SIZEY;
        const Bytes disp = line_picture(w, h);
        const std::string pic = dir.path("src.pic");
        ASSERT_EQ(glotopic(pic.c_str(), w, h, disp.data()), 1);
        Bytes frame(size_t(2 * w) * (mode == 0 ? 576 : 496), 0);
        ASSERT_EQ(pic_to_buffer(pic.c_str(), w, h, frame.data()), 1);
        if (mode == 1) // rows outside the picture must not reach the files
            for (long r : {0L, 3L, 248L, 252L})
                std::memset(&frame[size_t(r) * 2 * w], 0xFF, size_t(2 * w));
        using Writer = int (*)(const char *, int, int, const unsigned char *, int);
        const std::pair<const char *, Writer> writers[] = {{".pic", buffer_to_pic},
                                                           {".tga", buffer_to_tga},
                                                           {".sgi", buffer_to_sgi},
                                                           {".yuv", buffer_to_yuv}};
        const int tw = w / 4, th = h == 486 ? 120 : h / 4;
        for (auto &[ext, write] : writers) {
            const std::string out = dir.path(std::string("out") + ext),
                              thumb = dir.path("thumb.jpg");
            FILE *t = std::fopen(thumb.c_str(), "wb");
            ASSERT_NE(t, nullptr);
            const int n = write(out.c_str(), w, h, frame.data(), fileno(t));
            std::fclose(t);
            ASSERT_GT(n, 0) << ext;
            EXPECT_EQ(read_file(thumb).size(), size_t(n));
            // The thumbnail is a JPEG of W/4 x H/4 (120 rows for 486 lines),
            // its row i from picture line 4i.
            const Bytes small = magick_decode(thumb);
            ASSERT_EQ(small.size(), size_t(tw) * th * 3) << ext;
            for (int i = 0; i < th; i += 13)
                EXPECT_NEAR(small[size_t(i) * tw * 3 + 30], 20 + (4 * i) % 200, 6) << ext << i;
            // The file reads back as the picture.
            const ImgFunctions *fn = img_functions(img_format_of_name(out.c_str()));
            const Bytes back = read_rgb(fn->read, out, w, h);
            ASSERT_EQ(back.size(), size_t(w) * h * 3) << ext;
            for (int y = 0; y < h; y += 29)
                EXPECT_NEAR(back[size_t(y) * w * 3 + 9], 20 + y % 200, 2) << ext << " " << y;
            // Without a name only the thumbnail is made.
            FILE *t2 = std::fopen(thumb.c_str(), "wb");
            EXPECT_EQ(write(nullptr, w, h, frame.data(), fileno(t2)), n) << ext;
            std::fclose(t2);
            EXPECT_EQ(write(out.c_str(), w, h, frame.data(), -1), 0) << ext; // write to fd fails
        }
    }
}

// Damaged files --------------------------------------------------------------------

TEST_F(Stills, TruncatedFilesNeverReadPastTheirBuffers) {
    const int w = 19, h = 11;
    const Bytes disp = rgb_to_display(test_rgb(w, h), w, h);
    const std::string full = dir.path("full");
    for (int index : {0, 1, 2, 5}) {
        const ImgFunctions *fn = img_functions(index);
        const std::string path = full + imp_format[index];
        ASSERT_EQ(fn->write(path.c_str(), w, h, disp.data(), 80), 1);
        const Bytes whole = read_file(path);
        const std::string cut = dir.path(std::string("cut") + imp_format[index]);
        for (size_t len = 0; len < whole.size(); len += 1 + len / 8) {
            ASSERT_TRUE(write_file(cut, Bytes(whole.begin(), whole.begin() + long(len))));
            int pw, ph;
            const int probe = fn->header(cut.c_str(), &pw, &ph);
            Bytes buf(size_t(w) * h * 4 + 64, 0xCC);
            const int rc = fn->read(cut.c_str(), buf.data(), 2);
            if (probe == 1) {
                EXPECT_TRUE(pw == w && ph == h);
            }
            EXPECT_TRUE(rc == 0 || rc == 1);
            for (size_t i = size_t(w) * h * 4; i < buf.size(); ++i)
                ASSERT_EQ(buf[i], 0xCC);
        }
    }
}

} // namespace
