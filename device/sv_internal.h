// State private to the board library, and the guard every sv_ operation
// takes: one lock per handle, so a job and the main thread never interleave
// their batches on the same descriptor.
#pragma once

#include "device/sv.h"

#include <mutex>

struct sv_state {
    std::recursive_mutex lock;
    int preroll_s = 10; // preroll time of SCSIVIDEO_MASTER, seconds
};

// Checks the handle (10 null, 11 wrong magic) and holds its lock for the
// rest of the operation.
class SvGuard {
  public:
    explicit SvGuard(sv_handle *sv) : sv_(sv) {
        if (!sv)
            code_ = 10;
        else if (sv->magic != SV_MAGIC)
            code_ = 11;
        else
            sv->state->lock.lock();
    }
    ~SvGuard() {
        if (code_ == 0) sv_->state->lock.unlock();
    }
    SvGuard(const SvGuard &) = delete;
    SvGuard &operator=(const SvGuard &) = delete;
    int code() const { return code_; }

  private:
    sv_handle *sv_;
    int code_ = 0;
};

#define SV_CHECK(sv)                                                                               \
    SvGuard sv_guard_(sv);                                                                         \
    if (sv_guard_.code()) return sv_guard_.code()
