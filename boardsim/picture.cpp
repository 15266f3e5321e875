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

// A 5 x 7 font (rows top down, bit 4 the leftmost column) for the tape name:
// digits, letters (lower case drawn as upper case), "-", "_" and "."; any
// other character is drawn as a hollow box.
const uint8_t kGlyphs[][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}, {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}, {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}, {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}, {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}, {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},
    {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},
    {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F},
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}, {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F},
};

const uint8_t *glyph(char c) {
    if (c >= '0' && c <= '9') return kGlyphs[c - '0'];
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return kGlyphs[10 + (c - 'A')];
    if (c == '-') return kGlyphs[36];
    if (c == '_') return kGlyphs[37];
    if (c == '.') return kGlyphs[38];
    return kGlyphs[39];
}

// Text in white from (x, y), each font dot s x s pixels, cut at max_x.
void text(Frame &f, int x, int y, const std::string &t, int s, int max_x) {
    for (char c : t) {
        if (x + 5 * s > max_x) break;
        const uint8_t *g = glyph(c);
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (g[row] & (0x10 >> col)) fill(f, x + col * s, y + row * s, s, s, 255, 255, 255);
        x += 6 * s;
    }
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
    text(f, kNameX, height / 2 + kNameDy, tape, kNameDot, width - 60);
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

namespace {

// The strip read on line y of f.
bool read_strip_at(const Frame &f, int y, uint32_t *tc) {
    if (y < 0 || y >= f.height || f.width < 88 + 16 * 34) return false;
    auto level = [&f, y](int cell) {
        const int x = 88 + 16 * cell + 8;
        return f.rgb[(size_t(y) * f.width + x) * 3 + 1];
    };
    if (level(0) < 128 || level(33) >= 128) return false;
    uint32_t w = 0;
    for (int bit = 0; bit < 32; ++bit)
        if (level(bit + 1) >= 128) w |= 1u << bit;
    *tc = w;
    return true;
}

} // namespace

bool read_strip(const Frame &f, uint32_t *tc) {
    return read_strip_at(f, 48, tc);
}

namespace {

struct JumpError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void jump_exit(j_common_ptr c) {
    longjmp(reinterpret_cast<JumpError *>(c->err)->jump, 1);
}

// Decodes a field of f->width pixels into f (one line per field line);
// holds the jump point, with nothing between it and the jump that needs a
// destructor.
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
    if (int(d.output_width) != f->width || d.output_height < 1 || d.output_height > 4096 ||
        d.output_components != 3) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    f->height = int(d.output_height);
    f->rgb.assign(size_t(f->width) * size_t(f->height) * 3, 0);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = &f->rgb[size_t(d.output_scanline) * f->width * 3];
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return true;
}

} // namespace

bool decode_field_lines(const std::vector<uint8_t> &jpeg, Frame *f) {
    return decode_field(jpeg, f);
}

bool strip_of_field(const std::vector<uint8_t> &jpeg, uint32_t *tc, int width, int pad) {
    Frame f;
    f.width = width;
    // Frame line 48 is line 24 of either field, below its padding.
    return decode_field(jpeg, &f) && read_strip_at(f, 24 + pad, tc);
}

std::vector<uint8_t> encode_field(const Frame &f, int field, int quality, int pad) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(f.width);
    c.image_height = JDIMENSION(f.height / 2 + pad);
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
    const std::vector<uint8_t> padding(size_t(f.width) * 3, kPadValue);
    while (c.next_scanline < c.image_height) {
        const int y = (int(c.next_scanline) - pad) * 2 + field;
        JSAMPROW row =
            const_cast<JSAMPROW>(y < 0 ? padding.data() : &f.rgb[size_t(y) * f.width * 3]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> v(out, out + size);
    free(out);
    jpeg_destroy_compress(&c);
    return v;
}

} // namespace boardsim
