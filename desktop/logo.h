// The program's logo: a 235x40 picture drawn for the default background
// #555560, and its re-tint for other backgrounds.
#pragma once

constexpr int LOGO_W = 235, LOGO_H = 40;

// The logo's 9400 pixels, bytes A, B, G, R, bottom row first.
unsigned char *LogoImage();

// One colour byte of the re-tint: c' = 255 - floor((255 - b)(255 - c)/(255 - d))
// with b the background's byte and d the default background's byte, kept
// within 0..255.
int RetintByte(int c, int b, int d);

// Re-tints n A,B,G,R pixels drawn for #555560 to a background r, g, b.
// Nothing changes when the background is exactly #555560.
void RetintLogo(unsigned char *pixels, int n, int r, int g, int b);
