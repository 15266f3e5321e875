// The silent, jumping libjpeg error manager and the shared decode and encode;
// see jpeg_quiet.h.
#include "platform/jpeg_quiet.h"

namespace {

void quiet_error_exit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<JpegQuietErrors *>(cinfo->err)->jump, 1);
}

// Level -1 is a warning, counted as the standard manager counts it; levels 0
// and above are trace messages. Nothing is printed.
void quiet_emit_message(j_common_ptr cinfo, int msg_level) {
    if (msg_level < 0) cinfo->err->num_warnings++;
}

void quiet_output_message(j_common_ptr) {}

} // namespace

void JpegQuietInit(JpegQuietErrors &err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = quiet_error_exit;
    err.pub.emit_message = quiet_emit_message;
    err.pub.output_message = quiet_output_message;
}

bool JpegQuietDecoder::run(bool header_only) {
    jpeg_decompress_struct cinfo;
    JpegQuietErrors err;
    JpegQuietInit(err);
    cinfo.err = &err.pub;
    warnings_ = 0;
    if (setjmp(err.jump)) {
        warnings_ = err.pub.num_warnings;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    attach(&cinfo);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = out_space;
    jpeg_calc_output_dimensions(&cinfo);
    bool ok = accept(int(cinfo.output_width), int(cinfo.output_height), cinfo.output_components);
    if (ok && !header_only) {
        jpeg_start_decompress(&cinfo);
        while (ok && cinfo.output_scanline < cinfo.output_height) {
            const int y = int(cinfo.output_scanline);
            JSAMPROW row = line(y);
            ok = jpeg_read_scanlines(&cinfo, &row, 1) == 1;
            if (ok) done(y);
        }
        if (ok) jpeg_finish_decompress(&cinfo);
    }
    warnings_ = err.pub.num_warnings;
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

bool JpegQuietEncoder::run(int w, int h, int components, J_COLOR_SPACE space, int quality,
                           const unsigned char *pixels) {
    jpeg_compress_struct cinfo;
    JpegQuietErrors err;
    JpegQuietInit(err);
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    attach(&cinfo);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t stride = size_t(w) * size_t(components);
    while (cinfo.next_scanline < cinfo.image_height) {
        // The top line of the picture is the last row in memory.
        JSAMPROW row =
            const_cast<JSAMPROW>(pixels + (size_t(h) - 1 - cinfo.next_scanline) * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}
