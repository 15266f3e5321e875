// Crash-safe file replacement; see replace_file.h.
#include "platform/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fileio.h"

namespace {

// 0 when the target may be replaced (regular file, symbolic link or
// absent), else the errno that refuses it.
int target_refusal(const std::string &path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
}

// Syncs the directory that holds path, so that a rename in it is on disk.
// 0, or the errno of the failure. File systems that cannot sync a directory
// (EINVAL) count as done.
int sync_directory_of(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    Fd d(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.fd < 0) return errno;
    if (fsync(d.fd) != 0 && errno != EINVAL) return errno;
    return 0;
}

} // namespace

ReplacingFile::ReplacingFile(const char *path, mode_t mode) {
    if (!path || !*path) {
        err_ = ENOENT;
        return;
    }
    path_ = path;
    tmp_ = path_ + ".new";
    if (int err = target_refusal(path_)) {
        err_ = err;
        return;
    }
    // A stale temporary goes first; whatever it is, it is not followed.
    if (unlink(tmp_.c_str()) != 0 && errno != ENOENT) {
        err_ = errno;
        return;
    }
    fd_ = open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd_ < 0) err_ = errno;
}

ReplacingFile::~ReplacingFile() {
    // Still open: made here and never committed.
    if (fd_ >= 0) {
        close(fd_);
        unlink(tmp_.c_str());
    }
}

void ReplacingFile::fail(int err) {
    if (err_ == 0) err_ = err ? err : EIO;
}

bool ReplacingFile::write(const void *data, size_t n) {
    if (!ok()) return false;
    if (!write_all(fd_, data, n)) fail(errno);
    return ok();
}

bool ReplacingFile::commit() {
    if (fd_ < 0) return false;
    if (err_ == 0 && fsync(fd_) != 0) fail(errno);
    if (close(fd_) != 0) fail(errno);
    fd_ = -1;
    if (err_ == 0) {
        // The target may have changed kind since the temporary was made.
        if (int err = target_refusal(path_)) fail(err);
    }
    if (err_ == 0 && rename(tmp_.c_str(), path_.c_str()) != 0) fail(errno);
    if (err_ != 0) {
        unlink(tmp_.c_str());
        return false;
    }
    if (int err = sync_directory_of(path_)) {
        err_ = err;
        return false;
    }
    return true;
}

bool replace_file(const char *path, const void *data, size_t n, mode_t mode) {
    ReplacingFile f(path, mode);
    if (f.write(data, n) && f.commit()) return true;
    errno = f.error();
    return false;
}
