// The svj driver through the format manager: round trips at PAL and NTSC
// sizes, the 486/496 mapping and padding lines, size and buffer checks, the
// quality rule, JPEG errors that fail a call instead of the process, and
// frame substitution.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "media/fm_format_svj.h"
#include "media/fm_main.h"
#include "media/svj.h"
#include "tests/media/fm_test_util.h"
#include "tests/media/reel_fixtures.h"

using fm_test::bytes;

namespace {

// A decoded standalone JPEG (header + field): R, G, B lines and its first
// quantization table.
struct decoded {
    int w = 0, h = 0;
    bytes rgb;
    UINT16 q0[DCTSIZE2] = {};
};

decoded decode_jpeg(const bytes &jpeg) {
    decoded out;
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), jpeg.size());
    jpeg_read_header(&d, TRUE);
    std::memcpy(out.q0, d.quant_tbl_ptrs[0]->quantval, sizeof out.q0);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    out.w = int(d.output_width);
    out.h = int(d.output_height);
    out.rgb.resize(size_t(out.w) * out.h * 3);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = out.rgb.data() + size_t(d.output_scanline) * out.w * 3;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return out;
}

// The luminance table libjpeg makes for a quality.
void quality_table(int quality, UINT16 *q0) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    std::memcpy(q0, c.quant_tbl_ptrs[0]->quantval, sizeof(UINT16) * DCTSIZE2);
    jpeg_destroy_compress(&c);
}

bytes stored_field(const std::string &reel, int frame, int field) {
    fm_svj_file *file = fm_svj_file_open(reel.c_str(), 0);
    bytes out;
    if (file == nullptr) return out;
    fm_svj_field_extract_mem(file, frame, field, &out);
    fm_svj_file_close(file);
    return out;
}

class FmSvjDriver : public ::testing::Test {
  protected:
    void SetUp() override {
        fm_errno = 0;
        unsetenv("JFIF_QUALITY");
    }
    void TearDown() override { unsetenv("JFIF_QUALITY"); }
    fm_test::registry registry;
    reel_test::temp_dir dir;
};

// Reads every frame back through the driver and compares with the sources.
void expect_round_trip(const std::string &reel, int w, int h, const std::vector<bytes> &frames) {
    fm_fileformat *file = fm_fileformat_allocate("svj");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(fm_open(file, reel.c_str()), 0) << fm_errorstr(fm_errno);
    EXPECT_EQ(file->width, w);
    EXPECT_EQ(file->height, h);
    EXPECT_EQ(file->frames, int(frames.size()));
    EXPECT_EQ(file->size, 3 * w * h);
    EXPECT_EQ(file->field_walk[0], -(3 * w * h / 2));
    EXPECT_EQ(file->field_walk[1], 3 * w * (h - 2) / 2);
    for (size_t f = 0; f < frames.size(); f++) {
        ASSERT_EQ(fm_read(file, int(f)), 0) << fm_errorstr(fm_errno);
        fm_test::pixel_error e = fm_test::compare(file->buffer, frames[f].data(), frames[f].size());
        EXPECT_LT(e.mean, 2.5) << "frame " << f;
        EXPECT_LT(e.max, 40) << "frame " << f;
        // Each frame is its own: the next source differs far more.
        if (f + 1 < frames.size()) {
            EXPECT_GT(fm_test::compare(file->buffer, frames[f + 1].data(), frames[f].size()).mean,
                      e.mean + 1.0);
        }
    }
    EXPECT_EQ(fm_close(file), 0);
    fm_fileformat_free(file);
}

