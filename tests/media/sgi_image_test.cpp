// Tests of the platform's SGI image layer and compression layer: files of
// every supported layout written and read back, ImageMagick reading what we
// write, damaged files refused, and JPEG pictures through memory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/byteorder.h"
#include "platform/cl_compress.h"
#include "platform/sgi_image.h"
#include "stills_test_util.h"

namespace {

using namespace stills_test;

std::vector<std::string> messages;
void collect(const char *m) {
    messages.emplace_back(m);
}

class SgiImage : public ::testing::Test {
  protected:
    void SetUp() override {
        messages.clear();
        i_seterror(collect);
    }
    void TearDown() override { i_seterror(nullptr); }
    ScratchDir dir;

    // Value of channel z at (x, y).
    static unsigned short value(int x, int y, int z) {
        return static_cast<unsigned short>((x * 3 + y * 17 + z * 50) % 256);
    }

    void write_image(const std::string &path, unsigned type, unsigned dim, int w, int h, int z) {
        IMAGE *im = iopen(path.c_str(), "w", type, dim, unsigned(w), unsigned(h), unsigned(z));
        ASSERT_NE(im, nullptr);
        std::vector<unsigned short> row(static_cast<size_t>(w));
        for (int c = 0; c < z; ++c)
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x)
                    row[size_t(x)] = value(x, y, c);
                ASSERT_EQ(putrow(im, row.data(), unsigned(y), unsigned(c)), w);
            }
        ASSERT_EQ(iclose(im), 0);
    }
};

TEST_F(SgiImage, EveryLayoutRoundTrips) {
    for (unsigned type : {unsigned(SGI_RLE), unsigned(SGI_VERBATIM)})
        for (int z = 1; z <= 4; ++z) {
            const int w = 41, h = 7;
            const unsigned dim = z == 1 ? 2 : 3;
            const std::string path = dir.path("rt.sgi");
            write_image(path, type, dim, w, h, z);
            IMAGE *im = iopen(path.c_str(), "r");
            ASSERT_NE(im, nullptr);
            EXPECT_EQ(im->type, type);
            EXPECT_EQ(im->xsize, w);
            EXPECT_EQ(im->ysize, h);
            EXPECT_EQ(im->zsize, z);
            std::vector<unsigned short> row(static_cast<size_t>(w));
            for (int c = 0; c < z; ++c)
                for (int y = 0; y < h; ++y) {
                    ASSERT_EQ(getrow(im, row.data(), unsigned(y), unsigned(c)), w);
                    for (int x = 0; x < w; ++x)
                        ASSERT_EQ(row[size_t(x)], value(x, y, c)) << type << z;
                }
            EXPECT_EQ(getrow(im, row.data(), unsigned(h), 0), -1);
            EXPECT_EQ(getrow(im, row.data(), 0, unsigned(z)), -1);
            EXPECT_EQ(iclose(im), 0);
            if (type == SGI_VERBATIM) {
                EXPECT_EQ(read_file(path).size(), 512u + size_t(w) * h * z);
            }
        }
    EXPECT_TRUE(messages.empty());
}

TEST_F(SgiImage, RunLengthCodesLongRunsCompactly) {
    const std::string path = dir.path("flat.sgi");
    IMAGE *im = iopen(path.c_str(), "w", SGI_RLE, 3, 1000, 2, 3);
    ASSERT_NE(im, nullptr);
    std::vector<unsigned short> row(1000, 77);
    for (unsigned y = 0; y < 2; ++y)
        for (unsigned z = 0; z < 3; ++z)
            ASSERT_EQ(putrow(im, row.data(), y, z), 1000);
    ASSERT_EQ(iclose(im), 0);
    // 6 rows of 8 runs of at most 126 (2 bytes each) and an end byte.
    EXPECT_EQ(read_file(path).size(), 512u + 6 * 8 + 6 * 17);
    const Bytes decoded = magick_decode("sgi:" + path);
    EXPECT_EQ(decoded, Bytes(1000 * 2 * 3, 77));
}

