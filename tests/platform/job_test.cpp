// Job threads: ids, the current job, collection, stop at any wait.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <future>
#include <set>
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
    std::atomic<int> published{-1}, seen{0};
};

TEST_F(JobTest, UniqueIdsPublishedBeforeTheJobRuns) {
    EXPECT_EQ(JobCurrent(), 0);
    std::vector<IdProbe> probes(12);
    std::set<int> ids, collected;
    for (auto &p : probes) {
        auto job = [](void *d) {
            auto *p = static_cast<IdProbe *>(d);
            p->seen = p->published == JobCurrent() ? JobCurrent() : -1;
        };
        ids.insert(JobStart(job, &p, &p.published));
    }
    bool stopped = false;
    ASSERT_TRUE(WaitUntil([&] {
        while (int id = JobCollect(&stopped))
            EXPECT_TRUE(collected.insert(id).second && !stopped) << id;
        return collected.size() >= probes.size();
    }));
    EXPECT_EQ(collected, ids);
    for (auto &p : probes)
        EXPECT_EQ(p.seen.load(), p.published.load());
}

// A job that waits at semaphore `sem` before each of its frames; its "file"
// is closed by a destructor when it returns or unwinds.
struct GateJob {
    int sem = 0, total = 3;
    std::future<void> go; // when valid, the job is busy until it is set
    std::atomic<int> frames{0};
    std::atomic<bool> at_gate{false}, file_closed{false};
};

void gate_job(void *data) {
    auto *g = static_cast<GateJob *>(data);
    struct File {
        GateJob *g;
        ~File() { g->file_closed = true; }
    } file{g};
    if (g->go.valid()) g->go.wait();
    for (int i = 0; i < g->total; i++) {
        g->at_gate = true;
        SemWait(g->sem);
        g->frames++;
    }
}

// Waiting at the closed gate, the job goes on when it opens. Stopped there,
// asleep on semaphore 1, or busy with a frame (then at its next gate, though
// open), it unwinds with its file closed and opens no semaphore for others.
TEST_F(JobTest, GateAndStop) {
    enum { RESUME, STOP_AT_GATE, STOP_ASLEEP, STOP_BUSY };
    int id = 0;
    for (int c : {RESUME, STOP_AT_GATE, STOP_ASLEEP, STOP_BUSY}) {
        SCOPED_TRACE(c);
        GateJob g;
        g.sem = c == STOP_ASLEEP ? 1 : 0;
        std::promise<void> go;
        if (c == STOP_BUSY)
            g.go = go.get_future();
        else
            SemSet(g.sem, 1);
        id = JobStart(gate_job, &g);
        if (c == STOP_BUSY) {
            EXPECT_EQ(JobStop(id), 0);
            go.set_value();
        } else {
            ASSERT_TRUE(WaitUntil([&] { return g.at_gate.load(); }));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            EXPECT_EQ(g.frames.load(), 0) << "passed a closed gate";
            if (c == RESUME)
                SemSet(0, 0);
            else
                EXPECT_EQ(JobStop(id), 0);
        }
        bool stopped = c == RESUME;
        ASSERT_TRUE(CollectJob(id, &stopped));
        EXPECT_EQ(stopped, c != RESUME);
        EXPECT_EQ(g.frames.load(), c == RESUME ? g.total : 0);
        EXPECT_TRUE(g.file_closed.load());
        EXPECT_EQ(SemGet(g.sem), c == STOP_AT_GATE || c == STOP_ASLEEP ? 1 : 0);
        SemSet(g.sem, 0);
    }
    errno = 0;
    EXPECT_EQ(JobStop(id), -1); // collected: gone
    EXPECT_EQ(errno, ESRCH);
}

} // namespace
