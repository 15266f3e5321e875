// The frame maps of speed changes: how a piece of a source segment becomes a
// new segment that plays it copied, faster, slower or strobed. Every length
// and map entry is counted in 64 bits and checked before it is stored in the
// 32-bit fields of the segment.
#include <climits>
#include <cstdlib>
#include <numeric>

#include "editing/clip_records.h"
#include "editing/derived_window.h"
#include "editing/frame_map.h"

// Least common multiple in 64 bits of two positive numbers below 2^31 (it
// cannot overflow: the result is below 2^62).
static long long lcm64(long long a, long long b) {
    return a / std::gcd(a, b) * b;
}

int LeastCommonMultiple(int a, int b) {
    const int m = a < b ? a : b, big = a < b ? b : a;
    if (m < 2) return big;
    const long long r = lcm64(m, big);
    return r > INT_MAX ? 0 : (int)r;
}

static bool fits_int(long long v) {
    return v >= INT_MIN && v <= INT_MAX;
}

// Which source offset, counted from the piece's start, output frame i shows.
static long long pick(int type, long long n, long long i) {
    switch (type) {
    case DERIVE_FASTER:
        return i * n;
    case DERIVE_SLOWER:
        return i / n;
    case DERIVE_STROBE:
        return i / n * n;
    default:
        return i;
    }
}

long long PlayType(const Segment *source, Segment *target, int *carry, int type, int factor,
                   int count, int offset, int base, int sign, int step) {
    target->map = nullptr;
    target->map_len = 0;
    target->period = 1;
    if (count < 1) return 0;
    const long long c = count, n = factor < 1 ? 1 : factor;
    const bool plain = !source->map || source->map_len < 1;

    // Output length and the carry: the frames the last sample stands for
    // beyond the piece, which the next piece skips.
    long long out = c;
    int left = 0;
    switch (type) {
    case DERIVE_FASTER:
        out = (c + n - 1) / n;
        left = (int)(out * n - c);
        break;
    case DERIVE_SLOWER:
        out = c * n;
        break;
    case DERIVE_STROBE:
        out = (c + n - 1) / n * n;
        left = (int)(out - c);
        break;
    default:
        type = DERIVE_COPY;
        break;
    }
    if (out > DERIVE_MAX_FRAMES) return 0;
    if (carry) *carry = left;

    // A plain copy stays plain, and one frame needs no map (it shows
    // `first`); every other piece gets a map. A plain source counts as the
    // map {0} advancing one frame per entry.
    if ((type == DERIVE_COPY && plain) || out == 1) return out;
    const long long ps = plain ? 1 : source->map_len, as = plain ? 1 : source->period;
    long long len = ps, advance = as;
    switch (type) {
    case DERIVE_FASTER: {
        const long long l = lcm64(ps, n);
        len = l / n;
        advance = as * (l / ps);
        break;
    }
    case DERIVE_SLOWER:
        len = ps * n;
        break;
    case DERIVE_STROBE: {
        const long long l = lcm64(ps, n);
        len = l;
        advance = as * (l / ps);
        break;
    }
    default:
        break;
    }

    // Entries are offsets from the target's first frame in its direction.
    auto entry = [&](long long i) {
        return (PlayCtrl64(source, offset + step * pick(type, n, i)) - base) * sign;
    };
    // A map longer than the output is cut to it; the period is then the
    // entry that would follow, computed without storing the rest.
    if (len > out) {
        len = out;
        advance = entry(out);
    }
    if (!fits_int(advance) || len > DERIVE_MAX_MAP) return 0;
    int *map = (int *)malloc((size_t)len * sizeof(int));
    if (!map) return 0;
    for (long long i = 0; i < len; i++) {
        const long long e = entry(i);
        if (!fits_int(e)) {
            free(map);
            return 0;
        }
        map[i] = (int)e;
    }
    target->map = map;
    target->map_len = (int)len;
    target->period = (int)advance;
    return out;
}
