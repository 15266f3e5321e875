// The logo picture and its re-tint. The picture is drawn by code at first
// use: the letters "ORVA" in light grey with an amber rule, on the default
// background colour #555560.
#include "desktop/logo.h"

#include <cmath>
#include <cstring>

namespace {

const char *const glyphs[4][7] = {
    {"01110", "10001", "10001", "10001", "10001", "10001", "01110"}, // O
    {"11110", "10001", "10001", "11110", "10100", "10010", "10001"}, // R
    {"10001", "10001", "10001", "10001", "10001", "01010", "00100"}, // V
    {"01110", "10001", "10001", "11111", "10001", "10001", "10001"}, // A
};

void put(unsigned char *img, int x, int y_top, int r, int g, int b) {
    if (x < 0 || x >= LOGO_W || y_top < 0 || y_top >= LOGO_H) return;
    unsigned char *p = img + 4 * ((LOGO_H - 1 - y_top) * LOGO_W + x); // bottom row first
    p[0] = 0;
    p[1] = (unsigned char)b;
    p[2] = (unsigned char)g;
    p[3] = (unsigned char)r;
}

void draw(unsigned char *img) {
    for (int y = 0; y < LOGO_H; y++)
        for (int x = 0; x < LOGO_W; x++)
            put(img, x, y, 0x55, 0x55, 0x60);
    const int scale = 4, left = 12, top = 5, advance = 28;
    for (int c = 0; c < 4; c++)
        for (int row = 0; row < 7; row++)
            for (int col = 0; col < 5; col++)
                if (glyphs[c][row][col] == '1')
                    for (int dy = 0; dy < scale; dy++)
                        for (int dx = 0; dx < scale; dx++)
                            put(img, left + c * advance + col * scale + dx, top + row * scale + dy,
                                0xee, 0xee, 0xee);
    for (int x = left + 4 * advance; x < LOGO_W - 10; x++)
        for (int y = 30; y < 33; y++)
            put(img, x, y, 0xfe, 0xb9, 0x00);
}

} // namespace

unsigned char *LogoImage() {
    static unsigned char img[LOGO_W * LOGO_H * 4];
    static bool drawn = false;
    if (!drawn) {
        draw(img);
        drawn = true;
    }
    return img;
}

int RetintByte(int c, int b, int d) {
    double v = 255.0 - std::floor(double(255 - b) * double(255 - c) / double(255 - d));
    if (v < 0) return 0;
    if (v > 255) return 255;
    return int(v);
}

void RetintLogo(unsigned char *pixels, int n, int r, int g, int b) {
    if (r == 0x55 && g == 0x55 && b == 0x60) return;
    for (int i = 0; i < n; i++) {
        unsigned char *p = pixels + 4 * i;
        p[1] = (unsigned char)RetintByte(p[1], b, 96);
        p[2] = (unsigned char)RetintByte(p[2], g, 85);
        p[3] = (unsigned char)RetintByte(p[3], r, 85);
    }
}
