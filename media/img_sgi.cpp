// SGI still pictures over the platform image library (platform/sgi_image.h).
// SGI rows are numbered from the bottom of the picture, the order of the
// display image, so row y of the file is row y of a display image. Channels
// 0, 1, 2 are red, green and blue; a file of one or two channels is grey.
#include "media/img_sgi.h"

#include <memory>
#include <vector>

#include "media/img_util.h"
#include "media/pixels.h"
#include "media/video_globals.h"
#include "platform/sgi_image.h"

namespace {

void silent(const char *) {}

struct ImageCloser {
    void operator()(IMAGE *image) const { iclose(image); }
};
using ImagePtr = std::unique_ptr<IMAGE, ImageCloser>;

ImagePtr open_read(const char *name) {
    i_seterror(silent);
    ImagePtr image(iopen(name, "r"));
    if (image && !img_size_ok(image->xsize, image->ysize)) image.reset();
    return image;
}

ImagePtr open_write(const char *name, int w, int h) {
    i_seterror(silent);
    return ImagePtr(iopen(name, "w", SGI_RLE, 3, unsigned(w), unsigned(h), 3));
}

// Reads SGI row y as 16-bit R, G, B planes (grey files fill all three).
bool read_planes(IMAGE *image, unsigned y, unsigned short *R, unsigned short *G,
                 unsigned short *B) {
    if (image->zsize < 3) {
        if (getrow(image, R, y, 0) < 0) return false;
        for (int x = 0; x < image->xsize; ++x)
            G[x] = B[x] = R[x];
        return true;
    }
    return getrow(image, R, y, 0) >= 0 && getrow(image, G, y, 1) >= 0 &&
           getrow(image, B, y, 2) >= 0;
}

bool write_planes(IMAGE *image, unsigned y, const unsigned short *R, const unsigned short *G,
                  const unsigned short *B) {
    return putrow(image, R, y, 0) >= 0 && putrow(image, G, y, 1) >= 0 &&
           putrow(image, B, y, 2) >= 0;
}

// Closes a written image; false when the header or tables could not be written.
bool finish(ImagePtr &image) {
    return iclose(image.release()) == 0;
}

struct Planes {
    std::vector<unsigned short> R, G, B;
    explicit Planes(int w)
        : R(static_cast<size_t>(w)), G(static_cast<size_t>(w)), B(static_cast<size_t>(w)) {}
};

} // namespace

int headersgi(const char *name, int *w, int *h) {
    *w = *h = -1;
    ImagePtr image = open_read(name);
    if (!image) return -1;
    *w = image->xsize;
    *h = image->ysize;
    return 1;
}

int sgitoglo(const char *name, unsigned char *buffer, int mode) {
    ImagePtr image = open_read(name);
    if (!buffer || !image) return 0;
    const int w = image->xsize, h = image->ysize;
    const GloSink sink{buffer, w, h, mode};
    Planes p(w);
    std::vector<unsigned char> rgb(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        img_row_wait();
        if (!read_planes(image.get(), unsigned(y), p.R.data(), p.G.data(), p.B.data())) return 0;
        for (int x = 0; x < w; ++x) {
            rgb[size_t(x) * 3 + 0] = static_cast<unsigned char>(p.R[size_t(x)]);
            rgb[size_t(x) * 3 + 1] = static_cast<unsigned char>(p.G[size_t(x)]);
            rgb[size_t(x) * 3 + 2] = static_cast<unsigned char>(p.B[size_t(x)]);
        }
        sink.put_rgb(h - 1 - y, rgb.data());
    }
    return 1;
}

int glotosgi(const char *name, int w, int h, const unsigned char *image) {
    if (!image || w < 1 || h < 1 || w > 65535 || h > 65535) return 0;
    ImagePtr out = open_write(name, w, h);
    if (!out) return 0;
    Planes p(w);
    for (int y = 0; y < h; ++y) {
        img_row_wait();
        const unsigned char *bgr = image + size_t(y) * w * 3;
        for (int x = 0; x < w; ++x) {
            p.B[size_t(x)] = bgr[x * 3 + 0];
            p.G[size_t(x)] = bgr[x * 3 + 1];
            p.R[size_t(x)] = bgr[x * 3 + 2];
        }
        if (!write_planes(out.get(), unsigned(y), p.R.data(), p.G.data(), p.B.data())) return 0;
    }
    return finish(out) ? 1 : 0;
}

int sgi_to_buffer(const char *name, int w, int h, unsigned char *frame) {
    if (!frame || !img_is_video_frame(w, h)) return 0;
    ImagePtr image = open_read(name);
    if (!image || image->xsize != w || image->ysize != h) return 0;
    Planes p(w);
    for (int y = 0; y < h; ++y) {
        const long off = device_line_offset(y);
        if (off < 0 ||
            !read_planes(image.get(), unsigned(h - 1 - y), p.R.data(), p.G.data(), p.B.data()))
            return 0;
        RGBtoUYVY(p.R.data(), p.G.data(), p.B.data(), frame + off, w, 1);
    }
    return 1;
}

int buffer_to_sgi(const char *name, int w, int h, const unsigned char *frame, int fd) {
    if (!frame || !img_is_video_frame(w, h)) return 0;
    ImagePtr out;
    if (name) {
        out = open_write(name, w, h);
        if (!out) return 0;
    }
    Thumbnail thumb(w, h);
    Planes p(w);
    std::vector<unsigned char> rgb(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        const long off = device_line_offset(y);
        if (off < 0) return 0;
        UYVYtoRGB(frame + off, p.R.data(), p.G.data(), p.B.data(), w);
        if (out &&
            !write_planes(out.get(), unsigned(h - 1 - y), p.R.data(), p.G.data(), p.B.data()))
            return 0;
        if (thumb.row_for_line(y)) {
            for (int x = 0; x < w; ++x) {
                rgb[size_t(x) * 3 + 0] = static_cast<unsigned char>(p.R[size_t(x)]);
                rgb[size_t(x) * 3 + 1] = static_cast<unsigned char>(p.G[size_t(x)]);
                rgb[size_t(x) * 3 + 2] = static_cast<unsigned char>(p.B[size_t(x)]);
            }
            thumb.take_rgb_line(y, rgb.data());
        }
    }
    if (out && !finish(out)) return 0;
    return thumb.emit(fd);
}
