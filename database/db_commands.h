// The database's menu commands and the hook through which its dialogs open
// what they chose on the desktop, which lies above this library.
#pragma once

#include "ui/command.h"

// OPEN > "Reel ...": the reels of the current database's SVJ/ directory.
ORVA_COMMAND(DbSelectSvj);

// Opens a reel into a new desktop window. Registered by the desktop at
// start-up; null (nothing opens) before that.
extern void (*DbOpenReelHook)(const char *path);

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
