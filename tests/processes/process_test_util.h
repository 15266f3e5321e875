// Fixture and jobs shared by the process-table and converter tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>

#include "desktop/converter.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "platform/jobs.h"
#include "platform/sem.h"
#include "tests/platform/job_test_util.h"

// A job that holds at semaphore 4 (the tests' "busy" switch) until released,
// then writes `status` into its own entry.
struct HeldJob {
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
    int status = 0;
};

inline void held_job(void *data) {
    auto *h = static_cast<HeldJob *>(data);
    h->started = true;
    SemWait(4);
    int entry = SprocSelf();
    if (entry >= 0) pidData[entry].status = h->status;
    h->finished = true;
}

// Resets the table, the semaphores and every hook around each test, and ends
// whatever jobs a test leaves behind.
class ProcessFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(SemInit(), 0);
        InitProcessTable();
        ResetHooks();
        exit_pending = 0;
    }
    void TearDown() override {
        for (int i = 0; i < MAX_SPROC; i++)
            StopProcess(i);
        SemSet(0, 0);
        SemSet(4, 0);
        JobJoinAll();
        ResetHooks();
        exit_pending = 0;
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
    }
    // Reaps until `n` jobs have ended (through the main thread's collection).
    static bool ReapCount(int n) {
        int got = 0;
        return WaitUntil([&] {
            got += ReapEndedJobs();
            return got >= n;
        });
    }
    // Data of held jobs; members, so that they outlive the jobs, which end
    // only in TearDown.
    HeldJob held[8];
};
