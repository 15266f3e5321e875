// The program's set of five semaphores, which coordinates the background jobs
// with the main thread and with playback.
//
// Semaphore 0 is the pause gate every job waits at before each frame (1 while
// playback or a device transfer needs the machine), 1 puts the log converter
// to sleep, 2 is the clean-up handshake, 3 the clip-removal request and 4 the
// device's busy flag. Jobs are threads of this process, so the set is an
// in-process object (a mutex and a condition variable), not a System V set: a
// crashed run leaves nothing behind. Failures print the system error for
// "semaphore error" and are not retried.
#pragma once

constexpr int SEM_COUNT = 5;

// Identifier of the set: positive while it exists, -1 otherwise. Start-up hands
// it to the device library, which marks its busy flag on semaphore 4.
extern int semaphore;

// Creates the set with the initial values 0, 1, 0, 0, 0 and stores its
// identifier in `semaphore`. Returns 0, or -1 with errno set (EEXIST when a set
// already exists); the caller reports the failure.
int SemInit();

// Waits until semaphore n is 0. In a job whose stop has been asked for it does
// not wait (or stops waiting) and unwinds the job by throwing JobStopped
// (platform/jobs.h); never call it from a destructor or from inside a C
// library's callback. On a bad number or a missing set it prints the system
// error for "semaphore error" and returns at once.
void SemWait(int n);

// Sets semaphore n to v (v >= 0) and wakes whoever waits for it. On failure
// prints the system error for "semaphore error".
void SemSet(int n, int v);

// Returns the value of semaphore n, or -1 after printing the system error for
// "semaphore error".
int SemGet(int n);

// Removes the set; threads waiting at it return from SemWait with the system
// error (EIDRM). Returns 0, or -1 with errno EINVAL when there is no set.
int SemRemove();

// Wakes every thread waiting at the set so that it re-checks its condition;
// used by the job layer after it has set a job's stop flag.
void SemWakeAll();
