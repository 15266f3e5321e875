// Export: writes the frames of one clip window to a new reel, to a movie
// (editing/movie.h), to a numbered sequence of picture files or to pairs of
// JPEG field files. The checks of
// the export dialog's values, the names of the files written, the overwrite
// check and the background body of the export job live here, free of the
// toolkit, so the desktop's dialog and the command-line tool share them.
//
// Frames are taken through a private copy of the window's frame map
// (CopyWindow), so the window may be edited or closed while the export runs.
#pragma once

#include <atomic>
#include <string>
#include <vector>

struct FisicData;
struct WindowData;
struct fm_fileformat;

// Export kinds.
enum {
    EXPORT_KIND_REEL = 1,     // a reel (or a full-size movie) from the reel dialog
    EXPORT_KIND_PICTURES = 2, // numbered picture files
    EXPORT_KIND_MOVIE = 3,    // a log-size movie
    EXPORT_KIND_FX_REEL = 4,  // a custom effect into a reel
    EXPORT_KIND_FX_PICS = 5,  // a custom effect into pictures
};

// Picture formats 0 .. 5 of kinds 2 and 5 ("Korvendal", "Targa", "SGI",
// "YUV", "JPEG", "JPEG fields"), 6 a reel. Movie formats of kinds 1 and 3
// are given by EXPORT_MOVIE_BASE + the movie table's index.
constexpr int EXPORT_FIELDS = 5;
constexpr int EXPORT_SVJ = 6;
constexpr int EXPORT_MOVIE_BASE = 100;
constexpr int EXPORT_MOVIES = 5;

// Number styles of numbered exports: ".1.", ".0001.", "dos".
constexpr int EXPORT_STYLES = 3;

// Statuses an export ends with (besides 5, stopped, set by the job layer).
enum {
    EXPORT_OK = 0,
    EXPORT_PARTIAL = 1,  // frames written black, or the export ended early
    EXPORT_NOT_REEL = 2, // "JPEG fields" of a clip that is not a reel
    EXPORT_NO_MOVIE = 6, // the movie could not be created
};

// The record of one export, filled by ExportCheck and owned by the job.
struct ExportData {
    std::string path; // output path: the file (reel, movie) or the names' base
    int start = 1, out_start = 1, end = 1, step = 1;
    int format = EXPORT_SVJ;
    int style = 0;
    int quality = 85;
    int kind = EXPORT_KIND_REEL;
    WindowData *copy = nullptr;   // the private copy of the frame map
    WindowData *window = nullptr; // the exported window; null for the summa window
    void *dialog = nullptr;       // the dialog's data, for the desktop
    std::atomic<int> status{0};
    std::atomic<int> progress{0}; // frames written
};

// The dialog's values as typed (atoi'd here), with the chosen toggles.
struct ExportRequest {
    std::string path;
    int kind = EXPORT_KIND_REEL;
    int format = EXPORT_SVJ;
    std::string start, end, step, out_start, quality;
    int style = 0;
};

// Outcome of ExportCheck.
struct ExportCheckResult {
    const char *message = nullptr; // the message to show when refused, else null
    ExportData *data = nullptr;    // the filled record when accepted (free with FreeExportData)
    bool overwrite = false;        // a file would be overwritten: ask before starting
};

// Messages of the checks, in the order they are made.
extern const char *const EXPORT_MSG_NO_CLIP;   // "No clip selected"
extern const char *const EXPORT_MSG_START;     // "Start must be >= 1"
extern const char *const EXPORT_MSG_END;       // "End exceeds number of frames"
extern const char *const EXPORT_MSG_STEP;      // "Step must be >= 1"
extern const char *const EXPORT_MSG_ORDER;     // "Start is greater than End"
extern const char *const EXPORT_MSG_EFFECT;    // "Effect not completed ..."
extern const char *const EXPORT_MSG_DIRECTORY; // "Error opening directory"
extern const char *const EXPORT_MSG_IN_USE;    // "One or more files are in\nuse, ..."
extern const char *const EXPORT_MSG_OVERWRITE; // the overwrite question
extern const char *const EXPORT_MSG_NO_NAME;   // a path without a file name

// The window the export dialog works on: the selected desktop window or the
// summa window, set by the export commands before the dialog opens.
extern WindowData *export_window;

// Asked by the in-use check whether a running job writes `path`; set by the
// desktop, null in tools (no job writes anything then).
extern bool (*ExportPathWrittenHook)(const char *path);

// Checks an export of window `win` (frames = its frame count, normally
// win->total) and fills its record: the output names (a reel's extension
// becomes ".svj", a movie without extension gets ".movie", numbered names
// are cut at the first '.', and to 5 characters, 4 for "JPEG fields", in
// style "dos"), the values (quality held to 1 .. 100, 85 when empty), then
// the checks in order, each refusing with its message: no window, Start or
// output start below 1, End beyond the frames, Step below 1, End before
// Start, an effect still being made in the range, the directory cannot be
// read. A target file that a frame of the range reads, an open clip uses or
// a running job writes is refused (EXPORT_MSG_IN_USE): the export removes
// the old file first and would read its own output. Finally whether a file
// would be overwritten.
ExportCheckResult ExportCheck(const ExportRequest &req, WindowData *win, int frames);

// True when a frame of window frames start .. end (counted from 1) comes
// from a clip still being made.
bool EffectsRunning(WindowData *win, int start, int end);

// The files an export writes, in order (both files of each frame for "JPEG
// fields"; one name for a reel or movie).
std::vector<std::string> ExportFileNames(const ExportData &d);

// The name of a numbered output frame with output number `number`.
std::string ExportFrameName(const ExportData &d, int number, int field = 0);

// The file of physical frame k of a picture-sequence clip.
std::string PicFrameFile(const FisicData *fisic, int k);
// Reads frame k of a picture-sequence clip, of the video size, in a reader
// mode (GLO_*); false (buffer untouched) when the file is missing,
// unreadable or of another size.
bool ReadPictureFrame(const FisicData *f, int k, unsigned char *buffer, int mode);

// True when the header areas of two reels are the same bytes (so their
// fields can be copied without decoding). For a target that is new (no
// frame written yet) its header is the one it would write at its quality.
bool SameQuality(fm_fileformat *source, fm_fileformat *target, bool target_is_new);

// Frees the frame-map copy and the record.
void FreeExportData(ExportData *d);

// The body of the export job (job type 2): writes the frames and sets
// d->status and d->progress. The pause gate is passed before each frame.
void ExportProcess(void *data);
