// Globals of the one main process beyond the toolkit side of ui/globals.h:
// the board handle, the run-state words that the desktop, the jobs and the
// exit path share, and the user defaults.
#pragma once

#include <atomic>

#include "ui/globals.h"

struct sv_handle; // the board handle; null when the board did not open
extern sv_handle *sv;

// Run state.
extern int master_tc;
// Set when the user quit while background jobs still run: the program lives
// on invisibly and ends when the last job has ended.
extern std::atomic<int> exit_pending;

// The user defaults: five words, preset to 10, 1, 0, 1, 1 before the
// defaults file is read, and the work files loaded at start and saved at exit.
enum {
    DEF_AUTOSAVE = 0,  // minutes between autosaves, 0 off
    DEF_INVERT = 1,    // invert fields
    DEF_REARRANGE = 2, // rearrange the desktop
    DEF_LOAD_INIT = 3, // load the init work at start
    DEF_SAVE_EXIT = 4, // save the exit work at exit
};
extern int defaults[5];
extern char init_work_name[1024], exit_work_name[1024];
