// Removing a database: its files and directories, its entry, and the list
// file rewritten without it.
#pragma once

struct DbEntry;

// Results of DbRemoveDatabaseFiles.
enum {
    DB_REMOVED = 0,    // everything removed (or the directory was already gone)
    DB_INCOMPLETE = 1, // something in SVJ/, CLIP/, WORK/ or IMAGES/ could not be removed
    DB_SHARED = 2,     // the directory is another listed database's: nothing removed
    DB_IS_CURRENT = -1 // the current database's directory (perhaps under another name)
};

// Removes the files of database e, never following a symbolic link: for
// each of SVJ/, CLIP/, WORK/ and IMAGES/ every entry in it (a directory
// inside is not entered and counts as not removed) and then the directory
// itself (a link there loses the link only), then the root's ".orva_def."
// files and the root. A directory that is, by device and inode, the current
// database's gives DB_IS_CURRENT and nothing is touched; one that another
// entry of db_list names (as its directory or one of its four) is left with
// all it holds. Does not change db_list.
int DbRemoveDatabaseFiles(const DbEntry *e);
