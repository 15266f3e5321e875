// SGI image files (.sgi, .rgb): the calls of the workstation's image library
// that the program makes, written from the published SGI image file format.
//
// Supported: one byte per channel, verbatim or run-length storage, dimension
// 1 to 3, 1 to 4 channels. Rows are numbered from the bottom of the picture;
// channel z of row y is read or written as one row of xsize values.
#pragma once

#include <cstdint>

struct IMAGE;

// Storage types for iopen's type argument: (storage << 8) | bytes per channel.
enum {
    SGI_VERBATIM = 0x0001, // verbatim, one byte per channel
    SGI_RLE = 0x0101,      // run-length, one byte per channel
};

// The public part of an open image (read-only for callers).
struct IMAGE {
    unsigned short type;  // SGI_VERBATIM or SGI_RLE
    unsigned short dim;   // 1, 2 or 3
    unsigned short xsize; // pixels per row
    unsigned short ysize; // rows
    unsigned short zsize; // channels
    struct Private;
    Private *priv;
};

// Opens name for reading (mode "r") or creates it for writing (mode "w";
// type, dim, xsize, ysize and zsize describe the new file and are ignored when
// reading). Returns null, after calling the error handler, when the file
// cannot be opened, is not a supported SGI image, or its header does not fit
// its size.
IMAGE *iopen(const char *name, const char *mode, unsigned type = SGI_RLE, unsigned dim = 3,
             unsigned xsize = 0, unsigned ysize = 0, unsigned zsize = 3);

// Reads channel z of row y into buffer (xsize values 0..255). Returns xsize,
// or -1 for a row outside the picture, a read error or corrupt run-length data.
int getrow(IMAGE *image, unsigned short *buffer, unsigned y, unsigned z);

// Writes channel z of row y from buffer (xsize values, stored as bytes).
// Returns xsize, or -1 for a row outside the picture or a write error.
int putrow(IMAGE *image, const unsigned short *buffer, unsigned y, unsigned z);

// Closes the image; a written image gets its header (and run-length tables)
// here. Returns 0, or -1 when writing them failed. Frees the record.
int iclose(IMAGE *image);

// Installs the handler that receives the library's error messages (the
// default prints them on standard error); null restores the default.
void i_seterror(void (*func)(const char *message));
