// svjtool export: the sources joined as one clip and written as Targa
// pictures, JPEG field pairs and reels, checked against svjtool's own decode
// and field commands; the status line, the overwrite answer and the exit
// statuses.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "../media/reel_fixtures.h"

using namespace reel_test;

namespace {

const auto svjtool = run_svjtool;

std::string q(const std::string &path) {
    return " '" + path + "'";
}

class ExportCli : public ::testing::Test {
  protected:
    void SetUp() override {
        // Two reels at quality 85 and one at 60, from Targa pictures.
        for (int k = 0; k < 4; k++) {
            std::string pic = tmp.path("in" + std::to_string(k) + ".tga");
            run_result r = run_command("convert -size 720x576 gradient:red-blue -fill white -draw "
                                       "'rectangle " +
                                       std::to_string(40 + 60 * k) + ",10 " +
                                       std::to_string(90 + 60 * k) + ",90'" + q(pic));
            ASSERT_EQ(r.status, 0) << r.err;
        }
        ASSERT_EQ(svjtool("encode" + q(a) + " -q 85" + q(tmp.path("in0.tga")) +
                          q(tmp.path("in1.tga")) + q(tmp.path("in2.tga")))
                      .status,
                  0);
        ASSERT_EQ(svjtool("encode" + q(b) + " -q 60" + q(tmp.path("in3.tga"))).status, 0);
    }
    temp_dir tmp;
    std::string a = tmp.path("a.svj"), b = tmp.path("b.svj");
};

TEST_F(ExportCli, TargaFramesAreWhatDecodeShows) {
    ASSERT_EQ(mkdir(tmp.path("out").c_str(), 0777), 0);
    run_result r = svjtool("export -f tga -n .0001. -s 2" + q(a) + q(b) + q(tmp.path("out/s")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "status 0\n");
    const char *from[][2] = {{"a", "1"}, {"a", "2"}, {"b", "0"}};
    for (int k = 0; k < 3; k++) {
        std::string ref = tmp.path("ref.tga");
        ASSERT_EQ(svjtool("decode" + q(tmp.path(std::string(from[k][0]) + ".svj")) + " " +
                          from[k][1] + q(ref))
                      .status,
                  0);
        char name[32];
        std::snprintf(name, sizeof name, "out/s.%04d.tga", k + 1);
        EXPECT_EQ(read_file(ref), read_file(tmp.path(name))) << name;
    }
    // Again: the overwrite question is answered no without -y.
    r = svjtool("export -f tga -n .0001. -s 2" + q(a) + q(b) + q(tmp.path("out/s")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("overwritten"), std::string::npos);
    r = svjtool("export -y -f tga -n .0001. -s 2" + q(a) + q(b) + q(tmp.path("out/s")));
    EXPECT_EQ(r.status, 0) << r.err;
    r = svjtool("export -f tga -o 0" + q(a) + q(tmp.path("t")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Start must be >= 1"), std::string::npos);
}

TEST_F(ExportCli, FieldsDecodeAsTheFieldCommandsFields) {
    run_result r = svjtool("export -f fields -e 2" + q(a) + q(tmp.path("f")));
    ASSERT_EQ(r.status, 0) << r.err;
    for (int k = 0; k < 2; k++)
        for (int field = 0; field < 2; field++) {
            std::string ours =
                tmp.path("f_f" + std::to_string(field + 1) + "." + std::to_string(k + 1) + ".jpg");
            ASSERT_EQ(svjtool("field" + q(a) + " " + std::to_string(k) + " " +
                              std::to_string(field) + q(tmp.path("ref.jpg")))
                          .status,
                      0);
            ASSERT_TRUE(djpeg_clean(ours, tmp.path("ours.ppm")));
            ASSERT_TRUE(djpeg_clean(tmp.path("ref.jpg"), tmp.path("ref.ppm")));
            bytes ppm = read_file(tmp.path("ours.ppm"));
            EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + 11), "P6\n720 288\n");
            EXPECT_EQ(ppm, read_file(tmp.path("ref.ppm")));
        }
    // Pictures have no fields to take out: status 2 and its message.
    ASSERT_EQ(svjtool("export -f tga -n .0001. -e 2" + q(a) + q(tmp.path("p"))).status, 0);
    r = svjtool("export -f fields" + q(tmp.path("p.[0001...0002].tga")) + q(tmp.path("g")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "status 2\n");
    EXPECT_NE(r.err.find("only SVJ files can\nbe exported in JPEG fields format."),
              std::string::npos);
}

TEST_F(ExportCli, AReelAtItsSourcesQualityKeepsTheFieldsBytes) {
    run_result r = svjtool("export -f svj -q 85" + q(a) + q(b) + q(a) + q(tmp.path("r.mov")));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string out = tmp.path("r.svj");
    EXPECT_NE(svjtool("info" + q(out)).out.find("frames 7\n"), std::string::npos);
    const struct {
        int out;
        const std::string *reel;
        int frame;
    } same[] = {{0, &a, 0}, {2, &a, 2}, {4, &a, 0}, {6, &a, 2}};
    for (const auto &s : same)
        for (int field = 0; field < 2; field++) {
            ASSERT_EQ(svjtool("field" + q(out) + " " + std::to_string(s.out) + " " +
                              std::to_string(field) + q(tmp.path("o.jpg")))
                          .status,
                      0);
            ASSERT_EQ(svjtool("field" + q(*s.reel) + " " + std::to_string(s.frame) + " " +
                              std::to_string(field) + q(tmp.path("s.jpg")))
                          .status,
                      0);
            EXPECT_EQ(read_file(tmp.path("o.jpg")), read_file(tmp.path("s.jpg"))) << s.out;
        }
    EXPECT_EQ(svjtool("index" + q(out)).status, 0);
    // The reel being written is one of its sources: refused.
    r = svjtool("export -y -f svj" + q(a) + q(a));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("One or more files are in\nuse"), std::string::npos);
}

} // namespace
