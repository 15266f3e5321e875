// Copying a reel from another database into the current one: the checks
// before the copy and the background job that makes it. No X here; the
// dialogs are in db_copy.cpp.
//
// The copy runs "cp" directly (no shell: every name stays one argument) into
// a temporary file beside the destination whose name does not end in
// ".svj", so that the reel list never shows a reel still being copied; only
// a complete copy is renamed to the reel's name. A failed or stopped copy
// removes the temporary file.
#pragma once

#include <atomic>
#include <string>

struct DbEntry;

// One reel copy, owned by the main thread from its start to its end routine.
struct DbCopyJob {
    std::string source;          // the reel copied
    std::string temp;            // the temporary file cp writes (the job's output file)
    std::string dest;            // the reel's name in the current database
    std::atomic<int> result{-1}; // -1 running, 0 done, 1 failed, 2 stopped
};

// The checks of a copy of reel `name` of database `from` into the current
// database, in their order: the destination exists ("Reel already exists
// ..."), the source cannot be examined ("File is unreadable"), the free space
// (f_bavail x f_frsize) of the current database's file system is smaller
// than the reel ("Not enough disk space ..."), 6 or more jobs are running
// ("Too many running processes ..."). Returns the message, or null when the
// copy may start, with src and dest filled.
const char *DbCopyCheck(const DbEntry *from, const char *name, int running_jobs, std::string &src,
                        std::string &dest);

// Makes the job of a copy from src to dest: creates its temporary file
// (exclusively, with the mode a new copy of src would get). Null when the
// temporary cannot be made.
DbCopyJob *DbCopyPrepare(const std::string &src, const std::string &dest);

// The job function (data: the DbCopyJob): runs cp, then renames the
// temporary to the destination unless a stop was asked for or something
// took the destination's name meanwhile; anything but a complete copy
// removes the temporary. Sets result.
void DbCopyRun(void *data);

// The end of a copy, in the main thread: removes what is left of the
// temporary, frees the job and returns the message to show ("Couldn't copy
// reel" for a failed copy, null for a done or stopped one).
const char *DbCopyEnded(DbCopyJob *job, int stopped);
