// PIC still pictures: a 104-byte big-endian header (magic, version, comment,
// "PICT", width, height, pixel ratio, fields), a chain of channel packets
// (chained, bits per channel, coding, channel mask), then the rows top-down,
// each row carried by every packet in turn for its channels. Codings: 0 plain,
// 1 pure runs (count, values), 2 mixed (literal runs, long runs with a 16-bit
// count, short runs).
//
// The reader refuses a header that lies (bad magic, sizes out of range, a
// packet chain that does not end, unknown codings) and a run that would pass
// the end of its row; such a run ends the reading with failure.
#include "media/img_pic.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "media/img_util.h"
#include "media/pixels.h"
#include "media/video_globals.h"
#include "platform/byteorder.h"

namespace {

constexpr uint32_t PIC_MAGIC = 0x5380F634;
constexpr uint32_t PIC_MAGIC_LAST = 0x5380F646;
constexpr int PIC_HEADER = 104;
constexpr int PIC_MAX_PACKETS = 8;

struct PicPacket {
    int type;
    int channels[4]; // component index (0 R, 1 G, 2 B, 3 A) of each channel carried
    int count;
};

class PicReader {
  public:
    int w = 0, h = 0;

    // Opens the file and checks its header; false when it is not a usable PIC.
    bool open(const char *name) {
        f_.reset(fopen_regular(pic_file_name(name).c_str(), "rb"));
        if (!f_) return false;
        unsigned char head[PIC_HEADER];
        if (std::fread(head, 1, sizeof head, f_.get()) != sizeof head) return false;
        const uint32_t magic = be32(head);
        if (magic < PIC_MAGIC || magic > PIC_MAGIC_LAST || std::memcmp(head + 88, "PICT", 4))
            return false;
        w = be16(head + 92);
        h = be16(head + 94);
        if (!img_size_ok(w, h)) return false;
        for (;;) {
            unsigned char p[4];
            if (packets_.size() >= PIC_MAX_PACKETS) return false;
            if (std::fread(p, 1, 4, f_.get()) != 4) return false;
            if (p[1] != 8 || p[2] > 2 || (p[3] & 0xF0) == 0) return false;
            PicPacket pk{p[2], {}, 0};
            static const unsigned masks[4] = {0x80, 0x40, 0x20, 0x10};
            for (int c = 0; c < 4; ++c)
                if (p[3] & masks[c]) pk.channels[pk.count++] = c;
            packets_.push_back(pk);
            if (p[0] == 0) break;
        }
        // The file must be able to hold the rows it announces: plain packets
        // carry every value, coded packets at least one byte per row.
        long least = 0;
        for (const PicPacket &pk : packets_)
            least += pk.type == 0 ? long(w) * pk.count * h : h;
        if (img_file_size(f_.get()) < PIC_HEADER + 4 * long(packets_.size()) + least) return false;
        row_.assign(size_t(w) * 4, 0);
        return true;
    }

    // Reads the next row; returns its pixels as R, G, B, A or null on failure.
    const unsigned char *read_row() {
        for (const PicPacket &pk : packets_)
            if (!read_packet(pk)) return nullptr;
        return row_.data();
    }

  private:
    FilePtr f_;
    std::vector<PicPacket> packets_;
    std::vector<unsigned char> row_;

    bool read_values(unsigned char *v, int n) {
        return std::fread(v, 1, size_t(n), f_.get()) == size_t(n);
    }

    void put(int x, const PicPacket &pk, const unsigned char *v) {
        unsigned char *px = row_.data() + size_t(x) * 4;
        for (int c = 0; c < pk.count; ++c)
            px[pk.channels[c]] = v[c];
    }

    // Fills pixels x .. x+n-1 with one value set; false past the row's end.
    bool run(int &x, int n, const PicPacket &pk) {
        unsigned char v[4];
        if (n <= 0 || n > w - x || !read_values(v, pk.count)) return false;
        for (int i = 0; i < n; ++i)
            put(x++, pk, v);
        return true;
    }

    bool literals(int &x, int n, const PicPacket &pk) {
        unsigned char v[4];
        if (n > w - x) return false;
        for (int i = 0; i < n; ++i) {
            if (!read_values(v, pk.count)) return false;
            put(x++, pk, v);
        }
        return true;
    }

