// The database list file: where it is looked for, how each line is read, the
// exact bytes of appends and rewrites, and the crash-safe rewrite. No display.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "database/db_list.h"
#include "tests/media/reel_fixtures.h"

namespace fs = std::filesystem;

namespace {

// A scratch directory, a clean database list and the environment put back.
class DbListTest : public ::testing::Test {
  protected:
    void SetUp() override { DbFreeList(); }
    void TearDown() override { DbFreeList(); }
    static void SetEnv(const char *name, const char *value) {
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    void Write(const std::string &text) {
        reel_test::write_file(list_, reel_test::bytes(text.begin(), text.end()));
    }
    static std::string Slurp(const std::string &path) {
        const reel_test::bytes b = reel_test::read_file(path);
        return std::string(b.begin(), b.end());
    }
    // Reads text as the list file and returns "name|dir;" per entry.
    std::string Read(const std::string &text) {
        DbFreeList();
        Write(text);
        EXPECT_GE(DbReadListFile(list_.c_str()), 0);
        std::string out;
        for (DbEntry *e = db_list; e; e = e->next)
            out += std::string(e->name) + "|" + e->dir + ";";
        return out;
    }
    reel_test::ScopedEnv rsrc_{"ORVA_RSRC", getenv("ORVA_RSRC")}, pwd_{"PWD", getenv("PWD")},
        home_{"HOME", getenv("HOME")};
    reel_test::temp_dir tmp_;
    const std::string dir_ = tmp_.dir(), list_ = dir_ + "/OrvaDB";
};

using DbListRead = DbListTest;
using DbListName = DbListTest;
using DbListWrite = DbListTest;

} // namespace

TEST_F(DbListRead, ReadingRules) {
    const std::string longdir = "/" + std::string(DB_DIR_MAX - 2, 'd'); // with "/": full
    const std::string longhome = "/" + std::string(DB_DIR_MAX, 'h');
    struct Case {
        const char *home; // null: HOME unset
        std::string text, entries;
    };
    const Case cases[] = {
        // "~" becomes HOME when set; directories end in "/".
        {"/u", "DATABASE a\nPATH ~/db\n", "a|/u/db/;"},
        {nullptr, "DATABASE a\nPATH ~/db\n", "a|~/db/;"},
        {"/u", "DATABASE a\nPATH /abs/\n", "a|/abs/;"},
        // Blanks around keywords are skipped, inside values kept; keywords
        // are upper-case prefixes.
        {"/u", " \tDATABASE \t my db  \n\t PATH\t/x y\n", "my db  |/x y/;"},
        {"/u", "DATABASEfoo\nPATHbar/\n", "foo|bar/;"},
        {"/u", "database a\nPATH /a\n", ""},
        // Other lines and empty values are ignored; the order is kept.
        {"/u",
         "# dbs\n\nDATABASE \nPATH /x\nDATABASE c\nPATH \nDATABASE d\nPATH /d\nx\nDATABASE e\nPATH "
         "/e\n",
         "d|/d/;e|/e/;"},
        // PATH must follow at once; the line in its place is consumed too.
        {"/u", "DATABASE a\nDATABASE b\nPATH /b\n", ""},
        {"/u", "DATABASE a\n\nPATH /a\nDATABASE c\nPATH /c\n", "c|/c/;"},
        // End of file drops a pending name; a last line needs no newline.
        {"/u", "DATABASE a\nPATH /a\nDATABASE b\n", "a|/a/;"},
        {"/u", "DATABASE a\nPATH /a", "a|/a/;"},
        {"/u", "", ""},
        // Over-long lines are ignored whole, never cut short nor split.
        {"/u", "DATABASE " + std::string(1100, 'n') + "\nPATH /a\nDATABASE z\nPATH /z\n", "z|/z/;"},
        {"/u", "DATABASE a\nPATH /" + std::string(1500, 'p') + "\nDATABASE z\nPATH /z\n", "z|/z/;"},
        {"/u", "#" + std::string(1022, 'x') + "DATABASE t\nPATH /t\n", ""},
        {"/u", "DATABASE a\nPATH " + longdir + "/\n", "a|" + longdir + "/;"}, // longest dir
        // A line holds 1023 characters (blanks before PATH make it that long).
        {"/u", "DATABASE a\n  PATH " + longdir + "/\n", "a|" + longdir + "/;"},
        {"/u", "DATABASE a\n   PATH " + longdir + "/\n", ""},
        // CR LF line ends read as LF ones; a CR inside a line is kept.
        {"/u", "DATABASE a\r\nPATH /a\r\nDATABASE b\r\nPATH /b", "a|/a/;b|/b/;"},
        {"/u", "DATABASE a\r\nPATH " + longdir + "/\r\n", "a|" + longdir + "/;"},
        {"/u", "DATABASE a\r\n  PATH " + longdir + "/\r\n", "a|" + longdir + "/;"},
        {"/u", "DATABASE a\r\nPATH " + longdir + "d/\r\n", ""}, // dir too long
        {"/u", "DATABASE a\rb\nPATH /a\r\r\n", "a\rb|/a\r/;"},
        // Values that do not fit their fields drop the pair.
        {"/u", "DATABASE " + std::string(199, 'n') + "\nPATH /a\n",
         std::string(199, 'n') + "|/a/;"},
        {"/u", "DATABASE " + std::string(200, 'n') + "\nPATH /a\n", ""},
        {"/u", "DATABASE a\nPATH " + longdir + "d\n", ""},
        {longhome.c_str(), "DATABASE a\nPATH ~/x\n", ""},
    };
    for (const Case &c : cases) {
        SetEnv("HOME", c.home);
        EXPECT_EQ(Read(c.text), c.entries) << c.text.substr(0, 80);
    }
    EXPECT_EQ(DbReadListFile((dir_ + "/none").c_str()), -1);
}

TEST_F(DbListName, EnvironmentOrderAndEmptyValue) {
    struct Case {
        const char *rsrc, *pwd, *home, *name; // name null: no list file
    };
    const Case cases[] = {
        {"/rsrc", "/pwd/", "/home", "/rsrc/OrvaDB"},
        {nullptr, "/pwd/", "/home", "/pwd/OrvaDB"},
        {nullptr, nullptr, "/home", "/home/OrvaDB"},
        {nullptr, nullptr, nullptr, "/OrvaDB"},
        {"", "/pwd", "/home", nullptr},
        {nullptr, "", "/home", nullptr},
    };
    for (const Case &c : cases) {
        SetEnv("ORVA_RSRC", c.rsrc);
        SetEnv("PWD", c.pwd);
        SetEnv("HOME", c.home);
        char buf[256] = "";
        EXPECT_EQ(DbListFileName(buf, sizeof buf), c.name ? 1 : 0) << (c.name ? c.name : "none");
        if (c.name) {
            EXPECT_STREQ(buf, c.name);
        }
    }
}

TEST_F(DbListWrite, AppendsExactBytes) {
    for (auto [name, dir] : {std::pair{"a", "/data/a"}, {"b", "/data/b/"}}) { // creates the file
        DbEntry *e = DbMakeEntry(name, dir);
        ASSERT_NE(e, nullptr);
        ASSERT_EQ(DbAppendListFile(list_.c_str(), e), 0);
        delete e;
    }
    const std::string text = "\nDATABASE a\nPATH /data/a/\n\nDATABASE b\nPATH /data/b/\n";
    EXPECT_EQ(Slurp(list_), text);
    EXPECT_EQ(Read(text), "a|/data/a/;b|/data/b/;");
    // Entries that would not read back as written are refused.
    DbEntry e{};
    for (auto [name, dir] : {std::pair{"two\nlines", "/x/"}, {"ok", "/no/slash"}, {"", "/x/"}}) {
        snprintf(e.name, sizeof e.name, "%s", name);
        snprintf(e.dir, sizeof e.dir, "%s", dir);
        EXPECT_EQ(DbAppendListFile(list_.c_str(), &e), -1) << name << " " << dir;
    }
    EXPECT_EQ(Slurp(list_), text);
}

// A removal rewrites the rest; a rewrite that fails leaves the old file; a
// rewrite through a symbolic link replaces the file it points to; a stale
// "OrvaDB.new" planted as a link is removed, never written through.
TEST_F(DbListWrite, CrashSafeRewrite) {
    const std::string old =
        "DATABASE a\nPATH /a\n# note\nDATABASE b\nPATH /b\nDATABASE c\nPATH /c\n";
    Read(old);
    db_current = db_list;
    EXPECT_EQ(DbRemoveEntry(db_current), -1); // the current database stays
    ASSERT_EQ(DbRemoveEntry(db_list->next), 0);
    ASSERT_TRUE(fs::create_directory(list_ + ".new")); // the new file cannot be made
    EXPECT_EQ(DbRewriteListFile(list_.c_str()), -1);
    EXPECT_EQ(Slurp(list_), old);
    fs::remove(list_ + ".new");
    std::ofstream(dir_ + "/victim") << "keep";
    fs::create_symlink(dir_ + "/victim", list_ + ".new");
    const std::string link = dir_ + "/link";
    fs::create_symlink(list_, link);
    ASSERT_EQ(DbRewriteListFile(link.c_str()), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Slurp(list_), "\nDATABASE a\nPATH /a/\n\nDATABASE c\nPATH /c/\n");
    EXPECT_EQ(Slurp(dir_ + "/victim"), "keep");
    EXPECT_FALSE(fs::exists(list_ + ".new"));
    DbFreeList();
    ASSERT_EQ(DbRewriteListFile(list_.c_str()), 0);
    EXPECT_EQ(Slurp(list_), "");
}

// A FIFO in place of the list file is refused at once by every reader and
// writer; nothing waits for a peer.
TEST_F(DbListWrite, FifoInPlaceOfTheListFileIsRefused) {
    ASSERT_EQ(mkfifo(list_.c_str(), 0600), 0);
    alarm(60); // a hang ends the test program instead of blocking it
    EXPECT_EQ(DbReadListFile(list_.c_str()), -1);
    DbEntry *e = DbMakeEntry("a", "/a");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(DbAppendListFile(list_.c_str(), e), -1);
    DbAppendEntry(e);
    EXPECT_EQ(DbRewriteListFile(list_.c_str()), -1);
    alarm(0);
    EXPECT_TRUE(fs::is_fifo(list_));
}

// 100 000 databases, in CR LF lines, read in order. Reading is linear in the
// file; the bound is far above the time it takes (well under a second), and
// far below what appending by walking the list each time would need.
TEST_F(DbListRead, HundredThousandEntriesInOrder) {
    const int n = 100000;
    std::string text;
    text.reserve(size_t(n) * 40);
    for (int i = 0; i < n; i++)
        text += "DATABASE db" + std::to_string(i) + "\r\nPATH /data/" + std::to_string(i) + "\r\n";
    Write(text);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(DbReadListFile(list_.c_str()), n);
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    printf("read %d list entries in %.3f s\n", n, secs);
    EXPECT_LT(secs, 20.0);
    int i = 0;
    for (const DbEntry *e = db_list; e; e = e->next, i++) {
        if (std::string(e->name) != "db" + std::to_string(i) ||
            std::string(e->dir) != "/data/" + std::to_string(i) + "/") {
            ADD_FAILURE() << "entry " << i << ": " << e->name << " " << e->dir;
            break;
        }
    }
    EXPECT_EQ(i, n);
}
