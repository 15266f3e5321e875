// Crash-safe replacement of a file: the new contents go to a temporary file
// beside the old one ("<name>.new"), which is synced to disk and then renamed
// over the old name, after which the directory is synced too. A crash, a
// full disk or a failed write at any step leaves the old file as it was (or
// no file, when there was none), never a half-written one.
//
// The temporary is always created afresh: a stale "<name>.new" left by an
// earlier crash is unlinked first and the new one is opened with
// O_CREAT|O_EXCL|O_NOFOLLOW, so whatever was planted under that name (a
// symbolic link, a FIFO) is removed, never followed or written into.
//
// The target must be a regular file, a symbolic link or absent. A symbolic
// link is itself replaced by the new file (rename never follows it); what it
// pointed to stays untouched. A caller that wants to write through a link
// resolves it first. A FIFO, device, socket or directory at the target is
// refused (EINVAL, or EISDIR for a directory) and left in place.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

// A replacement being written: open the temporary at construction, write
// the new contents in pieces, then commit(). Destroying it without a
// successful commit removes the temporary and leaves the target unchanged.
class ReplacingFile {
  public:
    // Creates path + ".new" with the given mode (less the umask). ok() tells
    // whether that worked.
    explicit ReplacingFile(const char *path, mode_t mode = 0666);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    // True while the temporary is open and every write so far succeeded.
    bool ok() const { return fd_ >= 0 && err_ == 0; }
    // errno of the first failure, 0 when there was none.
    int error() const { return err_; }
    // The temporary's descriptor (-1 when it could not be made), for writers
    // that need one; data written through it counts like write()'s.
    int fd() const { return fd_; }
    // Appends n bytes. False (and every later call fails) on a write error.
    bool write(const void *data, size_t n);
    // Syncs and closes the temporary, renames it over the target and syncs
    // the directory. True when the new contents are in place and on disk.
    // False when any step failed: the target then holds the old contents,
    // except after a failed directory sync, when the rename is done but may
    // not survive a crash. Only the first call does anything.
    bool commit();

  private:
    void fail(int err);
    std::string path_, tmp_;
    int fd_ = -1;
    int err_ = 0;
};

// Replaces the file at path with n bytes of data in one call (see
// ReplacingFile). True on success; false with errno set on failure, the old
// file then unchanged.
bool replace_file(const char *path, const void *data, size_t n, mode_t mode = 0666);
