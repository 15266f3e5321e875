// Names of the files that belong to a clip: its base name, the log header
// and log part files of reels and picture sequences, and the log size of the
// video standard. No toolkit and no database call: the current database
// directory comes through ClipDbDirHook, which the database registers when
// it starts (DbInitialize).
#pragma once

// Subdirectories of a clip database, in the order of their indices: reels,
// logs, work files and edit lists, images.
extern const char *const ClipDbSubdirNames[4];

// The current database's directory (ending in "/") or null; with copy
// non-zero a heap copy. Null hook: there is no database.
extern char *(*ClipDbDirHook)(int copy);

// The current database's directory through the hook, or null.
const char *ClipDbDir();

// Base name of a path: the text after the last "/", leading blanks, tabs and
// newlines skipped, cut at the first blank, tab or newline. Writes the
// terminating NUL into `path` and returns a pointer into it.
char *GetName(char *path);
// "Log", the tag of log header names.
const char *GetLogTag();
// "Img", the tag of picture-sequence log names.
const char *GetPicTag();
// Size of the common log header (50).
int GetLogCommonSize();
// 1 when width x height is the log size of the video standard (a quarter of
// the frame; 486 lines give 120).
int CheckDimensions(int width, int height);
// Log part file k (1-based) of a reel: dir (or the current database
// directory when null) + "CLIP/" + base name + "_Clip_k". New string.
char *ClipName(const char *dir, const char *path, int k);
// Log header of a reel: ... + base name + "_Log". When size and date are
// given they receive the reel's size (-1 when unreadable) and its ctime text
// (empty when unreadable; 26 bytes). New string.
char *LogName(const char *dir, const char *path, int *size, char *date);
// Log part file k and log header of a picture sequence: the names of
// ClipName/LogName for base + "_Img%02i" with the tag.
char *PicClipName(const char *dir, const char *base, int tag, int k);
char *PicLogName(const char *dir, const char *base, int tag);
