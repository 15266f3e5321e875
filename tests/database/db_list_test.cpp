// The database list file: where it is looked for, how each line is read,
// the exact bytes of appends and rewrites, the crash-safe rewrite, and the
// current database's accessors. No display needed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "database/db_files.h"
#include "database/db_list.h"

namespace fs = std::filesystem;

namespace {

// Sets environment variables for one test and puts them back afterwards.
class EnvGuard {
  public:
    void Set(const char *name, const char *value) {
        Save(name);
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvGuard() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }

  private:
    void Save(const char *name) {
        const char *v = getenv(name);
        saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// A scratch directory and a clean database state for each test.
class DbListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DbFreeList();
        std::string tmpl = (fs::temp_directory_path() / "orva-dblist-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        list_ = dir_ + "/OrvaDB";
    }
    void TearDown() override {
        DbFreeList();
        DbLeaveHook = nullptr;
        DbEnterHook = nullptr;
        fs::remove_all(dir_);
    }
    void Write(const std::string &text) { std::ofstream(list_, std::ios::binary) << text; }
    static std::string Slurp(const std::string &path) {
        std::ifstream f(path, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    // Reads text as the list file and returns "name|dir" per entry.
    std::vector<std::string> Read(const std::string &text) {
        DbFreeList();
        Write(text);
        EXPECT_GE(DbReadListFile(list_.c_str()), 0);
        return Entries();
    }
    static std::vector<std::string> Entries() {
        std::vector<std::string> out;
        for (DbEntry *e = db_list; e; e = e->next)
            out.push_back(std::string(e->name) + "|" + e->dir);
        return out;
    }
    using V = std::vector<std::string>;
    EnvGuard env_;
    std::string dir_, list_;
};

using DbListRead = DbListTest;
using DbListName = DbListTest;
using DbListWrite = DbListTest;
using DbCurrent = DbListTest;
using DbFiles = DbListTest;

} // namespace

TEST_F(DbListRead, TildeBecomesHomeAndDirectoriesEndInSlash) {
    env_.Set("HOME", "/u");
    EXPECT_EQ(Read("DATABASE a\nPATH ~/db\n"), V{"a|/u/db/"});
    EXPECT_EQ(Read("DATABASE a\nPATH /abs/\n"), V{"a|/abs/"});
    env_.Set("HOME", nullptr);
    EXPECT_EQ(Read("DATABASE a\nPATH ~/db\n"), V{"a|~/db/"});
}

TEST_F(DbListRead, BlanksAroundKeywordsAndInsideValues) {
    EXPECT_EQ(Read(" \tDATABASE \t my db  \n\t PATH\t/x y\n"), V{"my db  |/x y/"});
    // The keyword is a prefix of what follows it.
    EXPECT_EQ(Read("DATABASEfoo\nPATHbar/\n"), V{"foo|bar/"});
    // Keywords are matched exactly, upper case.
    EXPECT_EQ(Read("database a\nPATH /a\n"), V{});
}

TEST_F(DbListRead, CommentsEmptyValuesAndOrder) {
    EXPECT_EQ(Read("# my databases\n\nDATABASE \nPATH /x\nDATABASE c\nPATH \n"
                   "DATABASE d\nPATH /d\nanything\nDATABASE e\nPATH /e\n"),
              (V{"d|/d/", "e|/e/"}));
}

TEST_F(DbListRead, PathMustFollowAtOnce) {
    // The second DATABASE line is consumed with the dropped first one.
    EXPECT_EQ(Read("DATABASE a\nDATABASE b\nPATH /b\n"), V{});
    // So is a blank line, and the PATH after it is ignored.
    EXPECT_EQ(Read("DATABASE a\n\nPATH /a\nDATABASE c\nPATH /c\n"), V{"c|/c/"});
}

TEST_F(DbListRead, EndOfFileDropsAPendingName) {
    EXPECT_EQ(Read("DATABASE a\nPATH /a\nDATABASE b\n"), V{"a|/a/"});
    EXPECT_EQ(Read("DATABASE b"), V{});
    // A last line without its newline still counts.
    EXPECT_EQ(Read("DATABASE a\nPATH /a"), V{"a|/a/"});
    EXPECT_EQ(Read(""), V{});
}

TEST_F(DbListRead, OverLongLinesAreIgnoredWhole) {
    const std::string longname(1100, 'n');
    // An over-long DATABASE line is no name; the PATH after it is ignored.
    EXPECT_EQ(Read("DATABASE " + longname + "\nPATH /a\nDATABASE z\nPATH /z\n"), V{"z|/z/"});
    // An over-long PATH is never taken cut short.
    EXPECT_EQ(Read("DATABASE a\nPATH /" + std::string(1500, 'p') + "\nDATABASE z\nPATH /z\n"),
              V{"z|/z/"});
    // The tail of an over-long line is not read as a line of its own.
    EXPECT_EQ(Read("#" + std::string(1022, 'x') + "DATABASE t\nPATH /t\n"), V{});
    // 1023 characters is still one ordinary line.
    std::string dir = "/" + std::string(DB_DIR_MAX - 2, 'd') + "/";
    std::string line = "PATH " + dir;
    ASSERT_LT(line.size(), 1024u);
    EXPECT_EQ(Read("DATABASE a\n" + line + "\n"), V{"a|" + dir});
}

TEST_F(DbListRead, ValuesThatDoNotFitTheirFieldsDropThePair) {
    const std::string name199(199, 'n'), name200(200, 'n');
    EXPECT_EQ(Read("DATABASE " + name199 + "\nPATH /a\n"), V{name199 + "|/a/"});
    EXPECT_EQ(Read("DATABASE " + name200 + "\nPATH /a\n"), V{});
    // The directory must leave room for "IMAGES/" in a 1024-byte path.
    const std::string fits = "/" + std::string(DB_DIR_MAX - 2, 'd'); // "/" makes it full
    EXPECT_EQ(Read("DATABASE a\nPATH " + fits + "\n").size(), 1u);
    EXPECT_EQ(Read("DATABASE a\nPATH " + fits + "d\n"), V{});
    // So must the directory after HOME replaces "~".
    env_.Set("HOME", ("/" + std::string(DB_DIR_MAX, 'h')).c_str());
    EXPECT_EQ(Read("DATABASE a\nPATH ~/x\n"), V{});
}

TEST_F(DbListRead, MissingFileLeavesTheListEmpty) {
    EXPECT_EQ(DbReadListFile((dir_ + "/none").c_str()), -1);
    EXPECT_EQ(db_list, nullptr);
}

TEST_F(DbListRead, InitializeMakesTheFirstCurrent) {
    Write("DATABASE one\nPATH /one\nDATABASE two\nPATH /two/\n");
    env_.Set("ORVA_RSRC", dir_.c_str());
    DbInitialize();
    DbInitialize(); // a second run forgets the first list
    EXPECT_EQ(Entries(), (V{"one|/one/", "two|/two/"}));
    ASSERT_EQ(db_current, db_list);
    EXPECT_STREQ(db_image_dir, "/one/IMAGES/");
    EXPECT_STREQ(DbSubdir[DB_SVJ], "SVJ/");
    EXPECT_STREQ(DbSubdir[DB_CLIP], "CLIP/");
    EXPECT_STREQ(DbSubdir[DB_WORK], "WORK/");
    EXPECT_STREQ(DbSubdir[DB_IMAGES], "IMAGES/");

    // An empty or missing list file: no current database.
    Write("");
    DbInitialize();
    EXPECT_EQ(db_list, nullptr);
    EXPECT_EQ(db_current, nullptr);
    EXPECT_STREQ(db_image_dir, "/");
    env_.Set("ORVA_RSRC", (dir_ + "/missing").c_str());
    DbInitialize();
    EXPECT_EQ(db_current, nullptr);
    // An empty ORVA_RSRC means no list file at all.
    env_.Set("ORVA_RSRC", "");
    DbInitialize();
    EXPECT_EQ(db_current, nullptr);
}

TEST_F(DbListName, EnvironmentOrder) {
    char buf[256];
    env_.Set("ORVA_RSRC", "/rsrc");
    env_.Set("PWD", "/pwd/");
    env_.Set("HOME", "/home");
    ASSERT_EQ(DbListFileName(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "/rsrc/OrvaDB");
    env_.Set("ORVA_RSRC", nullptr);
    ASSERT_EQ(DbListFileName(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "/pwd/OrvaDB");
    env_.Set("PWD", nullptr);
    ASSERT_EQ(DbListFileName(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "/home/OrvaDB");
    env_.Set("HOME", nullptr);
    ASSERT_EQ(DbListFileName(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "/OrvaDB");
}

TEST_F(DbListName, EmptyValueMeansNoFile) {
    char buf[256];
    env_.Set("ORVA_RSRC", "");
    env_.Set("PWD", "/pwd");
    EXPECT_EQ(DbListFileName(buf, sizeof buf), 0);
    env_.Set("ORVA_RSRC", nullptr);
    env_.Set("PWD", "");
    EXPECT_EQ(DbListFileName(buf, sizeof buf), 0);
    // A path that does not fit the buffer is no path either.
    env_.Set("PWD", "/a/rather/long/directory");
    EXPECT_EQ(DbListFileName(buf, 10), 0);
}

TEST_F(DbListWrite, AppendsExactBytes) {
    // The file is created by the first append.
    DbEntry *a = DbMakeEntry("a", "/data/a");
    DbEntry *b = DbMakeEntry("b", "/data/b/");
    ASSERT_TRUE(a && b);
    ASSERT_EQ(DbAppendListFile(list_.c_str(), a), 0);
    ASSERT_EQ(DbAppendListFile(list_.c_str(), b), 0);
    EXPECT_EQ(Slurp(list_), "\nDATABASE a\nPATH /data/a/\n\nDATABASE b\nPATH /data/b/\n");
    delete a;
    delete b;
    EXPECT_GE(DbReadListFile(list_.c_str()), 0);
    EXPECT_EQ(Entries(), (V{"a|/data/a/", "b|/data/b/"}));
}

TEST_F(DbListWrite, RefusesEntriesThatWouldNotReadBack) {
    Write("DATABASE a\nPATH /a/\n");
    DbEntry e{};
    snprintf(e.name, sizeof e.name, "two\nlines");
    snprintf(e.dir, sizeof e.dir, "/x/");
    EXPECT_EQ(DbAppendListFile(list_.c_str(), &e), -1);
    snprintf(e.name, sizeof e.name, "ok");
    snprintf(e.dir, sizeof e.dir, "/no/slash");
    EXPECT_EQ(DbAppendListFile(list_.c_str(), &e), -1);
    e.name[0] = '\0';
    snprintf(e.dir, sizeof e.dir, "/x/");
    EXPECT_EQ(DbAppendListFile(list_.c_str(), &e), -1);
    EXPECT_EQ(Slurp(list_), "DATABASE a\nPATH /a/\n");
    snprintf(e.name, sizeof e.name, "z");
    EXPECT_EQ(DbAppendListFile((dir_ + "/no/such/dir/OrvaDB").c_str(), &e), -1);
}

TEST_F(DbListWrite, RemovalRewritesTheRest) {
    Read("DATABASE a\nPATH /a\n# note\nDATABASE b\nPATH /b\nDATABASE c\nPATH /c\n");
    db_current = db_list;
    EXPECT_EQ(DbRemoveEntry(db_current), -1); // the current database stays
    ASSERT_EQ(DbRemoveEntry(db_list->next), 0);
    ASSERT_EQ(DbRewriteListFile(list_.c_str()), 0);
    EXPECT_EQ(Slurp(list_), "\nDATABASE a\nPATH /a/\n\nDATABASE c\nPATH /c/\n");
    EXPECT_FALSE(fs::exists(list_ + ".new"));

    db_current = nullptr;
    DbFreeList();
    ASSERT_EQ(DbRewriteListFile(list_.c_str()), 0);
    EXPECT_EQ(Slurp(list_), "");
    EXPECT_TRUE(fs::exists(list_));
}

TEST_F(DbListWrite, FailedRewriteLeavesTheOldFile) {
    const std::string old = "DATABASE a\nPATH /a\nDATABASE b\nPATH /b\n";
    Read(old);
    ASSERT_EQ(DbRemoveEntry(db_list), 0);
    // The new file cannot be made: a directory stands at its name.
    ASSERT_TRUE(fs::create_directory(list_ + ".new"));
    EXPECT_EQ(DbRewriteListFile(list_.c_str()), -1);
    EXPECT_EQ(Slurp(list_), old);
    EXPECT_TRUE(fs::is_directory(list_ + ".new"));
    // Nor can it be renamed over a directory in place of the list file.
    fs::remove(list_ + ".new");
    const std::string other = dir_ + "/OtherDB";
    ASSERT_TRUE(fs::create_directory(other));
    ASSERT_TRUE(fs::create_directory(other + "/keep"));
    EXPECT_EQ(DbRewriteListFile(other.c_str()), -1);
    EXPECT_TRUE(fs::is_directory(other + "/keep"));
    EXPECT_FALSE(fs::exists(other + ".new"));
}

TEST_F(DbListWrite, RewriteThroughALinkReplacesItsTarget) {
    const std::string real = dir_ + "/real-list";
    std::ofstream(real) << "DATABASE a\nPATH /a\nDATABASE b\nPATH /b\n";
    fs::create_symlink(real, list_);
    ASSERT_GE(DbReadListFile(list_.c_str()), 0);
    ASSERT_EQ(DbRemoveEntry(db_list), 0);
    ASSERT_EQ(DbRewriteListFile(list_.c_str()), 0);
    EXPECT_TRUE(fs::is_symlink(list_));
    EXPECT_EQ(Slurp(real), "\nDATABASE b\nPATH /b/\n");
}

TEST_F(DbCurrent, NothingCurrent) {
    EXPECT_EQ(DbGetDir(0), nullptr);
    EXPECT_EQ(DbGetDir(1), nullptr);
    EXPECT_EQ(DbGetName(), nullptr);
}

TEST_F(DbCurrent, GetDirCopies) {
    Read("DATABASE a\nPATH /a\nDATABASE b\nPATH /b\n");
    db_current = db_list->next;
    EXPECT_EQ(DbGetDir(0), db_current->dir);
    EXPECT_STREQ(DbGetName(), "b");
    char *copy = DbGetDir(1);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, db_current->dir);
    EXPECT_STREQ(copy, "/b/");
    copy[1] = 'X';
    free(copy);
    EXPECT_STREQ(db_current->dir, "/b/");
}

TEST_F(DbCurrent, NameSetDatabase) {
    Read("DATABASE a\nPATH /a\nDATABASE b\nPATH /b1\nDATABASE b\nPATH /b2\n");
    int calls = 0;
    static int *counter;
    counter = &calls;
    DbLeaveHook = [](int) { (*counter)++; };
    DbNameSetDatabase("b");
    EXPECT_STREQ(db_current->dir, "/b1/"); // the first of that name
    EXPECT_STREQ(db_image_dir, "/b1/IMAGES/");
    DbNameSetDatabase("nobody");
    EXPECT_STREQ(db_current->dir, "/b1/");
    DbNameSetDatabase(nullptr);
    EXPECT_STREQ(db_current->dir, "/b1/");
    EXPECT_EQ(calls, 0); // no defaults saved, no windows closed
}

TEST_F(DbCurrent, SetCurrentRunsTheSwitchStepsOnlyOnReset) {
    Read("DATABASE a\nPATH /a\nDATABASE b\nPATH /b\n");
    static std::string log;
    log.clear();
    DbLeaveHook = [](int stop) {
        log += "leave" + std::to_string(stop) + "@" + db_current->name + " ";
    };
    DbEnterHook = [] { log += std::string("enter@") + db_current->name + " "; };
    db_current = db_list;
    DbSetCurrent(db_list->next, 1, 1);
    EXPECT_EQ(log, "leave1@a enter@b ");
    EXPECT_STREQ(db_image_dir, "/b/IMAGES/");
    log.clear();
    DbSetCurrent(db_list, 0, 0);
    EXPECT_EQ(log, "");
    EXPECT_EQ(db_current, db_list);
    DbSetCurrent(nullptr, 0, 1);
    EXPECT_EQ(db_current, db_list);
    EXPECT_EQ(log, "");
}

TEST_F(DbFiles, ListsByExtensionSorted) {
    const std::string svj = dir_ + "/SVJ";
    fs::create_directory(svj);
    for (const char *n :
         {"b.svj", "a.svj", "Z.svj", ".svj", "c.SVJ", "d.svjx", "e.txt", "a.svj.bak", "x.wrk"})
        std::ofstream(svj + "/" + n).put('\0');
    std::vector<std::string> names;
    ASSERT_EQ(DbListFiles(svj.c_str(), ".svj", names), 0);
    EXPECT_EQ(names, (V{"Z.svj", "a.svj", "b.svj"}));
    ASSERT_EQ(DbListFiles(svj.c_str(), ".wrk", names), 0);
    EXPECT_EQ(names, V{"x.wrk"});
    EXPECT_EQ(DbListFiles((dir_ + "/none").c_str(), ".svj", names), -1);
    EXPECT_TRUE(names.empty());
}
