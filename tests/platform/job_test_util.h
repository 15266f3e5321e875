// Helpers shared by the job, child-process and process-table tests.
#pragma once

#include <chrono>
#include <thread>

#include "platform/jobs.h"

// Polls `done` until it holds or a generous deadline passes.
template <class F> bool WaitUntil(F done, int seconds = 30) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Collects job `id` (dropping others), storing whether a stop was asked for it.
inline bool CollectJob(int id, bool *stopped) {
    return WaitUntil([&] {
        bool s = false;
        if (JobCollect(&s) != id) return false;
        if (stopped) *stopped = s;
        return true;
    });
}
