// Opening files that must be regular: a FIFO, directory or planted link is
// refused at once, never waited on or written through.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/fileio.h"
#include "tests/media/reel_fixtures.h"

namespace {

TEST(FileIoTest, OnlyRegularFilesOpen) {
    reel_test::temp_dir d;
    const std::string fifo = d.path("fifo"), reg = d.path("reg"), link = d.path("link");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    reel_test::write_file(reg, {'k'});
    ASSERT_EQ(symlink(reg.c_str(), link.c_str()), 0);

    // A FIFO without a peer would block open(2) or read(2) for ever; nor does
    // a write go through a planted link, or truncate its target.
    const struct {
        std::string name;
        int flags, err;
    } refused[] = {
        {fifo, O_RDONLY, EINVAL},           {fifo, O_WRONLY, EINVAL},        {fifo, O_RDWR, EINVAL},
        {d.dir(), O_RDONLY, EISDIR},        {"/dev/null", O_RDONLY, EINVAL}, {"", O_RDONLY, ENOENT},
        {link, O_WRONLY | O_TRUNC, EINVAL},
    };
    for (const auto &c : refused) {
        errno = 0;
        EXPECT_EQ(open_regular(c.name.c_str(), c.flags), -1) << c.name << " " << c.flags;
        EXPECT_EQ(errno, c.err) << c.name << " " << c.flags;
    }
    EXPECT_EQ(open_regular(nullptr, O_RDONLY), -1);
    EXPECT_STREQ(file_error(EINVAL), "not a regular file");
    EXPECT_EQ(fopen_regular(fifo.c_str(), "rb"), nullptr);
    EXPECT_EQ(fopen_regular(link.c_str(), "wb"), nullptr);
    EXPECT_EQ(reel_test::read_file(reg), reel_test::bytes{'k'});
    // Reading may follow a link to a regular file.
    int fd = open_regular(link.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    close(fd);

    // "w" truncates a regular file; "a" appends.
    for (const char *mode : {"wb", "ab"}) {
        FILE *f = fopen_regular(reg.c_str(), mode);
        ASSERT_TRUE(f);
        std::fputs("n", f);
        std::fclose(f);
    }
    EXPECT_EQ(reel_test::read_file(reg), (reel_test::bytes{'n', 'n'}));
}

} // namespace