TEST_F(FmSvjDriver, PalRoundTrip) {
    std::string reel = dir.path("pal.svj");
    std::vector<bytes> frames;
    for (int f = 0; f < 3; f++)
        frames.push_back(fm_test::make_frame(720, 576, 5 * f));
    ASSERT_EQ(fm_test::write_reel(reel, 720, 576, frames, 90), "");
    expect_round_trip(reel, 720, 576, frames);
    // The reel is sound for the device-file layer too.
    svj_handle *h = svj_open(reel.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(svj_info(h, 7), 576u);
    EXPECT_EQ(svj_info(h, 8), 3u);
    svj_close(h);
}

TEST_F(FmSvjDriver, NtscStoresFieldsOf248LinesWithPadding) {
    std::string reel = dir.path("ntsc.svj");
    std::vector<bytes> frames = {fm_test::make_frame(720, 486, 1),
                                 fm_test::make_frame(720, 486, 9)};
    ASSERT_EQ(fm_test::write_reel(reel, 720, 486, frames, 90), "");
    svj_handle *h = svj_open(reel.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(svj_info(h, 7), 496u);
    svj_close(h);
    expect_round_trip(reel, 720, 486, frames);

    // Stored field 1 holds the upper field (picture lines 0, 2, ...) after
    // 5 lines of value 16; stored field 0 the lower one.
    for (int field = 0; field < 2; field++) {
        decoded d = decode_jpeg(stored_field(reel, 1, field));
        ASSERT_EQ(d.w, 720);
        ASSERT_EQ(d.h, 248);
        bytes pad(size_t(5) * 720 * 3, 16);
        // The padding shares its 8-line blocks with picture lines: near 16.
        EXPECT_LT(fm_test::compare(d.rgb.data(), pad.data(), pad.size()).mean, 6.0);
        double err = 0;
        for (int line = 0; line < 243; line++) {
            int y = 2 * line + (field == 1 ? 0 : 1);
            err += fm_test::compare(d.rgb.data() + size_t(5 + line) * 720 * 3,
                                    fm_test::frame_line(frames[1], 720, 486, y), 720 * 3)
                       .mean;
        }
        EXPECT_LT(err / 243, 2.5) << "stored field " << field;
    }
}

TEST_F(FmSvjDriver, CreateOverReelOfAnotherSizeFails) {
    std::string reel = dir.path("other.svj");
    ASSERT_EQ(fm_test::write_reel(reel, 352, 288, {fm_test::make_frame(352, 288, 2)}, 75), "");
    bytes before = reel_test::read_file(reel);
    fm_fileformat *file = fm_fileformat_allocate("svj");
    fm_fileformat spec{};
    spec.width = 720;
    spec.height = 576;
    EXPECT_EQ(fm_create(file, reel.c_str(), &spec, 75), 1);
    EXPECT_EQ(fm_errno, 17);
    EXPECT_EQ(file->state, nullptr);
    EXPECT_EQ(file->buffer, nullptr);
    EXPECT_EQ(reel_test::read_file(reel), before);
    fm_fileformat_free(file);
}

TEST_F(FmSvjDriver, ContinuedReelKeepsItsTables) {
    std::string reel = dir.path("cont.svj");
    std::vector<bytes> frames = {fm_test::make_frame(320, 240, 0),
                                 fm_test::make_frame(320, 240, 4)};
    ASSERT_EQ(fm_test::write_reel(reel, 320, 240, {frames[0]}, 95), "");
    // Created again over the reel at another quality: the new frame follows
    // the old one and decodes with the reel's header.
    fm_fileformat *file = fm_fileformat_allocate("svj");
    fm_fileformat spec{};
    spec.width = 320;
    spec.height = 240;
    ASSERT_EQ(fm_create(file, reel.c_str(), &spec, 10), 0) << fm_errorstr(fm_errno);
    EXPECT_EQ(file->frames, 1);
    std::copy(frames[1].begin(), frames[1].end(), file->buffer);
    ASSERT_EQ(fm_write(file, 1), 0);
    ASSERT_EQ(fm_close(file), 0);
    fm_fileformat_free(file);
    expect_round_trip(reel, 320, 240, frames);
}

TEST_F(FmSvjDriver, BufferSizeMismatchGives9) {
    std::string reel = dir.path("size.svj");
    ASSERT_EQ(fm_test::write_reel(reel, 64, 48, {fm_test::make_frame(64, 48, 0)}, 75), "");
    fm_fileformat *file = fm_fileformat_allocate("svj");
    ASSERT_EQ(fm_open(file, reel.c_str()), 0);
    bytes big(size_t(file->size) + 1);
    EXPECT_EQ(file->format->read(file->state, 0, big.data(), file->size - 1), 1);
    EXPECT_EQ(fm_errno, 9);
    fm_errno = 0;
    EXPECT_EQ(file->format->read(file->state, 0, big.data(), file->size + 1), 0);
    EXPECT_EQ(fm_close(file), 0);

    fm_fileformat spec{};
    spec.width = 64;
    spec.height = 48;
    ASSERT_EQ(fm_create(file, dir.path("new.svj").c_str(), &spec, 75), 0);
    fm_errno = 0;
    EXPECT_EQ(file->format->write(file->state, 0, big.data(), file->size + 1), 1);
    EXPECT_EQ(fm_errno, 9);
    EXPECT_EQ(fm_close(file), 0);
    fm_fileformat_free(file);
}

TEST_F(FmSvjDriver, QualityFromArgumentEnvironmentOrDefault) {
    struct {
        int argument;
        const char *env;
        int expected;
    } cases[] = {{0, nullptr, 50}, {0, "85", 85}, {30, "85", 30}};
    for (const auto &c : cases) {
        std::string reel = dir.path("q" + std::to_string(c.expected) + ".svj");
        if (c.env)
            setenv("JFIF_QUALITY", c.env, 1);
        else
            unsetenv("JFIF_QUALITY");
        ASSERT_EQ(fm_test::write_reel(reel, 64, 32, {fm_test::make_frame(64, 32, 0)}, c.argument),
                  "");
        UINT16 want[DCTSIZE2];
        quality_table(c.expected, want);
        decoded d = decode_jpeg(stored_field(reel, 0, 0));
        EXPECT_EQ(std::memcmp(d.q0, want, sizeof want), 0) << "quality " << c.expected;
    }
}

TEST_F(FmSvjDriver, CorruptFieldFailsTheReadOnly) {
    std::string reel = dir.path("bad.svj");
    std::vector<bytes> frames = {fm_test::make_frame(128, 96, 0), fm_test::make_frame(128, 96, 3)};
    ASSERT_EQ(fm_test::write_reel(reel, 128, 96, frames, 80), "");
    // The scan header of frame 0's field 0 names a component the frame has not.
    svj_handle *h = svj_open(reel.c_str());
    ASSERT_NE(h, nullptr);
    uint32_t at = h->table[0].offset0;
    svj_close(h);
    bytes data = reel_test::read_file(reel);
    ASSERT_EQ(data[at + 3], 0xDA);
    data[at + 7] = 0x77; // first component id of the scan
    reel_test::write_file(reel, data);

    fm_fileformat *file = fm_fileformat_allocate("svj");
    ASSERT_EQ(fm_open(file, reel.c_str()), 0);
    EXPECT_EQ(fm_read(file, 0), 1);
    EXPECT_EQ(fm_errno, 17);
    fm_errno = 0;
    ASSERT_EQ(fm_read(file, 1), 0) << fm_errorstr(fm_errno);
    EXPECT_LT(fm_test::compare(file->buffer, frames[1].data(), frames[1].size()).mean, 2.5);
    EXPECT_EQ(fm_close(file), 0);
    fm_fileformat_free(file);
}

TEST_F(FmSvjDriver, WriteToAReelOpenedForReadingIsRefused) {
    std::string reel = dir.path("ro.svj");
    ASSERT_EQ(fm_test::write_reel(reel, 64, 32, {fm_test::make_frame(64, 32, 0)}, 75), "");
    fm_fileformat *file = fm_fileformat_allocate("svj");
    ASSERT_EQ(fm_open(file, reel.c_str()), 0);
    EXPECT_EQ(fm_write(file, 1), 1);
    EXPECT_EQ(fm_errno, 6);
    fm_close(file);
    fm_fileformat_free(file);
}

TEST_F(FmSvjDriver, SubstituteLastFrameKeepsTablesPaddingAndCount) {
    std::string reel = dir.path("sub.svj");
    std::vector<bytes> frames = {fm_test::make_frame(720, 486, 0),
                                 fm_test::make_frame(720, 486, 2)};
    ASSERT_EQ(fm_test::write_reel(reel, 720, 486, frames, 60), "");
    bytes before = reel_test::read_file(reel);
    bytes replacement = fm_test::make_frame(720, 486, 40);
    // Not the last frame: refused, reel unchanged.
    EXPECT_EQ(fm_svj_frame_substitute(reel.c_str(), 0, replacement.data()), 1);
    EXPECT_EQ(fm_errno, 18);
    EXPECT_EQ(reel_test::read_file(reel), before);
    fm_errno = 0;
    ASSERT_EQ(fm_svj_frame_substitute(reel.c_str(), 1, replacement.data()), 0)
        << fm_errorstr(fm_errno);
    decoded d = decode_jpeg(stored_field(reel, 1, 1));
    UINT16 want[DCTSIZE2];
    quality_table(60, want);
    EXPECT_EQ(std::memcmp(d.q0, want, sizeof want), 0);
    bytes pad(size_t(5) * 720 * 3, 16);
    EXPECT_LT(fm_test::compare(d.rgb.data(), pad.data(), pad.size()).mean, 6.0);
    expect_round_trip(reel, 720, 486, {frames[0], replacement});
}

TEST_F(FmSvjDriver, CheckAnswersForSvjFiles) {
    fm_format *svj = nullptr;
    ASSERT_EQ(fm_fileformat_find(&svj, "svj"), 0);
    unsigned char header[16] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 6, 'S', 'V', 'J', 0};
    unsigned char jpeg[16] = {0xFF, 0xD8, 0xFF, 0xDB, 1, 2, 3};
    EXPECT_STREQ(svj->check(svj, "a.xyz", "xyz", header, 16), "svj");
    EXPECT_STREQ(svj->check(svj, "a.svj", "svj", jpeg, 16), "svj");
    EXPECT_EQ(svj->check(svj, "a.jpg", "jpg", jpeg, 16), nullptr);
    EXPECT_STREQ(svj->check(svj, "a.svj", "svj", jpeg, 2), "svj");
    EXPECT_EQ(svj->check(svj, "a.svj", "svj", header + 1, 16), nullptr);
}

} // namespace
