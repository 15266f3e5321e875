// svjtool export: the sources joined as one clip and written as Targa
// pictures, JPEG field pairs and reels, checked against svjtool's own decode
// and field commands; the status line, the overwrite answer and the exit
// statuses.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "../media/reel_fixtures.h"

using namespace reel_test;

namespace {

std::string q(const std::string &path) {
    return " " + shell_quote(path);
}

// Runs svjtool with these arguments, which must succeed.
void svjtool_ok(const std::string &args) {
    run_result r = run_svjtool(args);
    ASSERT_EQ(r.status, 0) << args << "\n" << r.err;
}

class ExportCli : public ::testing::Test {
  protected:
    void SetUp() override {
        // Two reels at quality 85 and one at 60, from Targa pictures.
        std::string pics[4];
        for (int k = 0; k < 4; k++) {
            pics[k] = q(tmp.path("in" + std::to_string(k) + ".tga"));
            run_result r = run_command(
                "convert -size 720x576 gradient:red-blue -fill white -draw 'rectangle " +
                std::to_string(40 + 60 * k) + ",10 " + std::to_string(90 + 60 * k) + ",90'" +
                pics[k]);
            ASSERT_EQ(r.status, 0) << r.err;
        }
        svjtool_ok("encode" + q(a) + " -q 85" + pics[0] + pics[1] + pics[2]);
        svjtool_ok("encode" + q(b) + " -q 60" + pics[3]);
    }
    // svjtool's picture of field `field` of frame k of a reel, to `out`.
    std::string field(const std::string &reel, int k, int field, const std::string &out) {
        svjtool_ok("field" + q(reel) + " " + std::to_string(k) + " " + std::to_string(field) +
                   q(tmp.path(out)));
        return tmp.path(out);
    }
    temp_dir tmp;
    std::string a = tmp.path("a.svj"), b = tmp.path("b.svj");
};

TEST_F(ExportCli, TargaFramesAreWhatDecodeShows) {
    ASSERT_EQ(mkdir(tmp.path("out").c_str(), 0777), 0);
    const std::string args = " -f tga -n .0001. -s 2" + q(a) + q(b) + q(tmp.path("out/s"));
    run_result r = run_svjtool("export" + args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "status 0\n");
    const std::pair<std::string, int> from[] = {{a, 1}, {a, 2}, {b, 0}};
    for (int k = 0; k < 3; k++) {
        svjtool_ok("decode" + q(from[k].first) + " " + std::to_string(from[k].second) +
                   q(tmp.path("ref.tga")));
        const std::string name = tmp.path("out/s.000" + std::to_string(k + 1) + ".tga");
        EXPECT_EQ(read_file(tmp.path("ref.tga")), read_file(name)) << name;
    }
    // Again: the overwrite question is answered no without -y.
    r = run_svjtool("export" + args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("overwritten"), std::string::npos);
    svjtool_ok("export -y" + args);
    r = run_svjtool("export -f tga -o 0" + q(a) + q(tmp.path("t")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Start must be >= 1"), std::string::npos);
}

TEST_F(ExportCli, FieldsDecodeAsTheFieldCommandsFields) {
    svjtool_ok("export -f fields -e 2" + q(a) + q(tmp.path("f")));
    for (int k = 0; k < 2; k++)
        for (int f = 0; f < 2; f++) {
            const std::string ours =
                tmp.path("f_f" + std::to_string(f + 1) + "." + std::to_string(k + 1) + ".jpg");
            ASSERT_TRUE(djpeg_clean(ours, tmp.path("ours.ppm")));
            ASSERT_TRUE(djpeg_clean(field(a, k, f, "ref.jpg"), tmp.path("ref.ppm")));
            bytes ppm = read_file(tmp.path("ours.ppm"));
            EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + 11), "P6\n720 288\n");
            EXPECT_EQ(ppm, read_file(tmp.path("ref.ppm")));
        }
    // Pictures have no fields to take out: status 2 and its message.
    svjtool_ok("export -f tga -n .0001. -e 2" + q(a) + q(tmp.path("p")));
    run_result r =
        run_svjtool("export -f fields" + q(tmp.path("p.[0001...0002].tga")) + q(tmp.path("g")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "status 2\n");
    EXPECT_NE(r.err.find("only SVJ files can\nbe exported in JPEG fields format."),
              std::string::npos);
}

TEST_F(ExportCli, AReelAtItsSourcesQualityKeepsTheFieldsBytes) {
    svjtool_ok("export -f svj -q 85" + q(a) + q(b) + q(a) + q(tmp.path("r.mov")));
    const std::string out = tmp.path("r.svj");
    EXPECT_NE(run_svjtool("info" + q(out)).out.find("frames 7\n"), std::string::npos);
    // Output frames 0, 2, 4, 6 are A's frames 0, 2, 0, 2.
    for (int k = 0; k < 7; k += 2)
        for (int f = 0; f < 2; f++)
            EXPECT_EQ(read_file(field(out, k, f, "o.jpg")), read_file(field(a, k % 4, f, "s.jpg")))
                << k;
    svjtool_ok("index" + q(out));
    // The reel being written is one of its sources: refused.
    run_result r = run_svjtool("export -y -f svj" + q(a) + q(a));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("One or more files are in\nuse"), std::string::npos);
}

} // namespace
