// The display reader: sizes and pixels at scales 1, 4 and 8 for PAL and
// NTSC reels written by the svj driver, bottom-up field interleaving,
// agreement with djpeg, the video-size check, the tail magic, out-of-range
// frames, and recovery after a JPEG error.
#include <gtest/gtest.h>

#include <cstring>

#include "media/fm_format_svj.h"
#include "media/svj.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "tests/media/fm_test_util.h"
#include "tests/media/reel_fixtures.h"

using fm_test::bytes;

namespace {

class Svjr : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_x = VIDEO_SIZEX;
        saved_y = VIDEO_SIZEY;
        VIDEO_SIZEX = 0; // no video-size check unless a test sets one
        VIDEO_SIZEY = 0;
    }
    void TearDown() override {
        VIDEO_SIZEX = saved_x;
        VIDEO_SIZEY = saved_y;
    }
    // A reel of `count` frames through the driver; the source frames.
    std::vector<bytes> make_reel(const std::string &reel, int w, int h, int count) {
        std::vector<bytes> frames;
        for (int f = 0; f < count; f++)
            frames.push_back(fm_test::make_frame(w, h, 6 * f + 1));
        EXPECT_EQ(fm_test::write_reel(reel, w, h, frames, 90), "");
        return frames;
    }
    int saved_x = 0, saved_y = 0;
    fm_test::registry registry;
    reel_test::temp_dir dir;
};

struct reader {
    fm_fileformat *record;
    explicit reader(const std::string &name, int scale, int fourbytes)
        : record(svjr_open(name.c_str(), scale, fourbytes, 0)) {}
    ~reader() {
        if (record) {
            svjr_close(record->state);
            std::free(record);
        }
    }
};

// The source picture averaged over scale x scale blocks, R, G, B, top-down.
bytes reduce(const bytes &frame, int w, int h, int scale, int out_w, int out_h) {
    bytes out(size_t(out_w) * out_h * 3);
    for (int y = 0; y < out_h; y++)
        for (int x = 0; x < out_w; x++)
            for (int c = 0; c < 3; c++) {
                int sum = 0, n = 0;
                for (int dy = 0; dy < scale; dy++)
                    for (int dx = 0; dx < scale; dx++) {
                        int sy = y * scale + dy, sx = x * scale + dx;
                        if (sy >= h || sx >= w) continue;
                        sum += fm_test::frame_line(frame, w, h, sy)[3 * sx + c];
                        n++;
                    }
                out[(size_t(y) * out_w + x) * 3 + c] = (unsigned char)(n ? sum / n : 0);
            }
    return out;
}

