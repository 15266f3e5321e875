// Crash-safe replacement: the new file goes beside the old one and is
// renamed over it; whatever stands at "<name>.new" is removed, never
// followed; a failure at any step leaves the old file as it was.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/replace_file.h"
#include "tests/media/reel_fixtures.h"

namespace {

// A private directory (removed at the end), its files' text and its names.
struct TempDir : reel_test::temp_dir {
    std::string operator/(const char *name) const { return path(name); }
    std::string text(const char *name) const {
        const reel_test::bytes b = reel_test::read_file(path(name));
        return std::string(b.begin(), b.end());
    }
    void put(const char *name, const std::string &text) const {
        reel_test::write_file(path(name), reel_test::bytes(text.begin(), text.end()));
    }
    std::vector<std::string> names() const {
        std::vector<std::string> v;
        for (const auto &e : std::filesystem::directory_iterator(dir()))
            v.push_back(e.path().filename());
        std::sort(v.begin(), v.end());
        return v;
    }
};

bool replace(const std::string &path, const std::string &text) {
    return replace_file(path.c_str(), text.data(), text.size());
}

using Names = std::vector<std::string>;

} // namespace

TEST(ReplaceFileTest, NewAndExistingFilesAreReplacedWhole) {
    TempDir d;
    for (const char *text : {"first", "second, longer", ""}) {
        ASSERT_TRUE(replace(d / "t", text));
        EXPECT_EQ(d.text("t"), text);
    }
    EXPECT_EQ(d.names(), Names{"t"}); // no temporary left
    // A relative name is replaced in the current directory.
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(chdir(d.dir().c_str()), 0);
    EXPECT_TRUE(replace("t", "here"));
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(d.text("t"), "here");
}

// Whatever an earlier crash or another user left at "<name>.new" (a link to
// a victim file, a dangling link, a hard link to the file itself, a FIFO)
// is removed first and never written through.
TEST(ReplaceFileTest, StaleTemporaryIsRemovedNeverFollowed) {
    for (int plant = 0; plant < 4; plant++) {
        TempDir d;
        d.put("victim", "victim");
        d.put("t", "old");
        const std::string tmp = d / "t.new";
        const int made = plant == 0   ? symlink((d / "victim").c_str(), tmp.c_str())
                         : plant == 1 ? symlink((d / "nowhere").c_str(), tmp.c_str())
                         : plant == 2 ? link((d / "t").c_str(), tmp.c_str())
                                      : mkfifo(tmp.c_str(), 0600);
        ASSERT_EQ(made, 0) << plant;
        EXPECT_TRUE(replace(d / "t", "new")) << plant;
        EXPECT_EQ(d.text("t"), "new") << plant;
        EXPECT_EQ(d.text("victim"), "victim") << plant;
        EXPECT_EQ(d.names(), (Names{"t", "victim"})) << plant;
    }
}

// The target is a regular file, a link (replaced itself) or absent; other
// kinds are refused and stay.
TEST(ReplaceFileTest, TargetKinds) {
    TempDir d;
    ASSERT_EQ(mkfifo((d / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((d / "dir").c_str(), 0700), 0);
    d.put("file", "pointed to");
    ASSERT_EQ(symlink((d / "file").c_str(), (d / "link").c_str()), 0);
    for (auto [name, err] : {std::pair{"fifo", EINVAL}, {"dir", EISDIR}, {"missing/t", ENOENT}}) {
        errno = 0;
        EXPECT_FALSE(replace(d / name, "x")) << name;
        EXPECT_EQ(errno, err) << name;
    }
    ASSERT_TRUE(replace(d / "link", "new"));
    struct stat st {};
    ASSERT_EQ(lstat((d / "link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(d.text("link"), "new");
    EXPECT_EQ(d.text("file"), "pointed to");
    ASSERT_EQ(lstat((d / "fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(d.names(), (Names{"dir", "fifo", "file", "link"}));
}

TEST(ReplaceFileTest, StreamingWriterCommitsOrLeavesTheOldFile) {
    TempDir d;
    d.put("t", "old");
    {
        ReplacingFile f((d / "t").c_str());
        ASSERT_TRUE(f.ok());
        EXPECT_TRUE(f.write("ne", 2));
        EXPECT_EQ(d.text("t.new") + d.text("t"), "neold"); // nothing visible before the commit
    } // abandoned: a stop or an error on the way
    EXPECT_EQ(d.text("t"), "old");
    EXPECT_EQ(d.names(), Names{"t"});
    {
        ReplacingFile f((d / "t").c_str(), 0640);
        EXPECT_TRUE(f.write("ne", 2));
        EXPECT_TRUE(f.write("w", 1));
        EXPECT_TRUE(f.commit());
        EXPECT_FALSE(f.commit()); // once only
    }
    EXPECT_EQ(d.text("t"), "new");
    struct stat st {};
    ASSERT_EQ(stat((d / "t").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777 & ~0640u, 0u);
    EXPECT_EQ(d.names(), Names{"t"});
}

// A write that fails half-way (here: the file-size limit standing in for a
// full disk) leaves the old file whole and no temporary.
TEST(ReplaceFileTest, FailedWriteLeavesTheOldFile) {
    TempDir d;
    d.put("t", "old");
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string big(5000, 'x');
    errno = 0;
    const bool ok = replace(d / "t", big);
    const int err = errno;
    {
        ReplacingFile f((d / "t").c_str());
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
    EXPECT_EQ(d.text("t"), "old");
    EXPECT_EQ(d.names(), Names{"t"});
}
