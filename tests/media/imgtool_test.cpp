// Tests of the command-line tools for still pictures and the demo database:
// imgtool's info, convert and fit on pictures made by ImageMagick, its
// names, refusals and exit statuses, and orva-demo's argument checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>

#include <sys/stat.h>

#include "stills_test_util.h"

namespace {

using namespace stills_test;

// Exit status and standard output and error together.
std::pair<int, std::string> run_tool(const std::string &cmd) {
    const reel_test::run_result r = reel_test::run_command(cmd);
    return {r.status, r.out + r.err};
}

std::pair<int, std::string> imgtool(const std::string &args) {
    return run_tool(ORVA_BIN_DIR "/tools/imgtool " + args);
}

const auto q = reel_test::shell_quote;

TEST(Imgtool, InfoConvertFitAndRefusals) {
    ScratchDir dir;
    const std::string ppm = dir.path("src.ppm"), src = dir.path("src.tga");
    const std::string jpg = dir.path("src.jpg");
    ASSERT_TRUE(magick_make(ppm, 37, 23, "-orient TopLeft", src));
    ASSERT_TRUE(magick_make(ppm, 37, 23, "-quality 90", jpg));
    ASSERT_TRUE(magick_make(ppm, 37, 23, "-type Grayscale", "sgi:" + dir.path("grey.bw")));
    const Bytes full = read_file(jpg);
    write_file(dir.path("cut.jpg"), Bytes(full.begin(), full.end() - 60));
    for (const char *name : {"up.JPG", "long.jpeg", "long.JPEG"})
        write_file(dir.path(name), full);
    ASSERT_EQ(mkfifo(dir.path("fifo.tga").c_str(), 0600), 0);
    // (arguments, exit status, text expected in the output)
    const std::tuple<std::string, int, std::string> cases[] = {
        {"info " + q(src), 0, "37 23\n"},
        {"info " + q(dir.path("up.JPG")), 0, "37 23\n"},
        {"info " + q(dir.path("long.jpeg")), 0, "37 23\n"},
        {"info " + q(dir.path("long.JPEG")), 0, "37 23\n"},
        {"info " + q(dir.path("grey.bw")), 0, "37 23\n"},
        {"convert " + q(src) + " " + q(dir.path("c.sgi")), 0, ""},
        {"fit " + q(src) + " " + q(dir.path("fit.tga")), 0, ""},
        {"convert " + q(dir.path("up.JPG")) + " " + q(dir.path("out.TGA")), 0, ""},
        {"convert -q 80 " + q(dir.path("grey.bw")) + " " + q(dir.path("out.jpeg")), 0, ""},
        {"info " + q(dir.path("out.jpeg")), 0, "37 23\n"},
        {"convert " + q(src) + " " + q(dir.path("x.png")), 1, "unknown picture format"},
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
        // Success says nothing but what was asked; a failure, one line.
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), text.empty() ? 0 : 1) << args << out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("cut.tga")));
    EXPECT_EQ(magick_decode(dir.path("c.sgi")), test_rgb(37, 23));
    EXPECT_LE(max_diff(magick_decode(dir.path("out.TGA")), magick_decode(jpg)), 0);
    // 37 x 22 lines fit width-bound into the PAL frame, black above and below.
    const Bytes rgb = magick_decode(dir.path("fit.tga"));
    ASSERT_EQ(rgb.size(), 720u * 576 * 3);
    EXPECT_EQ(rgb[0] | rgb[1] | rgb[2], 0);
    EXPECT_NE(rgb[(288 * 720 + 360) * 3 + 2], 0);
}

// Help goes to standard output with status 0; bad arguments exit 2 with a
// message; orva-demo makes nothing when it refuses its arguments.
TEST(ToolArguments, ImgtoolAndOrvaDemoHelpAndRefusals) {
    ScratchDir dir;
    const std::string tga = dir.path("a.tga");
    ASSERT_TRUE(magick_make(dir.path("a.ppm"), 4, 4, "", tga));
    const std::string tool = ORVA_BIN_DIR "/tools/imgtool ";
    const std::string demo = "cd " + q(dir.path("demo")) + " && " ORVA_BIN_DIR "/tools/orva-demo ";
    std::filesystem::create_directory(dir.path("demo"));
    for (const std::string &help :
         {tool + "--help", tool + "-h", tool + "convert --help", demo + "--help", demo + "-h"}) {
        const auto [st, out] = run_tool(help);
        EXPECT_EQ(st, 0) << help;
        EXPECT_EQ(out.rfind(help[0] == 'c' ? "usage: orva-demo DIR" : "usage: imgtool", 0), 0u)
            << help;
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
    for (const char *args : {"''", "-x", "--", "-", "--frobnicate", "", "a b"}) {
        const auto [st, out] = run_tool(demo + args);
        EXPECT_EQ(st, 2) << args << "\n" << out;
        EXPECT_NE(out.find("orva-demo"), std::string::npos) << args;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path("demo"))); // no folder named after an option
}

} // namespace
