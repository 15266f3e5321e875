// Shell commands in their own process group, started with posix_spawn (safe in
// a threaded program: nothing runs in the child before the exec).
#include "platform/child.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/jobs.h"

extern char **environ;

namespace {

// Spawn attributes: a new process group led by the child, default dispositions
// for the signals a stop and a terminal send, nothing blocked.
struct SpawnAttr {
    posix_spawnattr_t attr;
    bool ok = false;
    SpawnAttr() {
        if (posix_spawnattr_init(&attr) != 0) return;
        ok = true;
        sigset_t defaults, none;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGTERM);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGCHLD);
        sigemptyset(&none);
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                            POSIX_SPAWN_SETSIGMASK);
    }
    ~SpawnAttr() {
        if (ok) posix_spawnattr_destroy(&attr);
    }
    SpawnAttr(const SpawnAttr &) = delete;
    SpawnAttr &operator=(const SpawnAttr &) = delete;
};

} // namespace

namespace {

// Starts argv in a new process group (through PATH when search is set),
// waits for it and returns its wait status, as ChildSystem describes.
int spawn_and_wait(const char *file, char *const argv[], bool search) {
    if (JobStopRequested()) {
        errno = ECANCELED;
        return -1;
    }
    SpawnAttr sa;
    if (!sa.ok) {
        errno = ENOMEM;
        return -1;
    }
    pid_t pid;
    int rc = search ? posix_spawnp(&pid, file, nullptr, &sa.attr, argv, environ)
                    : posix_spawn(&pid, file, nullptr, &sa.attr, argv, environ);
    if (rc != 0) {
        errno = rc;
        return -1;
    }
    // The child leads its own group, so its pid is the group id. A stop that
    // came before the group was recorded is served here.
    if (JobSetChild(pid) != 0) kill(-pid, SIGTERM);

    // Wait for the child to end without reaping it, forget the group, then
    // reap: a stop can never signal a process group id that was reused.
    siginfo_t info;
    for (;;) {
        info.si_pid = 0;
        if (waitid(P_PID, pid, &info, WEXITED | WNOWAIT) == 0) break;
        if (errno != EINTR) break;
    }
    JobClearChild();
    int status = 0;
    pid_t got;
    do {
        got = waitpid(pid, &status, 0);
    } while (got < 0 && errno == EINTR);
    return got == pid ? status : -1;
}

} // namespace

int ChildSystem(const char *command) {
    if (!command) {
        errno = EINVAL;
        return -1;
    }
    char sh[] = "sh", dash_c[] = "-c";
    char *argv[] = {sh, dash_c, const_cast<char *>(command), nullptr};
    return spawn_and_wait("/bin/sh", argv, false);
}

int ChildRun(const char *const argv[]) {
    if (!argv || !argv[0]) {
        errno = EINVAL;
        return -1;
    }
    // posix_spawnp takes the strings as they are: nothing is parsed, so a
    // name holding blanks, ";" or "$(...)" stays one argument.
    return spawn_and_wait(argv[0], const_cast<char *const *>(argv), true);
}