TEST_F(SgiImage, ImageMagickReadsWhatWeWrite) {
    const int w = 23, h = 9;
    for (unsigned type : {unsigned(SGI_RLE), unsigned(SGI_VERBATIM)}) {
        const std::string path = dir.path("ours.sgi");
        write_image(path, type, 3, w, h, 3);
        const Bytes theirs = magick_decode("sgi:" + path);
        ASSERT_EQ(theirs.size(), size_t(w) * h * 3);
        // ImageMagick gives rows top-down; SGI row 0 is the bottom line.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(theirs[(size_t(h - 1 - y) * w + x) * 3 + c], value(x, y, c));
    }
}

TEST_F(SgiImage, DamagedFilesAreRefused) {
    const std::string path = dir.path("bad.sgi");
    write_image(path, SGI_RLE, 3, 16, 4, 3);
    const Bytes good = read_file(path);
    auto refused = [&](Bytes b) {
        EXPECT_TRUE(write_file(path, b));
        IMAGE *im = iopen(path.c_str(), "r");
        if (im) iclose(im);
        return im == nullptr;
    };
    EXPECT_FALSE(refused(good));
    Bytes b = good;
    b[0] = 0; // magic
    EXPECT_TRUE(refused(b));
    b = good;
    b[3] = 2; // two bytes per channel
    EXPECT_TRUE(refused(b));
    b = good;
    put_be16(&b[10], 5); // five channels
    EXPECT_TRUE(refused(b));
    b = good;
    put_be16(&b[8], 60000); // tables larger than the file
    EXPECT_TRUE(refused(b));
    b = good;
    put_be32(&b[512], 0x7FFFFFF0); // a row starting beyond the end
    EXPECT_TRUE(refused(b));
    b = good;
    put_be32(&b[512 + 4 * 12], 100000); // a row length beyond the end
    EXPECT_TRUE(refused(b));
    EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + 300)));
    EXPECT_FALSE(messages.empty());

    // Coded data that would run past the row is a read error, not an overrun.
    b = good;
    const uint32_t start = be32(&b[512]);
    b[start] = 0x7F; // a run of 127 in a row of 16
    ASSERT_TRUE(write_file(path, b));
    IMAGE *im = iopen(path.c_str(), "r");
    ASSERT_NE(im, nullptr);
    std::vector<unsigned short> row(16 + 200, 0xCCCC);
    EXPECT_EQ(getrow(im, row.data(), 0, 0), -1);
    for (size_t i = 16; i < row.size(); ++i)
        ASSERT_EQ(row[i], 0xCCCC);
    EXPECT_EQ(getrow(im, row.data(), 1, 0), 16);
    iclose(im);

    // Verbatim files shorter than their picture.
    write_image(path, SGI_VERBATIM, 3, 16, 4, 3);
    Bytes v = read_file(path);
    v.pop_back();
    EXPECT_TRUE(refused(v));
}

TEST_F(SgiImage, BadArgumentsAndDefaultHandler) {
    EXPECT_EQ(iopen(dir.path("x.sgi").c_str(), "w", 0x0202, 3, 4, 4, 3), nullptr);
    EXPECT_EQ(iopen(dir.path("x.sgi").c_str(), "w", SGI_RLE, 3, 0, 4, 3), nullptr);
    EXPECT_EQ(iopen(dir.path("x.sgi").c_str(), "w", SGI_RLE, 2, 4, 4, 3), nullptr);
    EXPECT_EQ(iopen(dir.path("none.sgi").c_str(), "r"), nullptr);
    EXPECT_EQ(messages.size(), 4u);
    EXPECT_NE(messages.back().find("none.sgi"), std::string::npos);
    IMAGE *im = iopen(dir.path("x.sgi").c_str(), "w", SGI_RLE, 3, 4, 4, 3);
    ASSERT_NE(im, nullptr);
    std::vector<unsigned short> row(4);
    EXPECT_EQ(getrow(im, row.data(), 0, 0), -1); // not open for reading
    EXPECT_EQ(putrow(im, row.data(), 4, 0), -1);
    EXPECT_EQ(iclose(im), 0);
}

// Compression layer -------------------------------------------------------------

Bytes smooth_display(int w, int h, int bpp) {
    Bytes img(size_t(w) * h * bpp);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char *p = &img[(size_t(y) * w + x) * bpp];
            if (bpp == 4) *p++ = 0;
            p[0] = static_cast<unsigned char>(x * 3), p[1] = static_cast<unsigned char>(y * 4),
            p[2] = 200;
        }
    return img;
}

