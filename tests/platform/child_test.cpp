// Shell commands in their own process group, and their end when the job that
// runs them is stopped.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/child.h"
#include "platform/jobs.h"
#include "platform/sem.h"
#include "tests/platform/job_test_util.h"

namespace {

class ChildTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(SemInit(), 0);
        char tmpl[] = "/tmp/orva_child_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        JobJoinAll();
        SemRemove();
        std::string cmd = "rm -rf " + dir;
        (void)!system(cmd.c_str());
    }
    std::string dir;
};

std::string ReadFile(const std::string &path) {
    std::ifstream in(path);
    std::string s, word;
    while (in >> word)
        s += (s.empty() ? "" : " ") + word;
    return s;
}

// State letter of a process from /proc, or 0 when it is gone.
char ProcState(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return 0;
    size_t paren = line.rfind(')');
    return paren == std::string::npos || paren + 2 >= line.size() ? 0 : line[paren + 2];
}

TEST_F(ChildTest, StatusAsSystemReturnsIt) {
    int st = ChildSystem("exit 3");
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 3);
    st = ChildSystem("true");
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 0);
    st = ChildSystem("/nonexistent/orva-command 2>/dev/null");
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 127);
    errno = 0;
    EXPECT_EQ(ChildSystem(nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(ChildTest, RunsInItsOwnProcessGroup) {
    std::string out = dir + "/ids";
    std::string cmd = "echo $$ $(cut -d' ' -f5 /proc/$$/stat) > " + out;
    int st = ChildSystem(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    std::string ids = ReadFile(out);
    size_t space = ids.find(' ');
    ASSERT_NE(space, std::string::npos) << ids;
    std::string pid = ids.substr(0, space), pgid = ids.substr(space + 1);
    EXPECT_EQ(pid, pgid) << "the shell leads its own group";
    EXPECT_NE(pgid, std::to_string(getpgrp()));
}

struct ShellJob {
    std::string command;
    std::atomic<int> status{0};
    std::atomic<int> err{0};
    std::atomic<bool> returned{false};
    std::atomic<bool> after_gate{false};
};

void shell_job(void *data) {
    auto *s = static_cast<ShellJob *>(data);
    int st = ChildSystem(s->command.c_str());
    s->err = errno;
    s->status = st;
    s->returned = true;
    SemWait(0);
    s->after_gate = true;
}

TEST_F(ChildTest, StopEndsTheWholeGroupAndUnwindsTheJob) {
    std::string grandchild = dir + "/sleeper";
    ShellJob s;
    s.command = "sleep 1000 & echo $! > " + grandchild + ".tmp; mv " + grandchild + ".tmp " +
                grandchild + "; wait";
    int id = JobStart(shell_job, &s);
    ASSERT_GT(id, 0);
    ASSERT_TRUE(WaitUntil([&] { return !ReadFile(grandchild).empty(); }));
    pid_t sleeper = std::stoi(ReadFile(grandchild));
    ASSERT_NE(ProcState(sleeper), 0);
    EXPECT_EQ(JobStop(id), 0);
    bool stopped = false;
    ASSERT_TRUE(CollectJob(id, &stopped));
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(s.returned.load());
    EXPECT_FALSE(s.after_gate.load()) << "the job went on past its gate after the stop";
    int st = s.status.load();
    ASSERT_TRUE(WIFSIGNALED(st)) << "status " << st;
    EXPECT_EQ(WTERMSIG(st), SIGTERM);
    // The background sleep of the shell is gone too (or a zombie awaiting its
    // new parent).
    ASSERT_TRUE(WaitUntil([&] {
        char state = ProcState(sleeper);
        return state == 0 || state == 'Z';
    }));
}

TEST_F(ChildTest, StoppedJobStartsNoCommand) {
    SemSet(0, 1);
    std::string marker = dir + "/ran";
    ShellJob s;
    s.command = "touch " + marker;
    // A job that is stopped before it reaches the command.
    struct Pre {
        ShellJob *s;
        std::atomic<bool> at_gate{false};
        std::atomic<bool> release{false};
    } pre{&s};
    auto job = [](void *data) {
        auto *p = static_cast<Pre *>(data);
        p->at_gate = true;
        while (!p->release.load())
            std::this_thread::yield();
        shell_job(p->s);
    };
    int id = JobStart(job, &pre);
    ASSERT_TRUE(WaitUntil([&] { return pre.at_gate.load(); }));
    JobStop(id);
    pre.release = true;
    ASSERT_TRUE(CollectJob(id, nullptr));
    EXPECT_EQ(s.status.load(), -1);
    EXPECT_EQ(s.err.load(), ECANCELED);
    EXPECT_NE(access(marker.c_str(), F_OK), 0);
    SemSet(0, 0);
}

} // namespace
