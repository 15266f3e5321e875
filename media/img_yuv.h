// Raw YUV still pictures: UYVY lines of the full video frame, top line first,
// no header. A file is valid only when it is exactly VIDEO_SIZEX * 2 *
// VIDEO_SIZEY bytes long.
#pragma once

// Width and height of a YUV file: the video frame size and 1 when the file
// has the frame's size, 0 x 0 and 0 otherwise; -1 x -1 and -1 when it cannot
// be opened.
int headeryuv(const char *name, int *w, int *h);

// Reads the picture into buffer: mode 0 a 3-byte display image, 1 a
// field-sequential frame, any other a 4-byte display image, all of the video
// frame size. Passes the pause gate (img_util.h) before each row. Returns 1, or
// 0 on failure.
int yuvtoglo(const char *name, unsigned char *buffer, int mode);

// Converts a w x h 3-byte display image to UYVY lines and writes them with one
// write (w * 2 * h bytes). Passes the pause gate (img_util.h) before each row.
// Returns 1 when all bytes were written, else 0.
int glotoyuv(const char *name, int w, int h, const unsigned char *image);

// Reads a YUV file into a device frame (w, h the video frame size).
// Returns 1, or 0 on failure.
int yuv_to_buffer(const char *name, int w, int h, unsigned char *frame);

// Writes a device frame of the video frame size to the YUV file name (none
// when name is null) and its compressed quarter-size thumbnail to fd.
// Returns the thumbnail's byte count, 0 on failure.
int buffer_to_yuv(const char *name, int w, int h, const unsigned char *frame, int fd);
