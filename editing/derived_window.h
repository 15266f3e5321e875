// Derived clip windows: new windows made from the marked ranges of others
// without copying a picture. A derived window is only a ring of segments,
// each a frame range of a clip with an optional repeating map (see
// editing/frame_map.h for the frame rule). No toolkit call is made here; the
// desktop shows the windows these functions fill.
#pragma once

#include <string>

struct Segment;
struct WindowData;

// Kinds of operation (the `type` argument).
enum DeriveType { DERIVE_COPY = 0, DERIVE_FASTER = 1, DERIVE_SLOWER = 2, DERIVE_STROBE = 3 };

// Results of BuildDerivedWindow.
enum {
    DERIVE_TOO_LONG = -2, // the result would pass DERIVE_MAX_FRAMES or a map could not be made
    DERIVE_NOTHING = -1,  // nothing could be taken
    DERIVE_SKIPPED = 0,   // windows of another picture size were skipped
    DERIVE_OK = 1,
    DERIVE_PRODUCING = 2 // a used clip is still being produced
};

// Longest window, in frames: lengths are counted in 64 bits and an
// operation whose result would pass this makes no window.
constexpr long long DERIVE_MAX_FRAMES = 2147483647LL;

// Least common multiple by trial division; max(a, b) when min(a, b) < 2.
int LeastCommonMultiple(int a, int b);

// Number of selected desktop windows (from first_work on); -1 when one of
// them is still being produced (has no segment ring).
int CountSelected();

// Gives `target` its map, map_len and period for `count` source frames of
// `source` taken from source offset `offset` with step `step` (+1 or -1);
// map entries are (source frame - base) * sign. Returns the number of
// output frames (0 when the map cannot be allocated). *carry receives the
// frames the last sample stands for beyond the piece (Faster, Strobe).
long long PlayType(const Segment *source, Segment *target, int *carry, int type, int factor,
                   int count, int offset, int base, int sign, int step);

// Appends the marked range of `source` (In..Out, forward or backward) to
// `window` from output frame `position`. Sets *producing when a used clip is
// busy. Returns the new output length, or -1 when memory ran out (segments
// appended so far stay in the window's ring, to be freed with it).
long long JoinWindow(WindowData *window, WindowData *source, long long position, int type,
                     int factor, int *producing, int *carry);

// Resets a derived window's fields for `frames` frames and closes its ring
// (see the file's notes). Loads no picture: the caller does that once the
// window is complete.
void InitDerivedWindow(WindowData *window, int frames);

// Fills the new window record `window` and its name (prefix, titles of the
// windows taken, ")"). source: one window, or null for the selected desktop
// windows (master 1: every master-area window whole). repetitions < 0: flip
// flop. recollect 1: the source window whole, prefix "R(". `titles` gives the
// title of a window (its memo text); null gives "". Returns DERIVE_*. On
// DERIVE_NOTHING the window holds no segments and every source window's
// marks are as they were; so on DERIVE_TOO_LONG, where the caller says
// "Clip too long".
int BuildDerivedWindow(WindowData *window, WindowData *source, int master, int repetitions,
                       int recollect, std::string *name, int type, int factor,
                       std::string (*titles)(WindowData *) = nullptr);

// A still of `frames` frames of the current frame of the first selected
// desktop window, named "ST%d(%d->%s)". Returns DERIVE_OK, DERIVE_PRODUCING
// when its clip is still being produced, or DERIVE_NOTHING (no selected
// window, or frames < 1).
int BuildStillWindow(WindowData *window, int frames, std::string *name,
                     std::string (*titles)(WindowData *) = nullptr);
