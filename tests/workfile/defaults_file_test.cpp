// The defaults file: reading rules and fallbacks, where it lives, writing
// and a write that fails.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "database/db_list.h"
#include "database/defaults_file.h"
#include "tests/workfile/file_limit.h"

using namespace reel_test;

namespace {

struct Defaults {
    int values[DEFAULTS_COUNT] = {-9, -9, -9, -9, -9};
    char init[DEFAULTS_NAME_SIZE] = "x", exit[DEFAULTS_NAME_SIZE] = "y";
    std::string database = "z";
};

void write_text(const std::string &path, const std::string &text) {
    write_file(path, bytes(text.begin(), text.end()));
}

const char *const seven = " Autosave       : 5\n"
                          " Invert fields  : 0\n"
                          " Rearrange      : 1\n"
                          " Load init work : 0\n"
                          " Save exit work : 1\n"
                          " Init work name : /a/b/take\n"
                          " Exit work name : last  more\n";

// Struct of a database list holding the named entries, the first current.
struct Databases {
    Databases(std::initializer_list<std::pair<const char *, std::string>> entries) {
        DbFreeList();
        for (auto &[name, dir] : entries)
            DbAppendEntry(DbMakeEntry(name, dir.c_str()));
        db_current = db_list;
    }
    ~Databases() { DbFreeList(); }
};

} // namespace

TEST(DefaultsFileTest, ReadingRules) {
    temp_dir tmp;
    ScopedEnv user("USER", "ann");
    const std::string path = tmp.path("d");
    struct Case {
        std::string text;
        int global;
        std::array<int, 5> values;
        const char *init, *exit, *database;
        int result;
    };
    const std::string fallback = ".orva.ann", s = seven;
    const char *const fb = fallback.c_str();
    const std::string with_db = s + " Database name  : /x/main db\n";
    // Line 2 holds 2: invert fields off.
    const std::string invert2 = std::string(s).replace(s.find("fields  : 0") + 10, 1, "2");
    // Six lines, a line without ':', a global file without its eighth line,
    // an over-long line: everything falls back.
    const std::string six = s.substr(0, s.rfind(" Exit"));
    const std::string no_colon =
        std::string(s).replace(s.find("Rearrange      :"), 16, "Rearrange");
    const std::string big = " A: 99999999999999999999\n B:1\nC:1\nD:1\nE:1\nF:a\nG:b";
    const std::string long_db = s + " Database name  : " + std::string(1100, 'd') + "\n";
    const Case cases[] = {
        {s, 0, {5, 0, 1, 0, 1}, "take", "last", "", 1},
        {with_db, 1, {5, 0, 1, 0, 1}, "take", "last", "main", 1},
        {invert2, 0, {5, 0, 1, 0, 1}, "take", "last", "", 1},
        {" A:-4\n B: 1\n C:1\n D:  1\n E:1x\n F:\n G: \n", 0, {0, 1, 1, 1, 1}, fb, fb, "", 1},
        {big, 0, {INT_MAX, 1, 1, 1, 1}, "a", "b", "", 1},
        {six, 0, {10, 1, 0, 1, 1}, fb, fb, "", 0},
        {no_colon, 0, {10, 1, 0, 1, 1}, fb, fb, "", 0},
        {s, 1, {10, 1, 0, 1, 1}, fb, fb, "", 0},
        {long_db, 1, {10, 1, 0, 1, 1}, fb, fb, "", 0},
    };
    for (const Case &c : cases) {
        write_text(path, c.text);
        Defaults d;
        EXPECT_EQ(ReadDefaultsFile(path.c_str(), c.global, d.values, d.init, d.exit, &d.database),
                  c.result)
            << c.text;
        EXPECT_EQ(std::vector<int>(d.values, d.values + 5),
                  std::vector<int>(c.values.begin(), c.values.end()))
            << c.text;
        EXPECT_STREQ(d.init, c.init) << c.text;
        EXPECT_STREQ(d.exit, c.exit) << c.text;
        EXPECT_EQ(d.database, c.database) << c.text;
    }
    Defaults d;
    EXPECT_EQ(ReadDefaultsFile(tmp.path("none").c_str(), 0, d.values, d.init, d.exit, nullptr), 0);
    EXPECT_EQ(d.values[0], 10);
    EXPECT_EQ(ReadDefaultsFile(tmp.dir().c_str(), 0, d.values, d.init, d.exit, nullptr), 0);
    EXPECT_EQ(AutosaveInterval(INT_MAX), (unsigned long)INT_MAX * 60000UL);
    EXPECT_EQ(AutosaveInterval(0), 0UL);
    EXPECT_EQ(AutosaveInterval(-3), 0UL);
}

