// The user's guide's generated parts: the message list checked against the
// sources (also on copies of the sources with planted changes, which it must
// refuse), and the screenshot script run on the real program.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

// Runs a shell command, collecting standard output and error.
Outcome run(const std::string &command) {
    Outcome r;
    FILE *p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.output.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string read_file(const fs::path &p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const fs::path &p, const std::string &text) {
    std::ofstream out(p, std::ios::trunc);
    out << text;
}

class TempDir {
  public:
    TempDir() {
        char name[] = "/tmp/orva-docs-XXXXXX";
        if (mkdtemp(name)) path_ = name;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    const fs::path &path() const { return path_; }

  private:
    fs::path path_;
};

const fs::path kSource = ORVA_SOURCE_DIR;
const fs::path kBuild = ORVA_BIN_DIR;

TEST(DocsMessages, ListMatchesTheSources) {
    const Outcome r = run("python3 " + (kSource / "scripts/messages.py").string() + " --check");
    EXPECT_EQ(r.status, 0) << r.output;
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
        TempDir tmp;
        ASSERT_FALSE(tmp.path().empty());
        for (const char *dir :
             {"ui", "editing", "desktop", "database", "vtr", "media", "device", "scripts", "docs"})
            fs::copy(kSource / dir, tmp.path() / dir,
                     fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        const fs::path file = tmp.path() / p.file;
        std::string text = read_file(file);
        if (*p.find) {
            const size_t at = text.find(p.find);
            ASSERT_NE(at, std::string::npos) << p.find;
            text.replace(at, std::string(p.find).size(), p.replace);
        } else {
            text += p.replace;
        }
        write_file(file, text);
        const Outcome r =
            run("python3 " + (tmp.path() / "scripts/messages.py").string() + " --check");
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(p.complaint), std::string::npos) << r.output;
    }
}

bool have(const char *tool) {
    return run(std::string("command -v ") + tool + " >/dev/null").status == 0;
}

TEST(DocsScreenshots, MakesEveryPicture) {
    for (const char *tool : {"Xvfb", "xdotool", "xwininfo", "import", "convert"})
        if (!have(tool)) GTEST_SKIP() << tool << " is not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());
    const Outcome r = run((kSource / "scripts/screenshots.sh").string() + " " +
                          (tmp.path() / "images").string() + " " + kBuild.string());
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char *name : {"main-window", "clip-window", "display", "export-dialog",
                             "processes-dialog", "import-dialog", "softcut", "vtr-panel"}) {
        const fs::path png = tmp.path() / "images" / (std::string(name) + ".png");
        ASSERT_TRUE(fs::exists(png)) << png;
        EXPECT_GT(fs::file_size(png), 500u) << png;
        EXPECT_EQ(read_file(png).substr(1, 3), "PNG") << png;
    }
}

// A program that never shows its window (the board simulator beside it is
// the real one): the script must stop and say so.
TEST(DocsScreenshots, FailsWhenAWindowDoesNotAppear) {
    for (const char *tool : {"Xvfb", "xdotool", "xwininfo", "import", "convert"})
        if (!have(tool)) GTEST_SKIP() << tool << " is not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());
    const fs::path fake = tmp.path() / "build";
    fs::create_directories(fake / "desktop");
    fs::create_directories(fake / "tools");
    write_file(fake / "desktop/orva", "#!/bin/sh\nexec sleep 30\n");
    fs::permissions(fake / "desktop/orva", fs::perms::owner_all);
    fs::create_symlink(kBuild / "tools/orva-demo", fake / "tools/orva-demo");
    fs::create_directories(fake / "boardsim");
    fs::create_symlink(kBuild / "boardsim/boardsim", fake / "boardsim/boardsim");
    const Outcome r = run("SCREENSHOTS_WAIT=2 " + (kSource / "scripts/screenshots.sh").string() +
                          " " + (tmp.path() / "images").string() + " " + fake.string());
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("FAIL: the main window did not appear"), std::string::npos) << r.output;
}

} // namespace
