// Helpers of the format-manager, svj driver and display reader tests:
// synthetic field-sequential frames, reels written through the driver,
// pixel error measures, and PPM decoding of djpeg output.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "media/fm_main.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "tests/media/reel_fixtures.h"

namespace fm_test {

using bytes = std::vector<unsigned char>;

// A w x h field-sequential R, G, B frame of smooth gradients that move with
// seed (JPEG keeps them within a few levels).
bytes make_frame(int w, int h, int seed);

// Picture line y of a field-sequential frame of height h.
inline const unsigned char *frame_line(const bytes &frame, int w, int h, int y) {
    return frame.data() + (size_t(y / 2) + size_t(h / 2) * (y % 2)) * size_t(w) * 3;
}

// Makes the scan header of stored field k (frame k / 2, field k % 2) of a
// reel name a component the frame has not, so that decoding it fails.
void corrupt_scan(const std::string &reel, int k);

// Writes frames (field-sequential, w x h) as a new reel through the driver at
// quality; "" on success, else a description with fm_errno's message.
std::string write_reel(const std::string &name, int w, int h, const std::vector<bytes> &frames,
                       int quality);

// A two-frame w x h reel written at quality 90, made once per test program.
struct sample {
    std::string path;
    std::vector<bytes> frames;
};
const sample &sample_reel(int w, int h);

// Mean and largest absolute difference over n bytes.
struct pixel_error {
    double mean = 0;
    int max = 0;
};
pixel_error compare(const unsigned char *a, const unsigned char *b, size_t n);

// The pixels of a binary PPM (P6), or empty when it is not one.
bytes read_ppm(const std::string &name, int *w, int *h);

// A record of the svj driver, freed at the end of the scope.
struct svj_record {
    fm_fileformat *file = fm_fileformat_allocate("svj");
    ~svj_record() { fm_fileformat_free(file); }
    operator fm_fileformat *() const { return file; }
    fm_fileformat *operator->() const { return file; }
};

// The display reader on a reel (record null when it refuses it), closed at
// the end of the scope.
struct reader {
    fm_fileformat *record;
    reader(const std::string &name, int scale, int fourbytes)
        : record(svjr_open(name.c_str(), scale, fourbytes, 0)) {}
    ~reader() {
        if (record) svjr_close(record->state), std::free(record);
    }
    reader(const reader &) = delete;
    reader &operator=(const reader &) = delete;
    // Frame `frame` as the reader gives it; svjr_read's result in *result.
    bytes read(int frame, int *result) {
        bytes image(size_t(record->size));
        *result = svjr_read(record, image.data(), frame);
        return image;
    }
};

// Registers the system's drivers for the test's lifetime.
struct registry {
    registry() { fm_initialize(nullptr); }
    ~registry() { fm_deinitialize(); }
};

// The drivers registered, fm_errno cleared and a temporary directory, for
// the test's lifetime.
class FmFixture : public ::testing::Test {
  protected:
    void SetUp() override { fm_errno = 0; }
    static int take_errno() { return std::exchange(fm_errno, 0); }
    fm_test::registry registry;
    reel_test::temp_dir dir;
};

// The same with the video-size check off (VIDEO_SIZEX, VIDEO_SIZEY 0) until
// the test ends.
class AnySizeFixture : public FmFixture {
  protected:
    void SetUp() override { VIDEO_SIZEX = VIDEO_SIZEY = 0, FmFixture::SetUp(); }
    void TearDown() override { VIDEO_SIZEX = saved_x, VIDEO_SIZEY = saved_y; }
    int saved_x = VIDEO_SIZEX, saved_y = VIDEO_SIZEY;
};

} // namespace fm_test
