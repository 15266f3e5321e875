// The database's menu commands and the hook through which its dialogs open
// what they chose on the desktop, which lies above this library.
#pragma once

#include "ui/command.h"

// OPEN > "Reel ...": the reels of the current database's SVJ/ directory.
ORVA_COMMAND(DbSelectSvj);

// Opens a reel into a new desktop window. Registered by the desktop at
// start-up; null (nothing opens) before that.
extern void (*DbOpenReelHook)(const char *path);

// OPEN > "Database ...": choose the current database, or make a new one.
ORVA_COMMAND(DbSelectDatabase);
// DELETE > "Database ...": remove a database that is not the current one.
ORVA_COMMAND(DbRemoveDatabase);
// TOOLS > "Copy reel ...": copy a reel of another database into this one.
ORVA_COMMAND(DbImportSvj);

// True when a clip window has an import or export in progress, so that a
// database switch asks whether to stop it. Registered by the desktop; null
// counts as none.
extern int (*DbImpExpHook)();

struct DbCopyJob;
// Starts the reel copy job as a background job of type 6 whose output file
// is the job's temporary file. Returns 0, or -1 when it could not be
// started. Registered by the desktop; null: nothing can be started.
extern int (*DbCopyStartHook)(DbCopyJob *job);
// Number of background jobs running (the converter included). Registered by
// the desktop; null counts as none.
extern int (*DbRunningJobsHook)();
