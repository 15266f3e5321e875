// Compression layer over libjpeg-turbo in memory (jpeg_mem_dest, jpeg_mem_src).
//
// The workstation library took a "compression ratio"; the program always asks
// for 10.0, which on its quarter-size log pictures corresponds to an ordinary
// JPEG quality of 75 (about 2 to 3 bits per pixel on video pictures), the
// libjpeg default. The coding itself is the quiet encode and decode of
// jpeg_quiet.h, whose run() functions own the setjmp.
#include "platform/cl_compress.h"

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

// Encodes into a buffer allocated by libjpeg (out, outsize; freed here).
class MemoryEncoder : public JpegQuietEncoder {
  public:
    ~MemoryEncoder() { std::free(out); }
    unsigned char *out = nullptr;
    unsigned long outsize = 0;

  private:
    void attach(j_compress_ptr cinfo) override { jpeg_mem_dest(cinfo, &out, &outsize); }
};

// Decodes a JPEG in memory into bottom-up rows; a picture of another size
// than asked is refused before the library allocates for it.
class MemoryDecoder : public JpegQuietDecoder {
  public:
    MemoryDecoder(const unsigned char *data, unsigned long size, int width, int height, int bpp,
                  unsigned char *pixels)
        : data_(data), size_(size), width_(width), height_(height), bpp_(bpp), pixels_(pixels) {
        out_space = bpp == 3 ? JCS_EXT_BGR : JCS_EXT_XBGR;
    }

  private:
    void attach(j_decompress_ptr cinfo) override { jpeg_mem_src(cinfo, data_, size_); }
    bool accept(int w, int h, int components) override {
        return w == width_ && h == height_ && components == bpp_;
    }
    unsigned char *line(int y) override {
        return pixels_ + (size_t(height_) - 1 - size_t(y)) * size_t(width_) * size_t(bpp_);
    }

    const unsigned char *data_;
    unsigned long size_;
    int width_, height_, bpp_;
    unsigned char *pixels_;
};

} // namespace

int clCompressImage(int compressionScheme, int width, int height, int originalFormat,
                    float compressionRatio, const void *unCompressedData, int *compressedBufferSize,
                    void *compressedData) {
    const int bpp = bytes_per_pixel(originalFormat);
    if (compressionScheme != CL_JPEG || bpp == 0 || width <= 0 || height <= 0 || width > 65500 ||
        height > 65500 || !unCompressedData || !compressedBufferSize || !compressedData ||
        *compressedBufferSize <= 0)
        return -1;
    MemoryEncoder enc;
    if (!enc.run(width, height, bpp, bpp == 3 ? JCS_EXT_BGR : JCS_EXT_XBGR,
                 quality_for_ratio(compressionRatio),
                 static_cast<const unsigned char *>(unCompressedData)) ||
        enc.outsize > (unsigned long)*compressedBufferSize)
        return -1;
    std::memcpy(compressedData, enc.out, enc.outsize);
    *compressedBufferSize = int(enc.outsize);
    return 0;
}

int clDecompressImage(int decompressionScheme, int width, int height, int originalFormat,
                      int compressedBufferSize, const void *compressedData,
                      void *unCompressedData) {
    const int bpp = bytes_per_pixel(originalFormat);
    if (decompressionScheme != CL_JPEG || bpp == 0 || width <= 0 || height <= 0 ||
        compressedBufferSize <= 0 || !compressedData || !unCompressedData)
        return -1;
    unsigned char *pixels = static_cast<unsigned char *>(unCompressedData);
    MemoryDecoder dec(static_cast<const unsigned char *>(compressedData),
                      (unsigned long)compressedBufferSize, width, height, bpp, pixels);
    if (!dec.run()) return -1;
    if (bpp == 4) // the leading byte of a display pixel is 0
        for (size_t i = 0; i < size_t(width) * height; ++i)
            pixels[i * 4] = 0;
    return 0;
}
