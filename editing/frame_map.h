// The frame rule: which physical frame of which clip a window frame shows.
#pragma once

struct Segment;
struct WindowData;

// Physical frame for offset k inside segment s: k itself without a map, else
// map[k mod map_len] + (k div map_len) x period (rounding down); counted
// backwards from `first` for a backward range.
int PlayCtrl(const Segment *s, int k);

// The same rule counted in 64 bits, for offsets and frames that may lie
// outside int while an operation sizes a new segment.
long long PlayCtrl64(const Segment *s, long long k);

// Maps window frame n to a physical frame: searches from the window's
// `seg_current` forwards and backwards for the segment that holds n, stores
// it in *seg (pass &w->seg_current to move the window's own pointer) and
// returns the physical frame. Returns 0 (and leaves *seg alone) when the
// window has no segments.
int FrameCtrl(WindowData *w, int n, Segment **seg);
