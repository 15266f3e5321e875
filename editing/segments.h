// The segment ring of a window: freeing it and copying it.
#pragma once

struct Segment;
struct WindowData;

// Frees the window's ring: every map, every segment, and one use (`refs`) of
// each segment's clip. Leaves seg_first, seg_last and seg_current null.
void FreeSegments(WindowData *win);

// A new map holding the first n entries of `map`; null for a null map or
// n < 1, or when memory runs out.
int *CopyTable(const int *map, int n);

// A new window record, all fields zero except picture width and height, with
// a deep copy of the window's ring (each map copied, each clip's use count
// raised); first and current segment of the copy are the first copy. Null
// when memory runs out (nothing is left half made). Free it with FreeSegments
// and delete.
WindowData *CopyWindow(const WindowData *win, int frames);
