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

// What GrabListAdd did.
enum GrabAddResult {
    GRAB_ADDED = 0,     // inserted; *index tells where
    GRAB_OUT_BEFORE_IN, // "Warning: Out < In"
    GRAB_DUPLICATE,     // "Item already in list"
    GRAB_FULL,          // "Cannot add another item"
};

// Message text of a result other than GRAB_ADDED, else null.
const char *GrabAddMessage(GrabAddResult r);

// Inserts in..out before the first entry whose In is later, or whose In is
// equal and Out later (In and Out compared in frames), with status 0.
// *index (when given) receives the position on success.
GrabAddResult GrabListAdd(Timecode in, Timecode out, int *index = nullptr);

// Removes the entry at index (0..Items_In_List); later entries move up.
// False for an index outside the list.
bool GrabListDelete(int index);

// Zeroes every entry and empties the list.
void GrabListClear();

// Removes every entry whose status is 0 (grabbed without problems); the
// others keep their order. Returns the number removed.
int GrabListRemoveGood();

// The list item text of an entry: "hh:mm:ss:ff - hh:mm:ss:ff" (26 bytes).
void GrabListItemText(const TcEntry &e, char *text, int size);
