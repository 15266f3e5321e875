// The clip-list work of the log converter: writing log parts of open reels,
// removing clips marked for removal, and freeing clips nobody uses.
#pragma once

#include <vector>

struct FisicData;
struct LogPart;

// One pass over the clip list (converter thread). Returns 1 when a clip that
// made progress is still incomplete, so that another pass follows.
int ConvertPass(int *saw_unused);
// Removes the reel clips marked for removal (converter thread).
void RemoveMarkedClips();
// Frees every clip with refs below 1 that is not busy (main thread, while
// the converter is parked).
void FreeUnusedClips();
// Writes part k (1-based) of a reel's log into part.file. Returns 1 on
// success (tables loaded into `part`), 0 on a read, coding or write failure,
// -1 when the clip was removed meanwhile.
int WriteLogPart(FisicData *fisic, LogPart &part, int k);
// Replaces a part record's tables with copies of sizes and offsets (same
// non-zero length). False, the record unchanged, when they cannot be made.
bool SetLogPartTables(LogPart &part, const std::vector<int> &sizes,
                      const std::vector<int> &offsets);
// Installs the three functions above as the converter's work.
void InstallLogWriter();

// Deletes the files of a removed reel (set by the file-removal code; null:
// the files stay and only the record goes).
extern void (*DoRemoveHook)(const char *path, int extra);
