// The five-semaphore set: values under one mutex, waiters on one condition
// variable. A waiter re-checks its semaphore and, in a job, the job's stop
// flag each time it is woken.
#include "platform/sem.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "platform/jobs.h"

int semaphore = -1;

namespace {

struct SemSetState {
    std::mutex m;
    std::condition_variable cv;
    bool live = false;
    int generation = 0; // distinguishes a set from the one before it
    int value[SEM_COUNT] = {};
};

// Never destroyed: jobs may still touch it while the program exits.
SemSetState &state() {
    static SemSetState *s = new SemSetState;
    return *s;
}

void sem_error(int err) {
    errno = err;
    perror("semaphore error");
}

} // namespace

int SemInit() {
    SemSetState &s = state();
    std::lock_guard<std::mutex> lock(s.m);
    if (s.live) {
        errno = EEXIST;
        return -1;
    }
    s.live = true;
    s.generation++;
    static const int initial[SEM_COUNT] = {0, 1, 0, 0, 0};
    for (int i = 0; i < SEM_COUNT; i++)
        s.value[i] = initial[i];
    semaphore = s.generation;
    return 0;
}

void SemWait(int n) {
    SemSetState &s = state();
    std::unique_lock<std::mutex> lock(s.m);
    if (!s.live) {
        lock.unlock();
        sem_error(EINVAL);
        return;
    }
    if (n < 0 || n >= SEM_COUNT) {
        lock.unlock();
        sem_error(EFBIG);
        return;
    }
    const int gen = s.generation;
    s.cv.wait(lock, [&] {
        return !s.live || s.generation != gen || s.value[n] == 0 || JobStopRequested();
    });
    if (JobStopRequested()) {
        lock.unlock();
        throw JobStopped{};
    }
    if (!s.live || s.generation != gen) {
        lock.unlock();
        sem_error(EIDRM);
    }
}

void SemSet(int n, int v) {
    SemSetState &s = state();
    {
        std::lock_guard<std::mutex> lock(s.m);
        if (s.live && n >= 0 && n < SEM_COUNT && v >= 0) {
            s.value[n] = v;
            s.cv.notify_all();
            return;
        }
    }
    sem_error(v < 0 ? ERANGE : EINVAL);
}

int SemGet(int n) {
    SemSetState &s = state();
    {
        std::lock_guard<std::mutex> lock(s.m);
        if (s.live && n >= 0 && n < SEM_COUNT) return s.value[n];
    }
    sem_error(EINVAL);
    return -1;
}

int SemRemove() {
    SemSetState &s = state();
    std::lock_guard<std::mutex> lock(s.m);
    if (!s.live) {
        errno = EINVAL;
        return -1;
    }
    s.live = false;
    semaphore = -1;
    s.cv.notify_all();
    return 0;
}

void SemWakeAll() {
    SemSetState &s = state();
    std::lock_guard<std::mutex> lock(s.m);
    s.cv.notify_all();
}
