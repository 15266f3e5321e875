// Targa still pictures: header probe, readers and writers.
//
// Readers take image types 2 and 3 (plain) and 10 and 11 (run-length) with
// pixel depths 8 (grey), 15, 16 (5-5-5 colour; grey and alpha in the grey
// types 3 and 11), 24 and 32, and skip a colour map of entry
// size 15, 16, 24 or 32. They return 1 on success and 0 on failure; the
// header probe returns 1, or -1 with W = H = -1 when the file cannot be opened
// or is not a Targa picture the readers accept.
#pragma once

// Width and height of a Targa file.
int headertga(const char *name, int *w, int *h);

// Reads the picture into buffer: mode 0 a 3-byte display image, 1 a
// field-sequential frame, any other a 4-byte display image. buffer must hold
// the picture at the size headertga reports. Passes the pause gate (img_util.h)
// before each row.
int tgatoglo(const char *name, unsigned char *buffer, int mode);

// Writes a w x h 3-byte display image as an uncompressed 24-bit Targa (type 2,
// rows bottom-up). Passes the pause gate (img_util.h) before each row. Returns
// 1, or 0 on failure.
int glototga(const char *name, int w, int h, const unsigned char *image);

// Reads a Targa file of exactly the video frame size into a device frame.
// Returns 1, or 0 on failure.
int tga_to_buffer(const char *name, int w, int h, unsigned char *frame);

// Writes a device frame of the video frame size to the Targa file name (none
// when name is null) and its compressed quarter-size thumbnail to fd.
// Returns the thumbnail's byte count, 0 on failure.
int buffer_to_tga(const char *name, int w, int h, const unsigned char *frame, int fd);
