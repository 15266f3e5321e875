// Writing the grab list as an edit decision list: a title line and one cut
// event per entry, the record times equal to the source times.
#pragma once

#include <string>

// Writes tc_list as an edit list at path, with `reel` (the base name of the
// panel's reel name field) as every event's reel. The file is written new
// beside the old one, synced and renamed over it, so a failure leaves the
// old file as it was. Returns 0 on success; otherwise 1 with the user's
// message in *message: "Unable to find SCSI Video" without the board
// (board_open false), "Cannot read the reel name" for an empty reel,
// "Cannot open <path> file" or "Cannot write <path> file".
int EdlWriteFile(const char *path, const char *reel, bool board_open, std::string *message);

// The event line of entry i (0-based) with the given reel, newline ended.
std::string EdlEventLine(int i, const char *reel);
