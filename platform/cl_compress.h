// Still-picture compression layer: the two calls of the workstation's
// compression library that the program makes, over libjpeg-turbo in memory.
//
// Pictures are display images: rows bottom-up (the first row in memory is the
// lowest line), pixels packed B, G, R (CL_RGB) or 0, B, G, R (CL_RGBX). The
// only scheme is baseline JPEG (CL_JPEG).
#pragma once

enum {
    CL_JPEG = 0x8004, // compression scheme code: baseline JPEG
    CL_RGB = 0,       // picture format: 3 bytes per pixel, B, G, R
    CL_RGBX = 1,      // picture format: 4 bytes per pixel, 0, B, G, R
};

// Compresses a width x height picture of the given format into
// compressedData. *compressedBufferSize holds the capacity of compressedData
// in bytes on entry and the compressed size on return. compressionRatio 10
// (and 0, the library default) codes at JPEG quality 75; other ratios scale
// the quality inversely (750 / ratio, kept within 5..95).
// Returns 0, or -1 for an unknown scheme or format, a bad size, a coding
// error, or a result larger than the capacity.
int clCompressImage(int compressionScheme, int width, int height, int originalFormat,
                    float compressionRatio, const void *unCompressedData, int *compressedBufferSize,
                    void *compressedData);

// Decompresses compressedBufferSize bytes of JPEG into a width x height
// picture of the given format (unCompressedData holds width * height * 3 or
// 4 bytes). Returns 0, or -1 when the data are not a JPEG of exactly that size
// or cannot be decoded. A JPEG whose header names another size is refused
// before anything is allocated for its picture.
int clDecompressImage(int decompressionScheme, int width, int height, int originalFormat,
                      int compressedBufferSize, const void *compressedData, void *unCompressedData);
