// The svjtool command-line tool: reel commands (pack, info, index, sizes,
// field) and picture commands through the svj driver (encode, read, decode).
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include "media/img_jpeg.h"
#include "media/img_pic.h"
#include "tests/media/fm_test_util.h"
#include "tests/media/reel_fixtures.h"

using namespace reel_test;

namespace {

std::string tool() {
    for (std::string p : {std::string(ORVA_BIN_DIR) + "/tools/svjtool",
                          std::string(ORVA_BIN_DIR) + "/tools/svjtool/svjtool"})
        if (access(p.c_str(), X_OK) == 0) return p;
    return "svjtool-not-built";
}

run_result run(const std::string &args) {
    return run_command(tool() + " " + args);
}

std::string q(const std::string &path) {
    return " '" + path + "'";
}

// A w x h 3-byte display image (B, G, R, bottom-up) of smooth gradients.
bytes display_image(int w, int h) {
    bytes image(size_t(w) * h * 3);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char *p = image.data() + (size_t(h - 1 - y) * w + x) * 3;
            p[0] = (unsigned char)(40 + 160 * x / w);
            p[1] = (unsigned char)(30 + 180 * y / h);
            p[2] = (unsigned char)(200 - 100 * (x + y) / (w + h));
        }
    return image;
}

} // namespace

TEST(SvjTool, ReelCommands) {
    temp_dir tmp;
    std::string reel = tmp.path("r.svj"), args = "pack" + q(reel) + " 720 576";
    auto jpegs = make_fields(2, 720, 288, 20, true);
    for (size_t k = 0; k < jpegs.size(); k++) {
        write_file(tmp.path("f" + std::to_string(k) + ".jpg"), jpegs[k]);
        args += q(tmp.path("f" + std::to_string(k) + ".jpg"));
    }
    run_result r = run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    ref_reel ref = ref_build(jpegs, 720, 576, true);
    EXPECT_TRUE(read_file(reel) == ref.file);

    r = run("info" + q(reel));
    EXPECT_EQ(r.out, "magic DVS102\nwidth 720\nheight 576\nframes 2\nheader " +
                         std::to_string(ref.header.size()) + "\ntable " +
                         std::to_string(ref.table) + "\nlost 0\nratio " +
                         std::to_string(uint64_t(720) * 2 * 576 * 2 / ref.file.size()) + "\n");
    r = run("index" + q(reel));
    char line[80];
    std::snprintf(line, sizeof line, "Found field start %5d:%d @ %08x\n", 1, 1, ref.offsets[3] + 4);
    EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    r = run("sizes" + q(reel) + q(tmp.path("sizes.txt")));
    bytes text = read_file(tmp.path("sizes.txt"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5); // a line, then one per field
    EXPECT_EQ(std::string(text.begin(), text.begin() + 8), "0 0.0\n0 ");

    std::string out = tmp.path("field.jpg");
    r = run("field" + q(reel) + " 1 0" + q(out));
    ASSERT_EQ(r.status, 0) << r.err;
    bytes want = ref.header;
    want.insert(want.end(), ref.fields[2].begin(), ref.fields[2].end());
    bytes f = read_file(out);
    ASSERT_EQ(f.size(), want.size() + 1024);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), f.begin()));
    EXPECT_TRUE(djpeg_clean(out));

    // Refusals: usage, unknown commands, bad reels and arguments.
    bytes cut = ref.file;
    cut.resize(cut.size() - 30);
    write_file(tmp.path("cut.svj"), cut);
    for (const std::string &bad :
         {std::string(""), std::string("frobnicate x"), "info" + q(tmp.path("cut.svj")),
          "field" + q(tmp.path("cut.svj")) + " 0 0" + q(out), "field" + q(reel) + " 2 0" + q(out),
          "pack" + q(tmp.path("p.svj")) + " 720 576" + q(tmp.path("f0.jpg"))})
        EXPECT_EQ(run(bad).status, 1) << bad;
    EXPECT_NE(run("info" + q(tmp.path("cut.svj"))).err.find("svj_open: Not svj file"),
              std::string::npos);
}

TEST(FmSvjtool, EncodeReadAndDecode) {
    temp_dir tmp;
    bytes full = display_image(720, 576), half = display_image(360, 288);
    std::string pic = tmp.path("full.pic"), jpg = tmp.path("half.jpg"), reel = tmp.path("r.svj");
    ASSERT_EQ(glotopic(pic.c_str(), 720, 576, full.data()), 1);
    ASSERT_EQ(glotojpg(jpg.c_str(), 360, 288, half.data(), 95), 1);
    run_result r = run("encode" + q(reel) + " -q 90" + q(pic) + q(jpg));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(run("info" + q(reel)).out.find("frames 2\n"), std::string::npos);
    // Both frames come back as the full-size picture: the half-size one was
    // fitted (doubled) to the frame.
    for (int frame = 0; frame < 2; frame++) {
        for (const char *command : {"read", "decode"}) {
            SCOPED_TRACE(std::string(command) + " frame " + std::to_string(frame));
            std::string out = tmp.path("out.jpg");
            r = run(command + q(reel) + " " + std::to_string(frame) + q(out));
            ASSERT_EQ(r.status, 0) << r.err;
            int w = 0, h = 0;
            ASSERT_EQ(headerjpg(out.c_str(), &w, &h), 1);
            ASSERT_EQ(w * h, 720 * 576);
            bytes got(size_t(w) * h * 3);
            ASSERT_EQ(jpgtoglo(out.c_str(), got.data(), 0), 1);
            EXPECT_LT(fm_test::compare(got.data(), full.data(), full.size()).mean, 4.0);
        }
    }
    r = run("decode" + q(reel) + " 0" + q(tmp.path("s.jpg")) + " -s 8");
    int w = 0, h = 0;
    ASSERT_EQ(headerjpg(tmp.path("s.jpg").c_str(), &w, &h), 1);
    EXPECT_EQ(w * 100 + h, 90 * 100 + 72);
    for (const std::string &bad :
         {"decode" + q(reel) + " 2" + q(tmp.path("x.jpg")),
          "read" + q(reel) + " 2" + q(tmp.path("x.jpg")),
          "decode" + q(reel) + " 0" + q(tmp.path("x.jpg")) + " -s 2",
          "encode" + q(reel) + " -q 0" + q(pic), "encode" + q(reel) + q(tmp.path("none.pic"))})
        EXPECT_EQ(run(bad).status, 1) << bad;
}
