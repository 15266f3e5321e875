// Background jobs: functions of one pointer argument run on their own threads,
// the stand-in for the share-group processes of the original workstation.
//
// Each job gets a unique positive id (its "pid" in the process table). A stop
// request (the SIGTERM of the original) sets the job's stop flag, wakes it when
// it waits at the semaphore set and ends the shell command it runs; the job
// unwinds at its next pause gate (SemWait), where JobStopped is thrown and
// caught by the job's wrapper, so its files are closed by their destructors.
// Ended jobs are queued; the main thread collects them one at a time with
// JobCollect, as the original collected children with a non-blocking wait.
// Jobs never call the toolkit.
#pragma once

#include <atomic>
#include <sys/types.h>

// Thrown inside a stopped job by SemWait; caught by the job's wrapper. Jobs
// let it pass (do not catch it with catch (...) without rethrowing).
struct JobStopped {};

using JobFn = void (*)(void *data);

// Starts fn(data) as a job. When `publish` is given, the new id is stored
// there before the job runs, so the job can find itself in a table keyed by
// that word. Returns the id (> 0), or -1 with errno set when the thread could
// not be created (then *publish is set back to -1).
int JobStart(JobFn fn, void *data, std::atomic<int> *publish = nullptr);

// Asks job `id` to stop: sets its stop flag, wakes it if it waits at the
// semaphore set and sends SIGTERM to the process group of the command it runs.
// Returns 0, or -1 with errno ESRCH when no such job is running.
int JobStop(int id);

// Id of the calling job, 0 outside jobs.
int JobCurrent();

// True in a job whose stop has been asked for; false outside jobs.
bool JobStopRequested();

// Throws JobStopped when the calling job has been asked to stop.
void JobCheckStop();

// Collects one ended job without blocking: joins its thread and returns its
// id, storing in *stopped whether a stop had been asked for it; returns 0 when
// no job has ended since the last call.
int JobCollect(bool *stopped = nullptr);

// Number of jobs started and not yet collected.
int JobCount();

// Waits until every job has ended and collects them all (for the very end of
// the program and for tests). Does not stop them.
void JobJoinAll();

// For the child-process helper: records the process group of the command the
// calling job runs. Returns 0, or -1 when the job has been asked to stop (the
// caller then ends the group itself). Outside jobs it does nothing.
int JobSetChild(pid_t pgid);

// For the child-process helper: forgets the calling job's process group; call
// before reaping the command so that a stop never signals a reused id.
void JobClearChild();
