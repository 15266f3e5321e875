// Shell commands in their own process group; a stopped job starts none. (The
// end of a running command's group on a stop is shown by the process table's
// stop test.)
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <future>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

#include "platform/child.h"
#include "platform/jobs.h"
#include "tests/media/reel_fixtures.h"
#include "tests/platform/job_test_util.h"

namespace {

TEST(ChildTest, StatusAsSystemInItsOwnGroup) {
    const std::string own_group =
        "test $$ = $(cut -d' ' -f5 /proc/$$/stat) && test $$ != " + std::to_string(getpgrp());
    for (auto [cmd, code] : {std::pair<std::string, int>{"exit 3", 3},
                             {"/nonexistent/x 2>/dev/null", 127},
                             {own_group, 0}}) {
        int st = ChildSystem(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(st)) << cmd;
        EXPECT_EQ(WEXITSTATUS(st), code) << cmd;
    }
    errno = 0;
    EXPECT_EQ(ChildSystem(nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
}

// Arguments reach the program as they are: no shell splits or runs them.
TEST(ChildTest, RunPassesArgumentsUntouched) {
    reel_test::temp_dir dir;
    // Run from the directory, so that a shell would make "oops" there.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.dir().c_str()), 0);
    const std::string d = dir.dir(), odd = d + "/a b;touch oops;$(touch oops2)";
    const char *touch[] = {"touch", odd.c_str(), nullptr};
    int st = ChildRun(touch);
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 0);
    EXPECT_EQ(access(odd.c_str(), F_OK), 0);
    EXPECT_NE(access((d + "/oops").c_str(), F_OK), 0);
    EXPECT_NE(access((d + "/oops2").c_str(), F_OK), 0);
    const char *fail[] = {"false", nullptr};
    st = ChildRun(fail);
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 1);
    const char *none[] = {"/nonexistent/x", nullptr};
    st = ChildRun(none);
    EXPECT_TRUE(st == -1 || (WIFEXITED(st) && WEXITSTATUS(st) == 127));
    EXPECT_EQ(chdir(cwd), 0);
}

struct Pre {
    std::future<void> go;
    std::atomic<int> status{0}, err{0};
};

TEST(ChildTest, StoppedJobStartsNoCommand) {
    Pre pre;
    std::promise<void> go;
    pre.go = go.get_future();
    auto job = [](void *d) {
        auto *p = static_cast<Pre *>(d);
        p->go.wait(); // stopped before it reaches the command
        p->status = ChildSystem("true");
        p->err = errno;
    };
    int id = JobStart(job, &pre);
    ASSERT_EQ(JobStop(id), 0);
    go.set_value();
    ASSERT_TRUE(CollectJob(id, nullptr));
    EXPECT_EQ(pre.status.load(), -1);
    EXPECT_EQ(pre.err.load(), ECANCELED);
}

} // namespace
