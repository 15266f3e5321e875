// Conversion of the skip and repeat factors of old work files into maps,
// through the same Faster and Slower derivation the clip operations use.
#include "editing/work_legacy.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "editing/clip_records.h"
#include "editing/derived_window.h"
#include "editing/work_file.h"

namespace {

// Frees the map PlayType made, when the scope ends.
struct MapHolder {
    Segment seg;
    ~MapHolder() { free(seg.map); }
};

} // namespace

bool LegacyToMap(WorkSegment *seg, int skip, int repeat) {
    if (skip < 0 || repeat < 1 || repeat > WORK_LEGACY_MAX_FACTOR) return false;
    seg->map.clear();
    seg->period = 1;
    const int64_t span =
        seg->last >= seg->first ? int64_t(seg->last) - seg->first : int64_t(seg->first) - seg->last;
    // A still, and a repeat so long that the whole segment shows its first
    // frame: both are the map {0} that never advances.
    if (skip == 0 || repeat > span + 1) {
        seg->map = {0};
        seg->period = 0;
        return true;
    }
    if (skip == 1 && repeat == 1) return true;
    const int64_t count = span / repeat * skip + 1; // source frames
    if (count > INT_MAX) return false;
    // Backward ranges map backwards: entries count from `first` in the
    // segment's direction.
    const int sign = seg->last >= seg->first ? 1 : -1;
    Segment plain;
    plain.first = seg->first;
    plain.last = seg->last;
    MapHolder faster, slower;
    // The Faster result is the Slower step's source: it reads from the same
    // frames.
    faster.seg.first = seg->first;
    faster.seg.last = seg->last;
    const Segment *from = &plain;
    int64_t frames = count;
    if (skip > 1) {
        frames = PlayType(&plain, &faster.seg, nullptr, DERIVE_FASTER, skip, int(count), 0,
                          seg->first, sign, 1);
        if (frames < 1) return false;
        from = &faster.seg;
    }
    if (repeat > 1) {
        frames = PlayType(from, &slower.seg, nullptr, DERIVE_SLOWER, repeat, int(frames), 0,
                          seg->first, sign, 1);
        if (frames < 1) return false;
        from = &slower.seg;
    }
    if (from->map && from->map_len > 0) {
        // Entries past the segment's last frame are never reached.
        const int64_t used = std::min<int64_t>(from->map_len, span + 1);
        seg->map.assign(from->map, from->map + used);
        seg->period = from->period;
    }
    return true;
}
