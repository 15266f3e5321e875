// The database's menu commands and the hooks through which its dialogs act
// on the desktop, which lies above this library.
#pragma once

#include "ui/command.h"

struct DbDialog;

// OPEN > "Reel ...": the reels of the current database's SVJ/ directory.
ORVA_COMMAND(DbSelectSvj);

// OPEN > "Work ..." ("Open Work"): loads the chosen work file, replacing the
// open windows ("Replace") or beside them ("Add").
ORVA_COMMAND(DbSelectWork);
// DELETE > "Work ..." ("Delete Work"): removes the chosen work files.
ORVA_COMMAND(DbRemoveWork);
// SAVE > "Work" > "All", "Master", "Selected": the "Save work" dialog for
// the whole desktop, the master area or the selected desktop windows; first
// "Save empty work?" when there is nothing of that kind.
ORVA_COMMAND(DbSaveWorkAll);
ORVA_COMMAND(DbSaveWorkHappy);
ORVA_COMMAND(DbSaveWorkSelected);

// What "OK" of a save dialog does with the chosen path.
using DbSaveAction = void (*)(const char *path);

// Opens "Save work" (the work files of WORK/, a name field, "OK", "Cancel");
// OK runs DbSaveName with `action`. Nothing during playback.
void DbSaveWorkAnyway(DbSaveAction action);

// OK of "Save work" and "Save edit list": takes the last path component of
// the name field up to its first blank ("Type or select a name" when there
// is none), makes it a path in the current database's WORK/ with "." and ext
// appended unless the name already ends in them, and runs action on it: at
// once when nothing is there, after "File exists. Overwrite?" for a file;
// nothing for a directory. The dialog closes before the action runs.
void DbSaveName(DbDialog *d, const char *ext, DbSaveAction action);

// The save actions of the closing questions: the work file of the whole
// desktop, the master area or the selected windows, then, only when it was
// saved, the matching close (with its question about running jobs).
void DbDoSaveWorkAllAndClear(const char *path);
void DbDoSaveWorkHappyAndClear(const char *path);
void DbDoSaveWorkSelectedAndClear(const char *path);

// Opens a reel into a new desktop window. Registered by the desktop at
// start-up; null (nothing opens) before that.
extern void (*DbOpenReelHook)(const char *path);

// Work files on the desktop, registered by the desktop at start-up; while
// one is null its step does nothing (a save or load then counts as failed).
// Saving: selection 0 all windows, 1 master area, 2 selected desktop
// windows; 1 when saved (a failure has been shown).
extern int (*DbSaveWorkHook)(const char *path, int selection);
// Loading: add 0 replaces (the windows are closed before), 1 adds; 1 when a
// master-area window was loaded.
extern int (*DbLoadWorkHook)(const char *path, int add);
// Rebuilds the summa window from the master area.
extern void (*DbUpdateSummaHook)();
// 1 when a window has an import or export (or effect) job working on it or
// is still being produced.
extern int (*DbJobsOnWindowsHook)();
// Closes every window; stop 1 also stops the jobs working on them.
extern void (*DbCloseWindowsHook)(int stop);
// The close that follows a good save: selection 0 all windows, 1 the master
// area, 2 the selected desktop windows, each asking first about running jobs.
extern void (*DbClearAfterSaveHook)(int selection);

// TOOLS > "Info ...": technical properties of chosen reels.
ORVA_COMMAND(DbInfoSvj);
// DELETE > "Reel ...": removes chosen reels (and their logs).
ORVA_COMMAND(DbRemoveSvj);
// OPEN > "Image clip ...": the image-clip logs of the current database.
ORVA_COMMAND(DbSelectImages);
// DELETE > "Image ...": removes chosen picture sequences (and their logs).
ORVA_COMMAND(DbRemoveImg);

// Shows the info table of the reels at paths[0..n-1] (InfoAllocStruct,
// InfoAddData per reel, InfoShowData). Registered by the desktop; null: no
// table is shown.
extern void (*DbInfoHook)(const char *const *paths, int n);
// Opens an image-clip log into a new desktop window (OpenImageLog); 1 on
// success, 0 on failure. Registered by the desktop; null: nothing opens and
// every log counts as failed.
extern int (*DbOpenImageLogHook)(const char *path);

// OPEN > "Database ...": choose the current database, or make a new one.
ORVA_COMMAND(DbSelectDatabase);
// DELETE > "Database ...": remove a database that is not the current one.
ORVA_COMMAND(DbRemoveDatabase);
// TOOLS > "Copy reel ...": copy a reel of another database into this one.
ORVA_COMMAND(DbImportSvj);

struct DbCopyJob;
// Starts the reel copy job as a background job of type 6 whose output file
// is the job's temporary file. Returns 0, or -1 when it could not be
// started. Registered by the desktop; null: nothing can be started.
extern int (*DbCopyStartHook)(DbCopyJob *job);
// Number of background jobs running (the converter included). Registered by
// the desktop; null counts as none.
extern int (*DbRunningJobsHook)();
