// File helpers by descriptor; see fileio.h.
#include "platform/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

Fd::~Fd() {
    if (fd >= 0) close(fd);
}

int open_regular(const char *path, int flags, mode_t mode) {
    if (!path || !*path) {
        errno = ENOENT;
        return -1;
    }
    const bool writing = (flags & O_ACCMODE) != O_RDONLY;
    // O_NONBLOCK: opening a FIFO without a peer returns at once instead of
    // waiting for one; the file type is checked before anything is read.
    int fd = open(path, flags | O_NONBLOCK | O_CLOEXEC | (writing ? O_NOFOLLOW : 0), mode);
    if (fd < 0) {
        // A FIFO opened for writing without a reader fails with ENXIO.
        if (errno == ENXIO || errno == ELOOP) errno = EINVAL;
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        close(fd);
        errno = err;
        return -1;
    }
    const int fl = fcntl(fd, F_GETFL);
    if (fl >= 0) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

FILE *fopen_regular(const char *path, const char *mode) {
    if (!mode || !*mode) {
        errno = EINVAL;
        return nullptr;
    }
    const bool plus = std::strchr(mode, '+') != nullptr;
    int flags = 0;
    switch (mode[0]) {
    case 'r':
        flags = plus ? O_RDWR : O_RDONLY;
        break;
    case 'w':
        flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        break;
    case 'a':
        flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
        break;
    default:
        errno = EINVAL;
        return nullptr;
    }
    // A file opened for writing is truncated only once it is known to be
    // regular: open without O_TRUNC first.
    const bool trunc = flags & O_TRUNC;
    int fd = open_regular(path, flags & ~O_TRUNC);
    if (fd < 0) return nullptr;
    if (trunc && ftruncate(fd, 0) != 0) {
        const int err = errno;
        close(fd);
        errno = err;
        return nullptr;
    }
    FILE *f = fdopen(fd, mode);
    if (!f) {
        const int err = errno;
        close(fd);
        errno = err;
    }
    return f;
}

const char *file_error(int err) {
    return err == EINVAL ? "not a regular file" : std::strerror(err);
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
