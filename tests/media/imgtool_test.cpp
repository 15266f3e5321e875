// Tests of the imgtool command: info, convert and fit on files the test makes,
// and its errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "stills_test_util.h"

namespace {

using namespace stills_test;

struct Result {
    int status;
    std::string out;
};

Result imgtool(const std::string &args) {
    const std::string cmd = std::string(ORVA_BIN_DIR) + "/tools/imgtool " + args + " 2>&1";
    Result r{-1, ""};
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

class Imgtool : public ::testing::Test {
  protected:
    ScratchDir dir;
    std::string src = dir.path("src.tga");
    void SetUp() override {
        const std::string ppm = dir.path("src.ppm");
        ASSERT_TRUE(write_ppm(ppm, 37, 23, test_rgb(37, 23)));
        ASSERT_TRUE(run("convert '" + ppm + "' -orient TopLeft '" + src + "'"));
    }
};

TEST_F(Imgtool, InfoPrintsWidthAndHeight) {
    const Result r = imgtool("info " + src);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "37 23\n");
}

TEST_F(Imgtool, ConvertsBetweenAllFormats) {
    for (const char *ext : {".pic", ".sgi", ".rgb", ".tga"}) {
        const std::string out = dir.path(std::string("c") + ext);
        ASSERT_EQ(imgtool("convert " + src + " " + out).status, 0) << ext;
        EXPECT_EQ(imgtool("info " + out).out, "37 23\n") << ext;
        // ImageMagick has no PIC reader: bring PIC back to Targa with imgtool.
        std::string check = out;
        if (std::string(ext) == ".pic") {
            check = dir.path("back.tga");
            ASSERT_EQ(imgtool("convert " + out + " " + check).status, 0);
        }
        EXPECT_EQ(magick_decode(check), test_rgb(37, 23)) << ext;
    }
    const std::string jpg = dir.path("c.jpg");
    ASSERT_EQ(imgtool("convert -q 40 " + src + " " + jpg).status, 0);
    const std::string jpg95 = dir.path("c95.jpg");
    ASSERT_EQ(imgtool("convert -q 95 " + src + " " + jpg95).status, 0);
    EXPECT_LT(read_file(jpg).size(), read_file(jpg95).size());
}

TEST_F(Imgtool, FitMakesAFullPalFrame) {
    const std::string out = dir.path("fit.tga"), yuv = dir.path("fit.yuv");
    ASSERT_EQ(imgtool("fit " + src + " " + out).status, 0);
    EXPECT_EQ(imgtool("info " + out).out, "720 576\n");
    ASSERT_EQ(imgtool("fit " + src + " " + yuv).status, 0);
    EXPECT_EQ(read_file(yuv).size(), 829440u);
    // 37 x 22 lines used: width-bound, s = 37/720; rows above the picture are black.
    const Bytes rgb = magick_decode(out);
    ASSERT_EQ(rgb.size(), 720u * 576 * 3);
    EXPECT_EQ(rgb[0] | rgb[1] | rgb[2], 0);
    const size_t mid = (288 * 720 + 360) * 3;
    EXPECT_NE(rgb[mid] | rgb[mid + 1] | rgb[mid + 2], 0);
}

TEST_F(Imgtool, ErrorsGoToStandardErrorWithStatusOne) {
    Result r = imgtool("");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("usage: imgtool"), std::string::npos);
    r = imgtool("info " + dir.path("none.tga"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("cannot read picture header"), std::string::npos);
    r = imgtool("convert " + src + " " + dir.path("x.png"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("unknown picture format"), std::string::npos);
    EXPECT_EQ(imgtool("convert -q 0 " + src + " " + dir.path("x.jpg")).status, 1);
    EXPECT_EQ(imgtool("fit " + src).status, 1);
    EXPECT_EQ(imgtool("convert " + src + " " + dir.path("nodir/x.tga")).status, 1);
}

} // namespace
