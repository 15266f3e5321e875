// Import of picture sequences into clips, without the toolkit: the names a
// chosen sequence is split into, the parameters of one import, the check of
// its first picture, and the background body that writes the frames into a
// new reel, pairs of JPEG fields into a reel, or only the icon preview of a
// sequence that stays on disk as an image clip. The dialogs and the end
// routine that turns the result into a clip window live in the desktop; the
// command-line tool drives the same functions.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "editing/clip_records.h"
#include "media/img_formats.h"

// The number styles: file name pattern (base, number, extension), the
// pattern shown to the user, and the number part alone.
extern const char *const num_format[4];
extern const char *const warning_num_format[4];
extern const char *const tmp_num_format[4];
// The name parts the remote recorder's files get for each padding (".1.",
// ".0001.", "dos").
extern const char *const tmp_abe[3];

// Environment variable naming the remote recorder's source for "rcp".
constexpr const char *IMPORT_RECORD_ENV = "ORVA_DSK_RECORD";

// Most frames one import makes (about eleven hours of PAL): a longer range is
// refused before any table is sized by it.
constexpr int64_t IMPORT_MAX_FRAMES = int64_t(1) << 20;

// Status words of an import job.
enum {
    IMPORT_OK = 0,
    IMPORT_BLACK = 1,   // some frames could not be read and are black
    IMPORT_ERROR = 2,   // nothing usable was made
    IMPORT_EARLY = 3,   // ended early: a picture of another size, or a failed write
    IMPORT_STOPPED = 5, // stopped by the user
    IMPORT_NOENV = 6,   // ORVA_DSK_RECORD is not set
};

// The JPEG-fields setting: when on, ".jpg" sequences written into a reel are
// taken as pairs of fields ("..._f1", "..._f2") and stored without decoding.
extern std::atomic<int> ImportJpegFields;

// One import (its words in the order Import_data_dump prints them).
struct ImportData {
    std::string in_basename; // base name: path without number and extension
    std::string out_name;    // reel to write; empty for an image clip
    std::string db_path;     // database directory (ending in "/")
    int xsize = 0, ysize = 0;
    int start = 1, end = 1, step = 1;
    int quality = 85;
    int pid_index = -1;
    int ext_num = 0;
    int format_num = 0;
    int svj = 0;
    int clip_num = 0;
    ImgReadFunc read = nullptr;
    ImgHeaderFunc header = nullptr;
    int fit = 0;                // 1: pictures of file_x x file_y are scaled to fit
    int file_x = 0, file_y = 0; // picture size of the files when scaled
    int mode = 0;               // 0 files, 1 remote with kept files, 2 remote through one file
    int fields = 0;             // 1: JPEG field pairs into the reel
    int movie = 0;              // 1: in_basename is a movie file, sampled at fps

    // Words the job writes and others read: frames still to do and the
    // status; they point at the process table entry's words, or at the
    // record's own.
    std::atomic<int> own_progress{0}, own_status{0};
    std::atomic<int> *progress = &own_progress;
    std::atomic<int> *status = &own_status;

    // Results, valid once the job has ended.
    int frames_made = 0; // frames written or previewed
    int icon_w = 0, icon_h = 0;
    std::string preview; // the preview file written (log part 1)
};

// Frames of an import: (end - start) / step + 1, computed without overflow;
// 0 when end < start or step < 1.
int64_t ImportFrameCount(int start, int end, int step);

// The frame number of frame index i (start + i * step), in 64 bits.
inline int64_t ImportFrameNumber(const ImportData &d, int64_t i) {
    return int64_t(d.start) + i * int64_t(d.step);
}

// The frame file of number n of the import's sequence (base, style, extension).
std::string ImportFrameName(const ImportData &d, int64_t n);
// The two field files of number n of a field-pair import.
std::string ImportFieldName(const ImportData &d, int field, int64_t n);

// Splits a chosen name (a list line or a path): the last four characters must
// be one of the six picture extensions (exactly), else -1. Returns the number
// style (0..3) and sets base and ext (index 0..5); -1 for an empty base.
int GetBasename(const std::string &path, std::string &base, int &ext);

// Adds the remote recorder's name part for padding 0 (".1."), 1 (".0001.") or
// 2 ("dos", which first cuts the file name part to 5 characters).
std::string CreaAbeName(const std::string &name, int padding);

// Index in the import extension list of the device format name i (the
// export picture formats); 6 when it is none of them.
int VtrToImportFormat(int i);

// A free log tag (0..99) for an image clip of base in database directory dir
// (null: the current one): neither its log header nor its first log part
// exists. -1 when every tag is taken or the names cannot be made.
int PicClipNum(const char *dir, const char *base);

// Prints words 0 to 13 to standard error, one line each.
void Import_data_dump(const ImportData &d);

// Result of ImportPrepare.
enum ImportPrepared {
    PREPARE_START = 0, // ready: start the import
    PREPARE_FIT = 1,   // pictures are not of video size: ask whether to fit
    PREPARE_ERROR = -1 // `message` says why; nothing is left behind
};

// Fills d for an import of `path` (a list line or a file name) into `reel`
// (empty: an image clip logged in the database db_dir) and checks the first
// picture. Mode 2 takes style 3 and extension ".yuv"; modes 1 and 2 take the
// video size without reading. A JPEG-fields import (fields set, ".jpg", a
// reel) drops a trailing "_f1"/"_f2" from the base and reads the "_f1" file.
// On PREPARE_FIT the caller sets d.fit (ImportSetFit) or gives up.
int ImportPrepare(const std::string &path, const std::string &reel, const std::string &db_dir,
                  int mode, int fields, ImportData &d, std::string &message);

// Sets the import up to scale its pictures to the video size.
void ImportSetFit(ImportData &d);

// Gives up a prepared import: removes the preview file an image clip's
// import would have written (nothing exists yet otherwise).
void ImportAbandon(const ImportData &d);

// The background body of an import (data is an ImportData). Waits at
// semaphore 0 before each frame (a stopped job unwinds from there, its files
// closed), writes the progress and status words, and leaves the result in
// frames_made and preview. Outside jobs it runs the same way (with the
// semaphore set made first).
void ImportWrite(void *data);

// Writes the log header of the image clip an import made (one log part, its
// preview): crash-safe. True on success.
bool ImportWriteImageLog(const ImportData &d);

// The image-sequence record of an import's image clip (pattern owned by the
// caller: free it with free()).
ImageLogInfo ImportImageInfo(const ImportData &d);
