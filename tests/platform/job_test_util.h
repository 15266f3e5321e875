// Helpers shared by the job and child-process tests.
#pragma once

#include <chrono>
#include <set>
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

// Collects job `id`, returning whether a stop had been asked for it; other
// jobs collected meanwhile are put in `others`.
inline bool CollectJob(int id, bool *stopped, std::set<int> *others = nullptr) {
    return WaitUntil([&] {
        bool s = false;
        int got = JobCollect(&s);
        if (got == id) {
            if (stopped) *stopped = s;
            return true;
        }
        if (got && others) others->insert(got);
        return false;
    });
}
