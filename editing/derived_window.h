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

// Longest frame map of one segment, in entries (64 MB): a Slower or Strobe
// by a factor beyond it needs a longer map and makes no window, whatever
// memory the machine would give.
constexpr long long DERIVE_MAX_MAP = 1LL << 24;

// Least common multiple of a and b; max(a, b) when min(a, b) < 2, and 0 when
// the result would pass the largest int (it is counted in 64 bits).
int LeastCommonMultiple(int a, int b);

// Number of selected desktop windows (from first_work on); -1 when one of
// them is still being produced (has no segment ring).
int CountSelected();

// Gives `target` its map, map_len and period for `count` source frames of
// `source` taken from source offset `offset` with step `step` (+1 or -1);
// map entries are (source frame - base) * sign, so they count from the
// target's first frame in its direction. Copy: the source's map, plain for
// a plain source; Faster N: every N-th frame; Slower N: each frame N times;
// Strobe N: every N-th frame held N times (a plain source counts as the map
// {0} with period 1). One output frame gets no map; a map longer than the
// output is cut to it and its period becomes the entry that would follow.
// Returns the number of output frames, or 0 (target left without a map)
// when count < 1, the output would pass DERIVE_MAX_FRAMES, the map would pass
// DERIVE_MAX_MAP, a value does not fit an int, or memory runs out. *carry (may be null) receives
// the frames the last sample stands for beyond the piece (Faster, Strobe;
// 0 for the others).
long long PlayType(const Segment *source, Segment *target, int *carry, int type, int factor,
                   int count, int offset, int base, int sign, int step);

// Appends the marked range of `source` (In..Out, forward or backward; marks
// outside 0 .. total - 1 are taken as clamped into it, the source is not
// changed) to `window` from output frame `position`, one segment per piece of
// a source segment; *carry source frames are skipped first and receives what
// the last piece leaves (see PlayType). Sets *producing when a used clip is
// busy. Segments with no clip are passed over. Returns the new output length,
// or -1 when memory ran out or the length would pass DERIVE_MAX_FRAMES
// (segments appended so far stay in the window's ring, which stays closed,
// to be freed with it).
long long JoinWindow(WindowData *window, WindowData *source, long long position, int type,
                     int factor, int *producing, int *carry);

// Resets a derived window's fields for `frames` frames: width and height from
// its first segment's clip, not playing, picture from the log, not selected,
// on the desktop, In 0, Out frames - 1, total frames, current and start 0, no
// production record; closes the ring and makes the first segment current.
// Loads no picture: the caller does that once the window is complete.
void InitDerivedWindow(WindowData *window, int frames);

// Fills the new window record `window` (its ring pointers are cleared, not
// freed) and its name (prefix, titles of the windows taken separated by ",",
// ")"). source: one window, taken by its marks, or null for the selected
// desktop windows by their marks (master 1: every master-area window whole);
// windows of another picture size than the first taken are skipped.
// repetitions: passes over the windows (0 counts as 1); negative: flip flop,
// each pass followed by the first pass backwards. recollect 1: the source
// window whole, prefix "R(". type and factor as in PlayType; the Strobe
// sampling restarts at each pass, the Faster sampling runs on across passes.
// `titles` gives the title of a window (its memo text); null gives "".
// Returns DERIVE_PRODUCING when a used clip is busy (even when windows were
// also skipped), else DERIVE_SKIPPED or DERIVE_OK; the window is then
// complete (InitDerivedWindow) but has no picture. On DERIVE_NOTHING and
// DERIVE_TOO_LONG (where the caller says "Clip too long") the window holds no
// segments. Source windows' marks are never changed.
int BuildDerivedWindow(WindowData *window, WindowData *source, int master, int repetitions,
                       int recollect, std::string *name, int type, int factor,
                       std::string (*titles)(WindowData *) = nullptr);

// A still of `frames` frames of the current frame of the first selected
// desktop window with a ring (current clamped into the window), named
// "ST%d(%d->%s)" with frames, the frame shown from 1 and the title: one
// segment repeating the source frame (map {0}, period 0). Returns DERIVE_OK,
// DERIVE_PRODUCING when its clip is still being produced, DERIVE_NOTHING (no
// selected window, or frames < 1), or DERIVE_TOO_LONG (the segment's end
// would pass the largest int, or memory ran out).
int BuildStillWindow(WindowData *window, int frames, std::string *name,
                     std::string (*titles)(WindowData *) = nullptr);
