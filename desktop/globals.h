// Globals of the one main process: toolkit context and main widgets, the
// geometry and colours of the main window, and the run-state words that the
// desktop, the jobs and the exit path share.
#pragma once

#include <X11/Intrinsic.h>
#include <atomic>

#include "media/video_globals.h"

struct sv_handle; // the board handle; null when the board did not open
extern sv_handle *sv;

// Toolkit and main widgets.
extern XtAppContext app;
extern Widget app_shell, mainform, summaform, happyswin, happyform, workswin, workform;
extern Widget happy_h, happy_v, work_h, work_v;
extern Widget in_out_bg, rec_bg;

// Geometry of the desktop cells and areas (pixels).
extern int XBORD, XLARG, YBORD, YLARG, HAPPYH, VTRH, NCOL;

// Colours (pixel values).
extern Pixel background, RED_COL, YEL_COL, BUSY_YEL, BUSY_GRN;

// Run state.
extern int master_tc;
extern std::atomic<int> isPlayActive;
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
