// Tests of the command-line tools for still pictures and the demo database:
// imgtool's info, convert and fit on a Targa file made by ImageMagick, its
// names, refusals and exit statuses, and orva-demo's argument checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>

#include <sys/stat.h>
#include <sys/wait.h>

#include "stills_test_util.h"

namespace {

using namespace stills_test;

// Exit status and combined output of a command line.
std::pair<int, std::string> run_tool(const std::string &cmd) {
    FILE *p = popen((cmd + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    for (size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    const int st = p ? pclose(p) : -1;
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, out};
}

std::pair<int, std::string> imgtool(const std::string &args) {
    return run_tool(ORVA_BIN_DIR "/tools/imgtool " + args);
}

std::string q(const std::string &s) {
    return "'" + s + "'";
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

TEST(Imgtool, NamesMissingFilesAndDamagedPictures) {
    ScratchDir dir;
    const std::string ppm = dir.path("src.ppm"), jpg = dir.path("src.jpg");
    ASSERT_TRUE(write_ppm(ppm, 37, 23, test_rgb(37, 23)));
    ASSERT_TRUE(run("convert '" + ppm + "' -quality 90 '" + jpg + "'"));
    const Bytes full = read_file(jpg);
    ASSERT_TRUE(write_file(dir.path("cut.jpg"), Bytes(full.begin(), full.end() - 60)));
    for (const char *name : {"up.JPG", "long.jpeg", "long.JPEG"})
        ASSERT_TRUE(write_file(dir.path(name), full));
    ASSERT_TRUE(run("convert '" + ppm + "' -type Grayscale 'sgi:" + dir.path("grey.bw") + "'"));
    ASSERT_EQ(mkfifo(dir.path("fifo.tga").c_str(), 0600), 0);
    // (arguments, exit status, text expected in the output)
    const std::tuple<std::string, int, std::string> cases[] = {
        {"info " + q(dir.path("up.JPG")), 0, "37 23\n"},
        {"info " + q(dir.path("long.jpeg")), 0, "37 23\n"},
        {"info " + q(dir.path("long.JPEG")), 0, "37 23\n"},
        {"info " + q(dir.path("grey.bw")), 0, "37 23\n"},
        {"convert " + q(dir.path("up.JPG")) + " " + q(dir.path("out.TGA")), 0, ""},
        {"convert -q 80 " + q(dir.path("grey.bw")) + " " + q(dir.path("out.jpeg")), 0, ""},
        {"info " + q(dir.path("missing.tga")), 1, "No such file"},
        {"convert " + q(dir.path("missing.jpg")) + " " + q(dir.path("o.tga")), 1, "No such file"},
        {"info " + q(dir.path("fifo.tga")), 1, "not a regular file"},
        {"convert " + q(dir.path("cut.jpg")) + " " + q(dir.path("cut.tga")), 1, "cannot read"},
        {"info " + q(dir.path("x.PIC")), 1, "lower-case .pic"},
        {"convert " + q(jpg) + " " + q(dir.path("nodir/o.tga")), 1, "No such file"},
    };
    for (const auto &[args, status, text] : cases) {
        const auto [st, out] = imgtool(args);
        EXPECT_EQ(st, status) << args << "\n" << out;
        EXPECT_NE(out.find(text), std::string::npos) << args << "\n" << out;
        if (status != 0) { // one message, naming the file
            EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << args << "\n" << out;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("cut.tga")));
    EXPECT_LE(max_diff(magick_decode(dir.path("out.TGA")), magick_decode(jpg)), 0);
    int w = 0, h = 0;
    EXPECT_EQ(
        std::sscanf(imgtool("info " + q(dir.path("out.jpeg"))).second.c_str(), "%d %d", &w, &h), 2);
    EXPECT_TRUE(w == 37 && h == 23);
}

TEST(Imgtool, HelpAndBadArguments) {
    ScratchDir dir;
    const std::string tga = dir.path("a.tga");
    ASSERT_TRUE(write_ppm(dir.path("a.ppm"), 4, 4, test_rgb(4, 4)));
    ASSERT_TRUE(run("convert '" + dir.path("a.ppm") + "' '" + tga + "'"));
    for (const char *help : {"--help", "-h", "convert --help"}) {
        const auto [st, out] = imgtool(help);
        EXPECT_EQ(st, 0) << help;
        EXPECT_EQ(out.rfind("usage: imgtool", 0), 0u) << help;
    }
    for (const std::string &args :
         {std::string(""), std::string("frobnicate"), std::string("info"),
          "info " + tga + " " + tga, "convert " + tga, "convert -q 0 " + tga + " b.tga",
          "convert -q 101 " + tga + " b.tga", "convert -q x " + tga + " b.tga",
          "convert " + tga + " b.tga -q", "fit -x " + tga + " b.tga", std::string("info ''")}) {
        const auto [st, out] = imgtool(args);
        EXPECT_EQ(st, 2) << args << "\n" << out;
        EXPECT_FALSE(out.empty()) << args;
    }
}

// orva-demo refuses what is not a directory name before it makes anything.
TEST(OrvaDemo, HelpAndBadArguments) {
    ScratchDir dir;
    const std::string demo = "cd " + q(dir.dir) + " && " ORVA_BIN_DIR "/tools/orva-demo";
    for (const char *help : {"--help", "-h"}) {
        const auto [st, out] = run_tool(demo + " " + help);
        EXPECT_EQ(st, 0) << help;
        EXPECT_EQ(out.rfind("usage: orva-demo DIR", 0), 0u) << help;
    }
    for (const char *args : {"''", "-x", "--", "-", "--frobnicate", "", "a b"}) {
        const auto [st, out] = run_tool(demo + " " + args);
        EXPECT_EQ(st, 2) << args << "\n" << out;
        EXPECT_NE(out.find("orva-demo"), std::string::npos) << args;
    }
    // Nothing was made: no folder named after an option, no database.
    EXPECT_TRUE(std::filesystem::is_empty(dir.dir));
}

} // namespace
