// The reel index: the tail at the end of a reel and the frame table it points
// at, read and checked in one place for every reel layer (the device-file
// layer, the field store and the display reader).
//
// The checks make every size taken from the tail safe to allocate and seek
// by: the table, the tail and the header lie in the file, the frames fit in
// the bytes between header and table, the table is real data (not a hole of
// a sparse file), and the picture is no larger than the board's frame. Each
// layer maps the reason a reel is refused to its own result and message.
#pragma once

#include <cstdint>

#include "media/svj.h"

// Why svj_read_index refused a reel (errno is left as the failing call set
// it where a system call failed).
enum svj_index_reason {
    SVJ_INDEX_OK = 0,
    SVJ_INDEX_SEEK,       // the end of the file cannot be found
    SVJ_INDEX_SHORT,      // shorter than the layer's minimum (errno EINVAL)
    SVJ_INDEX_TOO_LARGE,  // beyond the 32-bit offsets of a reel
    SVJ_INDEX_TAIL_READ,  // the tail cannot be read
    SVJ_INDEX_MAGIC,      // the magic does not begin as the layer requires
    SVJ_INDEX_LAYOUT,     // table, tail or header do not fit the file
    SVJ_INDEX_PICTURE,    // W or Hf beyond the board's largest frame
    SVJ_INDEX_MEMORY,     // the table cannot be allocated
    SVJ_INDEX_TABLE_SEEK, // the table cannot be reached
    SVJ_INDEX_TABLE_READ, // the table cannot be read
};

// What a layer accepts.
struct svj_index_rules {
    const char *magic;      // the magic must begin with these characters
    uint64_t min_size;      // smaller files are SVJ_INDEX_SHORT (at least the tail's 68)
    uint32_t spare_entries; // zero-filled table entries allocated beyond N
};

constexpr char SVJ_MAGIC_DEVICE[] = "DVS1";  // any board or system reel
constexpr char SVJ_MAGIC_FIELDS[] = "DVS10"; // reels the field store and display reader read

// A reel's index as read.
struct svj_index {
    uint64_t file_size;     // set once the end was found, also on a refusal
    svj_tail tail;          // set once the tail was read
    svj_frame_entry *table; // N + spare entries (calloc), owned by the caller; null on a refusal
    uint32_t capacity;      // entries in table
};

// Reads and checks the tail at the end of fd and the table it points at.
// SVJ_INDEX_OK with the table allocated, or the reason with nothing left
// allocated. The file position is left anywhere.
svj_index_reason svj_read_index(int fd, const svj_index_rules &rules, svj_index *index);
