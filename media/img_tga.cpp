// Targa still pictures: an 18-byte little-endian header, the id field, an
// optional colour map (skipped), then the pixels, plain or run-length coded
// (a packet byte whose high bit marks a run of (low 7 bits + 1) copies of one
// pixel, otherwise that many literal pixels). Packets may continue across row
// ends; the decoder keeps its packet state from one row to the next and never
// writes past the row it fills.
//
// Grey pictures (types 3 and 11) of 16 bits per pixel hold a grey byte and an
// alpha byte; they read as grey, the alpha ignored as in 32-bit colour.
//
// Descriptor bit 5 set means the first stored row is the picture's top line
// (otherwise its bottom line); bit 4 set means pixels are stored right to left.
#include "media/img_tga.h"

#include <cstring>
#include <vector>

#include "media/img_util.h"
#include "media/pixels.h"
#include "media/video_globals.h"
#include "platform/byteorder.h"

namespace {

constexpr int TGA_HEADER = 18;

class TgaReader {
  public:
    int w = 0, h = 0;
    bool top_first = false; // first stored row is the top line
    bool right_to_left = false;

    bool open(const char *name) {
        f_.reset(fopen_regular(name, "rb"));
        if (!f_) return false;
        unsigned char hd[TGA_HEADER];
        if (std::fread(hd, 1, sizeof hd, f_.get()) != sizeof hd) return false;
        const int idlen = hd[0], cmaptype = hd[1], type = hd[2];
        const int cmaplen = le16(hd + 5), cmapsize = hd[7];
        w = le16(hd + 12);
        h = le16(hd + 14);
        depth_ = hd[16];
        const int desc = hd[17];
        if (type != 2 && type != 3 && type != 10 && type != 11) return false;
        rle_ = type >= 10;
        grey_ = type == 3 || type == 11;
        if (depth_ != 8 && depth_ != 15 && depth_ != 16 && depth_ != 24 && depth_ != 32)
            return false;
        if (!img_size_ok(w, h)) return false;
        if (cmaptype > 1) return false;
        long skip = idlen;
        if (cmaptype == 1 || cmaplen != 0) {
            if (cmapsize != 15 && cmapsize != 16 && cmapsize != 24 && cmapsize != 32) return false;
            skip += long(cmaplen) * ((cmapsize + 7) / 8);
        }
        if (skip > 0 && std::fseek(f_.get(), skip, SEEK_CUR) != 0) return false;
        bpp_ = (depth_ + 7) / 8;
        // The file must be able to hold the picture it announces: all pixels
        // plain, or at least one packet per 128 pixels when run-length coded.
        const long pixels = long(w) * h;
        const long least = rle_ ? (pixels + 127) / 128 * (1 + bpp_) : pixels * bpp_;
        if (img_file_size(f_.get()) < TGA_HEADER + skip + least) return false;
        top_first = (desc & 0x20) != 0;
        right_to_left = (desc & 0x10) != 0;
        raw_.resize(size_t(w) * bpp_);
        return true;
    }

    // Reads the next stored row as packed R, G, B (w pixels, left to right).
    bool read_row(unsigned char *rgb) {
        if (!rle_) {
            if (std::fread(raw_.data(), 1, raw_.size(), f_.get()) != raw_.size()) return false;
        } else {
            for (int x = 0; x < w; ++x) {
                if (left_ == 0) {
                    const int c = std::getc(f_.get());
                    if (c == EOF) return false;
                    left_ = (c & 0x7F) + 1;
                    in_run_ = (c & 0x80) != 0;
                    if (in_run_ && std::fread(pixel_, 1, size_t(bpp_), f_.get()) != size_t(bpp_))
                        return false;
                }
                unsigned char *dst = raw_.data() + size_t(x) * bpp_;
                if (in_run_)
                    std::memcpy(dst, pixel_, size_t(bpp_));
                else if (std::fread(dst, 1, size_t(bpp_), f_.get()) != size_t(bpp_))
                    return false;
                --left_;
            }
        }
        for (int x = 0; x < w; ++x) {
            const unsigned char *p = raw_.data() + size_t(x) * bpp_;
            unsigned char *o = rgb + size_t(right_to_left ? w - 1 - x : x) * 3;
            switch (bpp_) {
            case 1:
                o[0] = o[1] = o[2] = p[0];
                break;
            case 2: {
                if (grey_) { // grey, then alpha (ignored)
                    o[0] = o[1] = o[2] = p[0];
                    break;
                }
                const unsigned v = le16(p);
                o[0] = static_cast<unsigned char>(((v >> 10) & 31) * 255 / 31);
                o[1] = static_cast<unsigned char>(((v >> 5) & 31) * 255 / 31);
                o[2] = static_cast<unsigned char>((v & 31) * 255 / 31);
                break;
            }
            default: // 24 and 32 bits: B, G, R (, alpha ignored)
                o[0] = p[2], o[1] = p[1], o[2] = p[0];
                break;
            }
        }
        return true;
    }

