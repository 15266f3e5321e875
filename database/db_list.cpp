// The database list file and the in-memory list of databases.
//
// Reading rules of the list file, one line at a time:
// - the trailing newline is removed; blanks and tabs before a keyword are
//   skipped, the keyword is matched as a prefix of what follows, blanks and
//   tabs after it are skipped, and the value is the rest of the line;
// - a line that is not a DATABASE line with a non-empty value is ignored;
// - after a DATABASE line the next line must be a PATH line with a
//   non-empty value, else the name is dropped and that line is consumed too;
//   at end of file a pending name is dropped;
// - the directory gets a "/" when it lacks one, and a leading "~" is
//   replaced by HOME when HOME is set.
// A line longer than 1023 characters is one over-long line: it is consumed
// whole and never yields a name or a directory, so a long path is never
// taken cut short and its tail never read as a line of its own. A pair whose
// name or directory does not fit its field is dropped for the same reason.
#include "database/db_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "editing/clip_names.h"
#include "platform/fileio.h"
#include "platform/replace_file.h"

char *DbSubdir[DB_NSUBDIR];
DbEntry *db_list = nullptr;
DbEntry *db_current = nullptr;
char db_image_dir[1024];
char db_browse_dir[1024];
void (*DbLeaveHook)(int stop_jobs) = nullptr;
void (*DbEnterHook)() = nullptr;

