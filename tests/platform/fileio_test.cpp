// Opening files that must be regular: a FIFO, directory or planted link is
// refused at once, never waited on or written through.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/fileio.h"

namespace {

struct TempDir {
    std::string path;
    TempDir() {
        char t[] = "/tmp/orva_fileio_XXXXXX";
        path = mkdtemp(t);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string operator/(const char *name) const { return path + "/" + name; }
};

std::string slurp(const std::string &path) {
    std::string s;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        char buf[256];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

TEST(FileIoTest, OnlyRegularFilesOpen) {
    TempDir d;
    const std::string fifo = d / "fifo", reg = d / "reg", link = d / "link";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    {
        FILE *f = std::fopen(reg.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fputs("keep", f);
        std::fclose(f);
    }
    ASSERT_EQ(symlink(reg.c_str(), link.c_str()), 0);

    // A FIFO without a peer would block open(2) or read(2) for ever.
    for (int flags : {O_RDONLY, O_WRONLY, O_RDWR}) {
        errno = 0;
        EXPECT_EQ(open_regular(fifo.c_str(), flags), -1) << flags;
        EXPECT_EQ(errno, EINVAL) << flags;
    }
    EXPECT_STREQ(file_error(EINVAL), "not a regular file");
    errno = 0;
    EXPECT_EQ(open_regular(d.path.c_str(), O_RDONLY), -1);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(open_regular("/dev/null", O_RDONLY), -1);
    EXPECT_EQ(open_regular("", O_RDONLY), -1);
    EXPECT_EQ(open_regular(nullptr, O_RDONLY), -1);
    EXPECT_EQ(fopen_regular(fifo.c_str(), "rb"), nullptr);

    // Writing never goes through a planted link, and does not truncate its target.
    EXPECT_EQ(open_regular(link.c_str(), O_WRONLY | O_TRUNC), -1);
    EXPECT_EQ(fopen_regular(link.c_str(), "wb"), nullptr);
    EXPECT_EQ(slurp(reg), "keep");
    // Reading may follow a link to a regular file.
    int fd = open_regular(link.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    close(fd);

    // "w" truncates a regular file; "a" appends.
    FILE *f = fopen_regular(reg.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("new", f);
    std::fclose(f);
    f = fopen_regular(reg.c_str(), "ab");
    ASSERT_TRUE(f);
    std::fputs("+", f);
    std::fclose(f);
    EXPECT_EQ(slurp(reg), "new+");
}

} // namespace
