// Work files: the saved state of the clip windows of the master area and the
// desktop. This file holds the in-memory model of a work file with its one
// reader and one writer, shared by the desktop's save and load commands and
// by tools/worktool. No toolkit and no database call is made here: the
// desktop turns the model into windows and back (see the functions at the
// end), and the database directory is passed in by the caller.
//
// A work file, every number a big-endian 32-bit word:
//
//   header   "Vek Dulsar Orva 0002" and a NUL (21 bytes; version 0 files
//            have none)
//   N, then N segment counts
//   N entries: window image (42 words; words 0 width, 1 height, 5 master,
//            6 slot, 9 in, 10 out, 11 total, 13 start are used), title length
//            L with the NUL, the title, then per segment: segment image (9
//            words: first, last, offset, map length P, period, map flag, three
//            unused), P map words, kind byte (0 reel, 1 picture sequence), for
//            pictures the seven-word picture record (word 0 unused), name
//            length K, the name and its NUL, for reels the reel's ctime text
//            (26 bytes) and its size.
//
// Versions 0 and 1 store a skip factor and a repeat factor in segment words
// 3 and 4 instead of a map; the reader converts them into maps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FisicData;
struct WindowData;

constexpr int WORK_VERSION = 2;
constexpr int WORK_HEADER_SIZE = 21;
constexpr int WORK_MAX_WINDOWS = 1000;
constexpr int WORK_WINDOW_WORDS = 42;
constexpr int WORK_SEGMENT_WORDS = 9;
constexpr int WORK_PICTURE_WORDS = 7;
constexpr int WORK_TIME_SIZE = 26; // ctime text, newline and NUL
constexpr int WORK_MAX_SLOT = 999;
constexpr int WORK_EXTENSIONS = 6; // image extensions an import knows
constexpr int WORK_STYLES = 4;     // frame-number styles an import knows

// Messages of saving and loading, in one list: the code and its text.
#define WORK_MESSAGES(X)                                                                           \
    X(WORK_OK, "")                                                                                 \
    X(WORK_UNABLE_TO_OPEN, "Unable to open file")                                                  \
    X(WORK_UNKNOWN_VERSION, "Unknown work file version")                                           \
    X(WORK_READ_ERROR, "Error reading file")                                                       \
    X(WORK_CHANGED, "Warning: one or more files\nmay have been changed.\n")                        \
    X(WORK_MISSING, "Warning: one or more files\nare missing or corrupted.\n")                     \
    X(WORK_SAVE_ERROR, "Error in saving work")

#define WORK_MESSAGE_CODE(code, text) code,
enum WorkMessageCode { WORK_MESSAGES(WORK_MESSAGE_CODE) WORK_MESSAGE_COUNT };
#undef WORK_MESSAGE_CODE

// The text of a message code ("" for WORK_OK and unknown codes).
const char *WorkMessage(int code);

// Kinds of clip a segment plays from.
enum WorkKind { WORK_REEL = 0, WORK_PICTURES = 1 };

// Save selections.
enum WorkSelection { WORK_ALL = 0, WORK_MASTER = 1, WORK_SELECTED = 2 };

// The picture-sequence record of a segment (the seven words less the name).
struct WorkPictures {
    int first = 0, last = 0, step = 1, ext = 0, style = 0, tag = 0;
};

// One segment: a frame range of a clip, optionally remapped (see
// editing/frame_map.h), and the clip's file.
struct WorkSegment {
    int first = 0, last = 0;
    int offset = 0; // window frame where the segment begins
    int period = 1;
    std::vector<int> map; // empty: the offsets 0, 1, 2, ...
    int kind = WORK_REEL;
    WorkPictures pic; // WORK_PICTURES only
    // As stored: relative to the database's subdirectory of its kind, or a
    // full path (WorkRelativeName, WorkFullName).
    std::string name;
    char time[WORK_TIME_SIZE] = {}; // reels: ctime text at saving; zeros when unknown
    uint32_t size = 0;              // reels: size in bytes (low 32 bits)
};

