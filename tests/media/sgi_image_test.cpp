// Tests of the platform's SGI image layer and compression layer: files of
// every supported layout written and read back (and by ImageMagick), and
// JPEG pictures through memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/cl_compress.h"
#include "platform/sgi_image.h"
#include "stills_test_util.h"

namespace {

using namespace stills_test;

void quiet(const char *) {}

TEST(SgiImage, EveryLayoutRoundTrips) {
    i_seterror(quiet);
    ScratchDir dir;
    const std::string path = dir.path("rt.sgi");
    const int w = 41, h = 7;
    auto value = [](int x, int y, int z) {
        return static_cast<unsigned short>((x * 3 + y * 17 + z * 50) % 256);
    };
    std::vector<unsigned short> row(w);
    for (unsigned type : {unsigned(SGI_RLE), unsigned(SGI_VERBATIM)})
        for (int z = 1; z <= 4; ++z) {
            IMAGE *im = iopen(path.c_str(), "w", type, z == 1 ? 2 : 3, w, h, unsigned(z));
            ASSERT_NE(im, nullptr);
            for (int c = 0; c < z; ++c)
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x)
                        row[x] = value(x, y, c);
                    ASSERT_EQ(putrow(im, row.data(), unsigned(y), unsigned(c)), w);
                }
            ASSERT_EQ(iclose(im), 0);
            im = iopen(path.c_str(), "r");
            ASSERT_NE(im, nullptr);
            EXPECT_TRUE(im->type == type && im->xsize == w && im->ysize == h && im->zsize == z);
            for (int c = 0; c < z; ++c)
                for (int y = 0; y < h; ++y) {
                    ASSERT_EQ(getrow(im, row.data(), unsigned(y), unsigned(c)), w);
                    for (int x = 0; x < w; ++x)
                        ASSERT_EQ(row[x], value(x, y, c)) << type << " " << z;
                }
            EXPECT_EQ(getrow(im, row.data(), unsigned(h), 0), -1);
            EXPECT_EQ(iclose(im), 0);
            // ImageMagick gives rows top-down; SGI row 0 is the bottom line.
            const Bytes theirs = z == 3 ? magick_decode("sgi:" + path) : Bytes(w * h * 3);
            ASSERT_EQ(theirs.size(), size_t(w) * h * 3);
            for (size_t i = 0; z == 3 && i < theirs.size(); ++i)
                ASSERT_EQ(theirs[i], value(int(i / 3) % w, h - 1 - int(i / 3) / w, int(i % 3)));
            // A file one byte short of its picture is refused.
            Bytes cut = read_file(path);
            cut.pop_back();
            write_file(path, cut);
            EXPECT_EQ(iopen(path.c_str(), "r"), nullptr) << type << " " << z;
        }
    i_seterror(nullptr);
}

TEST(ClCompress, RoundTripsBothFormats) {
    ScratchDir dir;
    const int w = 40, h = 24;
    for (int format : {int(CL_RGB), int(CL_RGBX)}) {
        const Bytes img = flip(test_rgb(w, h), w, h, format == CL_RGB ? 3 : 4);
        Bytes jpeg(img.size());
        int size = 100;
        EXPECT_EQ(clCompressImage(CL_JPEG, w, h, format, 10.0f, img.data(), &size, jpeg.data()),
                  -1); // too small a buffer
        size = int(jpeg.size());
        ASSERT_EQ(clCompressImage(CL_JPEG, w, h, format, 10.0f, img.data(), &size, jpeg.data()), 0);
        EXPECT_LT(size, int(img.size()) / 2);
        Bytes back(img.size());
        ASSERT_EQ(clDecompressImage(CL_JPEG, w, h, format, size, jpeg.data(), back.data()), 0);
        EXPECT_LE(max_diff(back, img), 12);
        // An independent decoder sees the first row in memory as the bottom line.
        jpeg.resize(size_t(size));
        write_file(dir.path("cl.jpg"), jpeg);
        EXPECT_LE(max_diff(magick_decode(dir.path("cl.jpg")), test_rgb(w, h)), 12);
        // Wrong size, truncated or foreign data fail.
        EXPECT_EQ(clDecompressImage(CL_JPEG, w + 1, h, format, size, jpeg.data(), back.data()), -1);
        EXPECT_EQ(clDecompressImage(CL_JPEG, w, h, format, 20, jpeg.data(), back.data()), -1);
        const Bytes junk(500, 0x42);
        EXPECT_EQ(clDecompressImage(CL_JPEG, w, h, format, 500, junk.data(), back.data()), -1);
    }
}

} // namespace