namespace {

constexpr size_t LINE_MAX_CHARS = 1023;

struct FileCloser {
    void operator()(FILE *f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Reads one line without its line end (LF or CR LF) into line. Returns
// false at end of file. A line longer than LINE_MAX_CHARS is read to its end
// and returned empty with too_long set.
bool read_line(FILE *f, std::string &line, bool &too_long) {
    line.clear();
    too_long = false;
    int c;
    bool any = false;
    while ((c = getc_unlocked(f)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (too_long) continue;
        // One character more than a line holds: room for the CR of a CR LF.
        if (line.size() == LINE_MAX_CHARS + 1) {
            too_long = true;
            line.clear();
            continue;
        }
        line.push_back(char(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > LINE_MAX_CHARS) {
        too_long = true;
        line.clear();
    }
    return any;
}

// The value after keyword on line, or null when the line is not a keyword
// line or its value is empty.
const char *keyword_value(const std::string &line, const char *keyword) {
    const char *p = line.c_str();
    while (*p == ' ' || *p == '\t')
        p++;
    size_t k = strlen(keyword);
    if (strncmp(p, keyword, k) != 0) return nullptr;
    p += k;
    while (*p == ' ' || *p == '\t')
        p++;
    return *p ? p : nullptr;
}

bool has_newline(const char *s) {
    return strchr(s, '\n') != nullptr;
}

// The nine pieces of one entry.
std::string entry_text(const DbEntry *e) {
    std::string s = "\n";
    s += "DATABASE";
    s += " ";
    s += e->name;
    s += "\n";
    s += "PATH";
    s += " ";
    s += e->dir;
    s += "\n";
    return s;
}

// True when the entry reads back as written: the file format has no room
// for empty values, newlines, or a directory without its final "/".
bool writable_entry(const DbEntry *e) {
    size_t nl = strnlen(e->name, sizeof e->name), dl = strnlen(e->dir, sizeof e->dir);
    if (nl == 0 || nl == sizeof e->name || dl == 0 || dl == sizeof e->dir) return false;
    if (has_newline(e->name) || has_newline(e->dir)) return false;
    if (e->dir[dl - 1] != '/') return false;
    // Leading blanks would be skipped when the line is read again.
    return e->name[0] != ' ' && e->name[0] != '\t' && e->dir[0] != ' ' && e->dir[0] != '\t';
}

// The file a list-file path names: through a symbolic link, the file it
// points to, so that the link stays and its target is written.
std::string list_target(const char *path) {
    char real[PATH_MAX];
    struct stat st {};
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode) && realpath(path, real)) return real;
    return path;
}

// db_image_dir = the entry's dir + "IMAGES/"; entries made by DbMakeEntry
// always leave room for it, others fall back to "/".
void set_image_dir(const DbEntry *e) {
    std::string d = std::string(e->dir, strnlen(e->dir, sizeof e->dir)) + "IMAGES/";
    if (d.size() >= sizeof db_image_dir) d = "/";
    memcpy(db_image_dir, d.c_str(), d.size() + 1);
}

} // namespace

int DbListFileName(char *buf, size_t size) {
    const char *v = getenv("ORVA_RSRC");
    if (!v) v = getenv("PWD");
    if (!v) v = getenv("HOME");
    if (!v) v = "/";
    if (!*v) return 0;
    const char *slash = v[strlen(v) - 1] == '/' ? "" : "/";
    int n = snprintf(buf, size, "%s%s%s", v, slash, "OrvaDB");
    return (n > 0 && size_t(n) < size) ? 1 : 0;
}

DbEntry *DbMakeEntry(const char *name, const char *dir) {
    if (!name || !*name || !dir || !*dir) return nullptr;
    std::string d = dir;
    if (d.back() != '/') d += '/';
    const char *home = getenv("HOME");
    if (d[0] == '~' && home) d = home + d.substr(1);
    if (strlen(name) >= sizeof DbEntry::name || d.size() > DB_DIR_MAX) return nullptr;
    auto *e = new DbEntry{};
    snprintf(e->name, sizeof e->name, "%s", name);
    snprintf(e->dir, sizeof e->dir, "%s", d.c_str());
    e->next = nullptr;
    return e;
}

void DbAppendEntry(DbEntry *entry) {
    if (!entry) return;
    entry->next = nullptr;
    DbEntry **p = &db_list;
    while (*p)
        p = &(*p)->next;
    *p = entry;
}

int DbRemoveEntry(DbEntry *entry) {
    if (!entry || entry == db_current) return -1;
    for (DbEntry **p = &db_list; *p; p = &(*p)->next) {
        if (*p == entry) {
            *p = entry->next;
            delete entry;
            return 0;
        }
    }
    return -1;
}

DbEntry *DbFindEntry(const char *name) {
    if (!name) return nullptr;
    for (DbEntry *e = db_list; e; e = e->next)
        if (strcmp(e->name, name) == 0) return e;
    return nullptr;
}

void DbFreeList() {
    while (db_list) {
        DbEntry *next = db_list->next;
        delete db_list;
        db_list = next;
    }
    db_current = nullptr;
}

int DbReadListFile(const char *path) {
    File f(path ? fopen_regular(path, "r") : nullptr);
    if (!f) return -1;
    // New entries go after the last one, found once: reading stays linear
    // in the length of the file.
    DbEntry **tail = &db_list;
    while (*tail)
        tail = &(*tail)->next;
    int added = 0;
    std::string line, path_line;
    bool too_long = false;
    while (read_line(f.get(), line, too_long)) {
        const char *name = keyword_value(line, "DATABASE");
        if (!name) continue;
        if (!read_line(f.get(), path_line, too_long)) break; // name dropped at end of file
        const char *dir = keyword_value(path_line, "PATH");
        if (!dir) continue; // name dropped, this line consumed with it
        if (DbEntry *e = DbMakeEntry(name, dir)) {
            *tail = e;
            tail = &e->next;
            added++;
        }
    }
    return added;
}

int DbAppendListFile(const char *path, const DbEntry *entry) {
    if (!path || !entry || !writable_entry(entry)) return -1;
    Fd fd(open_regular(list_target(path).c_str(), O_WRONLY | O_APPEND | O_CREAT));
    if (fd.fd < 0) return -1;
    const std::string text = entry_text(entry);
    bool ok = write_all(fd.fd, text.data(), text.size()) && fsync(fd.fd) == 0;
    ok = close(fd.fd) == 0 && ok;
    fd.fd = -1;
    return ok ? 0 : -1;
}

int DbRewriteListFile(const char *path) {
    if (!path || !*path) return -1;
    std::string text;
    for (const DbEntry *e = db_list; e; e = e->next) {
        if (!writable_entry(e)) return -1;
        text += entry_text(e);
    }
    return replace_file(list_target(path).c_str(), text.data(), text.size()) ? 0 : -1;
}

void DbInitialize() {
    for (int i = 0; i < DB_NSUBDIR; i++) {
        free(DbSubdir[i]);
        DbSubdir[i] = strdup(ClipDbSubdirNames[i]);
    }
    // The layers below the database find the current directory through this.
    ClipDbDirHook = DbGetDir;
    snprintf(db_image_dir, sizeof db_image_dir, "/");
    DbFreeList();
    char path[1024];
    if (DbListFileName(path, sizeof path)) DbReadListFile(path);
    if (db_list) {
        db_current = db_list;
        set_image_dir(db_current);
    }
}

char *DbGetName() {
    return db_current ? db_current->name : nullptr;
}

char *DbGetDir(int copy) {
    if (!db_current) return nullptr;
    return copy ? strdup(db_current->dir) : db_current->dir;
}

void DbNameSetDatabase(const char *name) {
    if (DbEntry *e = DbFindEntry(name)) {
        db_current = e;
        set_image_dir(e);
    }
}

void DbSetCurrent(DbEntry *entry, int stop_jobs, int reset) {
    if (!entry) return;
    // Saving the leaving database's defaults and closing all clip windows.
    if (reset && DbLeaveHook) DbLeaveHook(stop_jobs);
    db_current = entry;
    set_image_dir(entry);
    // Loading the new database's defaults.
    if (reset && DbEnterHook) DbEnterHook();
}
