// The body of a compressed grab: each range of a copy of the grab list is
// recorded from tape into its own reel, named from the reel base path, the
// range and the quality. It touches only the board, the files and the result
// table it is given: clip records and the desktop are the end routine's, in
// the main process, which decides from the table what to open or remove.
#pragma once

#include "vtr/grab_list.h"

#include <atomic>
#include <string>
#include <vector>

struct sv_handle;

// What became of one grab-list entry.
struct GrabResult {
    int error = 0;    // board error code of the range (0 ok)
    int running = 0;  // 1 while the range is recorded; stays 1 for a range cut by a stop
    int has_reel = 0; // 1 when a reel of the range is there (new or found)
    int recorded = 0; // 1 when it was recorded by this grab (0: an existing reel was taken)
    int skipped = 0;  // 1 for an entry whose Out is earlier than its In
    std::string name; // the reel's file name (empty for a skipped entry)
};

struct GrabJob {
    sv_handle *sv = nullptr;
    std::string base; // database SVJ directory + tape name
    int quality = 0;  // 1..100, already sent to the board
    std::vector<TcEntry> entries;
    std::vector<GrabResult> results; // one per entry, filled by the body
    // Set by the main process to stop; checked before each range. A stop of
    // the job itself (JobStop) also ends the range being recorded at its
    // next board record.
    const std::atomic<bool> *stop = nullptr;
};

// Runs the grab over job->entries in order and fills job->results. A range
// whose reel exists and opens as a reel is taken as it is; a file of that
// name that is not a reel is removed and grabbed again. A recording keeps
// its file only on 0, 31 or 22 (the board library removes it otherwise).
// Returns the number of ranges recorded.
int RunGrabJob(GrabJob *job);
