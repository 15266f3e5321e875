// The display reader: sizes and pixels at scales 1, 4 and 8 for PAL and
// NTSC reels written by the svj driver, agreement with djpeg, the video-size
// check, the tail magic, out-of-range frames, recovery after a JPEG error.
#include <gtest/gtest.h>

#include <cstring>

#include "media/fm_format_svj.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "tests/media/fm_test_util.h"
#include "tests/media/reel_fixtures.h"

using fm_test::bytes;
using fm_test::reader;

namespace {

using Svjr = fm_test::AnySizeFixture;

// The reader's bottom-up B, G, R (or X, B, G, R) picture as top-down R, G, B.
bytes top_down_rgb(const bytes &image, int w, int h, int b) {
    bytes out(size_t(w) * h * 3);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            for (int c = 0; c < 3; c++)
                out[(size_t(y) * w + x) * 3 + size_t(c)] =
                    image[(size_t(h - 1 - y) * w + x) * size_t(b) + size_t(b - 1 - c)];
    return out;
}

// The source picture averaged over scale x scale blocks, R, G, B, top-down.
bytes reduce(const bytes &frame, int w, int h, int scale) {
    const int ow = w / scale, oh = (h + scale - 1) / scale;
    bytes out(size_t(ow) * oh * 3);
    for (int y = 0; y < oh; y++)
        for (int x = 0; x < ow; x++)
            for (int c = 0; c < 3; c++) {
                int sum = 0, n = 0;
                for (int sy = y * scale; sy < std::min(h, (y + 1) * scale); sy++)
                    for (int sx = x * scale; sx < (x + 1) * scale; sx++, n++)
                        sum += fm_test::frame_line(frame, w, h, sy)[3 * sx + c];
                out[(size_t(y) * ow + x) * 3 + size_t(c)] = (unsigned char)(sum / n);
            }
    return out;
}

TEST_F(Svjr, PalAndNtscAtEachScale) {
    struct {
        int h, scale, out_w, out_h;
    } cases[] = {{576, 1, 720, 576}, {576, 4, 180, 144}, {576, 8, 90, 72},
                 {486, 1, 720, 486}, {486, 4, 180, 120}, {486, 8, 90, 60}};
    for (const auto &c : cases) {
        const fm_test::sample &s = fm_test::sample_reel(720, c.h);
        for (int b : {3, 4}) {
            SCOPED_TRACE(std::to_string(c.h) + " scale " + std::to_string(c.scale) + " bytes " +
                         std::to_string(b));
            reader r(s.path, c.scale, b == 4);
            ASSERT_NE(r.record, nullptr);
            EXPECT_EQ(r.record->width * 1000 + r.record->height, c.out_w * 1000 + c.out_h);
            EXPECT_EQ(r.record->frames, 2);
            ASSERT_EQ(r.record->size, c.out_w * c.out_h * b);
            for (int f = 0; f < 2; f++) {
                int result = 0;
                bytes got = top_down_rgb(r.read(f, &result), c.out_w, c.out_h, b);
                ASSERT_EQ(result, 0);
                // Reduced, the DCT scaling approximates a block average.
                bytes want = reduce(s.frames[size_t(f)], 720, c.h, c.scale);
                EXPECT_LT(fm_test::compare(got.data(), want.data(), got.size()).mean,
                          c.scale == 1 ? 2.5 : 6.0)
                    << "frame " << f;
            }
        }
    }
}

// The full-size picture, line for line, is djpeg's decode of the two stored
// fields (header + field) interleaved, padding lines dropped.
TEST_F(Svjr, FullSizeMatchesDjpegLineForLine) {
    for (int h : {576, 486}) {
        SCOPED_TRACE(h);
        const std::string &reel = fm_test::sample_reel(720, h).path;
        const int skip = h == 486 ? 5 : 0, upper = h == 486 ? 1 : 0;
        fm_svj_file *file = fm_svj_file_open(reel.c_str(), 0);
        ASSERT_NE(file, nullptr);
        bytes fields[2];
        for (int k = 0; k < 2; k++) {
            std::string jpg = dir.path("f" + std::to_string(k) + ".jpg");
            ASSERT_EQ(fm_svj_field_extract(file, jpg.c_str(), 1, k), 0);
            ASSERT_TRUE(reel_test::djpeg_clean(jpg, jpg + ".ppm"));
            int pw = 0, ph = 0;
            fields[k] = fm_test::read_ppm(jpg + ".ppm", &pw, &ph);
            ASSERT_EQ(pw * 1000 + ph, 720000 + (h + 2 * skip) / 2);
        }
        fm_svj_file_close(file);
        reader r(reel, 1, 0);
        ASSERT_NE(r.record, nullptr);
        int result = 0;
        bytes got = top_down_rgb(r.read(1, &result), 720, h, 3);
        ASSERT_EQ(result, 0);
        for (int y = 0; y < h; y++) {
            const bytes &field = fields[y % 2 == 0 ? upper : 1 - upper];
            ASSERT_EQ(std::memcmp(got.data() + size_t(y) * 720 * 3,
                                  field.data() + size_t(skip + y / 2) * 720 * 3, 720 * 3),
                      0)
                << "picture line " << y;
        }
    }
}

TEST_F(Svjr, RefusesBadFilesSizesAndFrames) {
    const std::string &pal = fm_test::sample_reel(720, 576).path;
    const std::string &ntsc = fm_test::sample_reel(720, 486).path;
    // The video size, when set, must be the reel's.
    for (auto [x, y] : {std::pair{720, 486}, {720, 576}, {640, 576}, {-1, 576}}) {
        VIDEO_SIZEX = x, VIDEO_SIZEY = y;
        EXPECT_EQ(reader(pal, 8, 1).record != nullptr, x < 0 || (x == 720 && y == 576)) << x;
        EXPECT_EQ(reader(ntsc, 8, 1).record != nullptr, x < 0 || y == 486) << x;
    }
    VIDEO_SIZEX = VIDEO_SIZEY = 0;
    EXPECT_EQ(reader(pal, 2, 1).record, nullptr);
    EXPECT_EQ(reader(dir.path("missing.svj"), 1, 1).record, nullptr);

    std::string reel = dir.path("magic.svj");
    bytes data = reel_test::read_file(pal), big = data;
    reel_test::put32(big, data.size() - SVJ_TAIL_SIZE + SVJ_TAIL_FRAMES, 0x10000000);
    reel_test::write_file(reel, big); // a table that does not fit in the file
    EXPECT_EQ(reader(reel, 1, 1).record, nullptr);
    for (const char *magic : {"DVS100", "DVS120"}) {
        std::memcpy(&data[data.size() - SVJ_TAIL_SIZE + SVJ_TAIL_MAGIC], magic, 6);
        reel_test::write_file(reel, data);
        EXPECT_EQ(reader(reel, 1, 1).record != nullptr, magic[4] == '0') << magic;
    }
    reader r(pal, 8, 1);
    ASSERT_NE(r.record, nullptr);
    for (int frame : {2, -1}) {
        int result = 0;
        r.read(frame, &result);
        EXPECT_EQ(result, 1) << frame;
    }
}

TEST_F(Svjr, JpegErrorFailsOneReadAndLaterFramesDecode) {
    std::string reel = dir.path("bad.svj");
    std::vector<bytes> frames(3, fm_test::make_frame(160, 120, 6));
    ASSERT_EQ(fm_test::write_reel(reel, 160, 120, frames, 90), "");
    int result = 0;
    bytes want = reader(reel, 4, 1).read(2, &result);
    ASSERT_EQ(result, 0);

    fm_test::corrupt_scan(reel, 3); // frame 1, field 1
    reader r(reel, 4, 1);
    ASSERT_NE(r.record, nullptr);
    r.read(1, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(r.read(2, &result), want);
    EXPECT_EQ(result, 0);
}

} // namespace
