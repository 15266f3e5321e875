// Globals of the one main process beyond the toolkit side of ui/globals.h:
// the board handle, the run-state words that the desktop, the jobs and the
// exit path share, and the user defaults.
#pragma once

#include <atomic>

#include "database/defaults_file.h"
#include "ui/globals.h"

struct sv_handle; // the board handle; null when the board did not open
extern sv_handle *sv;

// Run state.
extern int master_tc;
// Set when the user quit while background jobs still run: the program lives
// on invisibly and ends when the last job has ended.
extern std::atomic<int> exit_pending;

// The user defaults: five words indexed by DEF_AUTOSAVE .. DEF_SAVE_EXIT,
// preset to 10, 1, 0, 1, 1 before the defaults file is read, and the work
// files loaded at start and saved at exit.
extern int defaults[5];
extern char init_work_name[1024], exit_work_name[1024];
