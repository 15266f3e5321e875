// svjtool's encode, decode and read commands: pictures into a reel through
// the svj driver (fitted to the video frame when their size differs) and
// frames out as pictures through the display reader and the driver.
#include <gtest/gtest.h>

#include <unistd.h>

#include "media/img_jpeg.h"
#include "media/img_pic.h"
#include "tests/media/fm_test_util.h"
#include "tests/media/reel_fixtures.h"

using fm_test::bytes;

namespace {

std::string tool() {
    for (std::string p : {std::string(ORVA_BIN_DIR) + "/tools/svjtool",
                          std::string(ORVA_BIN_DIR) + "/tools/svjtool/svjtool"})
        if (access(p.c_str(), X_OK) == 0) return p;
    return "svjtool-not-built";
}

// A w x h 3-byte display image (B, G, R, bottom-up) of smooth gradients.
bytes display_image(int w, int h) {
    bytes image(size_t(w) * h * 3);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char *p = image.data() + (size_t(h - 1 - y) * w + x) * 3;
            p[0] = (unsigned char)(40 + 160 * x / w);              // B
            p[1] = (unsigned char)(30 + 180 * y / h);              // G
            p[2] = (unsigned char)(200 - 100 * (x + y) / (w + h)); // R
        }
    return image;
}

class FmSvjtool : public ::testing::Test {
  protected:
    reel_test::run_result run(const std::string &args) {
        return reel_test::run_command(tool() + " " + args);
    }
    std::string info(const std::string &reel) { return run("info '" + reel + "'").out; }
    reel_test::temp_dir dir;
};

TEST_F(FmSvjtool, EncodeReadAndDecode) {
    bytes full = display_image(720, 576), half = display_image(360, 288);
    std::string pic = dir.path("full.pic"), jpg = dir.path("half.jpg");
    ASSERT_EQ(glotopic(pic.c_str(), 720, 576, full.data()), 1);
    ASSERT_EQ(glotojpg(jpg.c_str(), 360, 288, half.data(), 95), 1);
    std::string reel = dir.path("r.svj");
    auto r = run("encode '" + reel + "' -q 90 '" + pic + "' '" + jpg + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string text = info(reel);
    EXPECT_NE(text.find("width 720\n"), std::string::npos) << text;
    EXPECT_NE(text.find("height 576\n"), std::string::npos);
    EXPECT_NE(text.find("frames 2\n"), std::string::npos);

    // Both frames come back as the full-size picture: the half-size one was
    // fitted (doubled) to the frame.
    for (int frame = 0; frame < 2; frame++) {
        for (const char *command : {"read", "decode"}) {
            SCOPED_TRACE(std::string(command) + " frame " + std::to_string(frame));
            std::string out = dir.path("out.jpg");
            r = run(std::string(command) + " '" + reel + "' " + std::to_string(frame) + " '" + out +
                    "'");
            ASSERT_EQ(r.status, 0) << r.err;
            int w = 0, h = 0;
            ASSERT_EQ(headerjpg(out.c_str(), &w, &h), 1);
            ASSERT_EQ(w, 720);
            ASSERT_EQ(h, 576);
            bytes got(size_t(w) * h * 3);
            ASSERT_EQ(jpgtoglo(out.c_str(), got.data(), 0), 1);
            EXPECT_LT(fm_test::compare(got.data(), full.data(), full.size()).mean, 4.0);
        }
    }
    // Appending continues the reel.
    r = run("encode '" + reel + "' '" + pic + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(info(reel).find("frames 3\n"), std::string::npos);
}

TEST_F(FmSvjtool, DecodeScalesNtscAndRefusals) {
    bytes full = display_image(720, 486);
    std::string pic = dir.path("ntsc.pic");
    ASSERT_EQ(glotopic(pic.c_str(), 720, 486, full.data()), 1);
    std::string reel = dir.path("n.svj");
    auto r = run("encode '" + reel + "' -m 1 '" + pic + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(info(reel).find("height 496\n"), std::string::npos);
    struct {
        const char *scale;
        int w, h;
    } cases[] = {{"1", 720, 486}, {"4", 180, 120}, {"8", 90, 60}};
    for (const auto &c : cases) {
        std::string out = dir.path(std::string("s") + c.scale + ".jpg");
        r = run("decode '" + reel + "' 0 '" + out + "' -s " + c.scale);
        ASSERT_EQ(r.status, 0) << r.err;
        int w = 0, h = 0;
        ASSERT_EQ(headerjpg(out.c_str(), &w, &h), 1);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
    }
    EXPECT_EQ(run("decode '" + reel + "' 1 '" + dir.path("x.jpg") + "'").status, 1);
    EXPECT_EQ(run("read '" + reel + "' 1 '" + dir.path("x.jpg") + "'").status, 1);
    EXPECT_EQ(run("decode '" + reel + "' 0 '" + dir.path("x.jpg") + "' -s 2").status, 1);
    EXPECT_EQ(run("encode '" + reel + "' -q 0 '" + pic + "'").status, 1);
    EXPECT_EQ(run("encode '" + reel + "' '" + dir.path("none.pic") + "'").status, 1);
}

} // namespace
