// The database's menu commands and the hook through which its dialogs open
// what they chose on the desktop, which lies above this library.
#pragma once

#include "ui/command.h"

// OPEN > "Reel ...": the reels of the current database's SVJ/ directory.
ORVA_COMMAND(DbSelectSvj);

// Opens a reel into a new desktop window. Registered by the desktop at
// start-up; null (nothing opens) before that.
extern void (*DbOpenReelHook)(const char *path);
