// File helpers by descriptor; see fileio.h.
#include "platform/fileio.h"

#include <unistd.h>

#include <cerrno>

Fd::~Fd() {
    if (fd >= 0) close(fd);
}

bool read_at(int fd, void *buf, size_t n, off_t at) {
    unsigned char *p = static_cast<unsigned char *>(buf);
    while (n > 0) {
        const ssize_t k = pread(fd, p, n, at);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        p += k;
        at += k;
        n -= size_t(k);
    }
    return true;
}

bool write_all(int fd, const void *data, size_t n) {
    const unsigned char *p = static_cast<const unsigned char *>(data);
    while (n > 0) {
        const ssize_t k = write(fd, p, n);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        p += k;
        n -= size_t(k);
    }
    return true;
}
