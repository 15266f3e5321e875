// Colour converters between the pixel layouts frames travel in: UYVY lines of
// the video device and raw YUV files, RGB planes of the image files, packed
// RGB and BGR lines. All work one line at a time on pixel pairs with 16-bit
// fixed-point integer arithmetic (ITU-R BT.601 studio range).
//
// n is the number of pixels of the line; an odd n converts n - 1 pixels and
// n < 2 converts nothing. Buffers belong to the caller and must hold n pixels.
#pragma once

// UYVY line to 16-bit R, G, B planes (values 0..255, element step 1).
void UYVYtoRGB(const unsigned char *src, unsigned short *R, unsigned short *G, unsigned short *B,
               int n);

// UYVY line to byte R, G, B planes (element step 1).
void UYVYtoTGA(const unsigned char *src, unsigned char *R, unsigned char *G, unsigned char *B,
               int n);

// UYVY line to packed R, G, B.
void UYVYtoPIC(const unsigned char *src, unsigned char *dst, int n);

// Thinned UYVY line to packed B, G, R: converts the pixel pairs 0, step,
// 2 step, ... below n/2 (step 4 gives a quarter-width line for thumbnails),
// two output pixels per converted pair. dst must hold 2 * ceil((n/2) / step)
// pixels. A step below 1 converts nothing.
void UYVYtoBGR(unsigned char *dst, const unsigned char *src, int n, int step);

// 16-bit R, G, B planes read with element step `step` to a UYVY line, with a
// 1/4, 1/2, 1/4 chroma filter and carried fractions.
void RGBtoUYVY(const unsigned short *R, const unsigned short *G, const unsigned short *B,
               unsigned char *dst, int n, int step);

// Byte R, G, B planes read with element step `step` (3 for packed R, G, B
// given as three offset pointers) to a UYVY line; arithmetic of RGBtoUYVY.
void PICtoUYVY(const unsigned char *R, const unsigned char *G, const unsigned char *B,
               unsigned char *dst, int n, int step);