    bool read_packet(const PicPacket &pk) {
        int x = 0;
        if (pk.type == 0) return literals(x, w, pk);
        while (x < w) {
            const int c = std::getc(f_.get());
            if (c == EOF) return false;
            if (pk.type == 1) {
                if (!run(x, c, pk)) return false;
            } else if (c < 128) {
                if (!literals(x, c + 1, pk)) return false;
            } else if (c == 128) {
                unsigned char n[2];
                if (!read_values(n, 2) || !run(x, be16(n), pk)) return false;
            } else {
                if (!run(x, c - 127, pk)) return false;
            }
        }
        return true;
    }
};

void put_float(unsigned char *p, float v) {
    put_be32(p, std::bit_cast<uint32_t>(v));
}

bool write_header(FILE *f, int w, int h) {
    unsigned char head[PIC_HEADER + 4] = {};
    put_be32(head, PIC_MAGIC);
    put_float(head + 4, 2.65f);
    std::memcpy(head + 8, "No comment...", 13);
    std::memcpy(head + 88, "PICT", 4);
    put_be16(head + 92, uint16_t(w));
    put_be16(head + 94, uint16_t(h));
    put_float(head + 96, 1.0f);
    // fields and padding stay 0; one uncompressed 8-bit R, G, B packet
    head[PIC_HEADER + 0] = 0;
    head[PIC_HEADER + 1] = 8;
    head[PIC_HEADER + 2] = 0;
    head[PIC_HEADER + 3] = 0xE0;
    return std::fwrite(head, 1, sizeof head, f) == sizeof head;
}

} // namespace

std::string pic_file_name(const char *name) {
    std::string s(name ? name : "");
    if (s.size() < 5 || s.compare(s.size() - 4, 4, ".pic") != 0) s += ".pic";
    return s;
}

int headerpic(const char *name, int *w, int *h) {
    *w = *h = -1;
    FilePtr f(fopen_regular(pic_file_name(name).c_str(), "rb"));
    if (!f) return -1;
    unsigned char head[96];
    if (std::fread(head, 1, sizeof head, f.get()) != sizeof head) return -1;
    const uint32_t magic = be32(head);
    if (magic < PIC_MAGIC || magic > PIC_MAGIC_LAST || std::memcmp(head + 88, "PICT", 4)) return -1;
    if (!img_size_ok(be16(head + 92), be16(head + 94))) return -1;
    *w = be16(head + 92);
    *h = be16(head + 94);
    return 1;
}

int pictoglo(const char *name, unsigned char *buffer, int mode) {
    PicReader rd;
    if (!buffer || !rd.open(name)) return 0;
    const GloSink sink{buffer, rd.w, rd.h, mode};
    std::vector<unsigned char> rgb(size_t(rd.w) * 3);
    for (int y = 0; y < rd.h; ++y) {
        img_row_wait();
        const unsigned char *row = rd.read_row();
        if (!row) return 0;
        for (int x = 0; x < rd.w; ++x)
            std::memcpy(&rgb[size_t(x) * 3], row + size_t(x) * 4, 3);
        sink.put_rgb(y, rgb.data());
    }
    return 1;
}

int glotopic(const char *name, int w, int h, const unsigned char *image) {
    if (!image || w < 1 || h < 1 || w > 65535 || h > 65535) return 0;
    FilePtr f(fopen_regular(pic_file_name(name).c_str(), "wb"));
    if (!f || !write_header(f.get(), w, h)) return 0;
    std::vector<unsigned char> rgb(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        img_row_wait();
        const unsigned char *src = image + size_t(h - 1 - y) * w * 3;
        for (int x = 0; x < w; ++x) {
            rgb[size_t(x) * 3 + 0] = src[x * 3 + 2];
            rgb[size_t(x) * 3 + 1] = src[x * 3 + 1];
            rgb[size_t(x) * 3 + 2] = src[x * 3 + 0];
        }
        if (std::fwrite(rgb.data(), 1, rgb.size(), f.get()) != rgb.size()) return 0;
    }
    return std::fclose(f.release()) == 0 ? 1 : 0;
}

int pic_to_buffer(const char *name, int w, int h, unsigned char *frame) {
    PicReader rd;
    if (!frame || !img_is_video_frame(w, h) || !rd.open(name) || rd.w != w || rd.h != h) return 0;
    std::vector<unsigned char> rgb(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        const long off = device_line_offset(y);
        const unsigned char *row = rd.read_row();
        if (off < 0 || !row) return 0;
        for (int x = 0; x < w; ++x)
            std::memcpy(&rgb[size_t(x) * 3], row + size_t(x) * 4, 3);
        PICtoUYVY(&rgb[0], &rgb[1], &rgb[2], frame + off, w, 3);
    }
    return 1;
}

int buffer_to_pic(const char *name, int w, int h, const unsigned char *frame, int fd) {
    if (!frame || !img_is_video_frame(w, h)) return 0;
    FilePtr f;
    if (name) {
        f.reset(fopen_regular(pic_file_name(name).c_str(), "wb"));
        if (!f || !write_header(f.get(), w, h)) return 0;
    }
    Thumbnail thumb(w, h);
    std::vector<unsigned char> rgb(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        const long off = device_line_offset(y);
        if (off < 0) return 0;
        UYVYtoPIC(frame + off, rgb.data(), w);
        if (f && std::fwrite(rgb.data(), 1, rgb.size(), f.get()) != rgb.size()) return 0;
        thumb.take_rgb_line(y, rgb.data());
    }
    if (f && std::fclose(f.release()) != 0) return 0;
    return thumb.emit(fd);
}
