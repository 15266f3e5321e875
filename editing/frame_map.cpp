// The frame rule of clip windows. A window is a ring of segments, each a
// frame range of a physical clip placed at a window offset, optionally
// remapped by a repeating pattern (speed changes, strobes, loops).
#include "editing/frame_map.h"

#include <algorithm>

#include "editing/clip_records.h"

static int span(const Segment *s) {
    return s->last >= s->first ? s->last - s->first : s->first - s->last;
}

int PlayCtrl(const Segment *s, int k) {
    int v = k;
    if (s->map && s->map_len > 0) {
        int q = k / s->map_len, r = k % s->map_len;
        if (r < 0) {
            r += s->map_len;
            q--;
        }
        v = s->map[r] + q * s->period;
    }
    return s->last >= s->first ? s->first + v : s->first - v;
}

long long PlayCtrl64(const Segment *s, long long k) {
    // Saturates instead of overflowing: callers refuse any result outside int.
    constexpr long long huge = 1LL << 62;
    long long v = k;
    if (s->map && s->map_len > 0) {
        long long q = k / s->map_len, r = k % s->map_len;
        if (r < 0) {
            r += s->map_len;
            q--;
        }
        long long step;
        if (__builtin_mul_overflow(q, (long long)s->period, &step))
            step = (q < 0) != (s->period < 0) ? -huge : huge;
        v = s->map[r] + std::clamp(step, -huge, huge);
    }
    if (v > huge) v = huge;
    if (v < -huge) v = -huge;
    return s->last >= s->first ? s->first + v : s->first - v;
}

int FrameCtrl(WindowData *w, int n, Segment **seg) {
    if (!w || !w->seg_first) return 0;
    Segment *s = w->seg_current ? w->seg_current : w->seg_first;
    // Forward while n lies beyond the segment, backward while before it. In a
    // sound ring offsets grow from seg_first to seg_last; a step that would
    // not follow them ends the walk, so a malformed ring cannot loop for ever.
    for (Segment *start = s;
         n > s->offset + span(s) && s->next && s != w->seg_last && s->next->offset > s->offset;) {
        s = s->next;
        if (s == start) break;
    }
    for (Segment *start = s;
         n < s->offset && s->prev && s != w->seg_first && s->prev->offset < s->offset;) {
        s = s->prev;
        if (s == start) break;
    }
    if (seg) *seg = s;
    return PlayCtrl(s, n - s->offset);
}