    // Picture line (top-down) of the i-th stored row.
    int line_of_row(int i) const { return top_first ? i : h - 1 - i; }

  private:
    FilePtr f_;
    int depth_ = 0, bpp_ = 0;
    bool rle_ = false;
    bool grey_ = false; // image type 3 or 11
    std::vector<unsigned char> raw_;
    int left_ = 0;        // pixels left in the current run-length packet
    bool in_run_ = false; // the current packet repeats pixel_
    unsigned char pixel_[4] = {};
};

int read_tga(const char *name, unsigned char *buffer, int mode, bool wait, int *w, int *h) {
    TgaReader rd;
    if (!buffer || !rd.open(name)) return 0;
    if (w && (rd.w != *w || rd.h != *h)) return 0;
    const GloSink sink{buffer, rd.w, rd.h, mode};
    std::vector<unsigned char> rgb(size_t(rd.w) * 3);
    for (int i = 0; i < rd.h; ++i) {
        if (wait) img_row_wait();
        if (!rd.read_row(rgb.data())) return 0;
        sink.put_rgb(rd.line_of_row(i), rgb.data());
    }
    return 1;
}

bool write_header(FILE *f, int w, int h) {
    unsigned char hd[TGA_HEADER] = {};
    hd[2] = 2;
    put_le16(hd + 12, uint16_t(w));
    put_le16(hd + 14, uint16_t(h));
    hd[16] = 24;
    return std::fwrite(hd, 1, sizeof hd, f) == sizeof hd;
}

} // namespace

int headertga(const char *name, int *w, int *h) {
    *w = *h = -1;
    TgaReader rd;
    if (!rd.open(name)) return -1;
    *w = rd.w;
    *h = rd.h;
    return 1;
}

int tgatoglo(const char *name, unsigned char *buffer, int mode) {
    return read_tga(name, buffer, mode, true, nullptr, nullptr);
}

int glototga(const char *name, int w, int h, const unsigned char *image) {
    if (!image || w < 1 || h < 1 || w > 65535 || h > 65535) return 0;
    FilePtr f(fopen_regular(name, "wb"));
    if (!f || !write_header(f.get(), w, h)) return 0;
    const size_t row = size_t(w) * 3;
    for (int y = 0; y < h; ++y) {
        img_row_wait();
        if (std::fwrite(image + row * y, 1, row, f.get()) != row) return 0;
    }
    return std::fclose(f.release()) == 0 ? 1 : 0;
}

int tga_to_buffer(const char *name, int w, int h, unsigned char *frame) {
    if (!frame || !img_is_video_frame(w, h)) return 0;
    std::vector<unsigned char> image(size_t(w) * h * 3);
    if (!read_tga(name, image.data(), GLO_DISPLAY3, false, &w, &h)) return 0;
    for (int r = 0; r < h; ++r) { // bottom line first
        const long off = device_line_offset(h - 1 - r);
        if (off < 0) return 0;
        const unsigned char *bgr = image.data() + size_t(r) * w * 3;
        PICtoUYVY(bgr + 2, bgr + 1, bgr, frame + off, w, 3);
    }
    return 1;
}

int buffer_to_tga(const char *name, int w, int h, const unsigned char *frame, int fd) {
    if (!frame || !img_is_video_frame(w, h)) return 0;
    FilePtr f;
    if (name) {
        f.reset(fopen_regular(name, "wb"));
        if (!f || !write_header(f.get(), w, h)) return 0;
    }
    Thumbnail thumb(w, h);
    std::vector<unsigned char> R(static_cast<size_t>(w)), G(static_cast<size_t>(w)),
        B(static_cast<size_t>(w));
    std::vector<unsigned char> bgr(size_t(w) * 3), rgb(size_t(w) * 3);
    for (int y = h - 1; y >= 0; --y) {
        const long off = device_line_offset(y);
        if (off < 0) return 0;
        UYVYtoTGA(frame + off, R.data(), G.data(), B.data(), w);
        for (int x = 0; x < w; ++x) {
            bgr[size_t(x) * 3 + 0] = rgb[size_t(x) * 3 + 2] = B[size_t(x)];
            bgr[size_t(x) * 3 + 1] = rgb[size_t(x) * 3 + 1] = G[size_t(x)];
            bgr[size_t(x) * 3 + 2] = rgb[size_t(x) * 3 + 0] = R[size_t(x)];
        }
        if (f && std::fwrite(bgr.data(), 1, bgr.size(), f.get()) != bgr.size()) return 0;
        thumb.take_rgb_line(y, rgb.data());
    }
    if (f && std::fclose(f.release()) != 0) return 0;
    return thumb.emit(fd);
}
