// Job threads, their stop flags and the queue of ended jobs.
#include "platform/jobs.h"

#include <cerrno>
#include <csignal>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/sem.h"

namespace {

struct Job {
    int id = 0;
    std::atomic<bool> stop{false};
    std::mutex child_m; // guards child_pgid against a stop arriving meanwhile
    pid_t child_pgid = 0;
    std::thread thread;
};

struct Registry {
    std::mutex m;
    std::condition_variable ended_cv;
    int next_id = 0;
    std::map<int, std::shared_ptr<Job>> jobs; // started, not yet collected
    std::deque<int> ended;                    // ended, not yet collected
};

// Never destroyed: a job thread may outlive static destruction at exit.
Registry &registry() {
    static Registry *r = new Registry;
    return *r;
}

thread_local Job *current_job = nullptr;

void run_job(std::shared_ptr<Job> job, JobFn fn, void *data) {
    current_job = job.get();
    try {
        fn(data);
    } catch (const JobStopped &) {
        // The job unwound at its pause gate after a stop.
    } catch (const std::exception &e) {
        fprintf(stderr, "job %d: %s\n", job->id, e.what());
    }
    current_job = nullptr;
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.m);
    r.ended.push_back(job->id);
    r.ended_cv.notify_all();
}

} // namespace

int JobStart(JobFn fn, void *data, std::atomic<int> *publish) {
    Registry &r = registry();
    auto job = std::make_shared<Job>();
    std::lock_guard<std::mutex> lock(r.m);
    do {
        r.next_id = r.next_id == 0x3fffffff ? 1 : r.next_id + 1;
    } while (r.jobs.count(r.next_id));
    job->id = r.next_id;
    if (publish) publish->store(job->id);
    try {
        // The thread cannot finish before the lock is released, so the record
        // is in the table before its id can appear in the ended queue.
        job->thread = std::thread(run_job, job, fn, data);
    } catch (const std::system_error &e) {
        if (publish) publish->store(-1);
        errno = e.code().value() ? e.code().value() : EAGAIN;
        return -1;
    }
    r.jobs[job->id] = job;
    return job->id;
}

int JobStop(int id) {
    std::shared_ptr<Job> job;
    {
        Registry &r = registry();
        std::lock_guard<std::mutex> lock(r.m);
        auto it = r.jobs.find(id);
        if (it != r.jobs.end()) job = it->second;
    }
    if (!job) {
        errno = ESRCH;
        return -1;
    }
    job->stop.store(true);
    SemWakeAll();
    std::lock_guard<std::mutex> lock(job->child_m);
    if (job->child_pgid > 0) kill(-job->child_pgid, SIGTERM);
    return 0;
}

int JobCurrent() {
    return current_job ? current_job->id : 0;
}

bool JobStopRequested() {
    return current_job && current_job->stop.load();
}

void JobCheckStop() {
    if (JobStopRequested()) throw JobStopped{};
}

int JobCollect(bool *stopped) {
    std::shared_ptr<Job> job;
    {
        Registry &r = registry();
        std::lock_guard<std::mutex> lock(r.m);
        if (r.ended.empty()) return 0;
        int id = r.ended.front();
        r.ended.pop_front();
        auto it = r.jobs.find(id);
        job = it->second;
        r.jobs.erase(it);
    }
    job->thread.join();
    if (stopped) *stopped = job->stop.load();
    return job->id;
}

int JobCount() {
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.m);
    return int(r.jobs.size());
}

void JobJoinAll() {
    Registry &r = registry();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(r.m);
            if (r.jobs.empty()) return;
            r.ended_cv.wait(lock, [&] { return !r.ended.empty(); });
        }
        JobCollect();
    }
}

int JobSetChild(pid_t pgid) {
    Job *job = current_job;
    if (!job) return 0;
    std::lock_guard<std::mutex> lock(job->child_m);
    if (job->stop.load()) return -1;
    job->child_pgid = pgid;
    return 0;
}

void JobClearChild() {
    Job *job = current_job;
    if (!job) return;
    std::lock_guard<std::mutex> lock(job->child_m);
    job->child_pgid = 0;
}
