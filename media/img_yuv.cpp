// Raw YUV still pictures: the video frame's UYVY lines, top line first. The
// whole file is read at once, after its size has been checked against the
// frame; a writer converts the whole picture and writes it in one go.
#include "media/img_yuv.h"

#include <cstring>
#include <vector>

#include "media/img_util.h"
#include "media/pixels.h"
#include "media/video_globals.h"

namespace {

long yuv_file_bytes() {
    return long(VIDEO_SIZEX) * 2 * VIDEO_SIZEY;
}

// Reads the whole file when it has exactly the video frame's size.
bool read_frame_file(const char *name, std::vector<unsigned char> &data) {
    if (VIDEO_SIZEX <= 0 || VIDEO_SIZEY <= 0) return false;
    FilePtr f(fopen_regular(name, "rb"));
    if (!f || img_file_size(f.get()) != yuv_file_bytes()) return false;
    data.resize(size_t(yuv_file_bytes()));
    return std::fread(data.data(), 1, data.size(), f.get()) == data.size();
}

// The output file, replaced only when it is a regular file (a link planted
// in its place is refused); written by descriptor in one go.
class Output {
  public:
    explicit Output(const char *name) : f_(fopen_regular(name, "wb")) {}
    int fd() const { return f_ ? fileno(f_.get()) : -1; }
    bool close() { return f_ && std::fclose(f_.release()) == 0; }

  private:
    FilePtr f_;
};

} // namespace

int headeryuv(const char *name, int *w, int *h) {
    *w = *h = -1;
    FilePtr f(fopen_regular(name, "rb"));
    if (!f) return -1;
    if (VIDEO_SIZEX > 0 && VIDEO_SIZEY > 0 && img_file_size(f.get()) == yuv_file_bytes()) {
        *w = VIDEO_SIZEX;
        *h = VIDEO_SIZEY;
        return 1;
    }
    *w = *h = 0;
    return 0;
}

int yuvtoglo(const char *name, unsigned char *buffer, int mode) {
    std::vector<unsigned char> data;
    if (!buffer || !read_frame_file(name, data)) return 0;
    const int w = VIDEO_SIZEX, h = VIDEO_SIZEY;
    const GloSink sink{buffer, w, h, mode};
    std::vector<unsigned short> R(static_cast<size_t>(w)), G(static_cast<size_t>(w)),
        B(static_cast<size_t>(w));
    std::vector<unsigned char> rgb(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        img_row_wait();
        UYVYtoRGB(data.data() + size_t(y) * w * 2, R.data(), G.data(), B.data(), w);
        for (int x = 0; x < w; ++x) {
            rgb[size_t(x) * 3 + 0] = static_cast<unsigned char>(R[size_t(x)]);
            rgb[size_t(x) * 3 + 1] = static_cast<unsigned char>(G[size_t(x)]);
            rgb[size_t(x) * 3 + 2] = static_cast<unsigned char>(B[size_t(x)]);
        }
        sink.put_rgb(y, rgb.data());
    }
    return 1;
}

int glotoyuv(const char *name, int w, int h, const unsigned char *image) {
    if (!image || !img_size_ok(w, h)) return 0;
    std::vector<unsigned char> block(size_t(w) * 2 * h);
    std::vector<unsigned short> R(static_cast<size_t>(w)), G(static_cast<size_t>(w)),
        B(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        img_row_wait();
        const unsigned char *bgr = image + size_t(h - 1 - y) * w * 3;
        for (int x = 0; x < w; ++x) {
            B[size_t(x)] = bgr[x * 3 + 0];
            G[size_t(x)] = bgr[x * 3 + 1];
            R[size_t(x)] = bgr[x * 3 + 2];
        }
        RGBtoUYVY(R.data(), G.data(), B.data(), block.data() + size_t(y) * w * 2, w, 1);
    }
    Output out(name);
    if (out.fd() < 0) return 0;
    const bool ok = write_all(out.fd(), block.data(), block.size());
    return out.close() && ok ? 1 : 0;
}

int yuv_to_buffer(const char *name, int w, int h, unsigned char *frame) {
    std::vector<unsigned char> data;
    if (!frame || !img_is_video_frame(w, h) || !read_frame_file(name, data)) return 0;
    const size_t line = size_t(w) * 2;
    for (int y = 0; y < h; ++y) {
        const long off = device_line_offset(y);
        if (off < 0) return 0;
        std::memcpy(frame + off, data.data() + line * y, line);
    }
    return 1;
}

int buffer_to_yuv(const char *name, int w, int h, const unsigned char *frame, int fd) {
    if (!frame || !img_is_video_frame(w, h)) return 0;
    const size_t line = size_t(w) * 2;
    std::vector<unsigned char> block(line * h);
    Thumbnail thumb(w, h);
    // UYVYtoBGR gives two pixels per converted pair: room for a width not a
    // multiple of 8, cut to the thumbnail's width when copied.
    std::vector<unsigned char> bgr(size_t(w) * 3 + 6);
    for (int y = 0; y < h; ++y) {
        const long off = device_line_offset(y);
        if (off < 0) return 0;
        std::memcpy(block.data() + line * y, frame + off, line);
        if (unsigned char *row = thumb.row_for_line(y)) {
            UYVYtoBGR(bgr.data(), frame + off, w, 4);
            std::memcpy(row, bgr.data(), size_t(w / 4) * 3);
        }
    }
    if (name) {
        Output out(name);
        if (out.fd() < 0) return 0;
        const bool ok = write_all(out.fd(), block.data(), block.size());
        if (!out.close() || !ok) return 0;
    }
    return thumb.emit(fd);
}
