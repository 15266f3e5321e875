// Whether a running job writes a given file: the process table's side of the
// clip-file removal (editing/clip_remove.h), registered at start-up.
#include <sys/stat.h>

#include <cstring>

#include "desktop/processes.h"
#include "desktop/file_use.h"

bool JobWritesFile(const char *path) {
    if (!path) return false;
    struct stat sp;
    const bool have = stat(path, &sp) == 0;
    for (int i = 0; i < MAX_SPROC; i++) {
        const PidData &e = pidData[i];
        if (e.pid <= 0 || e.output.empty()) continue;
        if (e.output == path) return true;
        struct stat so;
        if (have && stat(e.output.c_str(), &so) == 0 && so.st_dev == sp.st_dev &&
            so.st_ino == sp.st_ino)
            return true;
    }
    return false;
}