TEST(DefaultsFileTest, WhereTheFileLives) {
    temp_dir tmp;
    Databases none({});
    db_current = nullptr;
    ScopedEnv user("USER", "bob"), rsrc("ORVA_RSRC", "/rsrc"), pwd("PWD", "/pwd/"),
        home("HOME", "/home/bob");
    int global = 1;
    EXPECT_EQ(DefaultsFilePath(&global), "/rsrc/.orva_def.bob");
    EXPECT_EQ(global, 1);
    global = 0;
    EXPECT_EQ(DefaultsFilePath(&global), "/pwd/.orva_def.bob");
    {
        Databases dbs({{"main", tmp.dir()}});
        global = 0;
        EXPECT_EQ(DefaultsFilePath(&global), tmp.dir() + "/.orva_def.bob");
        ScopedEnv no_rsrc("ORVA_RSRC", nullptr);
        global = 1;
        EXPECT_EQ(DefaultsFilePath(&global), tmp.dir() + "/.orva_def.bob");
        EXPECT_EQ(global, 0);
        EXPECT_EQ(DefaultsWorkPath("take"), tmp.dir() + "/WORK/take.wrk");
        EXPECT_EQ(DefaultsWorkPath("take.wrk"), tmp.dir() + "/WORK/take.wrk");
        EXPECT_EQ(DefaultsWorkPath(""), "");
    }
    EXPECT_EQ(DefaultsWorkPath("take"), "");
    ScopedEnv no_pwd("PWD", nullptr);
    EXPECT_EQ(DefaultsFilePath(&global), "/home/bob/.orva_def.bob");
    ScopedEnv no_home("HOME", ""), no_user("USER", nullptr);
    EXPECT_EQ(DefaultsFilePath(&global), "/.orva_def.");
}

// An init work name written as /a/b/take is read as "take", and loads
// WORK/take.wrk; the global file remembers the current database.
TEST(DefaultsFileTest, SaveAndLoadThroughTheDatabase) {
    temp_dir tmp, rsrc_dir;
    ScopedEnv user("USER", "cy"), rsrc("ORVA_RSRC", rsrc_dir.dir().c_str());
    Databases dbs({{"one", tmp.path("one")}, {"two", tmp.path("two")}});
    mkdir(tmp.path("one").c_str(), 0777);
    db_current = db_list->next;
    int values[5] = {3, 1, 1, 0, 0};
    char init[DEFAULTS_NAME_SIZE] = "", exit[DEFAULTS_NAME_SIZE] = "end";
    ASSERT_EQ(SaveDefaults(1, values, init, exit), 1);
    EXPECT_STREQ(init, ".orva.cy");
    const bytes text = read_file(rsrc_dir.path(".orva_def.cy"));
    EXPECT_EQ(std::string(text.begin(), text.end()), " Autosave       : 3\n"
                                                     " Invert fields  : 1\n"
                                                     " Rearrange      : 1\n"
                                                     " Load init work : 0\n"
                                                     " Save exit work : 0\n"
                                                     " Init work name : .orva.cy\n"
                                                     " Exit work name : end\n"
                                                     " Database name  : two\n");
    db_current = db_list;
    Defaults d;
    ASSERT_EQ(LoadDefaults(1, d.values, d.init, d.exit), 1);
    EXPECT_STREQ(db_current->name, "two");
    EXPECT_EQ(std::vector<int>(d.values, d.values + 5), (std::vector<int>{3, 1, 1, 0, 0}));
    EXPECT_STREQ(d.exit, "end");
    // A database that is not in the list changes nothing.
    write_text(rsrc_dir.path(".orva_def.cy"), std::string(seven) + " Database name  : gone\n");
    db_current = db_list;
    ASSERT_EQ(LoadDefaults(1, d.values, d.init, d.exit), 1);
    EXPECT_STREQ(db_current->name, "one");
    EXPECT_STREQ(d.init, "take");
    // The database's own file has no database line.
    ScopedEnv no_rsrc("ORVA_RSRC", nullptr);
    ASSERT_EQ(SaveDefaults(1, values, init, exit), 1);
    const bytes own = read_file(tmp.path("one/.orva_def.cy"));
    EXPECT_EQ(std::string(own.begin(), own.end()).find("Database"), std::string::npos);
    EXPECT_EQ(std::count(own.begin(), own.end(), '\n'), 7);
}

// A defaults file that cannot be written keeps the old one.
TEST(DefaultsFileTest, FailedWriteKeepsTheOldFile) {
    temp_dir tmp;
    const std::string path = tmp.path("d");
    write_text(path, seven);
    int values[5] = {1, 1, 1, 1, 1};
    char a[DEFAULTS_NAME_SIZE] = "a", b[DEFAULTS_NAME_SIZE] = "b";
    EXPECT_EQ(
        UnderFileLimit(20, [&] { return WriteDefaultsFile(path.c_str(), values, a, b, nullptr); }),
        0);
    const bytes now = read_file(path);
    EXPECT_EQ(std::string(now.begin(), now.end()), seven);
    EXPECT_EQ(access((path + ".new").c_str(), F_OK), -1);
}
