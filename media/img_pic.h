// PIC still pictures (Softimage layout): header probe, readers and writers.
//
// Names shorter than 5 characters or not ending in ".pic" get ".pic"
// appended. Readers return 1 on success and 0 on failure; header probes return
// 1, or -1 with W = H = -1 when the file cannot be opened or is not a PIC
// picture of an accepted size.
#pragma once

#include <string>

// The file name the PIC reader and writer use for name.
std::string pic_file_name(const char *name);

// Width and height of a PIC file.
int headerpic(const char *name, int *w, int *h);

// Reads the picture into buffer: mode 0 a 3-byte display image, 1 a
// field-sequential frame, any other a 4-byte display image. buffer must hold
// the picture at the size headerpic reports. Passes the pause gate (img_util.h)
// before each row.
int pictoglo(const char *name, unsigned char *buffer, int mode);

// Writes a w x h 3-byte display image as an uncompressed R, G, B PIC file.
// Passes the pause gate (img_util.h) before each row. Returns 1, or 0 on
// failure.
int glotopic(const char *name, int w, int h, const unsigned char *image);

// Reads a PIC file of exactly the video frame size (w = VIDEO_SIZEX,
// h = VIDEO_SIZEY) into a device frame. Returns 1, or 0 on failure.
int pic_to_buffer(const char *name, int w, int h, unsigned char *frame);

// Writes a device frame of the video frame size to the PIC file name (none
// when name is null) and its compressed quarter-size thumbnail to fd.
// Returns the thumbnail's byte count, 0 on failure.
int buffer_to_pic(const char *name, int w, int h, const unsigned char *frame, int fd);
