// Segments of work files of versions 0 and 1, which store a skip factor and
// a repeat factor instead of a frame map.
#pragma once

struct WorkSegment;

// Largest repeat factor taken from an old file: the factors came from menus
// of small numbers, and each one sizes a map; a larger one marks the file as
// damaged.
constexpr int WORK_LEGACY_MAX_FACTOR = 1 << 16;

// Gives a legacy segment (first, last and offset read) the map of its skip
// factor S and repeat factor R: S = 0 a still of `first` (map {0}, period
// 0); S = 1 and R = 1 plain; otherwise the Faster mapping by S and then the
// Slower mapping by R of the (|last - first| / R) x S + 1 source frames from
// `first`, backwards for a backward range. A repeat longer than the
// segment gives the still too. The map keeps only the entries the segment
// reaches. False for S < 0, R outside 1..WORK_LEGACY_MAX_FACTOR, or a map
// that cannot be made.
bool LegacyToMap(WorkSegment *seg, int skip, int repeat);
