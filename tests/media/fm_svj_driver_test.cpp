// The svj driver through the format manager: round trips at PAL and NTSC
// sizes, the NTSC field order and padding lines, size and buffer checks,
// JPEG errors that fail a call instead of the process, frame substitution.
#include <gtest/gtest.h>

#include <utility>

#include "media/fm_format_svj.h"
#include "media/fm_main.h"
#include "tests/media/fm_test_util.h"
#include "tests/media/reel_fixtures.h"

using fm_test::bytes;

namespace {

using FmSvjDriver = fm_test::FmFixture;

// Reads every frame back through the driver and compares with the sources.
void expect_round_trip(const std::string &reel, int w, int h, const std::vector<bytes> &frames) {
    fm_test::svj_record file;
    ASSERT_EQ(fm_open(file, reel.c_str()), 0) << fm_errorstr(fm_errno);
    EXPECT_EQ(file->width * 1000 + file->height, w * 1000 + h);
    EXPECT_EQ(file->frames, int(frames.size()));
    for (size_t f = 0; f < frames.size(); f++) {
        ASSERT_EQ(fm_read(file, int(f)), 0) << fm_errorstr(fm_errno);
        fm_test::pixel_error e = fm_test::compare(file->buffer, frames[f].data(), frames[f].size());
        EXPECT_LT(e.mean, 2.5) << "frame " << f;
        EXPECT_LT(e.max, 40) << "frame " << f;
    }
    EXPECT_EQ(fm_close(file), 0);
}

TEST_F(FmSvjDriver, PalAndNtscRoundTrips) {
    for (int h : {576, 486}) {
        const fm_test::sample &s = fm_test::sample_reel(720, h);
        expect_round_trip(s.path, 720, h, s.frames);
        bytes reel = reel_test::read_file(s.path);
        EXPECT_EQ(reel_test::get32(reel, reel.size() - 68 + 24), h == 576 ? 576u : 496u);
    }
    // NTSC: stored field 1 holds the upper field (picture lines 0, 2, ...)
    // after 5 lines of value 16; stored field 0 the lower one. The lower
    // field's green is inverted so the two fields differ.
    bytes frame = fm_test::make_frame(720, 486, 3);
    for (size_t p = frame.size() / 2 + 1; p < frame.size(); p += 3)
        frame[p] = (unsigned char)(255 - frame[p]);
    std::string reel = dir.path("ntsc.svj"), jpg = dir.path("field.jpg");
    ASSERT_EQ(fm_test::write_reel(reel, 720, 486, {frame}, 90), "");
    expect_round_trip(reel, 720, 486, {frame});
    fm_svj_file *file = fm_svj_file_open(reel.c_str(), 0);
    for (int field = 0; field < 2; field++) {
        ASSERT_EQ(fm_svj_field_extract(file, jpg.c_str(), 0, field), 0);
        ASSERT_TRUE(reel_test::djpeg_clean(jpg, jpg + ".ppm"));
        int w = 0, h = 0;
        bytes d = fm_test::read_ppm(jpg + ".ppm", &w, &h), pad(size_t(5) * 720 * 3, 16);
        ASSERT_EQ(w * 1000 + h, 720248);
        EXPECT_LT(fm_test::compare(d.data(), pad.data(), pad.size()).mean, 6.0);
        double err = 0;
        for (int line = 0; line < 243; line++)
            err += fm_test::compare(d.data() + size_t(5 + line) * 720 * 3,
                                    fm_test::frame_line(frame, 720, 486, 2 * line + 1 - field),
                                    720 * 3)
                       .mean;
        EXPECT_LT(err / 243, 2.5) << "stored field " << field;
    }
    fm_svj_file_close(file);
}

TEST_F(FmSvjDriver, SizeAndBufferChecks) {
    std::string reel = dir.path("other.svj");
    ASSERT_EQ(fm_test::write_reel(reel, 64, 48, {fm_test::make_frame(64, 48, 2)}, 75), "");
    bytes before = reel_test::read_file(reel);
    fm_test::svj_record file, fresh;
    fm_fileformat shape{};
    shape.width = 720, shape.height = 576;
    EXPECT_EQ(fm_create(file, reel.c_str(), &shape, 75), 1);
    EXPECT_EQ(take_errno(), 17);
    EXPECT_EQ(reel_test::read_file(reel), before);

    // A name reserved empty is written from the start; a file that is not
    // a reel is refused and left as it was.
    const std::string reserved = dir.path("reserved.svj"), junk = dir.path("junk.svj");
    reel_test::write_file(reserved, {});
    reel_test::write_file(junk, bytes(100, 0xAB));
    shape.width = 64, shape.height = 48;
    ASSERT_EQ(fm_create(fresh, reserved.c_str(), &shape, 75), 0);
    EXPECT_EQ(fm_write(fresh, 0), 0);
    EXPECT_EQ(fm_close(fresh), 0);
    ASSERT_EQ(fm_open(fresh, reserved.c_str()), 0);
    EXPECT_EQ(fresh->frames, 1);
    EXPECT_EQ(fm_close(fresh), 0);
    EXPECT_EQ(fm_create(fresh, junk.c_str(), &shape, 75), 1);
    EXPECT_NE(take_errno(), 0);
    EXPECT_EQ(reel_test::read_file(junk), bytes(100, 0xAB));

    ASSERT_EQ(fm_open(file, reel.c_str()), 0);
    bytes big(size_t(file->size) + 1);
    EXPECT_EQ(file->format->read(file->state, 0, big.data(), file->size - 1), 1);
    EXPECT_EQ(take_errno(), 9);
    EXPECT_EQ(file->format->read(file->state, 0, big.data(), file->size + 1), 0);
    EXPECT_EQ(fm_write(file, 1), 1); // opened for reading
    EXPECT_EQ(take_errno(), 6);
    EXPECT_EQ(fm_close(file), 0);
}

TEST_F(FmSvjDriver, CorruptFieldFailsTheReadOnly) {
    std::string reel = dir.path("bad.svj");
    std::vector<bytes> frames = {fm_test::make_frame(128, 96, 0), fm_test::make_frame(128, 96, 3)};
    ASSERT_EQ(fm_test::write_reel(reel, 128, 96, frames, 80), "");
    fm_test::corrupt_scan(reel, 0);
    fm_test::svj_record file;
    ASSERT_EQ(fm_open(file, reel.c_str()), 0);
    EXPECT_EQ(fm_read(file, 0), 1);
    EXPECT_EQ(take_errno(), 17);
    ASSERT_EQ(fm_read(file, 1), 0) << fm_errorstr(fm_errno);
    EXPECT_LT(fm_test::compare(file->buffer, frames[1].data(), frames[1].size()).mean, 2.5);
    EXPECT_EQ(fm_close(file), 0);
}

TEST_F(FmSvjDriver, SubstituteOnlyTheLastFrame) {
    std::string reel = dir.path("sub.svj");
    std::vector<bytes> frames = {fm_test::make_frame(160, 120, 0),
                                 fm_test::make_frame(160, 120, 2)};
    ASSERT_EQ(fm_test::write_reel(reel, 160, 120, frames, 60), "");
    bytes before = reel_test::read_file(reel);
    frames[1] = fm_test::make_frame(160, 120, 40);
    EXPECT_EQ(fm_svj_frame_substitute(reel.c_str(), 0, frames[1].data()), 1);
    EXPECT_EQ(take_errno(), 18);
    EXPECT_EQ(reel_test::read_file(reel), before);
    ASSERT_EQ(fm_svj_frame_substitute(reel.c_str(), 1, frames[1].data()), 0);
    expect_round_trip(reel, 160, 120, frames);
}

} // namespace
