// JPEG still pictures through libjpeg's stdio source and destination.
//
// Each libjpeg operation runs inside one small function that owns its setjmp;
// the library's error exit longjmps back there, so nothing between setjmp and
// longjmp needs a destructor: files are opened and closed by the callers, row
// scratch comes from libjpeg's own pools. Library messages are never printed.
// Pictures are decoded as R, G, B lines and placed by the common line sinks.
#include "media/img_jpeg.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "platform/jpeg_quiet.h"

#include "media/img_util.h"
#include "media/pixels.h"
#include "media/video_globals.h"

namespace {

// Reads the header; the output size in *w, *h. Returns false on a JPEG error.
bool probe(FILE *f, int *w, int *h) {
    jpeg_decompress_struct cinfo;
    JpegQuietErrors err;
    JpegQuietInit(err);
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    jpeg_calc_output_dimensions(&cinfo);
    *w = int(cinfo.output_width);
    *h = int(cinfo.output_height);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// Where decoded lines go: a ...toglo buffer in a reader mode, or a device
// frame. want_w / want_h, when not 0, is the only size accepted.
struct Target {
    bool device;
    unsigned char *out;
    int mode;
    int want_w, want_h;
};

bool decode(FILE *f, const Target &t) {
    jpeg_decompress_struct cinfo;
    JpegQuietErrors err;
    JpegQuietInit(err);
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_calc_output_dimensions(&cinfo);
    const int w = int(cinfo.output_width), h = int(cinfo.output_height);
    if (!img_size_ok(w, h) || (t.want_w && (w != t.want_w || h != t.want_h))) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    JSAMPARRAY rows = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                 JPOOL_IMAGE, JDIMENSION(w) * 3, 1);
    const GloSink sink{t.out, w, h, t.mode};
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) break;
        const unsigned char *rgb = rows[0];
        if (!t.device) {
            sink.put_rgb(y, rgb);
        } else {
            const long off = device_line_offset(y);
            if (off >= 0) PICtoUYVY(rgb, rgb + 1, rgb + 2, t.out + off, w, 3);
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool encode(FILE *f, int w, int h, const unsigned char *image, int quality) {
    jpeg_compress_struct cinfo;
    JpegQuietErrors err;
    JpegQuietInit(err);
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        // The display image is bottom-up: the top line is the last row.
        JSAMPROW row =
            const_cast<JSAMPROW>(image + size_t(h - 1 - int(cinfo.next_scanline)) * size_t(w) * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

int headerjpg(const char *name, int *w, int *h) {
    *w = *h = -1;
    FilePtr f(std::fopen(name, "rb"));
    int pw = 0, ph = 0;
    if (!f || !probe(f.get(), &pw, &ph) || !img_size_ok(pw, ph)) return -1;
    *w = pw;
    *h = ph;
    return 1;
}

int jpgtoglo(const char *name, unsigned char *buffer, int mode) {
    FilePtr f(std::fopen(name, "rb"));
    if (!buffer || !f) return 0;
    return decode(f.get(), Target{false, buffer, mode, 0, 0}) ? 1 : 0;
}

int glotojpg(const char *name, int w, int h, const unsigned char *image, int quality) {
    if (!image || w < 1 || h < 1 || w > 65500 || h > 65500) return 0;
    FilePtr f(std::fopen(name, "wb"));
    if (!f || !encode(f.get(), w, h, image, quality)) return 0;
    return std::fclose(f.release()) == 0 ? 1 : 0;
}

int jpg_to_buffer(const char *name, int w, int h, unsigned char *frame) {
    if (!frame || w != VIDEO_SIZEX || h != VIDEO_SIZEY || w <= 0 || h <= 0) return 0;
    FilePtr f(std::fopen(name, "rb"));
    if (!f) return 0;
    return decode(f.get(), Target{true, frame, 0, w, h}) ? 1 : 0;
}
