// svjtool effect: softcut frames against ImageMagick's blend of the same
// decoded frames, wipe boundaries, picture sequences in and out, plug-ins,
// and the refusals that leave nothing behind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "../media/reel_fixtures.h"

using namespace reel_test;

namespace {

std::string q(const std::string &path) {
    return " " + shell_quote(path);
}

bool exists(const std::string &p) {
    return access(p.c_str(), F_OK) == 0;
}

// Runs a shell command that must succeed.
void sh(const std::string &command) {
    run_result r = run_command(command);
    ASSERT_EQ(r.status, 0) << command << "\n" << r.err;
}

// PSNR of two pictures in dB as ImageMagick measures it.
double psnr(const std::string &x, const std::string &y) {
    run_result r = run_command("compare -metric PSNR" + q(x) + q(y) + " null: 2>&1");
    return r.out.rfind("inf", 0) == 0 ? 1000 : std::atof(r.out.c_str());
}

// Red, green, blue of one pixel (x, y from the top) of a picture.
std::string pixel(const std::string &pic, int x, int y) {
    run_result r = run_command("convert" + q(pic) + " -crop 1x1+" + std::to_string(x) + "+" +
                               std::to_string(y) + " -depth 8 txt:- | tail -1");
    const size_t p = r.out.find('(');
    return p == std::string::npos ? r.out : r.out.substr(p, r.out.find(')') - p + 1);
}

// True when two pixels of pixel() differ by at most tol in each channel.
bool near(const std::string &x, const std::string &y, int tol) {
    int u[3], v[3];
    if (sscanf(x.c_str(), "(%d,%d,%d)", &u[0], &u[1], &u[2]) != 3 ||
        sscanf(y.c_str(), "(%d,%d,%d)", &v[0], &v[1], &v[2]) != 3)
        return false;
    for (int k = 0; k < 3; k++)
        if (std::abs(u[k] - v[k]) > tol) return false;
    return true;
}

class EffectCli : public ::testing::Test {
  protected:
    void SetUp() override {
        // A: three frames of a red-blue gradient with a moving box; B: two
        // frames of a green-white gradient; each as Targa pictures, JPEG
        // copies and a reel of the copies. A black and a white reel.
        std::string reel_a = "encode" + q(a) + " -q 90", reel_b = "encode" + q(b) + " -q 90";
        for (int k = 0; k < 3; k++) {
            const std::string pa = tmp.path("a." + std::to_string(1001 + k)),
                              pb = tmp.path("b.000" + std::to_string(k + 1));
            sh("convert -size 720x576 gradient:red-blue -fill yellow -draw 'rectangle " +
               std::to_string(40 + 100 * k) + ",100 " + std::to_string(140 + 100 * k) + ",300'" +
               q(pa + ".tga") + " && convert" + q(pa + ".tga") + " -quality 95" + q(pa + ".jpg"));
            sh("convert -size 720x576 gradient:green-white -rotate " + std::to_string(90 * k) +
               " -resize 720x576!" + q(pb + ".tga") + " && convert" + q(pb + ".tga") +
               " -quality 95" + q(pb + ".jpg"));
            reel_a += q(pa + ".jpg");
            if (k < 2) reel_b += q(pb + ".jpg");
        }
        ASSERT_EQ(run_svjtool(reel_a).status, 0);
        ASSERT_EQ(run_svjtool(reel_b).status, 0);
        for (const std::string c : {"black", "white"}) {
            const std::string pic = tmp.path(c + ".jpg");
            sh("convert -size 720x576 xc:" + c + q(pic));
            std::string args = "encode" + q(tmp.path(c + ".svj")) + " -q 90";
            for (int k = 0; k < 9; k++)
                args += q(pic);
            ASSERT_EQ(run_svjtool(args).status, 0);
        }
    }
    std::string frame(const std::string &reel, int k, const std::string &name) {
        const std::string out = tmp.path(name);
        EXPECT_EQ(run_svjtool("read" + q(reel) + " " + std::to_string(k) + q(out)).status, 0);
        return out;
    }
    temp_dir tmp;
    std::string a = tmp.path("a.svj"), b = tmp.path("b.svj");
};

TEST_F(EffectCli, SoftcutFramesAreImageMagicksBlend) {
    const std::string out = tmp.path("sc.svj");
    run_result r = run_svjtool("effect softcut 2" + q(a) + " 1" + q(b) + " 0" + q(out));
    ASSERT_EQ(r.status, 0) << r.err;
    for (int i = 0; i < 2; i++) {
        const std::string fa = frame(a, 1 + i, "fa.sgi"), fb = frame(b, i, "fb.sgi");
        const std::string ref = tmp.path("ref.sgi"), got = frame(out, i, "got.sgi");
        sh("convert" + q(fa) + q(fb) + " -compose blend -define compose:args=" +
           std::to_string(100 * (i + 1) / 3.0) + " -composite" + q(ref));
        EXPECT_GT(psnr(got, ref), 32.0) << "frame " << i;
        EXPECT_LT(psnr(got, fa), 30.0); // clearly not A alone
    }
}

TEST_F(EffectCli, WipeBoundaries) {
    // n = 9 over 720 x 576: column steps of 72, row steps of 57.6. A pixel
    // just inside B's side, then one just inside A's side (from the top left).
    const struct {
        const char *effect;
        int i, x, y, ox, oy;
    } cases[] = {
        {"wipe-lr", 4, 355, 300, 364, 300}, // B left of 360
        {"wipe-rl", 4, 364, 300, 355, 300}, // A left of (9 - 4) * 72 = 360
        {"wipe-bt", 1, 300, 575, 300, 400}, // B in the bottom 115 lines
        {"wipe-tb", 1, 300, 10, 300, 575},  // B in the top lines
    };
    for (const auto &c : cases) {
        const std::string out = tmp.path(std::string(c.effect) + ".svj");
        run_result r =
            run_svjtool(std::string("effect ") + c.effect + " 9" + q(tmp.path("black.svj")) + " 0" +
                        q(tmp.path("white.svj")) + " 0" + q(out));
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string got = frame(out, c.i, "w.sgi");
        EXPECT_EQ(pixel(got, c.x, c.y), "(255,255,255)") << c.effect;
        EXPECT_EQ(pixel(got, c.ox, c.oy), "(0,0,0)") << c.effect;
    }
}

TEST_F(EffectCli, PictureSequencesGivePictures) {
    // A's Targa sequence in style ".%04i" into pictures of A's style.
    run_result r = run_svjtool("effect wipe-lr 2" + q(tmp.path("a.[1001...1003].tga")) + " 0" +
                               q(tmp.path("b.[0001...0002].tga")) + " 0" + q(tmp.path("pw")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(exists(tmp.path("pw.0002.tga")));
    EXPECT_FALSE(exists(tmp.path("pw.0003.tga")));
    // Frame 1 (i = 0): columns below 240 from B, the rest A, pixel for pixel.
    const std::string p = tmp.path("pw.0001.tga");
    EXPECT_TRUE(near(pixel(p, 100, 200), pixel(tmp.path("b.0001.tga"), 100, 200), 0));
    EXPECT_TRUE(near(pixel(p, 600, 200), pixel(tmp.path("a.1001.tga"), 600, 200), 0));
    // A JPEG sequence with a reel makes a reel, the pictures read
    // field-sequential: i = 0 of 2, the top third is B, the rest A, lines
    // in their places.
    const std::string mixed = tmp.path("mixed.svj");
    r = run_svjtool("effect wipe-tb 2" + q(tmp.path("a.[1001...1003].jpg")) + " 0" + q(b) + " 0" +
                    q(mixed));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string got = frame(mixed, 0, "m.sgi"), fb = frame(b, 0, "mb.sgi");
    for (int y : {10, 100, 180}) {
        EXPECT_TRUE(near(pixel(got, 600, y), pixel(fb, 600, y), 6)) << y;
        EXPECT_TRUE(near(pixel(got, 60, y), pixel(fb, 60, y), 6)) << y;
    }
    for (int y : {200, 201, 400, 560})
        EXPECT_TRUE(near(pixel(got, 600, y), pixel(tmp.path("a.1001.jpg"), 600, y), 10)) << y;
}

TEST_F(EffectCli, RefusalsLeaveNothing) {
    sh("convert -size 360x288 xc:red" + q(tmp.path("s.0001.tga")));
    const std::string out = tmp.path("no.svj"), few = "Not enough frames to do effect.\nCheck "
                                                      "in and out markers.\n";
    const struct {
        std::string args, message;
        int status;
    } cases[] = {
        {"softcut 3" + q(a) + " 1" + q(b) + " 0", few, 1},
        {"softcut 2" + q(a) + " 0" + q(b) + " 1", few, 1},
        {"softcut 0" + q(a) + " 0" + q(b) + " 0", "", 2},
        {"fade 1" + q(a) + " 0" + q(b) + " 0", "", 2},
        {"softcut 1" + q(a) + " 0" + q(tmp.path("none.svj")) + " 0", "", 1},
        {"softcut 1" + q(tmp.path("s.[0001...0001].tga")) + " 0" + q(b) + " 0",
         "The clips have different sizes.\n", 1},
        {q(tmp.path("none.so")) + " 2" + q(a) + " 0" + q(b) + " 0", "", 2},
    };
    for (const auto &c : cases) {
        run_result r = run_svjtool("effect " + c.args + q(out));
        EXPECT_EQ(r.status, c.status) << c.args << r.err;
        if (!c.message.empty()) {
            EXPECT_EQ(r.err, c.message);
        }
        EXPECT_FALSE(exists(out)) << c.args;
    }
}

TEST_F(EffectCli, PluginEffect) {
    const std::string plugin = std::string(ORVA_BIN_DIR) + "/test-plugins/plugin_good.so";
    if (!exists(plugin)) GTEST_SKIP() << "plug-in not built";
    const std::string out = tmp.path("pl.svj");
    run_result r = run_svjtool("effect" + q(plugin) + " 2" + q(a) + " 0" + q(b) + " 0" + q(out));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(exists(out));
}

} // namespace
