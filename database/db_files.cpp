// Directory listings behind the file dialogs of the current database: the
// reels, work files and edit lists of one subdirectory, picked by their
// extension and sorted so every dialog shows them in the same order.
#include "database/db_files.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct DirCloser {
    void operator()(DIR *d) const { closedir(d); }
};

} // namespace

int DbListFiles(const char *dir, const char *ext, std::vector<std::string> &names) {
    names.clear();
    if (!dir || !ext) return -1;
    std::unique_ptr<DIR, DirCloser> d(opendir(dir));
    if (!d) return -1;
    const size_t el = strlen(ext);
    while (const dirent *e = readdir(d.get())) {
        size_t len = strlen(e->d_name);
        if (len > el && memcmp(e->d_name + len - el, ext, el) == 0) names.emplace_back(e->d_name);
    }
    // std::string compares bytes as unsigned char, as strcmp does.
    std::sort(names.begin(), names.end());
    return 0;
}
