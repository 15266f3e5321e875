// The five-semaphore set: initial values, set and get, waiting, errors.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/sem.h"

namespace {

int CountErrors(const std::string &err) {
    int n = 0;
    for (size_t at = 0; (at = err.find("semaphore error: ", at)) != std::string::npos; at++)
        n++;
    return n;
}

TEST(SemTest, ValuesWaitsAndErrors) {
    ASSERT_EQ(SemInit(), 0);
    EXPECT_GT(semaphore, 0);
    const int initial[SEM_COUNT] = {0, 1, 0, 0, 0};
    for (int i = 0; i < SEM_COUNT; i++)
        EXPECT_EQ(SemGet(i), initial[i]) << "semaphore " << i;
    errno = 0;
    EXPECT_EQ(SemInit(), -1);
    EXPECT_EQ(errno, EEXIST);
    SemSet(4, 7);
    testing::internal::CaptureStderr();
    EXPECT_EQ(SemGet(5), -1);
    SemWait(9); // returns at once
    SemSet(4, -3);
    EXPECT_EQ(CountErrors(testing::internal::GetCapturedStderr()), 3);
    EXPECT_EQ(SemGet(4), 7); // the bad value changed nothing

    std::atomic<bool> released{false};
    std::thread waiter([&] {
        SemWait(1);
        EXPECT_TRUE(released.load()) << "passed before semaphore 1 went to 0";
        SemSet(1, 1);
        SemWait(1); // released by the removal of the set
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SemSet(1, 2); // still non-zero
    released = true;
    SemSet(1, 0);
    testing::internal::CaptureStderr();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(SemRemove(), 0);
    waiter.join();
    EXPECT_GE(CountErrors(testing::internal::GetCapturedStderr()), 1);
    EXPECT_EQ(semaphore, -1);
    errno = 0;
    EXPECT_EQ(SemRemove(), -1);
    EXPECT_EQ(errno, EINVAL);
    ASSERT_EQ(SemInit(), 0);
    EXPECT_EQ(SemGet(1), 1); // a new set starts from the initial values
    SemRemove();
}

} // namespace
