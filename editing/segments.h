// The segment ring of a window: freeing it and copying it.
#pragma once

struct Segment;
struct WindowData;

// Frees the window's ring: every map, every segment, and one use (`refs`) of
// each segment's clip. Leaves seg_first, seg_last and seg_current null.
void FreeSegments(WindowData *win);

// Walking a ring: the segment after (before) s, or null when s is the
// window's last (first) segment. A malformed ring ends the walk too: a null
// link, a link back to where the walk began, or a neighbour whose offset does
// not grow (shrink), so no walk can go round for ever.
Segment *RingNext(const WindowData *win, const Segment *s);
Segment *RingPrev(const WindowData *win, const Segment *s);

// The window's last segment: seg_last, or the end of the walk from seg_first
// when seg_last is null. Null for a window without segments.
Segment *RingLast(const WindowData *win);

// Appends s at the end of the window's ring, keeping the ring closed; the
// first segment appended becomes first and current. Takes no clip use.
void RingAppend(WindowData *win, Segment *s);

// A new map holding the first n entries of `map`; null for a null map or
// n < 1, or when memory runs out.
int *CopyTable(const int *map, int n);

// A new window record, all fields zero except picture width and height and
// `total` = frames (so marks set on the copy are taken within 0 .. frames -
// 1), with a deep copy of the window's ring (each map copied, each clip's use
// count raised); first and current segment of the copy are the first copy,
// its ring is closed. Null when memory runs out (nothing is left half made).
// Free it with FreeSegments and delete.
WindowData *CopyWindow(const WindowData *win, int frames);
