// Fitting of a picture of any size into the video frame.
//
// src is a field-sequential frame of w x h pixels (packed R, G, B; picture
// line y at row y/2 + (h/2) * (y mod 2)); dst is a field-sequential frame of
// VIDEO_SIZEX x VIDEO_SIZEY pixels. An odd h loses its last line. The whole
// destination is written; the picture keeps its aspect ratio and is centred
// on black. Buffers belong to the caller; nothing fails.
#pragma once

// Fit with bilinear interpolation, in single precision (used by import).
void ScaleBufferInterp(const unsigned char *src, unsigned char *dst, int w, int h);

// The same fit with nearest-neighbour sampling.
void ScaleBuffer(const unsigned char *src, unsigned char *dst, int w, int h);

// Centres the picture without scaling. A picture wider or taller than the
// frame cannot be centred: the frame is then left all black.
void CopyBuffer(const unsigned char *src, unsigned char *dst, int w, int h);
