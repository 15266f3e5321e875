// Collecting an edit list: its chosen events grouped by reel, in the order
// each reel first appears, each event turned into the range a grab records.
#pragma once

#include <string>
#include <vector>

#include "vtr/edl_read.h"
#include "vtr/grab_list.h"

// The tape range of an entry: In, and In + frames - 1 as Out, so that a
// drop-frame entry is grabbed for its drop-frame count and named from the
// frames it really spans.
TcEntry EdlRange(const EdlEntry &entry);

struct EdlReelGroup {
    std::string reel;
    std::vector<int> events; // indexes into the table, in list order
};

// The chosen entries (indexes into table.entries, any order, duplicates and
// indexes outside the table ignored) grouped by reel, the reels in the order
// their first chosen event comes in the list.
std::vector<EdlReelGroup> EdlGroupByReel(const EdlTable &table, std::vector<int> chosen);