// One window.
struct WorkWindow {
    int width = 0, height = 0;
    int master = 0; // 1 in the master area
    int slot = -1;  // 0..999, or -1 for the first free one
    int in = 0, out = 0;
    int total = 0;
    int start = 0;
    std::string title;
    std::vector<WorkSegment> segments;
};

// A whole work file.
struct WorkFile {
    int version = WORK_VERSION; // version read (the writer always writes 2)
    std::vector<WorkWindow> windows;
    int dropped = 0; // entries skipped or discarded by the reader
};

// Writes the 21 header bytes at the descriptor's position. 1 when all were
// written, else 0.
int WriteWorkHeader(int fd);

// Reads 21 bytes at the descriptor's position. When they begin with
// "Vek Dulsar Orva 0", returns the decimal value of the digits after it
// (2 for the current header) and sets *present. Otherwise moves back to the
// start of the file, clears *present and returns 0 (a version 0 file).
int ReadWorkHeader(int fd, bool *present = nullptr);

// Reads the work file at path into *work. Returns WORK_OK,
// WORK_UNABLE_TO_OPEN (not openable, not a regular file, count or count
// table unreadable), WORK_UNKNOWN_VERSION or WORK_READ_ERROR (more than 1000
// windows, nothing read; or entries dropped, work->dropped > 0, the others
// kept). Fewer than one window reads nothing and gives WORK_OK. Every count,
// length and number is checked before it sizes anything: a window whose
// image, title length or title fails is skipped, one whose segments fail is
// discarded, and reading goes on with the next entry. Windows come out with
// offsets and total rebuilt from their segments, In and Out inside the
// window, the slot within 0..999 or -1.
int ReadWorkFile(const char *path, WorkFile *work);
// The same on an open descriptor, from its current position.
int ReadWorkFd(int fd, WorkFile *work);

// Writes *work as a version 2 file at path, crash-safely: the bytes go to a
// new file beside the old one, which is synced and renamed over it. Returns
// 1, or 0 when any step failed; the old file (or none) then stays as it was
// and no temporary is left.
int WriteWorkFile(const char *path, const WorkFile &work);
// The bytes WriteWorkFile writes, header included.
std::vector<unsigned char> WorkFileBytes(const WorkFile &work);

// The name stored for a clip's file: when path is db_dir immediately
// followed by the subdirectory of the kind ("SVJ/" for reels, "IMAGES/" for
// pictures) and the rest is a non-empty name without '/', that rest;
// otherwise the full path. A null db_dir keeps the full path.
std::string WorkRelativeName(const char *path, int kind, const char *db_dir);
// The path of a stored name: names not beginning with '/' are looked up in
// db_dir's subdirectory of the kind (null db_dir: "").
std::string WorkFullName(const std::string &name, int kind, const char *db_dir);

// True when every frame the segment covers (window offsets 0 to
// |last - first|, through the frame rule) lies inside a clip of `frames`
// frames, with no intermediate value leaving 32 bits.
bool WorkSegmentFits(const WorkSegment &seg, int frames);

// Compares a reel segment's stored time text and size with the file at
// path: 0 unchanged, 1 changed, 2 missing (stat fails).
int WorkReelState(const WorkSegment &seg, const char *path);

// The message that ends a load: WORK_READ_ERROR after any read error, else
// WORK_CHANGED after a changed reel, else WORK_MISSING for a missing file
// when the video device is not open, else WORK_OK.
int WorkLoadReport(bool read_error, bool changed, bool missing, bool device_open);

// --- From the window list to the model (saving) ---

// The parameters of an import still producing a window's clip.
struct WorkImport {
    bool reel = false; // the import writes a reel (name is its path)
    std::string name;  // the reel's path, or the sequence's base name
    WorkPictures pic;  // first and last number, step, ext, style, tag
};

// A window's title (its title text field). Null gives "".
using WorkTitleFn = std::string (*)(WindowData *win);
// The import parameters of a window without a segment ring. False when the
// window has none: it is then not saved.
using WorkImportFn = bool (*)(WindowData *win, WorkImport *import);

