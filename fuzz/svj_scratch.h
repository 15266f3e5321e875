// The scratch directory of an SVJ fuzz target: the reel layers take file
// names, so each input passes through files in one directory private to the
// process (under $TMPDIR, or /tmp), emptied and removed when the process
// exits, so that runs leave nothing behind.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace svj_fuzz {

inline std::string &scratch_path() {
    static std::string dir;
    return dir;
}

inline void remove_scratch() {
    const std::string &dir = scratch_path();
    if (dir.empty()) return;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") unlink((dir + "/" + name).c_str());
        }
        closedir(d);
    }
    rmdir(dir.c_str());
}

// The path of `name` in the scratch directory, made on first use.
inline std::string scratch(const char *target, const char *name) {
    std::string &dir = scratch_path();
    if (dir.empty()) {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + target + ".XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        dir = pattern;
        std::atexit(remove_scratch);
    }
    return dir + "/" + name;
}

// Replaces the scratch file name with the size bytes of data.
inline void write_scratch(const std::string &name, const uint8_t *data, size_t size) {
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) std::abort();
    if (size && write(fd, data, size) != ssize_t(size)) std::abort();
    close(fd);
}

} // namespace svj_fuzz
