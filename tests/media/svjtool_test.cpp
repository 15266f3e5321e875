// The svjtool command-line tool: reel commands (pack, info, index, sizes,
// field) and picture commands through the svj driver (encode, read, decode).
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include "media/img_jpeg.h"
#include "media/img_pic.h"
#include "platform/sem.h"
#include "tests/media/fm_test_util.h"
#include "tests/media/reel_fixtures.h"

using namespace reel_test;

namespace {

run_result run(const std::string &args) {
    std::string tool = std::string(ORVA_BIN_DIR) + "/tools/svjtool";
    if (access((tool + "/svjtool").c_str(), X_OK) == 0) tool += "/svjtool";
    return run_command(tool + " " + args);
}

std::string q(const std::string &path) {
    return " '" + path + "'";
}

// A w x h 3-byte display image (B, G, R, bottom-up) of smooth gradients.
bytes display_image(int w, int h) {
    bytes image(size_t(w) * h * 3);
    for (size_t p = 0; p < image.size(); p += 3) {
        const int x = int(p / 3 % size_t(w)), y = int(p / 3 / size_t(w));
        image[p] = (unsigned char)(40 + 160 * x / w);
        image[p + 1] = (unsigned char)(30 + 180 * y / h);
        image[p + 2] = (unsigned char)(200 - 100 * (x + y) / (w + h));
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

    EXPECT_EQ(run("info" + q(reel)).out,
              "magic DVS102\nwidth 720\nheight 576\nframes 2\nheader " +
                  std::to_string(ref.header.size()) + "\ntable " + std::to_string(ref.table) +
                  "\nlost 0\nratio " +
                  std::to_string(uint64_t(720) * 2 * 576 * 2 / ref.file.size()) + "\n");
    char line[80];
    std::snprintf(line, sizeof line, "Found field start %5d:%d @ %08x\n", 1, 1, ref.offsets[3] + 4);
    EXPECT_NE(run("index" + q(reel)).out.find(line), std::string::npos);
    run("sizes" + q(reel) + q(tmp.path("sizes.txt")));
    bytes text = read_file(tmp.path("sizes.txt"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5); // a line, then one per field

    std::string out = tmp.path("field.jpg");
    ASSERT_EQ(run("field" + q(reel) + " 1 0" + q(out)).status, 0);
    bytes want = ref.header, f = read_file(out);
    want.insert(want.end(), ref.fields[2].begin(), ref.fields[2].end());
    ASSERT_EQ(f.size(), want.size() + 1024);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), f.begin()));
    EXPECT_TRUE(djpeg_clean(out));

    // Refusals: usage, unknown commands, bad reels and arguments.
    write_file(tmp.path("cut.svj"), bytes(ref.file.begin(), ref.file.end() - 30));
    for (const std::string &bad :
         {std::string(""), std::string("frobnicate x"), "info" + q(tmp.path("cut.svj")),
          "field" + q(reel) + " 2 0" + q(out),
          "pack" + q(tmp.path("p.svj")) + " 720 576" + q(tmp.path("f0.jpg"))})
        EXPECT_EQ(run(bad).status, 1) << bad;
}

TEST(FmSvjtool, EncodeReadAndDecode) {
    SemInit(); // the picture writers pass the pause gate
    temp_dir tmp;
    bytes full = display_image(720, 576), half = display_image(360, 288);
    std::string pic = tmp.path("full.pic"), jpg = tmp.path("half.jpg"), reel = tmp.path("r.svj");
    ASSERT_EQ(glotopic(pic.c_str(), 720, 576, full.data()), 1);
    ASSERT_EQ(glotojpg(jpg.c_str(), 360, 288, half.data(), 95), 1);
    run_result r = run("encode" + q(reel) + " -q 90" + q(pic) + q(jpg));
    ASSERT_EQ(r.status, 0) << r.err;
    // Both frames come back as the full-size picture: the half-size one was
    // fitted (doubled) to the frame.
    for (const char *command : {"read", "decode"}) {
        std::string out = tmp.path("out.jpg");
        ASSERT_EQ(run(command + q(reel) + (command[0] == 'r' ? " 0" : " 1") + q(out)).status, 0);
        int w = 0, h = 0;
        ASSERT_EQ(headerjpg(out.c_str(), &w, &h), 1);
        ASSERT_EQ(w * h, 720 * 576);
        bytes got(size_t(w) * h * 3);
        ASSERT_EQ(jpgtoglo(out.c_str(), got.data(), 0), 1);
        EXPECT_LT(fm_test::compare(got.data(), full.data(), full.size()).mean, 4.0) << command;
    }
    run("decode" + q(reel) + " 0" + q(tmp.path("s.jpg")) + " -s 8");
    int w = 0, h = 0;
    ASSERT_EQ(headerjpg(tmp.path("s.jpg").c_str(), &w, &h), 1);
    EXPECT_EQ(w * 100 + h, 90 * 100 + 72);
    for (const std::string &bad : {"read" + q(reel) + " 2" + q(tmp.path("x.jpg")),
                                   "decode" + q(reel) + " 0" + q(tmp.path("x.jpg")) + " -s 2",
                                   "encode" + q(reel) + q(tmp.path("none.pic"))})
        EXPECT_EQ(run(bad).status, 1) << bad;
}
