// Compression layer over libjpeg-turbo in memory (jpeg_mem_dest, jpeg_mem_src).
//
// The workstation library took a "compression ratio"; the program always asks
// for 10.0, which on its quarter-size log pictures corresponds to an ordinary
// JPEG quality of 75 (about 2 to 3 bits per pixel on video pictures), the
// libjpeg default. Each libjpeg operation runs inside one small function that
// owns the setjmp; nothing between setjmp and the library's error longjmp needs
// a destructor.
#include "platform/cl_compress.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "platform/jpeg_quiet.h"

namespace {

int quality_for_ratio(float ratio) {
    if (!(ratio > 0.0f)) return 75;
    float q = 750.0f / ratio;
    if (q < 5.0f) q = 5.0f;
    if (q > 95.0f) q = 95.0f;
    return int(q + 0.5f);
}

int bytes_per_pixel(int format) {
    return format == CL_RGB ? 3 : format == CL_RGBX ? 4 : 0;
}

// Encodes into a buffer allocated by libjpeg (*out, *outsize, freed by the caller).
int encode(int width, int height, int bpp, int quality, const unsigned char *pixels,
           unsigned char **out, unsigned long *outsize) {
    jpeg_compress_struct cinfo;
    JpegQuietErrors err;
    JpegQuietInit(err);
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return -1;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, outsize);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = bpp;
    cinfo.in_color_space = bpp == 3 ? JCS_EXT_BGR : JCS_EXT_XBGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t stride = size_t(width) * bpp;
    while (cinfo.next_scanline < cinfo.image_height) {
        // The top line of the picture is the last row in memory.
        JSAMPROW row =
            const_cast<JSAMPROW>(pixels + (size_t(height) - 1 - cinfo.next_scanline) * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 0;
}

int decode(int width, int height, int bpp, const unsigned char *data, unsigned long size,
           unsigned char *pixels) {
    jpeg_decompress_struct cinfo;
    JpegQuietErrors err;
    JpegQuietInit(err);
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    // The picture's size is checked before the decoder allocates for it: a
    // header claiming a huge picture fails here, at no cost.
    if (cinfo.image_width != JDIMENSION(width) || cinfo.image_height != JDIMENSION(height)) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    cinfo.out_color_space = bpp == 3 ? JCS_EXT_BGR : JCS_EXT_XBGR;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != JDIMENSION(width) || cinfo.output_height != JDIMENSION(height) ||
        cinfo.output_components != bpp) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    const size_t stride = size_t(width) * bpp;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + (size_t(height) - 1 - cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return 0;
}

} // namespace

int clCompressImage(int compressionScheme, int width, int height, int originalFormat,
                    float compressionRatio, const void *unCompressedData, int *compressedBufferSize,
                    void *compressedData) {
    const int bpp = bytes_per_pixel(originalFormat);
    if (compressionScheme != CL_JPEG || bpp == 0 || width <= 0 || height <= 0 || width > 65500 ||
        height > 65500 || !unCompressedData || !compressedBufferSize || !compressedData ||
        *compressedBufferSize <= 0)
        return -1;
    unsigned char *out = nullptr;
    unsigned long outsize = 0;
    const int rc = encode(width, height, bpp, quality_for_ratio(compressionRatio),
                          static_cast<const unsigned char *>(unCompressedData), &out, &outsize);
    int result = -1;
    if (rc == 0 && outsize <= (unsigned long)*compressedBufferSize) {
        std::memcpy(compressedData, out, outsize);
        *compressedBufferSize = int(outsize);
        result = 0;
    }
    std::free(out);
    return result;
}

int clDecompressImage(int decompressionScheme, int width, int height, int originalFormat,
                      int compressedBufferSize, const void *compressedData,
                      void *unCompressedData) {
    const int bpp = bytes_per_pixel(originalFormat);
    if (decompressionScheme != CL_JPEG || bpp == 0 || width <= 0 || height <= 0 ||
        compressedBufferSize <= 0 || !compressedData || !unCompressedData)
        return -1;
    unsigned char *pixels = static_cast<unsigned char *>(unCompressedData);
    if (decode(width, height, bpp, static_cast<const unsigned char *>(compressedData),
               (unsigned long)compressedBufferSize, pixels) != 0)
        return -1;
    if (bpp == 4) // the leading byte of a display pixel is 0
        for (size_t i = 0; i < size_t(width) * height; ++i)
            pixels[i * 4] = 0;
    return 0;
}
