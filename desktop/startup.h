// Start-up of the program, split into steps so tests can run them without
// the fork: options, globals from the environment, toolkit, main window.
#pragma once

#include <X11/Intrinsic.h>

#include <string>

struct StartupOptions {
    bool vtr = false;    // "-vtr": build the VTR panel even without the board
    bool border = false; // "-border": window-manager decorations on the main window
};

// Scans the command line for "-vtr" and "-border" (exact, any position).
StartupOptions ParseArguments(int argc, char **argv);

// Reads "SCSI_SYNC" and "SCSI_VIDEO_MODE" into SYNC_MODE and VIDEO_MODE, sets
// the frame size and fps, and shrinks YLARG and HAPPYH by 24 in NTSC modes.
void ReadVideoEnvironment();

// The shared state before the toolkit: geometry and run-state globals, the
// video standard, the process table, the semaphore set, and the log
// converter job. Returns 0, or -1 when the semaphore set could not be made
// (after printing why on standard error).
int InitGlobals();

// Initialises the toolkit with class "orva", the command line and the
// adjusted fallback resources, registers the actions and the window
// manager's close. Returns the application shell, or null without a display.
Widget InitToolkit(int *argc, char **argv, const StartupOptions &opt);

// Registers the hooks through which lower libraries reach the desktop, builds
// the main window in app_shell, realises it and arms the timers.
void BuildMainWindow(const StartupOptions &opt);

// The start-up message for a run without a usable database (ORVA_RSRC unset,
// empty, or naming a directory whose "OrvaDB" lists no valid database): which
// list file was looked for and how to go on. Empty when a database is current.
std::string NoDatabaseMessage();

// The whole start-up: fork (unless ORVA_NO_DETACH is 1), the steps above,
// then the toolkit's main loop. Never returns on success.
int OrvaMain(int argc, char **argv);
