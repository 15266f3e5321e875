// The grab list: In/Out ranges of tape the VTR panel collects, grabs and
// writes as an edit list. Entries stay sorted by In (in frames), then Out.
// The list belongs to the main process; a VTR job reads it as it was when
// the job started and writes only each entry's status word.
#pragma once

#include <cstdint>

#include "vtr/timecode.h"

struct TcEntry {
    Timecode in = 0;
    Timecode out = 0;
    // 0 when the range was grabbed without problems, 1 when it failed.
    uint32_t status = 0;
};

constexpr int TC_LIST_MAX = 101; // entries; the last index is 100

extern TcEntry tc_list[TC_LIST_MAX];
// Index of the last entry; -1 when the list is empty.
extern int Items_In_List;
