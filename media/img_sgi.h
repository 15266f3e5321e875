// SGI still pictures (.sgi, .rgb, .bw, .rgba) through the platform image
// library: header probe, readers and writers. The library's own messages are
// silenced.
//
// Readers return 1 on success and 0 on failure; the header probe returns 1,
// or -1 with W = H = -1 when the file cannot be opened or is not an SGI
// picture the readers accept. Pictures with fewer than 3 channels read as grey.
#pragma once

// Width and height of an SGI image file.
int headersgi(const char *name, int *w, int *h);

// Reads the picture into buffer: mode 0 a 3-byte display image, 1 a
// field-sequential frame, any other a 4-byte display image. buffer must hold
// the picture at the size headersgi reports. Passes the pause gate (img_util.h)
// before each row.
int sgitoglo(const char *name, unsigned char *buffer, int mode);

// Writes a w x h 3-byte display image as a run-length, 3-channel SGI file.
// Passes the pause gate (img_util.h) before each row. Returns 1, or 0 on
// failure.
int glotosgi(const char *name, int w, int h, const unsigned char *image);

// Reads an SGI file of exactly the video frame size into a device frame.
// Returns 1, or 0 on failure (including a picture of another size).
int sgi_to_buffer(const char *name, int w, int h, unsigned char *frame);

// Writes a device frame of the video frame size to the SGI file name (none
// when name is null) and its compressed quarter-size thumbnail to fd.
// Returns the thumbnail's byte count, 0 on failure.
int buffer_to_sgi(const char *name, int w, int h, const unsigned char *frame, int fd);
