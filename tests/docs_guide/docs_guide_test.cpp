// The user's guide's generated parts: the message list checked against the
// sources (also on copies of the sources with planted changes, which it must
// refuse), and the screenshot script run on the real program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/media/reel_fixtures.h"

namespace fs = std::filesystem;

namespace {

const auto run = reel_test::run_merged;
const fs::path kSource = ORVA_SOURCE_DIR;
const fs::path kBuild = ORVA_BIN_DIR;

std::string read_text(const fs::path &p) {
    std::stringstream s;
    s << std::ifstream(p).rdbuf();
    return s.str();
}

TEST(DocsMessages, ListMatchesTheSources) {
    const auto r = run("python3 " + (kSource / "scripts/messages.py").string() + " --check");
    EXPECT_EQ(r.status, 0) << r.out;
}

// A copy of the sources the script reads, with one change planted.
struct Planted {
    const char *what;
    const char *file; // relative to the copy
    const char *find; // text replaced (empty: append `replace`)
    const char *replace;
    const char *complaint; // expected in the check's output
};

const Planted kPlanted[] = {
    {"a message without an explanation", "desktop/clip_window.cpp", "",
     "\nvoid planted() { PutCharMessage(mainform, \"A planted message\"); }\n",
     "no explanation for 'A planted message'"},
    {"an explanation without a message", "scripts/messages_explained.txt", "",
     "\nmessage: Nobody shows this\nwhat: Nothing.\n", "'Nobody shows this' is no longer shown"},
    {"a text the script cannot follow", "desktop/clip_window.cpp", "",
     "\nvoid planted(const char *t) { PutCharMessage(mainform, t); }\n", "cannot follow"},
    {"a message whose wording changed", "desktop/factor_dialog.cpp", "Number of frames must be > 1",
     "Number of frames must be at least 2",
     "no explanation for 'Number of frames must be at least 2'"},
    {"a grab message put together differently", "desktop/grab.cpp", "\"Grab warning:\\n\"",
     "\"Grab notice:\\n\"", "update TEMPLATES"},
    {"an effect database message reworded", "editing/custom_fx.cpp", "Syntax error: ';' missing",
     "Syntax error: ';' expected", "no explanation for \"Syntax error: ';' expected\""},
    {"a list out of date", "docs/messages.md", "| Play error |", "| Play mistake |",
     "docs/messages.md is out of date"},
};

TEST(DocsMessages, CheckRefusesPlantedChanges) {
    for (const Planted &p : kPlanted) {
        SCOPED_TRACE(p.what);
        reel_test::temp_dir tmp;
        const fs::path copy = tmp.dir();
        for (const char *dir :
             {"ui", "editing", "desktop", "database", "vtr", "media", "device", "scripts", "docs"})
            fs::copy(kSource / dir, copy / dir,
                     fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        std::string text = read_text(copy / p.file);
        if (*p.find) {
            const size_t at = text.find(p.find);
            ASSERT_NE(at, std::string::npos) << p.find;
            text.replace(at, std::string(p.find).size(), p.replace);
        } else {
            text += p.replace;
        }
        std::ofstream(copy / p.file, std::ios::trunc) << text;
        const auto r = run("python3 " + (copy / "scripts/messages.py").string() + " --check");
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find(p.complaint), std::string::npos) << r.out;
    }
}

// Runs the screenshot script into tmp/images with the programs of build.
reel_test::run_result screenshots(const std::string &env, const fs::path &tmp,
                                  const fs::path &build) {
    return run(env + " " + (kSource / "scripts/screenshots.sh").string() + " " +
               (tmp / "images").string() + " " + build.string());
}

class DocsScreenshots : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *tool : {"Xvfb", "xdotool", "xwininfo", "import", "convert"})
            if (run(std::string("command -v ") + tool).status != 0)
                GTEST_SKIP() << tool << " is not installed";
    }
    reel_test::temp_dir tmp;
};

TEST_F(DocsScreenshots, MakesEveryPicture) {
    const auto r = screenshots("", tmp.dir(), kBuild);
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char *name : {"main-window", "clip-window", "display", "export-dialog",
                             "processes-dialog", "import-dialog", "softcut", "vtr-panel"}) {
        const std::string png = read_text(tmp.path("images/" + std::string(name) + ".png"));
        EXPECT_GT(png.size(), 500u) << name;
        EXPECT_EQ(png.substr(1, 3), "PNG") << name;
    }
}

// A program that never shows its window (the board simulator beside it is
// the real one): the script must stop and say so.
TEST_F(DocsScreenshots, FailsWhenAWindowDoesNotAppear) {
    const fs::path fake = tmp.path("build");
    for (const char *d : {"desktop", "tools", "boardsim"})
        fs::create_directories(fake / d);
    std::ofstream(fake / "desktop/orva") << "#!/bin/sh\nexec sleep 30\n";
    fs::permissions(fake / "desktop/orva", fs::perms::owner_all);
    for (const char *program : {"tools/orva-demo", "boardsim/boardsim"})
        fs::create_symlink(kBuild / program, fake / program);
    const auto r = screenshots("SCREENSHOTS_WAIT=2", tmp.dir(), fake);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("FAIL: the main window did not appear"), std::string::npos) << r.out;
}

} // namespace
