// The timeline strip without the toolkit: where the master area's blocks and
// the In and Out markers stand for a strip width, how they are painted into
// a pixel image, what a pointer position hits, and the In/Out range kept
// over the master-area windows (`first_window` up to `first_work`).
//
// The strip shows each master-area window as a block as wide as its share
// of the total length; a 20-pixel In marker stands before the In window's
// block and a 20-pixel Out marker after the Out window's block.
#pragma once

#include <cstdint>
#include <vector>

struct WindowData;

constexpr int TM_HEIGHT = 20;       // strip height in pixels
constexpr int TM_MARKER = 20;       // width (and height) of a marker
constexpr int TM_MAX_WIDTH = 16384; // widest strip an image is made for

// ---- layout ----

// One window's block: the pixels x0 <= x < x1 (empty when x0 == x1) in
// block colour `colour` (0 or 1, alternating by the window's index).
struct TmBlock {
    int x0 = 0, x1 = 0;
    int colour = 0;
};

struct TmStripLayout {
    std::vector<TmBlock> blocks; // one per window, in master-area order
    int in_x = -1, out_x = -1;   // left edge of each marker; -1 when not placed
};

// Lays out n windows of the given frame counts on a strip `width` pixels
// wide for a master area `total` frames long, with the In marker before
// window in_index and the Out marker after window out_index (an index out of
// 0..n-1 stands for the first, resp. the last window).
//
// Pixels per frame are (width - 40) / total. A window's block ends at the
// running frame sum times that, plus 20 for each marker already placed,
// rounded to nearest; the last block ends at width - 20, or at width when the
// Out marker is already placed. Every block lies between the end of the one
// before and the room kept for the markers still to come, so blocks never
// overlap and at 41 pixels or more blocks and markers tile the strip. A
// total below 1 counts as the sum of the counts (at least 1); negative
// counts as 0. With n < 1 or width < 1 there are no blocks and no markers.
void TmLayoutStrip(const int *lengths, int n, int in_index, int out_index, int width, int64_t total,
                   TmStripLayout *layout);

// ---- painting ----

// Colours as R, G, B bytes.
struct TmStripColours {
    unsigned char background[3] = {0, 0, 0};
    unsigned char block[2][3] = {{0, 0, 0}, {0, 0, 0}};
    unsigned char marker[3] = {255, 255, 255};
};

// The strip's colours from the main window's background and foreground: the
// background, two block tints between them, and the foreground for markers.
TmStripColours TmMakeColours(const unsigned char background[3], const unsigned char foreground[3]);

// Builds a 20 x 20 marker image (4-byte pixels A, B, G, R, rows bottom-up) in
// the marker colour on the background: which 0 is the In marker (a bar on its
// right edge, pointing right), 1 the Out marker (its mirror image).
void TmBuildMarker(int which, const TmStripColours &colours, unsigned char *image);

// Paints the layout into pixels, `width` x 20 pixels of 4 bytes (A, B, G, R,
// rows bottom-up, `width` pixels a row): background, the blocks, then the two
// marker images. Nothing is written outside the width x 20 pixels, whatever
// the layout holds.
void TmRenderStrip(const TmStripLayout &layout, const TmStripColours &colours,
                   const unsigned char *in_marker, const unsigned char *out_marker,
                   unsigned char *pixels, int width);

// ---- pointer ----

enum TmHit { TM_HIT_NONE = 0, TM_HIT_WINDOW = 1, TM_HIT_IN = 2, TM_HIT_OUT = 3 };

// What the pixel column x of a strip `width` wide shows: a marker, the block
// of a window (its index in *window), or nothing (outside the strip, an
// empty strip).
TmHit TmHitTest(const TmStripLayout &layout, int width, int x, int *window);

// ---- the master area and its In/Out range ----

// Number of master-area windows.
int TmMasterCount();
// Index of win among the master-area windows, or -1.
int TmMasterIndex(const WindowData *win);
// The index-th master-area window, or null.
WindowData *TmMasterWindow(int index);
// The frame counts of the master-area windows, in order.
std::vector<int> TmMasterLengths();

// The windows before (In) and after (Out) which the markers stand. A null,
// or a window that is no longer in the master area, counts as the first
// (In) or the last (Out) master-area window.
struct TmRange {
    WindowData *in = nullptr;
    WindowData *out = nullptr;
};

// Indexes of the In and Out windows as they count now (0 and count-1 for
// missing or stale ones). Returns the master-area count (0: both -1).
int TmResolveRange(const TmRange &range, int *in_index, int *out_index);

// Sets the In (which 0) or Out (which 1) window, keeping In not after Out:
// when the Out window does not come at or after a new In window, Out moves to
// it; when the In window does not come at or before a new Out window, In
// moves to it. A window outside the master area is taken as null; an end
// that has gone stale is cleared.
void TmSetRangeWindow(TmRange *range, WindowData *win, int which);

// First frame of the In window and last frame of the Out window, counted
// from the start of the master area by adding the windows' frame counts.
// Both are always set: 0 and 0 without a master area.
void TmRangeFrames(const TmRange &range, int *in, int *out);
