// The clip databases known to the program and the current one.
//
// A clip database is a directory with four fixed subdirectories (reels,
// image-clip logs, work files and edit lists, images). The databases are
// listed in one text file, "OrvaDB", as pairs of lines:
//
//     DATABASE <name>
//     PATH <directory>
//
// This file reads that list at start-up, appends new databases to it and
// rewrites it after a removal (crash-safely: a new file is written, synced
// and renamed over the old one). It keeps the in-memory list `db_list`, the
// current database `db_current` and the image and browse directories. No X
// here: the dialogs live in db_dialog.cpp.
#pragma once

#include <cstddef>

// Indices into `DbSubdir`.
enum { DB_SVJ = 0, DB_CLIP = 1, DB_WORK = 2, DB_IMAGES = 3, DB_NSUBDIR = 4 };

// "SVJ/", "CLIP/", "WORK/", "IMAGES/" (heap copies made by DbInitialize).
// Paths are built as database directory + DbSubdir[i] + file name.
extern char *DbSubdir[DB_NSUBDIR];

// One database.
struct DbEntry {
    char dir[1024]; // absolute directory ending in "/" ("~" already replaced by HOME)
    char name[200]; // the name shown in dialogs and titles
    DbEntry *next;  // next entry, in the order of the list file
};

extern DbEntry *db_list;         // head of the list; null when no database is known
extern DbEntry *db_current;      // the current database, or null
extern char db_image_dir[1024];  // "/" until a database is current, then its dir + "IMAGES/"
extern char db_browse_dir[1024]; // directory shown by the browsing dialogs

// A database directory is at most this long, so that the directory plus
// any subdirectory name always fits a 1024-byte path buffer.
constexpr size_t DB_DIR_MAX = sizeof(DbEntry::dir) - 1 - 7; // 7 = strlen("IMAGES/")

// Builds the list file's path into buf: the value of ORVA_RSRC, else PWD,
// else HOME, else "/", with "/" appended when missing, then "OrvaDB".
// Returns 1 when built; 0 when the chosen value is empty (there is no list
// file) or the path does not fit in size bytes.
int DbListFileName(char *buf, size_t size);

// Fills DbSubdir, sets db_image_dir to "/", forgets any databases read
// before, and reads the list file (a missing or unreadable file leaves the
// list empty). The first database read becomes current. Called once at
// start-up.
void DbInitialize();

// Reads the list file at path and appends each valid database to db_list
// (see db_list.cpp for the reading rules; lines end in LF or CR LF), in time
// linear in the file's length. Does not change db_current. Returns the
// number of databases added, or -1 when the file cannot be opened or is not
// a regular file (a FIFO is refused at once, never waited on).
int DbReadListFile(const char *path);

// Appends one database to the list file at path (the file is created when
// missing; through a symbolic link, the file it points to): "\n",
// "DATABASE", " ", name, "\n", "PATH", " ", dir, "\n". The data is synced to
// disk. Returns 0, or -1 when the file cannot be opened, is not a regular
// file, or cannot be written, or when the entry could not be read back (an empty name or
// directory, a newline inside either, a directory not ending in "/").
int DbAppendListFile(const char *path, const DbEntry *entry);

// Replaces the list file at path with the entries of db_list in order, each
// written as DbAppendListFile writes one; an empty list gives an empty file.
// The list file is replaced crash-safely (platform/replace_file.h; through
// a symbolic link, the file it points to, the link kept): a failure at any
// step leaves the old file as it was. Returns 0, or -1 on failure (also
// when something other than a regular file stands at the path).
int DbRewriteListFile(const char *path);

// Makes a heap entry from a name and a directory with the reading rules
// ("/" appended, a leading "~" replaced by HOME). Returns null when either is
// empty or does not fit its field. The caller owns the entry.
DbEntry *DbMakeEntry(const char *name, const char *dir);

// Appends entry (owned by the list from now on) at the end of db_list.
void DbAppendEntry(DbEntry *entry);

// Unlinks entry from db_list and frees it. The current database cannot be
// removed: returns -1 for it (and for an entry not in the list), else 0.
int DbRemoveEntry(DbEntry *entry);

// The first entry named name, or null.
DbEntry *DbFindEntry(const char *name);

// Frees every entry; db_list and db_current become null.
void DbFreeList();

// The current database's name, or null.
char *DbGetName();

// The current database's directory (ending in "/"), or null. With copy
// non-zero, a heap copy that the caller frees with free().
char *DbGetDir(int copy);

// Makes the first entry named name current, without saving or loading
// defaults and without closing windows. Unknown names are ignored.
void DbNameSetDatabase(const char *name);

// Makes entry current: db_current = entry, db_image_dir = its dir +
// "IMAGES/". When reset is set, the leaving database's defaults are saved
// and every clip window closed first (running imports and exports stopped
// when stop_jobs is set), and the new database's defaults are loaded
// afterwards: those two steps belong to the defaults and desktop code and
// run through DbLeaveHook and DbEnterHook while those are set. A null entry
// changes nothing.
void DbSetCurrent(DbEntry *entry, int stop_jobs, int reset);

// Steps of a full database switch owned by other subsystems, set by them
// when they join: saving the defaults and closing all clip windows (with
// stop_jobs passed on), and loading the new database's defaults. Null until
// then: the switch then changes only the current database.
extern void (*DbLeaveHook)(int stop_jobs);
extern void (*DbEnterHook)();
