// The body of a compressed grab: each range of a copy of the grab list is
// recorded from tape into its own reel, named from the reel base path, the
// range and the quality. It touches only the board, the files and the result
// table it is given: clip records and the desktop are the end routine's, in
// the main process, which decides from the table what to open or remove.
#pragma once

#include "vtr/grab_list.h"

#include <atomic>
#include <string>
#include <vector>

struct sv_handle;

// What became of one grab-list entry.
struct GrabResult {
    int error = 0;    // board error code of the range (0 ok)
    int running = 0;  // 1 while the range is recorded; stays 1 for a range cut by a stop
    int has_reel = 0; // 1 when a reel of the range is there (new or found)
    int recorded = 0; // 1 when it was recorded by this grab (0: an existing reel was taken)
    int skipped = 0;  // 1 for an entry whose Out is earlier than its In
    std::string name; // the reel's file name (empty for a skipped entry)
};

struct GrabJob {
    sv_handle *sv = nullptr;
    std::string base; // database SVJ directory + tape name
    int quality = 0;  // 1..100, already sent to the board
    std::vector<TcEntry> entries;
    std::vector<GrabResult> results; // one per entry, filled by the body
    // Set by the main process to stop; checked before each range. A stop of
    // the job itself (JobStop) also ends the range being recorded at its
    // next board record.
    const std::atomic<bool> *stop = nullptr;
};

// Runs the grab over job->entries in order and fills job->results. A range
// whose reel exists and opens as a reel is taken as it is; a file of that
// name that is not a reel is removed and grabbed again. A recording keeps
// its file only on 0, 31 or 22 (the board library removes it otherwise).
// Returns the number of ranges recorded.
int RunGrabJob(GrabJob *job);

// The uncompressed grab ("Grab D1"): each range becomes frame files named
// by D1FrameName from the base path (IMAGES directory and tape name), In and
// the frame number (1, 1 + step, ... up to the range's length), each grabbed
// with one VTR-positioned sv_record and written in the chosen format, its
// quarter-size thumbnail going to the log being written. The image-clip log
// itself and the clip record are the caller's.

// Formats of the "Grab D1" dialog: Korvendal (PIC), Targa, SGI, YUV.
constexpr int D1_FORMATS = 4;
// The file extension of a D1 format (".pic", ".tga", ".sgi", ".yuv"); null
// outside 0..3.
const char *D1FormatExtension(int format);

struct D1Result {
    int error = 0;           // board error code of the range (0 ok)
    int running = 0;         // 1 while the range is grabbed; stays 1 for a range cut by a stop
    int skipped = 0;         // 1 for an entry whose Out is earlier than its In
    int grabbed = 0;         // frames grabbed from tape
    int read_back = 0;       // frames whose file was there already (a resumed grab)
    std::vector<int> thumbs; // byte count of each frame's thumbnail, in order
};

struct D1Job {
    sv_handle *sv = nullptr;
    std::string base; // database IMAGES directory + tape name
    int step = 1;     // at least 1
    int format = 1;   // 0..3, see D1_FORMATS
    int style = 0;    // numbering style, 0..2 (vtr_num_format)
    int log_fd = -1;  // receives the thumbnails of every frame of a range
    std::vector<TcEntry> entries;
    std::vector<D1Result> results;
    const std::atomic<bool> *stop = nullptr; // as for GrabJob
};

// One range into frame files using `frame` (a device frame buffer of the
// current video mode) as the board's transfer buffer; fills *result.
// 0, or the error code stored in the result.
int Do_Grab_D1(D1Job *job, const TcEntry &entry, std::vector<unsigned char> *frame,
               D1Result *result);

// Runs Do_Grab_D1 over job->entries in order and fills job->results.
// Returns the number of ranges completed without error.
int RunGrabD1Job(D1Job *job);