// The reader's bottom-up B, G, R (or X, B, G, R) picture as top-down R, G, B.
bytes top_down_rgb(const bytes &image, int w, int h, int b) {
    bytes out(size_t(w) * h * 3);
    for (int y = 0; y < h; y++) {
        const unsigned char *row = image.data() + size_t(h - 1 - y) * w * b;
        for (int x = 0; x < w; x++) {
            const unsigned char *p = row + size_t(x) * b + (b - 3);
            unsigned char *q = out.data() + (size_t(y) * w + x) * 3;
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    }
    return out;
}

struct scale_case {
    int scale, w, h;
};

void expect_scales(const std::string &reel, const std::vector<bytes> &frames, int w, int h,
                   const std::vector<scale_case> &cases) {
    for (const scale_case &c : cases) {
        for (int fourbytes = 0; fourbytes < 2; fourbytes++) {
            SCOPED_TRACE("scale " + std::to_string(c.scale) + " fourbytes " +
                         std::to_string(fourbytes));
            reader r(reel, c.scale, fourbytes);
            ASSERT_NE(r.record, nullptr);
            const int b = fourbytes ? 4 : 3;
            EXPECT_EQ(r.record->width, c.w);
            EXPECT_EQ(r.record->height, c.h);
            EXPECT_EQ(r.record->frames, int(frames.size()));
            ASSERT_EQ(r.record->size, c.w * c.h * b);
            EXPECT_EQ(r.record->buffer, nullptr);
            bytes image(size_t(r.record->size));
            for (size_t f = 0; f < frames.size(); f++) {
                ASSERT_EQ(svjr_read(r.record, image.data(), int(f)), 0);
                // At full size the picture is the source; reduced, the DCT
                // scaling approximates a block average (for NTSC the kept
                // scaled lines sit a few picture lines below the block's, a
                // small shift on these gradients).
                bytes want = reduce(frames[f], w, h, c.scale, c.w, c.h);
                bytes got = top_down_rgb(image, c.w, c.h, b);
                fm_test::pixel_error e = fm_test::compare(got.data(), want.data(), got.size());
                EXPECT_LT(e.mean, c.scale == 1 ? 2.5 : 6.0) << "frame " << f;
            }
        }
    }
}

TEST_F(Svjr, PalReelAtEachScale) {
    std::string reel = dir.path("pal.svj");
    std::vector<bytes> frames = make_reel(reel, 720, 576, 2);
    expect_scales(reel, frames, 720, 576, {{1, 720, 576}, {4, 180, 144}, {8, 90, 72}});
}

TEST_F(Svjr, NtscReelAtEachScale) {
    std::string reel = dir.path("ntsc.svj");
    std::vector<bytes> frames = make_reel(reel, 720, 486, 2);
    expect_scales(reel, frames, 720, 486, {{1, 720, 486}, {4, 180, 120}, {8, 90, 60}});
}

// The full-size picture, line for line, is djpeg's decode of the two stored
// fields (header + field) interleaved, padding lines dropped.
void expect_djpeg_match(const reel_test::temp_dir &dir, const std::string &reel, int w,
                        int stored_h, int frame) {
    const int skip = stored_h == 496 ? 5 : 0;
    const int upper_field = stored_h == 496 ? 1 : 0;
    fm_svj_file *file = fm_svj_file_open(reel.c_str(), 0);
    ASSERT_NE(file, nullptr);
    bytes fields[2];
    for (int k = 0; k < 2; k++) {
        std::string jpg = dir.path("f" + std::to_string(k) + ".jpg");
        std::string ppm = dir.path("f" + std::to_string(k) + ".ppm");
        ASSERT_EQ(fm_svj_field_extract(file, jpg.c_str(), frame, k), 0);
        ASSERT_TRUE(reel_test::djpeg_clean(jpg, ppm));
        int pw = 0, ph = 0;
        fields[k] = fm_test::read_ppm(ppm, &pw, &ph);
        ASSERT_EQ(pw, w);
        ASSERT_EQ(ph, stored_h / 2);
    }
    fm_svj_file_close(file);
    reader r(reel, 1, 0);
    ASSERT_NE(r.record, nullptr);
    const int h = r.record->height;
    bytes image(size_t(r.record->size));
    ASSERT_EQ(svjr_read(r.record, image.data(), frame), 0);
    bytes got = top_down_rgb(image, w, h, 3);
    for (int y = 0; y < h; y++) {
        int field = y % 2 == 0 ? upper_field : 1 - upper_field;
        const unsigned char *want = fields[field].data() + size_t(skip + y / 2) * w * 3;
        ASSERT_EQ(std::memcmp(got.data() + size_t(y) * w * 3, want, size_t(w) * 3), 0)
            << "picture line " << y;
    }
}

TEST_F(Svjr, FullSizeMatchesDjpegLineForLine) {
    std::string pal = dir.path("pal.svj"), ntsc = dir.path("ntsc.svj");
    make_reel(pal, 720, 576, 2);
    make_reel(ntsc, 720, 486, 2);
    expect_djpeg_match(dir, pal, 720, 576, 1);
    expect_djpeg_match(dir, ntsc, 720, 496, 1);
}

TEST_F(Svjr, FourBytePixelsCarryTheThreeBytePixels) {
    std::string reel = dir.path("four.svj");
    make_reel(reel, 176, 144, 1);
    reader r3(reel, 4, 0), r4(reel, 4, 1);
    ASSERT_NE(r3.record, nullptr);
    ASSERT_NE(r4.record, nullptr);
    bytes a(size_t(r3.record->size)), b(size_t(r4.record->size));
    ASSERT_EQ(svjr_read(r3.record, a.data(), 0), 0);
    ASSERT_EQ(svjr_read(r4.record, b.data(), 0), 0);
    for (size_t p = 0; p < a.size() / 3; p++)
        ASSERT_EQ(std::memcmp(&a[3 * p], &b[4 * p + 1], 3), 0) << "pixel " << p;
}

TEST_F(Svjr, VideoSizeCheck) {
    std::string pal = dir.path("pal.svj"), ntsc = dir.path("ntsc.svj");
    make_reel(pal, 720, 576, 1);
    make_reel(ntsc, 720, 486, 1);
    VIDEO_SIZEX = 720;
    VIDEO_SIZEY = 486;
    EXPECT_EQ(reader(pal, 8, 1).record, nullptr);
    EXPECT_NE(reader(ntsc, 8, 1).record, nullptr);
    VIDEO_SIZEY = 576;
    EXPECT_EQ(reader(ntsc, 8, 1).record, nullptr);
    EXPECT_NE(reader(pal, 8, 1).record, nullptr);
    VIDEO_SIZEX = 640;
    EXPECT_EQ(reader(pal, 8, 1).record, nullptr);
    VIDEO_SIZEX = -1;
    EXPECT_NE(reader(pal, 8, 1).record, nullptr);
    EXPECT_NE(reader(ntsc, 8, 1).record, nullptr);
}

TEST_F(Svjr, RefusesBadFilesAndScales) {
    std::string reel = dir.path("magic.svj");
    make_reel(reel, 64, 32, 1);
    EXPECT_EQ(reader(reel, 2, 1).record, nullptr);
    EXPECT_EQ(reader(dir.path("missing.svj"), 1, 1).record, nullptr);
    bytes data = reel_test::read_file(reel);
    size_t magic = data.size() - SVJ_TAIL_SIZE + SVJ_TAIL_MAGIC;
    std::memcpy(&data[magic], "DVS100", 6);
    reel_test::write_file(reel, data);
    EXPECT_NE(reader(reel, 1, 1).record, nullptr);
    data[magic + 4] = '2';
    reel_test::write_file(reel, data);
    EXPECT_EQ(reader(reel, 1, 1).record, nullptr);
    reel_test::write_file(reel, bytes(data.end() - 68, data.end()));
    EXPECT_EQ(reader(reel, 1, 1).record, nullptr);
    // A frame count whose table would not fit in the file.
    data[magic + 4] = '1';
    put_be32(&data[data.size() - SVJ_TAIL_SIZE + SVJ_TAIL_FRAMES], 0x10000000);
    reel_test::write_file(reel, data);
    EXPECT_EQ(reader(reel, 1, 1).record, nullptr);
}

TEST_F(Svjr, FrameOutOfRangeLeavesBufferUntouched) {
    std::string reel = dir.path("range.svj");
    make_reel(reel, 64, 32, 2);
    reader r(reel, 1, 1);
    ASSERT_NE(r.record, nullptr);
    bytes image(size_t(r.record->size), 0x5A);
    EXPECT_EQ(svjr_read(r.record, image.data(), 2), 1);
    EXPECT_EQ(svjr_read(r.record, image.data(), -1), 1);
    EXPECT_EQ(image, bytes(image.size(), 0x5A));
}

TEST_F(Svjr, JpegErrorFailsOneReadAndLaterFramesDecode) {
    std::string reel = dir.path("bad.svj");
    make_reel(reel, 160, 120, 3);
    reader good(reel, 4, 1);
    ASSERT_NE(good.record, nullptr);
    bytes want(size_t(good.record->size));
    ASSERT_EQ(svjr_read(good.record, want.data(), 2), 0);

    svj_handle *h = svj_open(reel.c_str());
    ASSERT_NE(h, nullptr);
    uint32_t at = h->table[1].offset1;
    svj_close(h);
    bytes data = reel_test::read_file(reel);
    ASSERT_EQ(data[at + 3], 0xDA);
    data[at + 7] = 0x77; // a scan component the frame does not have
    reel_test::write_file(reel, data);

    reader r(reel, 4, 1);
    ASSERT_NE(r.record, nullptr);
    bytes image(size_t(r.record->size));
    EXPECT_EQ(svjr_read(r.record, image.data(), 1), 1);
    ASSERT_EQ(svjr_read(r.record, image.data(), 2), 0);
    EXPECT_EQ(image, want);
    EXPECT_EQ(svjr_read(r.record, image.data(), 1), 1);
    ASSERT_EQ(svjr_read(r.record, image.data(), 0), 0);
}

} // namespace
