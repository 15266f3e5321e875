// Tests of the imgtool command: info, convert and fit on a Targa file made by
// ImageMagick, and one error.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "stills_test_util.h"

namespace {

using namespace stills_test;

// Exit status and combined output of imgtool with the given arguments.
std::pair<int, std::string> imgtool(const std::string &args) {
    FILE *p = popen((ORVA_BIN_DIR "/tools/imgtool " + args + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    for (size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    const int st = p ? pclose(p) : -1;
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, out};
}

TEST(Imgtool, InfoConvertAndFit) {
    ScratchDir dir;
    const std::string ppm = dir.path("src.ppm"), src = dir.path("src.tga");
    ASSERT_TRUE(write_ppm(ppm, 37, 23, test_rgb(37, 23)));
    ASSERT_TRUE(run("convert '" + ppm + "' -orient TopLeft '" + src + "'"));
    EXPECT_EQ(imgtool("info " + src), std::make_pair(0, std::string("37 23\n")));
    const std::string sgi = dir.path("c.sgi");
    ASSERT_EQ(imgtool("convert " + src + " " + sgi).first, 0);
    EXPECT_EQ(magick_decode(sgi), test_rgb(37, 23));
    // 37 x 22 lines fit width-bound into the PAL frame, black above and below.
    const std::string fit = dir.path("fit.tga");
    ASSERT_EQ(imgtool("fit " + src + " " + fit).first, 0);
    const Bytes rgb = magick_decode(fit);
    ASSERT_EQ(rgb.size(), 720u * 576 * 3);
    EXPECT_EQ(rgb[0] | rgb[1] | rgb[2], 0);
    EXPECT_NE(rgb[(288 * 720 + 360) * 3 + 2], 0);
    const auto bad = imgtool("convert " + src + " " + dir.path("x.png"));
    EXPECT_EQ(bad.first, 1);
    EXPECT_NE(bad.second.find("unknown picture format"), std::string::npos);
}

} // namespace
