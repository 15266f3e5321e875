// "Copy reel ..." (TOOLS menu): the reel of another database chosen in two
// steps ("Select database", then "Select Reel" over that database's SVJ/
// directory) is copied into the current database's SVJ/ by a background job.
//
// The copy goes through a temporary file "<reel>.XXXXXX" made exclusively
// beside the destination, so the reel list never lists a half-copied reel,
// a name planted there is never followed, and two copies never share a file.
// The rename to the reel's name refuses to replace anything that appeared
// under that name meanwhile.
#include "database/db_copy.h"

#include <Xm/List.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "database/db_commands.h"
#include "database/db_dialog.h"
#include "database/db_list.h"
#include "database/db_pick.h"
#include "platform/child.h"
#include "platform/fileio.h"
#include "platform/jobs.h"
#include "ui/globals.h"
#include "ui/messages.h"

int (*DbCopyStartHook)(DbCopyJob *job) = nullptr;
int (*DbRunningJobsHook)() = nullptr;

namespace {

constexpr int MAX_RUNNING = 6;
constexpr const char *COPY_FAILED = "Couldn't copy reel";

// The process's file creation mask, read without changing it (umask(2)
// would change it for every thread for a moment).
mode_t current_umask() {
    FILE *f = fopen("/proc/self/status", "r");
    mode_t mask = 022;
    if (!f) return mask;
    char line[256];
    while (fgets(line, sizeof line, f)) {
        unsigned m = 0;
        if (sscanf(line, "Umask: %o", &m) == 1) {
            mask = mode_t(m & 0777);
            break;
        }
    }
    fclose(f);
    return mask;
}

// Syncs a file or directory by name; errors are of no further use here.
void sync_path(const char *path, int flags) {
    int fd = open(path, flags | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

std::string dir_of(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// Gives temp the name dest unless something holds that name already.
int rename_no_replace(const char *temp, const char *dest) {
    if (renameat2(AT_FDCWD, temp, AT_FDCWD, dest, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    // File systems without the flag: a hard link fails on an existing name.
    if (link(temp, dest) != 0) return -1;
    unlink(temp);
    return 0;
}

void select_reel_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    std::vector<std::string> chosen = DbChosenPaths(d, "", 0);
    if (chosen.empty()) {
        PutCharMessage(d->dialog, "No reel selected");
        return;
    }
    const DbEntry *from = d->source;
    const std::string name = chosen.front();
    DbListFree(d);
    std::string src, dest;
    int running = DbRunningJobsHook ? DbRunningJobsHook() : 0;
    if (const char *msg = DbCopyCheck(from, name.c_str(), running, src, dest)) {
        PutCharMessage(mainform, msg);
        return;
    }
    DbCopyJob *job = DbCopyPrepare(src, dest);
    if (!job) {
        PutCharMessage(mainform, COPY_FAILED);
        return;
    }
    if (!DbCopyStartHook || DbCopyStartHook(job) != 0) {
        unlink(job->temp.c_str());
        delete job;
        PutCharMessage(mainform, "Error creating process");
    }
}

void select_database_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    DbEntry *e = DbChosenDatabase(d);
    if (!e) {
        PutCharMessage(d->dialog, "No database selected");
        return;
    }
    if (e == db_current) {
        PutCharMessage(d->dialog, "Selected DB is the current DB");
        return;
    }
    DbListFree(d);
    snprintf(db_browse_dir, sizeof db_browse_dir, "%s%s", e->dir, DbSubdir[DB_SVJ]);
    static const DbButton buttons[] = {{"OK", select_reel_ok}, {"Cancel", nullptr}};
    if (DbDialog *r =
            DbCreaFileDialog("Select Reel", -1, ".svj", buttons, 2, XmSINGLE_SELECT, 0, 290, 290))
        r->source = e;
}

} // namespace

const char *DbCopyCheck(const DbEntry *from, const char *name, int running_jobs, std::string &src,
                        std::string &dest) {
    if (!db_current || !from || !name || !*name || strchr(name, '/')) return "File is unreadable";
    dest = std::string(db_current->dir) + DbSubdir[DB_SVJ] + name;
    struct stat st {};
    if (lstat(dest.c_str(), &st) == 0)
        return "Reel already exists in\ndestination database.\nRemove it and retry.";
    src = std::string(from->dir) + DbSubdir[DB_SVJ] + name;
    if (stat(src.c_str(), &st) != 0) return "File is unreadable";
    struct statvfs vfs {};
    if (statvfs(db_current->dir, &vfs) == 0) {
        const double space = double(vfs.f_bavail) * double(vfs.f_frsize);
        if (space < double(st.st_size)) return "Not enough disk space\nin detination database";
    }
    if (running_jobs >= MAX_RUNNING) return "Too many running processes\nTry again later.";
    return nullptr;
}

DbCopyJob *DbCopyPrepare(const std::string &src, const std::string &dest) {
    struct stat st {};
    if (stat(src.c_str(), &st) != 0) return nullptr;
    std::string temp = dest + ".XXXXXX";
    // The six characters mkstemp puts in are letters and digits: the
    // temporary never ends in ".svj".
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    // cp keeps the mode of a file it writes into: give it the one a new copy
    // would have.
    fchmod(fd, (st.st_mode & 0777) & ~current_umask());
    close(fd);
    auto *job = new DbCopyJob;
    job->source = src;
    job->temp = temp;
    job->dest = dest;
    return job;
}

void DbCopyRun(void *data) {
    auto *job = static_cast<DbCopyJob *>(data);
    const char *argv[] = {"cp", "--", job->source.c_str(), job->temp.c_str(), nullptr};
    int status = ChildRun(argv);
    int result = 1;
    if (JobStopRequested()) {
        result = 2;
    } else if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        // The data reaches the disk before the reel's name points to it.
        sync_path(job->temp.c_str(), O_RDONLY);
        if (!JobStopRequested() && rename_no_replace(job->temp.c_str(), job->dest.c_str()) == 0) {
            sync_path(dir_of(job->dest).c_str(), O_RDONLY | O_DIRECTORY);
            result = 0;
        }
    }
    if (result != 0) unlink(job->temp.c_str());
    job->result = result;
}

const char *DbCopyEnded(DbCopyJob *job, int stopped) {
    if (!job) return nullptr;
    const int result = job->result.load();
    if (result != 0) unlink(job->temp.c_str());
    delete job;
    return result == 1 && !stopped ? COPY_FAILED : nullptr;
}

ORVA_COMMAND(DbImportSvj) {
    (void)w;
    (void)client_data;
    (void)call_data;
    if (isPlayActive) return;
    static const DbButton buttons[] = {{"OK", select_database_ok}, {"Cancel", nullptr}};
    DbOpenDatabaseList("Select database", buttons, 2);
}
