// The log converter's cycle: sleeping on semaphore 1, the clean-up handshake
// on 2, removal requests on 3, the pause gate on 0, and its stop.
#include "tests/processes/process_test_util.h"

namespace {

// What the fake clip-list work saw; written in the converter, read here.
struct FakeWork {
    std::atomic<int> passes{0};
    std::atomic<int> passes_with_gate_closed{0};
    std::atomic<int> incomplete_left{0}; // passes still to report a clip incomplete
    std::atomic<int> report_unused{0};
    std::atomic<int> removals{0};
    std::atomic<int> frees{0};
};
FakeWork fake;

int fake_pass(int *saw_unused) {
    if (SemGet(0) != 0) fake.passes_with_gate_closed++;
    if (fake.report_unused.load()) *saw_unused = 1;
    fake.passes++;
    if (fake.incomplete_left.load() > 0) {
        fake.incomplete_left--;
        return 1;
    }
    return 0;
}

class ProcessConverterTest : public ProcessFixture {
  protected:
    void SetUp() override {
        ProcessFixture::SetUp();
        fake.passes = fake.passes_with_gate_closed = fake.incomplete_left = 0;
        fake.report_unused = fake.removals = fake.frees = 0;
        converter_work.pass = fake_pass;
        converter_work.remove_marked = [] { fake.removals++; };
        converter_work.free_unused = [] { fake.frees++; };
        entry = Sproc(eConvert, nullptr, JOB_CONVERT);
        ASSERT_EQ(entry, 0);
    }
    void TearDown() override {
        EXPECT_EQ(fake.passes_with_gate_closed.load(), 0) << "worked while the gate was closed";
        ProcessFixture::TearDown();
    }
    // Wakes the converter, as the main thread does after opening clips, and
    // waits until it has finished the cycle and sleeps again.
    void WakeAndWaitForPasses(int passes) {
        SemSet(1, 0);
        ASSERT_TRUE(WaitUntil([&] { return fake.passes.load() >= passes; }));
        ASSERT_TRUE(WaitUntil([&] { return SemGet(1) == 1; }));
    }
    int entry = -1;
};

TEST_F(ProcessConverterTest, SleepsUntilWokenThroughSemaphoreOne) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(fake.passes.load(), 0) << "ran while semaphore 1 was set";
    WakeAndWaitForPasses(1);
    EXPECT_EQ(fake.passes.load(), 1);
    WakeAndWaitForPasses(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(fake.passes.load(), 2) << "one cycle per wake";
    EXPECT_EQ(SemGet(2), 0); // no clean-up asked
}

TEST_F(ProcessConverterTest, RepeatsPassesWhileAClipIsIncomplete) {
    fake.incomplete_left = 2;
    WakeAndWaitForPasses(3);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(fake.passes.load(), 3);
}

TEST_F(ProcessConverterTest, HonoursThePauseGate) {
    SemSet(0, 1);
    SemSet(1, 0);
    // It marks the cycle (semaphore 1 back to 1) and then holds at the gate.
    ASSERT_TRUE(WaitUntil([&] { return SemGet(1) == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(fake.passes.load(), 0);
    SemSet(0, 0);
    ASSERT_TRUE(WaitUntil([&] { return fake.passes.load() == 1; }));
}

TEST_F(ProcessConverterTest, AsksForCleanUpAndParksUntilItIsDone) {
    fake.report_unused = 1;
    WakeAndWaitForPasses(1);
    // Back at step 1 with clips nobody uses: it raises semaphore 2.
    ASSERT_TRUE(WaitUntil([&] { return SemGet(2) == 1; }));
    // Woken before the clean-up, it stays parked on semaphore 2.
    SemSet(1, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(fake.passes.load(), 1);
    // While the gate is closed the tick frees nothing, but lets it go on.
    SemSet(0, 1);
    ClearWorkTick();
    EXPECT_EQ(fake.frees.load(), 0);
    EXPECT_EQ(SemGet(2), 0);
    SemSet(0, 0);
    ASSERT_TRUE(WaitUntil([&] { return fake.passes.load() == 2; }));
    // The next cycle asks again; this time the tick frees the clips.
    ASSERT_TRUE(WaitUntil([&] { return SemGet(2) == 1; }));
    ClearWorkTick();
    EXPECT_EQ(fake.frees.load(), 1);
    EXPECT_EQ(SemGet(2), 0);
    // Nothing asked: nothing freed.
    ClearWorkTick();
    EXPECT_EQ(fake.frees.load(), 1);
}

TEST_F(ProcessConverterTest, ServesRemovalRequests) {
    // As the database's delete does: request, wake, wait for the answer.
    SemSet(3, 1);
    SemSet(1, 0);
    SemSet(2, 0);
    SemWait(3);
    EXPECT_EQ(fake.removals.load(), 1);
    EXPECT_EQ(SemGet(3), 0);
}

TEST_F(ProcessConverterTest, StopEndsItAsleep) {
    WakeAndWaitForPasses(1);
    StopProcess(entry);
    ASSERT_TRUE(ReapCount(1));
    EXPECT_EQ(num_sproc, 0);
    EXPECT_LE(pidData[entry].pid.load(), 0);
}

} // namespace
