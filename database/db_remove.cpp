// DELETE > "Database ...": "Remove database" lists the databases; "OK" asks
// "Are you sure?", then removes the chosen one's files, its entry and its
// lines in the list file (rewritten crash-safely).
//
// The removal works through directory descriptors (openat, unlinkat with
// O_NOFOLLOW): a symbolic link in the tree is removed itself, never the
// files it points to, and a directory renamed or replaced by a link while we
// work cannot redirect the removal elsewhere. Directories that the current
// database or another listed one uses are recognised by device and inode,
// whatever name reaches them, and left alone.
#include "database/db_remove.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "database/db_commands.h"
#include "database/db_dialog.h"
#include "database/db_list.h"
#include "database/db_pick.h"
#include "ui/globals.h"
#include "ui/messages.h"

namespace {

struct Key {
    dev_t dev;
    ino_t ino;
    bool operator==(const Key &o) const { return dev == o.dev && ino == o.ino; }
};

bool key_of(const std::string &path, Key &k) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    k = {st.st_dev, st.st_ino};
    return true;
}

bool contains(const std::vector<Key> &keys, const Key &k) {
    for (const Key &x : keys)
        if (x == k) return true;
    return false;
}

// The directories other entries use: their roots and their four.
std::vector<Key> used_elsewhere(const DbEntry *e) {
    std::vector<Key> keys;
    for (const DbEntry *o = db_list; o; o = o->next) {
        if (o == e) continue;
        Key k{};
        if (key_of(o->dir, k)) keys.push_back(k);
        for (int i = 0; i < DB_NSUBDIR; i++)
            if (key_of(std::string(o->dir) + DbSubdir[i], k)) keys.push_back(k);
    }
    return keys;
}

// Removes every entry of the directory open at fd (closed here). False when
// one could not be removed; directories inside are not entered.
bool empty_dir(int fd) {
    DIR *d = fdopendir(fd);
    if (!d) {
        close(fd);
        return false;
    }
    bool ok = true;
    std::vector<std::string> names;
    while (const dirent *de = readdir(d))
        if (strcmp(de->d_name, ".") != 0 && strcmp(de->d_name, "..") != 0)
            names.emplace_back(de->d_name);
    for (const std::string &n : names)
        if (unlinkat(dirfd(d), n.c_str(), 0) != 0) ok = false;
    closedir(d);
    return ok;
}

// Removes subdirectory name of the root open at root. False when it marks
// the removal incomplete.
bool remove_subdir(int root, const char *name, const std::vector<Key> &keep) {
    struct stat st {};
    if (fstatat(root, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISLNK(st.st_mode)) return unlinkat(root, name, 0) == 0; // the link only
    if (!S_ISDIR(st.st_mode)) return false;
    if (contains(keep, Key{st.st_dev, st.st_ino})) return true; // another database's
    int fd = openat(root, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = empty_dir(fd);
    if (unlinkat(root, name, AT_REMOVEDIR) != 0) ok = false;
    return ok;
}

void remove_defaults_files(int root) {
    int fd = dup(root);
    if (fd < 0) return;
    DIR *d = fdopendir(fd);
    if (!d) {
        close(fd);
        return;
    }
    std::vector<std::string> names;
    while (const dirent *de = readdir(d))
        if (strncmp(de->d_name, ".orva_def.", 10) == 0) names.emplace_back(de->d_name);
    for (const std::string &n : names)
        unlinkat(root, n.c_str(), 0);
    closedir(d);
}

void remove_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    DbEntry *e = DbChosenDatabase(d);
    if (!e) {
        PutCharMessage(d->dialog, "No database selected");
        return;
    }
    DbListFree(d);
    if (e == db_current) {
        PutCharMessage(mainform, "Cannot remove current database");
        return;
    }
    const int r = DbRemoveDatabaseFiles(e);
    if (r == DB_IS_CURRENT) {
        PutCharMessage(mainform, "Cannot remove current database");
        return;
    }
    if (r == DB_INCOMPLETE) PutCharMessage(mainform, "Error: couldn't remove all files");
    DbRemoveEntry(e);
    char path[1024];
    if (!DbListFileName(path, sizeof path) || DbRewriteListFile(path) != 0)
        PutCharMessage(mainform, "Error removing database");
}

void remove_asked(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    Warning(d->dialog, "Are you sure?", remove_ok, d, nullptr, nullptr);
}

} // namespace

int DbRemoveDatabaseFiles(const DbEntry *e) {
    if (!e) return DB_REMOVED;
    std::string root = e->dir;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    Key k{};
    if (db_current && db_current != e && key_of(db_current->dir, k)) {
        Key mine{};
        if (key_of(root, mine) && mine == k) return DB_IS_CURRENT;
    }
    const std::vector<Key> keep = used_elsewhere(e);
    struct stat st {};
    if (lstat(root.c_str(), &st) != 0) return DB_REMOVED; // nothing there
    if (S_ISLNK(st.st_mode)) {
        // A database reached through a link: the link goes, what it points
        // to stays.
        Key target{};
        if (key_of(root, target) && contains(keep, target)) return DB_SHARED;
        unlink(root.c_str());
        return DB_REMOVED;
    }
    if (!S_ISDIR(st.st_mode)) return DB_REMOVED;
    if (contains(keep, Key{st.st_dev, st.st_ino})) return DB_SHARED;
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return DB_INCOMPLETE;
    bool ok = true;
    for (int i = 0; i < DB_NSUBDIR; i++) {
        std::string sub = DbSubdir[i];
        if (!sub.empty() && sub.back() == '/') sub.pop_back();
        if (!remove_subdir(fd, sub.c_str(), keep)) ok = false;
    }
    remove_defaults_files(fd);
    close(fd);
    rmdir(root.c_str());
    return ok ? DB_REMOVED : DB_INCOMPLETE;
}

ORVA_COMMAND(DbRemoveDatabase) {
    (void)w;
    (void)client_data;
    (void)call_data;
    if (isPlayActive) return;
    if (!db_list) {
        PutCharMessage(mainform, "No database existent");
        return;
    }
    static const DbButton buttons[] = {{"OK", remove_asked}, {"Cancel", nullptr}};
    DbOpenDatabaseList("Remove database", buttons, 2);
}
