// Fixture and the held job shared by the process-table and converter tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>

#include "desktop/converter.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "platform/jobs.h"
#include "platform/sem.h"
#include "tests/platform/job_test_util.h"

// Holds at semaphore 4 (the tests' "busy" switch) until it is cleared.
inline void held_job(void *) {
    SemWait(4);
}

// Stops every job a test left running, opens the gates the tests hold
// closed (0 and 4) and waits until all job threads have ended.
inline void EndAllJobs() {
    for (int i = 0; i < MAX_SPROC; i++)
        StopProcess(i);
    SemSet(0, 0);
    SemSet(4, 0);
    JobJoinAll();
}

// Resets the table, the semaphores and every hook around each test, and ends
// whatever jobs a test leaves behind.
class ProcessFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(SemInit(), 0);
        InitProcessTable();
        ResetHooks();
    }
    void TearDown() override {
        EndAllJobs();
        ResetHooks();
        SemRemove();
    }
    static void ResetHooks() {
        for (auto &h : job_type_hooks)
            h = JobTypeHooks{};
        ProcessMessage = nullptr;
        ProcessFinalExit = nullptr;
        ProcessStartProgress = nullptr;
        ImportProgressShow = nullptr;
        converter_work = ConverterWork{};
        exit_pending = 0;
    }
    // Reaps through the main thread's collection until `n` jobs have ended.
    static bool ReapCount(int n) {
        int got = 0;
        return WaitUntil([&] { return (got += ReapEndedJobs()) >= n; });
    }
};
