// The toolkit side shared by every window and dialog: the application
// context, the main widgets, the geometry of the desktop cells and areas, the
// colours of the main window, and the playback word every command checks.
#pragma once

#include <X11/Intrinsic.h>

#include <atomic>

#include "media/video_globals.h"

// Toolkit and main widgets.
extern XtAppContext app;
extern Widget app_shell, mainform, summaform, happyswin, happyform, workswin, workform;
extern Widget happy_h, happy_v, work_h, work_v;
extern Widget in_out_bg, rec_bg;

// Geometry of the desktop cells and areas (pixels).
extern int XBORD, XLARG, YBORD, YLARG, HAPPYH, VTRH, NCOL;

// Colours (pixel values).
extern Pixel background, RED_COL, YEL_COL, BUSY_YEL, BUSY_GRN;

// Set while a clip plays: commands that change clips or files refuse to run.
extern std::atomic<int> isPlayActive;
