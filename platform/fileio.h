// Small file helpers shared by every layer that reads or writes files by
// descriptor: opening that accepts only regular files, a descriptor closed at
// the end of its scope, a positioned read of an exact length and a write of a
// whole buffer.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdio>

// Closes its descriptor when the scope ends.
struct Fd {
    int fd;
    explicit Fd(int f) : fd(f) {}
    ~Fd();
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
};

// Opens `path` with open(2)'s flags and mode, never blocking and never
// following a final symbolic link when the file is written (O_WRONLY or
// O_RDWR), and keeps it only when it is a regular file: a FIFO, device,
// socket or directory is refused at once. Close-on-exec is set. Returns the
// descriptor (blocking again), or -1 with errno set; a file that is not
// regular gives EINVAL (see file_error).
int open_regular(const char *path, int flags, mode_t mode = 0666);

// fopen(3) through open_regular: "r", "rb", "w", "wb", "w+b", "r+b", "a" and
// "ab" modes. Null with errno set on failure.
FILE *fopen_regular(const char *path, const char *mode);

// Text for the errno an open_regular or fopen_regular failure left:
// "not a regular file" for EINVAL, else strerror's text.
const char *file_error(int err);

// Reads exactly n bytes at offset `at` (interrupted or partial reads are
// resumed). False on an error or when the file ends first.
bool read_at(int fd, void *buf, size_t n, off_t at);

// Writes all n bytes at the file position (interrupted or partial writes are
// resumed). False on an error.
bool write_all(int fd, const void *data, size_t n);
