// The softcut (cross-fade) effect. Built with floating-point contraction off:
// the blend is b * t + a * (1 - t) formed as two single-precision products
// and one sum, never fused, so every byte is the same on every machine.
#include "editing/effects.h"

void SoftcutEffect(unsigned char *out, unsigned char *a, unsigned char *b, int width, int height,
                   int bytesPerPixel, int i, int n, int fields) {
    (void)fields;
    if (!out || !a || !b || width <= 0 || height <= 0 || bytesPerPixel <= 0 || n < 1) return;
    const float t = float(i + 1) / float(n + 1);
    const float u = float(1.0 - double(t));
    const long long count = (long long)width * height * bytesPerPixel;
    // A table per frame: the blend of a byte pair depends only on the two
    // bytes, and 256 products of each side replace two per byte.
    float tb[256], ua[256];
    for (int v = 0; v < 256; v++) {
        tb[v] = float(v) * t;
        ua[v] = float(v) * u;
    }
    for (long long k = 0; k < count; k++) {
        const float s = tb[b[k]] + ua[a[k]];
        out[k] = (unsigned char)(int)s;
    }
}
