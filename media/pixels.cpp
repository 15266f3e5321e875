// Colour converters between UYVY lines and RGB lines.
//
// UYVY to RGB: y = Y - 16 (never below 0), u = U - 128, v = V - 128, and in
// 1/65536 units R = 76310 y + 104635 v, G = 76310 y - 25690 u - 53294 v,
// B = 76310 y + 132278 u; each sum is clamped to 0..0xFFFFFF and the
// component is its bits 16..23.
//
// RGB to UYVY: luma per pixel, chroma per pair through a 1/4, 1/2, 1/4 filter
// centred on the left pixel; the low 16 bits of every sum are carried into the
// next one so that flat areas dither between neighbouring codes.
#include "media/pixels.h"

#include <cstdint>

namespace {

// Bits 16..23 of a clamped fixed-point colour sum.
inline unsigned char clamp_component(int32_t sum) {
    if (sum >= 0x1000000) return 0xFF;
    if (sum < 0x10000) return 0;
    return static_cast<unsigned char>(sum >> 16);
}

struct Rgb {
    unsigned char r, g, b;
};

// One UYVY pair to its two RGB pixels.
inline void convert_pair(const unsigned char *p, Rgb &left, Rgb &right) {
    const int32_t u = int32_t(p[0]) - 128;
    const int32_t v = int32_t(p[2]) - 128;
    int32_t y0 = int32_t(p[1]) - 16;
    int32_t y1 = int32_t(p[3]) - 16;
    if (y0 < 0) y0 = 0;
    if (y1 < 0) y1 = 0;
    const int32_t rv = 104635 * v;
    const int32_t guv = -25690 * u - 53294 * v;
    const int32_t bu = 132278 * u;
    const int32_t k0 = 76310 * y0;
    const int32_t k1 = 76310 * y1;
    left = {clamp_component(k0 + rv), clamp_component(k0 + guv), clamp_component(k0 + bu)};
    right = {clamp_component(k1 + rv), clamp_component(k1 + guv), clamp_component(k1 + bu)};
}

// The shared RGB-to-UYVY loop over planes of any element type.
template <typename T>
void rgb_planes_to_uyvy(const T *R, const T *G, const T *B, unsigned char *dst, int n, int step) {
    const int pairs = n / 2;
    int32_t yfrac = 0, cbfrac = 0, crfrac = 0;
    int32_t cb_prev = 0, cr_prev = 0; // right-pixel chroma terms of the previous pair
    for (int j = 0; j < pairs; ++j) {
        const long ia = long(2 * j) * step;
        const long ib = long(2 * j + 1) * step;
        const int32_t ra = R[ia], ga = G[ia], ba = B[ia];
        const int32_t rb = R[ib], gb = G[ib], bb = B[ib];

        const int32_t ya = 16829 * ra + 33039 * ga + 6416 * ba + yfrac;
        const int32_t yb = 16829 * rb + 33039 * gb + 6416 * bb + (ya & 0xFFFF);
        yfrac = yb & 0xFFFF;

        const int32_t cb_right = -2426 * rb - 4765 * gb + 7191 * bb;
        const int32_t cr_right = 7193 * rb - 6023 * gb - 1170 * bb;
        const int32_t cb = (-4853 * ra - 9530 * ga + 14383 * ba) + cb_right + cb_prev + cbfrac;
        const int32_t cr = (14386 * ra - 12046 * ga - 2340 * ba) + cr_right + cr_prev + crfrac;
        cbfrac = cb & 0xFFFF;
        crfrac = cr & 0xFFFF;
        cb_prev = cb_right;
        cr_prev = cr_right;

        unsigned char *o = dst + 4 * j;
        o[0] = static_cast<unsigned char>((cb >> 16) + 128);
        o[1] = static_cast<unsigned char>((ya >> 16) + 16);
        o[2] = static_cast<unsigned char>((cr >> 16) + 128);
        o[3] = static_cast<unsigned char>((yb >> 16) + 16);
    }
}

// n pixels of UYVY into three component planes of 8-bit or 16-bit words.
template <class T> void uyvy_to_planes(const unsigned char *src, T *R, T *G, T *B, int n) {
    for (int j = 0; j < n / 2; ++j) {
        Rgb a, b;
        convert_pair(src + 4 * j, a, b);
        R[2 * j] = T(a.r), G[2 * j] = T(a.g), B[2 * j] = T(a.b);
        R[2 * j + 1] = T(b.r), G[2 * j + 1] = T(b.g), B[2 * j + 1] = T(b.b);
    }
}

} // namespace

void UYVYtoRGB(const unsigned char *src, unsigned short *R, unsigned short *G, unsigned short *B,
               int n) {
    uyvy_to_planes(src, R, G, B, n);
}

void UYVYtoTGA(const unsigned char *src, unsigned char *R, unsigned char *G, unsigned char *B,
               int n) {
    uyvy_to_planes(src, R, G, B, n);
}

void UYVYtoPIC(const unsigned char *src, unsigned char *dst, int n) {
    for (int j = 0; j < n / 2; ++j) {
        Rgb a, b;
        convert_pair(src + 4 * j, a, b);
        unsigned char *o = dst + 6 * j;
        o[0] = a.r, o[1] = a.g, o[2] = a.b;
        o[3] = b.r, o[4] = b.g, o[5] = b.b;
    }
}

void UYVYtoBGR(unsigned char *dst, const unsigned char *src, int n, int step) {
    if (step < 1) return;
    // The source advances with the pair counter (16 bytes per output pair at
    // step 4), so no step reads past the end of the line.
    for (int pair = 0; pair < n / 2; pair += step) {
        Rgb a, b;
        convert_pair(src + 4 * pair, a, b);
        dst[0] = a.b, dst[1] = a.g, dst[2] = a.r;
        dst[3] = b.b, dst[4] = b.g, dst[5] = b.r;
        dst += 6;
    }
}

void RGBtoUYVY(const unsigned short *R, const unsigned short *G, const unsigned short *B,
               unsigned char *dst, int n, int step) {
    rgb_planes_to_uyvy(R, G, B, dst, n, step);
}

void PICtoUYVY(const unsigned char *R, const unsigned char *G, const unsigned char *B,
               unsigned char *dst, int n, int step) {
    rgb_planes_to_uyvy(R, G, B, dst, n, step);
}
