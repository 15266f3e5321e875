// Job threads: ids, the current job, collection, stop at the pause gate.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <future>
#include <set>
#include <stdexcept>
#include <vector>

#include "platform/jobs.h"
#include "platform/sem.h"
#include "tests/platform/job_test_util.h"

namespace {

class JobTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(SemInit(), 0); }
    void TearDown() override {
        SemSet(0, 0);
        SemSet(1, 0);
        JobJoinAll();
        SemRemove();
    }
};

struct IdProbe {
    std::atomic<int> published{-1};
    std::atomic<int> seen_published{0};
    std::atomic<int> current{0};
};

void probe_job(void *data) {
    auto *p = static_cast<IdProbe *>(data);
    p->seen_published = p->published.load();
    p->current = JobCurrent();
}

TEST_F(JobTest, UniqueIdsPublishedBeforeTheJobRuns) {
    EXPECT_EQ(JobCurrent(), 0);
    EXPECT_FALSE(JobStopRequested());
    std::vector<IdProbe> probes(12);
    std::set<int> ids;
    for (auto &p : probes) {
        int id = JobStart(probe_job, &p, &p.published);
        ASSERT_GT(id, 0);
        EXPECT_EQ(p.published.load(), id);
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), probes.size());
    std::set<int> collected;
    ASSERT_TRUE(WaitUntil([&] {
        bool stopped = true;
        while (int id = JobCollect(&stopped)) {
            EXPECT_TRUE(collected.insert(id).second) << "collected twice: " << id;
            EXPECT_FALSE(stopped);
        }
        return collected.size() == probes.size();
    }));
    EXPECT_EQ(collected, ids);
    EXPECT_EQ(JobCollect(), 0); // nothing left
    for (auto &p : probes) {
        EXPECT_EQ(p.current.load(), p.published.load());
        EXPECT_EQ(p.seen_published.load(), p.published.load());
    }
}

struct GateJob {
    std::atomic<int> frames{0};
    std::atomic<bool> at_gate{false};
    std::atomic<bool> file_closed{false};
    int total = 3;
};

// Closes "its file" when the job unwinds, as a job's RAII file would.
struct FileGuard {
    GateJob *job;
    ~FileGuard() { job->file_closed = true; }
};

void gate_job(void *data) {
    auto *g = static_cast<GateJob *>(data);
    FileGuard file{g};
    for (int i = 0; i < g->total; i++) {
        g->at_gate = true;
        SemWait(0);
        g->frames++;
    }
}

TEST_F(JobTest, PausedWhileGateClosedResumesAtZero) {
    GateJob g;
    SemSet(0, 1);
    int id = JobStart(gate_job, &g);
    ASSERT_GT(id, 0);
    ASSERT_TRUE(WaitUntil([&] { return g.at_gate.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(g.frames.load(), 0) << "the job passed a closed gate";
    SemSet(0, 0);
    bool stopped = true;
    ASSERT_TRUE(CollectJob(id, &stopped));
    EXPECT_FALSE(stopped);
    EXPECT_EQ(g.frames.load(), 3);
    EXPECT_TRUE(g.file_closed.load());
}

TEST_F(JobTest, StopUnwindsAtGateWithFileClosed) {
    GateJob g;
    g.total = 1000000;
    SemSet(0, 1);
    int id = JobStart(gate_job, &g);
    ASSERT_TRUE(WaitUntil([&] { return g.at_gate.load(); }));
    EXPECT_EQ(JobStop(id), 0);
    bool stopped = false;
    ASSERT_TRUE(CollectJob(id, &stopped));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(g.frames.load(), 0);
    EXPECT_TRUE(g.file_closed.load());
    EXPECT_EQ(SemGet(0), 1); // the stop did not open the gate for others
    errno = 0;
    EXPECT_EQ(JobStop(id), -1); // collected: gone
    EXPECT_EQ(errno, ESRCH);
}

void sleeper_job(void *data) {
    auto *g = static_cast<GateJob *>(data);
    FileGuard file{g};
    g->at_gate = true;
    SemWait(1); // the converter's way of sleeping
    g->frames++;
}

TEST_F(JobTest, StopWakesJobWaitingAtAnySemaphore) {
    GateJob g;
    int id = JobStart(sleeper_job, &g);
    ASSERT_TRUE(WaitUntil([&] { return g.at_gate.load(); }));
    JobStop(id);
    bool stopped = false;
    ASSERT_TRUE(CollectJob(id, &stopped));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(g.frames.load(), 0);
    EXPECT_EQ(SemGet(1), 1);
}

struct LateGate {
    std::future<void> go;
    std::atomic<bool> passed{false};
    std::atomic<bool> saw_stop{false};
};

void late_gate_job(void *data) {
    auto *l = static_cast<LateGate *>(data);
    l->go.wait(); // busy with a frame when the stop comes
    l->saw_stop = JobStopRequested();
    SemWait(0); // gate open, but the job was stopped
    l->passed = true;
}

TEST_F(JobTest, StoppedJobUnwindsAtNextGateEvenWhenOpen) {
    std::promise<void> go;
    LateGate l;
    l.go = go.get_future();
    int id = JobStart(late_gate_job, &l);
    EXPECT_EQ(JobStop(id), 0);
    go.set_value();
    bool stopped = false;
    ASSERT_TRUE(CollectJob(id, &stopped));
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(l.saw_stop.load());
    EXPECT_FALSE(l.passed.load());
}

void throwing_job(void *) {
    throw std::runtime_error("broken frame");
}

TEST_F(JobTest, OtherExceptionsEndOnlyTheJob) {
    testing::internal::CaptureStderr();
    int id = JobStart(throwing_job, nullptr);
    ASSERT_TRUE(CollectJob(id, nullptr));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("broken frame"), std::string::npos);
}

} // namespace