TEST(ClCompress, RoundTripsBothFormats) {
    const int w = 80, h = 60;
    for (int format : {int(CL_RGB), int(CL_RGBX)}) {
        const int bpp = format == CL_RGB ? 3 : 4;
        const Bytes img = smooth_display(w, h, bpp);
        Bytes jpeg(size_t(w) * h * 4);
        int size = int(jpeg.size());
        ASSERT_EQ(clCompressImage(CL_JPEG, w, h, format, 10.0f, img.data(), &size, jpeg.data()), 0);
        EXPECT_GT(size, 100);
        EXPECT_LT(size, w * h * bpp / 4);
        EXPECT_EQ(jpeg[0], 0xFF);
        EXPECT_EQ(jpeg[1], 0xD8);
        Bytes back(img.size(), 0xEE);
        ASSERT_EQ(clDecompressImage(CL_JPEG, w, h, format, size, jpeg.data(), back.data()), 0);
        EXPECT_LE(max_diff(back, img), 10);
        // Wrong size, wrong scheme, truncated or foreign data fail.
        EXPECT_EQ(clDecompressImage(CL_JPEG, w + 1, h, format, size, jpeg.data(), back.data()), -1);
        EXPECT_EQ(clDecompressImage(0x8000, w, h, format, size, jpeg.data(), back.data()), -1);
        EXPECT_EQ(clDecompressImage(CL_JPEG, w, h, format, 20, jpeg.data(), back.data()), -1);
        const Bytes junk(500, 0x42);
        EXPECT_EQ(clDecompressImage(CL_JPEG, w, h, format, 500, junk.data(), back.data()), -1);
    }
}

TEST(ClCompress, PicturesAreBottomUpDisplayImages) {
    // The first row in memory is the picture's lowest line: an independent
    // decoder must see it at the bottom.
    ScratchDir dir;
    const int w = 16, h = 16;
    Bytes img(size_t(w) * h * 3, 0);
    for (size_t i = 0; i < size_t(w) * (h / 2); ++i)
        img[i * 3 + 2] = 255; // lower half red
    Bytes jpeg(4096);
    int size = int(jpeg.size());
    ASSERT_EQ(clCompressImage(CL_JPEG, w, h, CL_RGB, 10.0f, img.data(), &size, jpeg.data()), 0);
    const std::string path = dir.path("cl.jpg");
    ASSERT_TRUE(write_file(path, Bytes(jpeg.begin(), jpeg.begin() + size)));
    const Bytes rgb = magick_decode(path);
    ASSERT_EQ(rgb.size(), size_t(w) * h * 3);
    EXPECT_GT(rgb[(size_t(h - 1) * w) * 3], 200); // bottom-left red
    EXPECT_LT(rgb[0], 60);                        // top-left dark
}

TEST(ClCompress, RefusesBadArgumentsAndSmallBuffers) {
    const Bytes img = smooth_display(32, 32, 3);
    Bytes out(64);
    int size = int(out.size());
    EXPECT_EQ(clCompressImage(CL_JPEG, 32, 32, CL_RGB, 10.0f, img.data(), &size, out.data()), -1);
    size = 100000;
    Bytes big(static_cast<size_t>(size));
    EXPECT_EQ(clCompressImage(CL_JPEG, 32, 32, 7, 10.0f, img.data(), &size, big.data()), -1);
    EXPECT_EQ(clCompressImage(0x8000, 32, 32, CL_RGB, 10.0f, img.data(), &size, big.data()), -1);
    EXPECT_EQ(clCompressImage(CL_JPEG, 0, 32, CL_RGB, 10.0f, img.data(), &size, big.data()), -1);
    // A lower ratio means a higher quality and a larger result.
    int s10 = 100000, s2 = 100000;
    ASSERT_EQ(clCompressImage(CL_JPEG, 32, 32, CL_RGB, 10.0f, img.data(), &s10, big.data()), 0);
    ASSERT_EQ(clCompressImage(CL_JPEG, 32, 32, CL_RGB, 2.0f, img.data(), &s2, big.data()), 0);
    EXPECT_GT(s2, s10);
}

} // namespace
