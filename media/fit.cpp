// Fitting a field-sequential picture into the field-sequential video frame.
//
// The scale s is the larger of w / VIDEO_SIZEX and h / VIDEO_SIZEY, so the
// scaled picture fills the frame in one direction and is centred in the other.
// Both fields of the result are sampled at the scaled picture's even lines, so
// they carry the same content. Coordinates are computed per pixel in single
// precision; each destination byte is written once after the black fill.
#include "media/fit.h"

#include <cmath>
#include <cstring>

#include "media/video_globals.h"

namespace {

// Byte offset of picture line y (0 <= y < h, h even) in a field-sequential frame.
inline long line_offset(int y, int w, int h) {
    return (long(y / 2) + long(h / 2) * (y % 2)) * w * 3;
}

template <bool Interp> void fit_frame(const unsigned char *src, unsigned char *dst, int w, int h) {
    const int VX = VIDEO_SIZEX, VY = VIDEO_SIZEY;
    if (VX <= 0 || VY <= 0) return;
    std::memset(dst, 0, size_t(VX) * VY * 3);
    h &= ~1;
    if (w <= 0 || h <= 0) return;

    const float fx = float(w) / float(VX);
    const float fy = float(h) / float(VY);
    float s;
    int outw, outh, left = 0, top = 0;
    if (fx < fy) {
        s = fy;
        outw = int(std::floor(float(w) / s + 0.5f));
        if (outw > VX) outw = VX;
        outh = VY;
        left = (VX - outw) / 2;
    } else {
        s = fx;
        outw = VX;
        outh = int(std::floor(float(h) / s + 0.5f));
        if (outh > VY) outh = VY;
        top = (VY - outh) / 4;
    }

    const long drow = long(VX) * 3;
    for (int pass = 0; pass < 2; ++pass) {
        for (int r = 0; r < outh / 2; ++r) {
            const int t = 2 * r;
            const float fys = float(t) * s;
            int sy = int(std::floor(fys));
            if (sy > h - 1) sy = h - 1; // guards single-precision rounding at the edge
            const unsigned char *line0 = src + line_offset(sy, w, h);
            const unsigned char *line1 = sy < h - 1 ? src + line_offset(sy + 1, w, h) : line0;
            const float ay = fys - float(sy);
            unsigned char *out = dst + (long(pass) * (VY / 2) + top + r) * drow + long(left) * 3;
            for (int x = 0; x < outw; ++x, out += 3) {
                const float fxs = float(x) * s;
                int sx = int(std::floor(fxs));
                if (sx > w - 1) sx = w - 1;
                const unsigned char *p00 = line0 + long(sx) * 3;
                if (!Interp || sx >= w - 1 || sy >= h - 1) {
                    out[0] = p00[0], out[1] = p00[1], out[2] = p00[2];
                    continue;
                }
                const float ax = fxs - float(sx);
                const float w00 = (1.0f - ax) * (1.0f - ay);
                const float w10 = ax * (1.0f - ay);
                const float w01 = (1.0f - ax) * ay;
                const float w11 = ax * ay;
                const unsigned char *p10 = p00 + 3;
                const unsigned char *p01 = line1 + long(sx) * 3;
                const unsigned char *p11 = p01 + 3;
                for (int c = 0; c < 3; ++c) {
                    const float v = float(p00[c]) * w00 + float(p10[c]) * w10 +
                                    float(p01[c]) * w01 + float(p11[c]) * w11;
                    out[c] = v < 0.0f ? 0 : v > 255.0f ? 255 : static_cast<unsigned char>(v);
                }
            }
        }
    }
}

} // namespace

void ScaleBufferInterp(const unsigned char *src, unsigned char *dst, int w, int h) {
    fit_frame<true>(src, dst, w, h);
}

void ScaleBuffer(const unsigned char *src, unsigned char *dst, int w, int h) {
    fit_frame<false>(src, dst, w, h);
}

void CopyBuffer(const unsigned char *src, unsigned char *dst, int w, int h) {
    const int VX = VIDEO_SIZEX, VY = VIDEO_SIZEY;
    if (VX <= 0 || VY <= 0) return;
    const long frame = long(VX) * VY * 3;
    h &= ~1;
    if (w <= 0 || h <= 0 || w > VX || h > VY) {
        std::memset(dst, 0, size_t(frame));
        return;
    }
    const long L = long(VX) * 3, S = long(w) * 3;
    const int top = (VY - h) / 4;
    const long leftm = ((L - S) / 2 / 3) * 3;
    const long rightm = L - leftm - S;
    const int half = VY / 2;
    for (int field = 0; field < 2; ++field) {
        unsigned char *f = dst + long(field) * half * L;
        std::memset(f, 0, size_t(top) * L);
        for (int k = 0; k < h / 2; ++k) {
            unsigned char *row = f + long(top + k) * L;
            const unsigned char *s = src + (long(field) * (h / 2) + k) * S;
            std::memset(row, 0, size_t(leftm));
            std::memcpy(row + leftm, s, size_t(S));
            std::memset(row + leftm + S, 0, size_t(rightm));
        }
        const long used = long(top) + h / 2;
        std::memset(f + used * L, 0, size_t((half - used) * L));
    }
    // An odd VY leaves one last row outside both fields.
    if (VY % 2) std::memset(dst + long(2 * half) * L, 0, size_t(L));
}
