// The svjtool command-line tool: reel commands (pack, info, index, sizes,
// field), picture commands through the svj driver (encode, read, decode),
// exit statuses and messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include "media/fm_format_svj.h"
#include "media/img_jpeg.h"
#include "media/img_pic.h"
#include "platform/sem.h"
#include "tests/media/fm_test_util.h"
#include "tests/media/reel_fixtures.h"

using namespace reel_test;

namespace {

const auto run = run_svjtool;

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

    // A field comes out as a standalone JPEG, header and field, ending at
    // its FF D9; fields taken out pack into a reel again, the same fields
    // byte for byte (the new header differs from the old one only in FF fill).
    std::vector<bytes> taken;
    args = "pack" + q(tmp.path("again.svj")) + " 720 576";
    for (int k = 0; k < 4; k++) {
        const std::string out = tmp.path("field" + std::to_string(k) + ".jpg");
        r = run("field" + q(reel) + " " + std::to_string(k / 2) + " " + std::to_string(k % 2) +
                q(out));
        ASSERT_EQ(r.status, 0) << r.err;
        taken.push_back(ref.header);
        taken.back().insert(taken.back().end(), ref.fields[k].begin(), ref.fields[k].end());
        EXPECT_TRUE(read_file(out) == taken.back()) << k;
        args += q(out);
    }
    EXPECT_TRUE(djpeg_clean(tmp.path("field2.jpg")));
    ASSERT_EQ(run(args).status, 0);
    const ref_reel again = ref_build(taken, 720, 576, true);
    EXPECT_TRUE(again.fields == ref.fields);
    EXPECT_TRUE(read_file(tmp.path("again.svj")) == again.file);
}

// Each failure prints one line, from the layer that saw it or from the tool,
// and exits 1; bad arguments exit 2 after a message; a pack that fails
// leaves no reel behind; help goes to standard output.
TEST(SvjTool, OneMessagePerFailureAndExitStatuses) {
    temp_dir tmp;
    const std::string reel = tmp.path("r.svj"), junk = tmp.path("junk.svj");
    const std::string p = q(tmp.path("p.svj")), good = q(tmp.path("good.jpg"));
    const std::string x = q(tmp.path("x.jpg"));
    auto jpegs = make_fields(1, 64, 32);
    ASSERT_EQ(store_reel(reel, jpegs, 64, 64), "");
    write_file(junk, bytes(5000, 0x41));
    const bytes whole = read_file(reel);
    write_file(tmp.path("cut.svj"), bytes(whole.begin(), whole.end() - 30));
    write_file(tmp.path("good.jpg"), jpegs[0]);
    bytes bad = jpegs[1];
    bad[bad.size() - 2] = 0x00; // fails the end check
    write_file(tmp.path("bad.jpg"), bad);
    // A sparse file of 4 GiB whose tail claims a 64 MB table in its hole.
    write_tail_file(tmp.path("sparse.svj"), 0xFFFFFFFFu,
                    {720, 576, 4000000, uint32_t(0xFFFFFFFFu - 68 - 64000000), 100}, true);
    const struct {
        std::string args;
        int status;
    } cases[] = {
        {"info" + q(junk), 1},
        {"info" + q(tmp.path("cut.svj")), 1},
        {"info" + q(tmp.path("missing.svj")), 1},
        {"info" + q(tmp.path("sparse.svj")), 1},
        {"index" + q(junk), 1},
        {"sizes" + q(junk) + q(tmp.path("s.txt")), 1},
        {"sizes" + q(reel) + q(tmp.dir()), 1},
        {"field" + q(junk) + " 0 0" + x, 1},
        {"field" + q(reel) + " 1 0" + x, 1},
        {"pack" + p + " 64 64" + good + q(tmp.path("bad.jpg")), 1},
        {"pack" + p + " 64 64" + good + q(tmp.path("none.jpg")), 1},
        {"decode" + q(junk) + " 0" + x, 1},
        {"read" + q(reel) + " 1" + x, 1},
        {"encode" + p + q(tmp.path("none.pic")), 1},
        {"decode" + q(reel) + " 0" + x + " -s 2", 2},
        {"read" + q(reel) + " -1" + x, 2},
        {"", 2},
        {"frobnicate", 2},
        {"info", 2},
        {"field" + q(reel) + " x 0" + x, 2},
        {"field" + q(reel) + " 0 2" + x, 2},
        {"pack" + p + " 64 64" + good, 2},
        {"pack" + p + " 0 64" + good + good, 2},
    };
    for (const auto &c : cases) {
        run_result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        if (c.status == 1) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << r.err;
        } else {
            EXPECT_FALSE(r.err.empty()) << c.args;
        }
        EXPECT_TRUE(r.out.empty()) << c.args;
    }
    EXPECT_FALSE(access(tmp.path("p.svj").c_str(), F_OK) == 0);
    for (const char *help : {"-h", "--help"}) {
        run_result r = run(help);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("FRAME counts from 0"), std::string::npos) << r.out;
        EXPECT_TRUE(r.err.empty());
    }
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
}
