// Runs a write under a file size limit in a child process, as "ulimit -f"
// would set it for the program (SIGXFSZ ignored, so the write fails instead
// of killing the process).
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <functional>

#include "tests/media/reel_fixtures.h"

// fn's result (0..255), or -1 when the child did not end by itself.
inline int UnderFileLimit(rlim_t bytes, const std::function<int()> &fn) {
    return reel_test::run_in_child([&] {
               signal(SIGXFSZ, SIG_IGN);
               const rlimit lim{bytes, bytes};
               setrlimit(RLIMIT_FSIZE, &lim);
               return fn();
           })
        .status;
}
