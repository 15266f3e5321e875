// Pictures of the simulated tape (see picture.h).
#include "boardsim/picture.h"

#include <cstdio>
#include <csetjmp>
#include <cstdlib>
#include <jpeglib.h>

namespace boardsim {

namespace {

void fill(Frame &f, int x0, int y0, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    for (int y = y0; y < y0 + h && y < f.height; ++y)
        for (int x = x0; x < x0 + w && x < f.width; ++x) {
            if (x < 0 || y < 0) continue;
            uint8_t *p = &f.rgb[(size_t(y) * f.width + x) * 3];
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
}

// Seven-segment digits: bits a b c d e f g.
const uint8_t kSegments[10] = {0x7e, 0x30, 0x6d, 0x79, 0x33, 0x5b, 0x5f, 0x70, 0x7f, 0x7b};

void digit(Frame &f, int x, int y, int d, int s) {
    const uint8_t m = kSegments[d];
    const int w = 4 * s, h = 4 * s, t = s;
    if (m & 0x40) fill(f, x, y, w, t, 255, 255, 255);             // a
    if (m & 0x20) fill(f, x + w - t, y, t, h, 255, 255, 255);     // b
    if (m & 0x10) fill(f, x + w - t, y + h, t, h, 255, 255, 255); // c
    if (m & 0x08) fill(f, x, y + 2 * h - t, w, t, 255, 255, 255); // d
    if (m & 0x04) fill(f, x, y + h, t, h, 255, 255, 255);         // e
    if (m & 0x02) fill(f, x, y, t, h, 255, 255, 255);             // f
    if (m & 0x01) fill(f, x, y + h - t / 2, w, t, 255, 255, 255); // g
}

} // namespace

Frame unrecorded_frame(int width, int height, const std::string &tape, uint32_t tc) {
    Frame f;
    f.width = width;
    f.height = height;
    f.rgb.assign(size_t(width) * height * 3, 0);
    static const uint8_t bars[8][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                       {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};
    const int bw = (width + 7) / 8;
    for (int i = 0; i < 8; ++i)
        fill(f, i * bw, 0, bw, height, bars[i][0], bars[i][1], bars[i][2]);
    // Strip of the timecode word.
    fill(f, 88, 32, 16, 32, 255, 255, 255);
    for (int bit = 0; bit < 32; ++bit) {
        const uint8_t v = (tc >> bit) & 1 ? 255 : 0;
        fill(f, 88 + 16 * (bit + 1), 32, 16, 32, v, v, v);
    }
    fill(f, 88 + 16 * 33, 32, 16, 32, 0, 0, 0);
    // Tape name and timecode on a black band.
    fill(f, 60, height / 2 - 100, width - 120, 220, 0, 0, 0);
    (void)tape; // the name is not drawn yet: no font in the simulator
    const int s = 8;
    int x = 80;
    for (int i = 0; i < 4; ++i) {
        const uint32_t b = (tc >> (8 * i)) & 0xff;
        digit(f, x, height / 2, int(b >> 4) % 10, s);
        digit(f, x + 5 * s, height / 2, int(b & 15) % 10, s);
        x += 10 * s;
        if (i < 3) {
            fill(f, x + s, height / 2 + 2 * s, s, s, 255, 255, 255);
            fill(f, x + s, height / 2 + 5 * s, s, s, 255, 255, 255);
            x += 3 * s;
        }
    }
    return f;
}

bool read_strip(const Frame &f, uint32_t *tc) {
    auto level = [&f](int cell) {
        const int x = 88 + 16 * cell + 8, y = 48;
        return f.rgb[(size_t(y) * f.width + x) * 3 + 1];
    };
    if (level(0) < 128 || level(33) >= 128) return false;
    uint32_t w = 0;
    for (int bit = 0; bit < 32; ++bit)
        if (level(bit + 1) >= 128) w |= 1u << bit;
    *tc = w;
    return true;
}

namespace {

struct JumpError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void jump_exit(j_common_ptr c) {
    longjmp(reinterpret_cast<JumpError *>(c->err)->jump, 1);
}

// Decodes a field into every second line of f; holds the jump point, with
// nothing between it and the jump that needs a destructor.
bool decode_field(const std::vector<uint8_t> &jpeg, Frame *f) {
    jpeg_decompress_struct d{};
    JumpError err{};
    d.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jump_exit;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), (unsigned long)jpeg.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    if (int(d.output_width) != f->width || int(d.output_height) * 2 != f->height) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = &f->rgb[size_t(d.output_scanline) * 2 * f->width * 3];
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return true;
}

} // namespace

bool strip_of_field(const std::vector<uint8_t> &jpeg, uint32_t *tc, int width, int height) {
    Frame f;
    f.width = width;
    f.height = height;
    f.rgb.assign(size_t(width) * height * 3, 0);
    return decode_field(jpeg, &f) && read_strip(f, tc);
}

std::vector<uint8_t> encode_field(const Frame &f, int field, int quality) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(f.width);
    c.image_height = JDIMENSION(f.height / 2);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality < 1 ? 1 : quality > 100 ? 100 : quality, TRUE);
    c.comp_info[0].h_samp_factor = 2;
    c.comp_info[0].v_samp_factor = 1;
    c.comp_info[1].h_samp_factor = c.comp_info[2].h_samp_factor = 1;
    c.comp_info[1].v_samp_factor = c.comp_info[2].v_samp_factor = 1;
    c.write_JFIF_header = FALSE;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        const int y = int(c.next_scanline) * 2 + field;
        JSAMPROW row = const_cast<JSAMPROW>(&f.rgb[size_t(y) * f.width * 3]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> v(out, out + size);
    free(out);
    jpeg_destroy_compress(&c);
    return v;
}

} // namespace boardsim
