// Whole-buffer descriptor I/O for the reel layers (internal to media/).
#pragma once

#include <cerrno>
#include <cstddef>

#include <unistd.h>

namespace svj_io {

// Reads up to n bytes, retrying short reads and EINTR; the count read (less
// than n only at end of file) or -1.
inline long read_full(int fd, unsigned char *buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::read(fd, buf + got, n - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        got += size_t(r);
    }
    return long(got);
}

// Reads exactly n bytes; a file that ends early sets errno to EIO.
inline bool read_exact(int fd, unsigned char *buf, size_t n) {
    errno = 0;
    long r = read_full(fd, buf, n);
    if (r >= 0 && size_t(r) != n && errno == 0) errno = EIO;
    return r >= 0 && size_t(r) == n;
}

// Writes exactly n bytes.
inline bool write_exact(int fd, const unsigned char *buf, size_t n) {
    size_t done = 0;
    errno = 0;
    while (done < n) {
        ssize_t w = ::write(fd, buf + done, n - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = EIO;
            return false;
        }
        done += size_t(w);
    }
    return true;
}

} // namespace svj_io
