// The clip model's functions: physical clips read from reels and logs (log
// file names: editing/clip_names.h), and the window list (records: editing/clip_records.h).
#pragma once

#include <X11/Intrinsic.h>

#include "editing/clip_names.h"
#include "editing/clip_records.h"
#include "media/clip_log.h"

struct fm_fileformat;
struct WindowData;

// Size of the common log header.
constexpr int LOG_COMMON_SIZE = 50;

// Start frame coded in the clip's name (grabbed reels "%s_%x_%x_%d.svj").
int GetStartFrame(const FisicData *fisic);
// 1 when `name` is a log header or log part of a picture sequence of
// `prefix` (see the log naming rules), else 0.
int ClipOrLogOfImage(const char *name, const char *prefix, int a, int b);
// LogPartsFor and FramesInPart: media/clip_log.h.

// Reads frame count and quarter size of a reel through the format manager:
// 0 unreadable, 1 matching the video standard, 2 another frame size. Null
// out-pointers are skipped.
int ReadHeaderData(const char *path, int *frames, int *width, int *height);
// Builds the physical clip of a reel (or, without a path, an empty record).
// Its log is used when it matches the reel (size, date and frame count);
// otherwise the clip is set up for the converter to build it anew.
// status: 1 success, 0 not readable, 2 reel not openable (record returned
// when a log exists), 3 wrong frame size.
FisicData *CreaFisicData(const char *path, int is_new, int *status);
void AddFirstFisic(FisicData *fisic);
// Loads the part records of a clip whose header says `available` parts are
// complete; every count, size and offset is checked against the part file.
// Every part gets its file name, also those not read, so that the converter
// writes the parts an unfinished log still lacks.
void ReadClips(FisicData *fisic, int available);
// Writes the clip's log header crash-safely. 1 on success, 0 on failure or
// for a busy clip.
int UpdateLog(FisicData *fisic);
// Opens a picture sequence from its log header into a new desktop window.
int OpenImageLog(const char *path);
// The clip of a picture sequence from its log header (checked, parts
// loaded, added to the clip list); null when the log cannot be used.
FisicData *ImageLogClip(const char *path);
// Frees n part records with their tables and names.
void FreeLogParts(LogPart *parts, int n);
// Frees a physical clip and returns the next one of the list.
FisicData *FreeFisicData(FisicData *fisic);
// Closes a reel reader. 0, or -1 for a null reader.
int CloseImage(fm_fileformat *reader);
// Fills the window's image with its current frame through the frame fetch
// of ShowFrame (log, else the reel at an eighth), else black
// (desktop/frame_display.cpp).
void LoadFirstFrame(WindowData *win);

// Creates a window on `fisic` (or an import placeholder when null) and
// appends it to the window list. Returns the previous last window.
WindowData *AddWindowData(FisicData *fisic, int import_entry, char *name, int frames);
// Releases a window: its widgets, segments (dropping the clips' refs), image;
// the record itself when free_record is set.
void FreeWindowData(WindowData *win, int free_record);
