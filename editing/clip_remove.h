// Removing clip files: reels and picture sequences, with their log files,
// only while no open clip and no running job uses them. The database's
// delete dialogs and the log converter's removal of marked clips call this.
// No toolkit here; the process table, which lies above, is asked through
// RemoveJobUsesHook.
#pragma once

struct FisicData;

// True when a running job (any entry of the process table) writes `path`
// as its output file, the same file by path or by device and inode. Set by
// the desktop at start-up; null: no job is asked about.
extern bool (*RemoveJobUsesHook)(const char *path);

// The reel clip of first_fisic whose reel is `path`: the same path, or the
// same file by device and inode (another link to it). Null when none.
FisicData *FindReelClip(const char *path);

// Removes the reel file `path`. With checkOpen: a clip of the reel that a
// window uses (refs 1 or more) sets *inUse and nothing is removed; a clip of
// it that no window uses is only marked for removal (1, or 2 when the
// companions go too), which the log converter carries out, and the result
// is 1. A running job writing the reel sets *inUse and nothing is removed.
// Otherwise the file is removed (a failure clears *removed) and, with
// companions, its log part files 1, 2, ... until one is missing, then its
// log header. Returns 1 when the removal was left to the converter, else 0.
int DoRemove(const char *path, int *removed, int *inUse, int companions, int checkOpen);

// The converter's removal of a marked clip's files (DoRemoveHook): the reel,
// and with extra set its log files.
void DoRemoveMarked(const char *path, int extra);

// Whether the picture sequence base (style, extension index) is in use: a
// clip with users of that sequence, or a clip being made from it. With
// frame 0 any such clip counts; with a frame number only a clip whose range
// holds it (on its step), or a clip being made with at least that many
// frames.
int InUseImg(const char *base, int style, int extension, int frame);

// Removes the frame files of the sequence base numbered first..last that
// exist in its directory, in the style and extension given; numbers of the
// range without a file clear *removed, as does a failed removal. With
// companions, also the log headers in the database's CLIP/ directory whose
// stored pattern is this base (same style and extension) and their part
// files. In use (InUseImg with frame 0): *inUse is set, nothing is removed,
// result 0. Otherwise 1.
int DoRemoveImg(const char *base, int *removed, int *inUse, int companions, int first, int last,
                int style, int extension);
