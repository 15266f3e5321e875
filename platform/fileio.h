// Small file helpers shared by every layer that reads or writes files by
// descriptor: a descriptor closed at the end of its scope, a positioned read
// of an exact length and a write of a whole buffer.
#pragma once

#include <sys/types.h>

#include <cstddef>

// Closes its descriptor when the scope ends.
struct Fd {
    int fd;
    explicit Fd(int f) : fd(f) {}
    ~Fd();
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
};

// Reads exactly n bytes at offset `at` (interrupted or partial reads are
// resumed). False on an error or when the file ends first.
bool read_at(int fd, void *buf, size_t n, off_t at);

// Writes all n bytes at the file position (interrupted or partial writes are
// resumed). False on an error.
bool write_all(int fd, const void *data, size_t n);
