// The process table's answer to the clip-file removal: whether a running job
// writes a file.
#pragma once

// True when a running job of any entry (0..6) has `path` as its output file,
// by path or by device and inode. Installed as RemoveJobUsesHook.
bool JobWritesFile(const char *path);
