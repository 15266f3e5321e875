// Clip logs on disk: the quarter-size copy of a clip that the desktop shows
// and scrubs. This is the one place where their bytes are read and written;
// the desktop, the converter, imports and effects all go through it. No
// toolkit here.
//
// A log is a header file and one to four part files, every number
// big-endian:
//
//   header  0 parts P | 4 parts complete | 8 frame width | 12 frame height |
//          16 frames | 20 modification time of the reel as ctime text (26
//          bytes; zeros for a picture sequence) | 46 reel size in bytes (0
//          for a picture sequence) = 50 bytes. A picture sequence adds
//          50 its record (seven words, the first unused) | 78 length L of its
//          name pattern with the NUL (1..1024) | 82 the pattern.
//   part k  holds frames k-1, k-1+P, k-1+2P, ...: the JPEG pictures one after
//          another from offset 0, then N sizes, N offsets and N itself, the
//          last four bytes of the file. N = frames / P + 1, never below the
//          part's frame count; entries past the part's last frame mean
//          nothing.
//
// Headers and parts are replaced crash-safely (platform/replace_file.h), so
// a log on disk is always a complete old one or a complete new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/replace_file.h"

constexpr int CLIP_LOG_COMMON_SIZE = 50;  // header of a reel's log
constexpr int CLIP_LOG_PICTURE_SIZE = 82; // header of a picture sequence before its pattern
constexpr int CLIP_LOG_DATE_SIZE = 26;    // ctime text with its newline and NUL
constexpr int CLIP_LOG_MAX_PARTS = 4;
constexpr uint32_t CLIP_LOG_MAX_PATTERN = 1024;

// The fields of a log header.
struct ClipLogHeader {
    int parts = 0;    // P
    int complete = 0; // parts complete on disk
    int width = 0, height = 0;
    int frames = 0;
    char date[CLIP_LOG_DATE_SIZE] = {}; // the reel's ctime text; zeros for pictures
    int reel_size = 0;
    // Picture sequences only.
    bool picture = false;
    int first = 0, last = 0, step = 0, ext = 0, style = 0, tag = 0;
    std::string pattern;
};

// The header's bytes: 50 for a reel, 82 + pattern length + 1 for a picture
// sequence.
std::vector<unsigned char> clip_log_header_bytes(const ClipLogHeader &h);

// Replaces the header file at path crash-safely. True on success; false
// (errno set) leaves the old header as it was. A picture sequence's pattern
// must be 1 to 1023 characters (EINVAL otherwise).
bool clip_log_write_header(const char *path, const ClipLogHeader &h);

// Reads the header at path: the 50 common bytes and, with `picture` set, the
// picture-sequence record and pattern (L within 1..1024, all present). The
// file must be regular (a FIFO is refused at once). True when the bytes are
// there; the counts are judged by clip_log_counts_valid and by the caller.
bool clip_log_read_header(const char *path, ClipLogHeader &h, bool picture);

// True when the counts can describe a log: 1 <= parts <= 4, 0 <= complete <=
// parts, 0 < frames, and no part without a frame (parts <= frames).
bool clip_log_counts_valid(const ClipLogHeader &h);

// Number of log parts for a clip of n frames: (n + 20) / 20 within 1..4.
int LogPartsFor(int frames);
// Frames in part k (1-based) of a clip of n frames in P parts; 0 when k is
// out of range.
int FramesInPart(int frames, int parts, int k);
// Entries N of each table of a part: frames / parts + 1 (0 for no parts).
int clip_log_table_entries(int frames, int parts);

// Reads the tables of the part file at path. The count N in the file must
// cover `count` frames, the tables must fit in the file, and each of the
// first `count` entries must describe a non-empty picture inside the data
// area. The file must be regular. On success sizes and offsets hold N
// entries each; false leaves them unchanged.
bool clip_log_read_tables(const char *path, int count, std::vector<int> &sizes,
                          std::vector<int> &offsets);

// Encodes the tail of a part: the sizes, the offsets (same length N) and N.
std::vector<unsigned char> clip_log_tables_bytes(const std::vector<int> &sizes,
                                                 const std::vector<int> &offsets);

// Writes one part file: pictures are added in order, then commit() appends
// the tables and puts the file in place. Abandoned before the commit, it
// leaves the old part (or none) and no temporary.
class ClipLogPartWriter {
  public:
    // `entries` is N, the length of each table.
    ClipLogPartWriter(const char *path, int entries);
    // True while the file is open and every step so far succeeded.
    bool ok() const { return ok_ && file_.ok(); }
    // Appends one compressed picture as the next entry. False when the file
    // fails, the table is full, or the part would pass 2 GB.
    bool add(const void *jpeg, size_t n);
    // Appends the tables and replaces the part file. True on success.
    bool commit();
    const std::vector<int> &sizes() const { return sizes_; }
    const std::vector<int> &offsets() const { return offsets_; }

  private:
    ReplacingFile file_;
    std::vector<int> sizes_, offsets_;
    size_t used_ = 0;
    int64_t end_ = 0;
    bool ok_ = true;
};
