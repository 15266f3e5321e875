// The clip information window ("Info"): a table of the technical properties
// of chosen reels, one row per reel, five columns.
#pragma once

#include <X11/Intrinsic.h>

#include <string>
#include <vector>

// Columns of the table, in order.
enum { INFO_NAME, INFO_SIZE, INFO_FRAMES, INFO_COMPR, INFO_LOST, INFO_COLUMNS };

struct InfoTable {
    std::vector<std::string> cells[INFO_COLUMNS]; // one entry per row in each column
    int rows = 0;
};

// The column heads: "Reel name:", "Size:", "Frames:", "Compr.:", "Lost quant.:".
extern const char *const InfoHeads[INFO_COLUMNS];

// A new empty table; freed with InfoFreeStruct.
InfoTable *InfoAllocStruct();
void InfoFreeStruct(InfoTable *t);

// Adds the reel at path as a row: its file name; "width, height" (a stored
// height of 496 shows as 486); frames; compression ratio; lost quantisation.
// A reel that cannot be opened shows "error" and "-" in the other columns.
void InfoAddData(InfoTable *t, const char *path);

// Shows the table in a dialog "Info" on mainform (nothing for an empty
// table), its five columns side by side from 20 pixels off the top-left
// corner, rows scrolling together, and a "Close" button (the default).
// Returns the dialog, or null. The table may be freed afterwards.
Widget InfoShowData(const InfoTable *t);

// The whole TOOLS > "Info" action over paths[0..n-1] (DbInfoHook).
void InfoShowReels(const char *const *paths, int n);
