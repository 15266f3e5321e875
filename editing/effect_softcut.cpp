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
    // One byte at a time in the plain form, which the compiler turns into
    // vector code (the file is built with vectorisation on).
    for (long long k = 0; k < count; k++) {
        const float s = float(b[k]) * t + float(a[k]) * u;
        out[k] = (unsigned char)(int)s;
    }
}
