// The five-semaphore set: initial values, set and get, waiting, errors.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/sem.h"

namespace {

class SemTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(SemInit(), 0); }
    void TearDown() override { SemRemove(); }
};

TEST_F(SemTest, InitialValuesAndSecondSetRefused) {
    EXPECT_GT(semaphore, 0);
    const int expected[SEM_COUNT] = {0, 1, 0, 0, 0};
    for (int i = 0; i < SEM_COUNT; i++)
        EXPECT_EQ(SemGet(i), expected[i]) << "semaphore " << i;
    errno = 0;
    EXPECT_EQ(SemInit(), -1);
    EXPECT_EQ(errno, EEXIST);
}

TEST_F(SemTest, SetAndGet) {
    SemSet(3, 1);
    SemSet(4, 7);
    EXPECT_EQ(SemGet(3), 1);
    EXPECT_EQ(SemGet(4), 7);
    SemSet(3, 0);
    EXPECT_EQ(SemGet(3), 0);
}

TEST_F(SemTest, BadNumberPrintsSemaphoreError) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(SemGet(5), -1);
    SemSet(-1, 1);
    SemWait(9); // returns at once
    SemSet(2, -3);
    std::string err = testing::internal::GetCapturedStderr();
    size_t count = 0;
    for (size_t at = 0; (at = err.find("semaphore error: ", at)) != std::string::npos; at++)
        count++;
    EXPECT_EQ(count, 4u) << err;
    EXPECT_EQ(SemGet(2), 0); // the bad value changed nothing
}

TEST_F(SemTest, WaitBlocksUntilZero) {
    std::atomic<bool> released{false}, passed{false};
    std::thread waiter([&] {
        SemWait(1); // value 1 at start
        EXPECT_TRUE(released.load()) << "passed before semaphore 1 went to 0";
        passed = true;
    });
    // The waiter cannot pass while the value stays 1.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(passed.load());
    SemSet(1, 2); // still non-zero
    released = true;
    SemSet(1, 0);
    waiter.join();
    EXPECT_TRUE(passed.load());
}

TEST_F(SemTest, RemoveReleasesWaitersWithError) {
    std::atomic<bool> passed{false};
    testing::internal::CaptureStderr();
    std::thread waiter([&] {
        SemWait(1);
        passed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // usually waiting by now
    EXPECT_EQ(SemRemove(), 0);
    waiter.join();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(passed.load());
    EXPECT_NE(err.find("semaphore error: "), std::string::npos) << err;
    EXPECT_EQ(semaphore, -1);
    errno = 0;
    EXPECT_EQ(SemRemove(), -1);
    EXPECT_EQ(errno, EINVAL);
    ASSERT_EQ(SemInit(), 0); // for TearDown
}

TEST_F(SemTest, OperationsWithoutSetFail) {
    SemRemove();
    testing::internal::CaptureStderr();
    EXPECT_EQ(SemGet(0), -1);
    SemSet(0, 1);
    SemWait(0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("semaphore error: "), std::string::npos);
    ASSERT_EQ(SemInit(), 0);
    EXPECT_EQ(SemGet(1), 1); // a new set starts from the initial values
}

} // namespace
