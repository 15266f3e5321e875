// JPEG still pictures (baseline JFIF) through libjpeg with its standard file
// source and destination. Readers return 1 on success and 0 on failure; the
// header probe returns 1, or -1 with W = H = -1 when the file cannot be opened
// or read as a JPEG of an accepted size.
#pragma once

// Width and height of a JPEG file.
int headerjpg(const char *name, int *w, int *h);

// Decodes the picture into buffer: mode 0 a 3-byte display image, 1 a
// field-sequential frame, any other a 4-byte display image. buffer must hold
// the picture at the size headerjpg reports. Does not pass the pause gate.
int jpgtoglo(const char *name, unsigned char *buffer, int mode);

// Writes a w x h 3-byte display image as a baseline JPEG of the given quality
// (1..100). Returns 1, or 0 on failure.
int glotojpg(const char *name, int w, int h, const unsigned char *image, int quality);

// Decodes a JPEG file of exactly the video frame size into a device frame.
// Returns 1, or 0 on failure.
int jpg_to_buffer(const char *name, int w, int h, unsigned char *frame);
