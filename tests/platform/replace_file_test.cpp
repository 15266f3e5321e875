// Crash-safe replacement: the new file goes beside the old one and is
// renamed over it; whatever stands at "<name>.new" is removed, never
// followed; a failure at any step leaves the old file as it was.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/replace_file.h"
#include "tests/media/reel_fixtures.h"

namespace {

// A private directory (removed at the end) and the names in it, sorted.
struct TempDir : reel_test::temp_dir {
    std::string operator/(const char *name) const { return path(name); }
    std::vector<std::string> names() const {
        std::vector<std::string> v;
        if (DIR *d = opendir(dir().c_str())) {
            while (dirent *e = readdir(d))
                if (e->d_name[0] != '.') v.emplace_back(e->d_name);
            closedir(d);
        }
        std::sort(v.begin(), v.end());
        return v;
    }
};

// The file's contents; "" when it cannot be read.
std::string slurp(const std::string &path) {
    const reel_test::bytes b = reel_test::read_file(path);
    return std::string(b.begin(), b.end());
}

void put(const std::string &path, const std::string &text) {
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs(text.c_str(), f);
    std::fclose(f);
}

bool replace(const std::string &path, const std::string &text) {
    return replace_file(path.c_str(), text.data(), text.size());
}

} // namespace

TEST(ReplaceFileTest, NewAndExistingFilesAreReplacedWhole) {
    TempDir d;
    const std::string t = d / "t";
    ASSERT_TRUE(replace(t, "first"));
    EXPECT_EQ(slurp(t), "first");
    ASSERT_TRUE(replace(t, "second, longer"));
    EXPECT_EQ(slurp(t), "second, longer");
    ASSERT_TRUE(replace(t, ""));
    EXPECT_EQ(slurp(t), "");
    struct stat st {};
    ASSERT_EQ(lstat(t.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(d.names(), std::vector<std::string>{"t"}); // no temporary left
    // A relative name is replaced in the current directory.
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(chdir(d.dir().c_str()), 0);
    EXPECT_TRUE(replace("t", "here"));
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(slurp(t), "here");
}

// Whatever an earlier crash or another user left at "<name>.new" is removed
// first and never written through.
TEST(ReplaceFileTest, StaleTemporaryIsRemovedNeverFollowed) {
    struct Case {
        const char *what;
        std::function<void(const TempDir &, const std::string &tmp)> plant;
    };
    const Case cases[] = {{"link to a victim file",
                           [](const TempDir &d, const std::string &tmp) {
                               ASSERT_EQ(symlink((d / "victim").c_str(), tmp.c_str()), 0);
                           }},
                          {"dangling link",
                           [](const TempDir &d, const std::string &tmp) {
                               ASSERT_EQ(symlink((d / "nowhere").c_str(), tmp.c_str()), 0);
                           }},
                          {"half-written file",
                           [](const TempDir &, const std::string &tmp) { put(tmp, "half a fi"); }},
                          {"FIFO", [](const TempDir &, const std::string &tmp) {
                               ASSERT_EQ(mkfifo(tmp.c_str(), 0600), 0);
                           }}};
    for (const Case &c : cases) {
        TempDir d;
        const std::string t = d / "t", tmp = d / "t.new";
        put(d / "victim", "victim");
        put(t, "old");
        c.plant(d, tmp);
        EXPECT_TRUE(replace(t, "new")) << c.what;
        EXPECT_EQ(slurp(t), "new") << c.what;
        EXPECT_EQ(slurp(d / "victim"), "victim") << c.what;
        EXPECT_EQ(d.names(), (std::vector<std::string>{"t", "victim"})) << c.what;
    }
}

// The target is a regular file, a link (replaced itself) or absent; other
// kinds are refused and stay.
TEST(ReplaceFileTest, TargetKinds) {
    TempDir d;
    const std::string fifo = d / "fifo", dir = d / "dir", link = d / "link", file = d / "file";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    put(file, "pointed to");
    ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);

    errno = 0;
    EXPECT_FALSE(replace(fifo, "x"));
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_FALSE(replace(dir, "x"));
    EXPECT_EQ(errno, EISDIR);
    struct stat st {};
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    ASSERT_TRUE(replace(link, "new"));
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(slurp(link), "new");
    EXPECT_EQ(slurp(file), "pointed to");

    errno = 0;
    EXPECT_FALSE(replace(d / "missing/t", "x"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(d.names(), (std::vector<std::string>{"dir", "fifo", "file", "link"}));
}

TEST(ReplaceFileTest, StreamingWriterCommitsOrLeavesTheOldFile) {
    TempDir d;
    const std::string t = d / "t";
    put(t, "old");
    {
        ReplacingFile f(t.c_str());
        ASSERT_TRUE(f.ok());
        EXPECT_TRUE(f.write("ne", 2));
        EXPECT_EQ(slurp(t), "old"); // nothing visible before the commit
        EXPECT_EQ(slurp(t + ".new"), "ne");
    } // abandoned: a stop or an error on the way
    EXPECT_EQ(slurp(t), "old");
    EXPECT_EQ(d.names(), std::vector<std::string>{"t"});
    {
        ReplacingFile f(t.c_str(), 0640);
        EXPECT_TRUE(f.write("ne", 2));
        EXPECT_TRUE(f.write("w", 1));
        EXPECT_TRUE(f.commit());
        EXPECT_FALSE(f.commit()); // once only
    }
    EXPECT_EQ(slurp(t), "new");
    struct stat st {};
    ASSERT_EQ(stat(t.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777 & ~0640u, 0u);
    EXPECT_EQ(d.names(), std::vector<std::string>{"t"});
}

// A write that fails half-way (here: the file-size limit standing in for a
// full disk) leaves the old file whole and no temporary.
TEST(ReplaceFileTest, FailedWriteLeavesTheOldFile) {
    TempDir d;
    const std::string t = d / "t";
    put(t, "old");
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string big(5000, 'x');
    errno = 0;
    const bool ok = replace(t, big);
    const int err = errno;
    {
        ReplacingFile f(t.c_str());
        EXPECT_TRUE(f.write("small", 5));
        EXPECT_FALSE(f.write(big.data(), big.size()));
        EXPECT_FALSE(f.ok());
        EXPECT_EQ(f.error(), EFBIG);
        EXPECT_FALSE(f.commit());
    }
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(err, EFBIG);
    EXPECT_EQ(slurp(t), "old");
    EXPECT_EQ(d.names(), std::vector<std::string>{"t"});
}
