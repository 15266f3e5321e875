// Tests of what the programs say about themselves: every program answers
// --help and --version (orva without a display), every program has a manual
// page that man formats without a warning, and each page names every verb,
// option and environment variable its program's --help lists.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "orva_version.h"
#include "tests/media/reel_fixtures.h"

namespace {

namespace fs = std::filesystem;

using Result = reel_test::run_result;
const auto run = reel_test::run_command;
const auto quoted = reel_test::shell_quote;

struct Program {
    std::string name, path;
};

// The program, the board simulator and one tool per folder of tools/.
std::vector<Program> programs() {
    std::vector<Program> list = {{"orva", ORVA_BIN_DIR "/desktop/orva"},
                                 {"boardsim", ORVA_BIN_DIR "/boardsim/boardsim"}};
    for (const auto &d : fs::directory_iterator(ORVA_SOURCE_DIR "/tools"))
        if (d.is_directory()) {
            const std::string name = d.path().filename().string();
            list.push_back({name, ORVA_BIN_DIR "/tools/" + name});
        }
    return list;
}

std::string page_of(const std::string &name) {
    return ORVA_SOURCE_DIR "/man/" + name + ".1";
}

// The page as man shows it, in plain ASCII on lines too long to break.
std::string rendered(const std::string &page) {
    return run("LC_ALL=C MANWIDTH=4000 man -l " + quoted(page) + " 2>/dev/null").out;
}

// Whether text holds word as a whole word: not inside a longer name or option.
bool has_word(const std::string &text, const std::string &word) {
    auto part = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    };
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const size_t end = at + word.size();
        if ((at == 0 || !part(text[at - 1])) && (end == text.size() || !part(text[end])))
            return true;
    }
    return false;
}

// What a program's usage names: verbs (the word after the program's name on a
// usage line, and the first word of each line of a command list), options
// and environment variables.
std::set<std::string> named_in_usage(const std::string &program, const std::string &usage) {
    std::set<std::string> names;
    const std::regex usage_line("(?:usage: +| {2,})" + program +
                                "(?: \\[-d SETUP\\])? ([a-z][a-z0-9]*)");
    const std::regex command_line("^  ([a-z][a-z0-9]*) ");
    const std::regex option("(?:^|[ \\[|,])(--?[a-z][a-z-]*)");
    const std::regex variable("\\b[A-Z][A-Z0-9]*_[A-Z0-9_]+\\b");
    bool in_commands = false;
    size_t start = 0;
    while (start < usage.size()) {
        size_t end = usage.find('\n', start);
        if (end == std::string::npos) end = usage.size();
        const std::string line = usage.substr(start, end - start);
        start = end + 1;
        std::smatch m;
        if (std::regex_search(line, m, usage_line)) names.insert(m[1]);
        if (line == "commands:") in_commands = true;
        if (line.empty()) in_commands = false;
        if (in_commands && std::regex_search(line, m, command_line)) names.insert(m[1]);
        for (std::sregex_iterator it(line.begin(), line.end(), option), e; it != e; ++it)
            names.insert((*it)[1]);
        for (std::sregex_iterator it(line.begin(), line.end(), variable), e; it != e; ++it)
            names.insert((*it)[0]);
    }
    return names;
}

TEST(ProgramAnswers, HelpAndVersionWithoutADisplay) {
    for (const Program &p : programs()) {
        SCOPED_TRACE(p.name);
        const Result version = run("env -u DISPLAY " + quoted(p.path) + " --version");
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out, p.name + " " + ORVA_VERSION + "\n");
        const Result help = run("env -u DISPLAY " + quoted(p.path) + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("usage: " + p.name + " ", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
    }
}

TEST(ProgramAnswers, OrvaHelpNamesEveryVariableTheProgramReads) {
    const std::string help = run(ORVA_BIN_DIR "/desktop/orva --help").out;
    // Each variable a library or the desktop reads with getenv.
    for (const char *v : {"ORVA_RSRC", "ORVA_USER_DIR", "ORVA_DBDIR", "ORVA_DSK_RECORD",
                          "ORVA_NO_DETACH", "ORVA_PLAY_STATS", "ORVA_NO_SHM", "SCSIVIDEO_CMD",
                          "SCSIVIDEO_MASTER", "SCSIVIDEO_DEBUG", "SCSI_VIDEO_MODE", "SCSI_SYNC",
                          "JFIF_QUALITY", "USER", "HOME", "PWD", "TMPDIR", "OrvaDB"})
        EXPECT_NE(help.find(v), std::string::npos) << v;
}

TEST(ManualPages, EveryProgramHasAPageThatFormatsWithoutWarnings) {
    ASSERT_EQ(run("command -v man >/dev/null").status, 0) << "man is not installed";
    for (const Program &p : programs()) {
        SCOPED_TRACE(p.name);
        const std::string page = page_of(p.name);
        ASSERT_TRUE(fs::is_regular_file(page)) << page;
        const Result r = run("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l " + quoted(page) +
                             " 2>&1 >/dev/null");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        const std::string text = rendered(page);
        EXPECT_NE(text.find("NAME"), std::string::npos);
        EXPECT_NE(text.find("EXIT STATUS"), std::string::npos);
        EXPECT_NE(text.find("EXAMPLES"), std::string::npos);
    }
}

TEST(ManualPages, NameEveryVerbOptionAndVariableOfTheUsage) {
    for (const Program &p : programs()) {
        SCOPED_TRACE(p.name);
        const std::string usage = run(quoted(p.path) + " --help").out;
        const std::set<std::string> names = named_in_usage(p.name, usage);
        EXPECT_FALSE(names.empty()) << usage;
        const std::string text = rendered(page_of(p.name));
        for (const std::string &n : names) {
            EXPECT_TRUE(has_word(text, n)) << n << " is missing from the page";
            // A verb has an entry of its own: a line that begins with it.
            if (std::islower(static_cast<unsigned char>(n[0]))) {
                EXPECT_TRUE(std::regex_search(text, std::regex("(^|\n) *" + n + " ")))
                    << "no entry for the verb " << n;
            }
        }
    }
}

TEST(ManualPages, UsageParsingFindsVerbsOfBothUsageStyles) {
    const std::set<std::string> listed =
        named_in_usage("tool", "usage: tool COMMAND ARGS...\n\ncommands:\n"
                               "  info FILE    print\n  copy IN OUT  copy\n\nExit status: 0\n");
    EXPECT_EQ(listed, (std::set<std::string>{"info", "copy"}));
    const std::set<std::string> lines = named_in_usage(
        "tool", "usage: tool [-d SETUP] status [--repeat N]\n       tool asc2tc TEXT\n");
    EXPECT_EQ(lines, (std::set<std::string>{"status", "asc2tc", "-d", "--repeat"}));
}

} // namespace