// Fills *work (version 2) from first_window's list for a selection (0 all,
// 1 master-area windows, 2 selected desktop windows). A window with a ring
// gives its segments with their clips' names (relative to db_dir), for
// reels the time text and size of the reel file (zeros when it cannot be
// examined or is still being written); a window without a ring gives one
// plain segment covering the import's pictures, time and size zero.
void CollectWork(int selection, WorkTitleFn titles, WorkImportFn imports, const char *db_dir,
                 WorkFile *work);

// SaveOK's work: CollectWork, then WriteWorkFile at path. 1, or 0 when the
// file could not be written (the caller says "Error in saving work"; the old
// file is kept).
int SaveWork(const char *path, int selection, WorkTitleFn titles, WorkImportFn imports,
             const char *db_dir);

// The last window of the leading run of master-area windows of
// first_window's list, or null.
WindowData *FindLastHappy();

// --- From the model to windows (loading) ---

// A new window record for a loaded entry once the clip of each segment is
// known (clips[k] for segments[k]): the eight words, source 1, nothing
// selected, current 0, the ring closed (maps copied) and each clip's refs
// raised. Null when a segment does not fit its clip (WorkSegmentFits) or
// memory runs out; nothing is left half made. No widget, no picture.
WindowData *MakeWorkWindow(const WorkWindow &w, FisicData *const *clips);

// Puts a loaded window into first_window's list: a master-area window right
// after FindLastHappy() (or at the head, ahead of first_work), a desktop
// window at the end; first_window, first_work and last_window are kept.
void PlaceWorkWindow(WindowData *win);

// What loading needs from the desktop for one segment: the clip of the file
// at `path`, found among the open clips (not busy; for pictures the same
// pattern and tag) or made and listed (CreaFisicData; for pictures
// FillWorkPictureClip, ReadImageLogHeader, ReadClips; then AddFirstFisic).
// Sets *missing when the reel cannot be opened but its log serves. Null when
// no clip can be had (the window is then discarded).
using WorkClipFn = FisicData *(*)(const WorkSegment &seg, const std::string &path, bool *missing);
// Shows a window made by LoadWorkWindows before it is listed: its first
// picture (LoadFirstFrame) and its widgets (CreaWidget with the title, at
// slot -1 when adding or rearranging, else at win->slot).
using WorkShowFn = void (*)(WindowData *win, const std::string &title);

// The outcome of LoadWorkWindows, for WorkLoadReport.
struct WorkLoadResult {
    bool read_error = false; // reading dropped entries, or a window was discarded
    bool changed = false;    // a reel's time text or size differs
    bool missing = false;    // a reel is missing
    int master_windows = 0;  // master-area windows made
};

// The window-making steps of LoadWork, after ReadWorkFile gave read_code
// (WORK_OK or WORK_READ_ERROR; other codes make nothing). For each entry:
// the clip of each segment through clips (names resolved with
// WorkFullName in db_dir, reels compared with WorkReelState first), the
// record (MakeWorkWindow), a window one of whose own reels is missing moved
// to the desktop at the first free slot and selected (the other windows keep
// their areas and slots; the missing flag of the result is load-wide), then
// show and PlaceWorkWindow. Windows made stay when a later one fails.
WorkLoadResult LoadWorkWindows(const WorkFile &work, int read_code, const char *db_dir,
                               WorkClipFn clips, WorkShowFn show);

// Sets up a new picture-sequence clip for a segment: its record from the
// stored words with `path` as the name pattern, frames (last - first) /
// step + 1 and the log size of the video standard. The caller then calls
// ReadImageLogHeader and reads its parts.
void FillWorkPictureClip(FisicData *clip, const WorkSegment &seg, const std::string &path);

// Reads the log header of a picture-sequence clip (PicLogName of its
// pattern and tag in clip->dir) into parts, width, height and frames. Returns
// the number of complete parts when all parts are complete and the size is
// the video standard's log size, else 0.
int ReadImageLogHeader(FisicData *clip);
