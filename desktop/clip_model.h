// The records that carry the desktop: physical clips (`FisicData`) with their
// quarter-size logs, frame-range segments, and clip windows (`WindowData`).
#pragma once

#include <X11/Intrinsic.h>

#include <atomic>

#include "media/clip_log.h"

struct fm_fileformat;
struct WindowData;

// A picture sequence made by an import: seven words, the first the name
// pattern (owned), then first and last picture number, number step, index of
// the image extension, index of the number style and the log tag number.
struct ImageLogInfo {
    char *pattern = nullptr;
    int first = 0, last = 0, step = 1, ext = 0, style = 0, tag = 0;
};

// One part file of a clip's log.
struct LogPart {
    std::atomic<int> ready{0}; // 1 when the part file is complete and its tables loaded
    int *sizes = nullptr;      // byte size of each compressed frame
    int *offsets = nullptr;    // byte offset of each frame in the part file
    char *file = nullptr;      // path of the part file, owned
    int spare = -1;
};

// One physical clip: an SVJ reel or a numbered picture sequence.
struct FisicData {
    ImageLogInfo *pic = nullptr;     // null for a reel
    char *path = nullptr;            // full path of the reel; null for a picture sequence
    char *dir = nullptr;             // database directory of the log; null: the current one
    fm_fileformat *reader = nullptr; // eighth-size display reader of the reel
    int frames = 0;
    int width = 0, height = 0; // log frame size
    std::atomic<int> refs{0};  // window segments using this clip
    std::atomic<int> remove{0};
    int parts = 0;
    // Published by the log converter once its records are complete.
    std::atomic<LogPart *> part{nullptr};
    std::atomic<int> complete{0};
    std::atomic<int> busy{0};
    std::atomic<FisicData *> next{nullptr};
};

extern std::atomic<FisicData *> first_fisic;

// Size of the common log header.
constexpr int LOG_COMMON_SIZE = 50;

// Base name of a path: the text after the last "/", leading blanks, tabs and
// newlines skipped, cut at the first blank, tab or newline. Writes the
// terminating NUL into `path` and returns a pointer into it.
char *GetName(char *path);
// "Log", the tag of log header names.
const char *GetLogTag();
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
const char *GetPicTag();
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

// A frame range of a physical clip inside a window; segments form a ring.
struct Segment {
    int first = 0, last = 0; // last < first: the range runs backwards
    int offset = 0;          // window frame at which the segment begins
    int map_len = 0;
    int period = 1;
    int *map = nullptr; // null: offsets 0, 1, 2, ...
    FisicData *fisic = nullptr;
    Segment *next = nullptr, *prev = nullptr;
};

struct DispData;

// Where a window's picture came from: the quarter-size log (drawn 1:1) or
// the reel at an eighth (drawn magnified twice).
enum PictureSource { SOURCE_LOG = 1, SOURCE_REEL = 2 };

// One clip window.
struct WindowData {
    int width = 0, height = 0;
    int playing = 0;
    int source = SOURCE_LOG; // where `image` came from (PictureSource)
    int selected = 0;
    int master = 0;
    int slot = 0;
    unsigned char *image = nullptr; // width x height pixels, bytes A,B,G,R, bottom-up
    unsigned char *back = nullptr;  // as large: the next frame is fetched here, then swapped
    int spare = 0;
    int in = 0, out = 0;
    int total = 0;
    int current = 0;
    int start = 0;
    Segment *seg_first = nullptr, *seg_last = nullptr, *seg_current = nullptr;
    Widget form = nullptr, glw = nullptr, tmglw = nullptr, scale = nullptr;
    Widget in_label = nullptr, out_label = nullptr, tc_label = nullptr, frame_label = nullptr;
    Widget progress_label = nullptr, memo = nullptr;
    Widget memo_btn = nullptr, copy_btn = nullptr, left_btn = nullptr, right_btn = nullptr;
    Widget frame = nullptr, label_frame = nullptr, label_form = nullptr;
    Widget prev_btn = nullptr, next_btn = nullptr;
    Widget play_btn = nullptr, stop_btn = nullptr, reve_btn = nullptr;
    DispData *disp = nullptr;
    void *production = nullptr;
    WindowData *next = nullptr;
};

extern WindowData *first_window, *last_window, *first_work, *summa_window;

// Creates a window on `fisic` (or an import placeholder when null) and
// appends it to the window list. Returns the previous last window.
WindowData *AddWindowData(FisicData *fisic, int import_entry, char *name, int frames);
// Releases a window: its widgets, segments (dropping the clips' refs), image;
// the record itself when free_record is set.
void FreeWindowData(WindowData *win, int free_record);

// Marker stored in `seg_first` of windows that show a fixed picture and have
// no real segments (the logo), so that DrawImage draws them.
extern Segment *const fixed_picture_marker;
