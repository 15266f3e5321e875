// The user defaults on the desktop: reading them with the autosave timer and
// the work loaded at start, writing them with the work saved at exit, the
// autosave itself and the "Defaults" dialog (the menu command SetDefaults).
// The file and its rules live in database/defaults_file.h.
#pragma once

#include <X11/Intrinsic.h>

#include <cstdint>

// Reads the defaults file (the global one when global is set and ORVA_RSRC
// is, else the current database's) into `defaults`, `init_work_name` and
// `exit_work_name`, arms the autosave timer when the interval is above 0,
// and loads the init work replacing the desktop when it is on, named, and
// its file exists in the current database; UpdateSummaWindow follows when
// the load put windows in the master area. When that load showed messages,
// the first save over the file keeps the old one as "<name>.wrk~".
void Init_defaults(int global);

// Stops the autosave timer, saves the whole desktop to the exit work when it
// is on, named and a database is current, and writes the defaults file
// crash-safely (an unwritable file keeps the old one). global is 1 at exit,
// where a failed save also prints "Error in saving work" on standard error.
// Does nothing before the first Init_defaults: a run that never read the
// user's defaults must not overwrite them, nor the exit work, with presets.
void Exit_defaults(int global);

// The autosave timer's callback. With an interval of at least 1 minute, an
// exit work name and a current database: saves the whole desktop to the
// exit work and arms the timer again; otherwise the timer stays stopped.
// Called with a null id (as tests do) it acts the same; a timer still armed
// is replaced, never doubled.
void AutosaveTimer(XtPointer client_data, XtIntervalId *id);

// When the armed autosave timer fires, in milliseconds of the steady clock
// (AutosaveClock); 0 when no timer is armed.
int64_t AutosaveDue();
// The steady clock's milliseconds.
int64_t AutosaveClock();

// Registers Exit_defaults(0) with the closing of every clip window as the
// step before a database switch, and Init_defaults(0) as the step after it.
void InstallDefaultsHooks();
