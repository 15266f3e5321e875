// JPEG still pictures through libjpeg's stdio source and destination.
//
// The library calls run inside the quiet decoder and encoder of
// platform/jpeg_quiet.h, which own the setjmp; library messages are never
// printed. Pictures are decoded as R, G, B lines and placed by the common line
// sinks. A picture the library had to decode around damaged or missing data
// (it warns, and would fill the rest with grey) is a failure, as is one whose
// header announces a size beyond the still-picture limits: that is refused
// before the library sizes anything for it.
#include "media/img_jpeg.h"

#include <cstdio>
#include <vector>

#include "platform/fileio.h"
#include "platform/jpeg_quiet.h"

#include "media/img_util.h"
#include "media/pixels.h"
#include "media/video_globals.h"

namespace {

// Where decoded lines go: a ...toglo buffer in a reader mode, or a device
// frame (out null: the header only, its size kept in w, h). want_w / want_h,
// when not 0, is the only size accepted.
class StillDecoder final : public JpegQuietDecoder {
  public:
    int w = 0, h = 0;

    StillDecoder(FILE *f, bool device, unsigned char *out, int mode, int want_w, int want_h)
        : f_(f), device_(device), out_(out), mode_(mode), want_w_(want_w), want_h_(want_h) {}

    // Reads the header (out null) or the whole picture; false on any error,
    // a refused size, or damaged data.
    bool read() { return run(out_ == nullptr) && warnings() == 0; }

  private:
    void attach(j_decompress_ptr cinfo) override { jpeg_stdio_src(cinfo, f_); }

    bool accept(int pw, int ph, int) override {
        w = pw;
        h = ph;
        if (!img_size_ok(w, h) || (want_w_ && (w != want_w_ || h != want_h_))) return false;
        if (out_) row_.resize(size_t(w) * 3);
        return true;
    }

    unsigned char *line(int) override { return row_.data(); }

    void done(int y) override {
        if (!device_) {
            GloSink{out_, w, h, mode_}.put_rgb(y, row_.data());
        } else {
            const long off = device_line_offset(y);
            if (off >= 0) PICtoUYVY(&row_[0], &row_[1], &row_[2], out_ + off, w, 3);
        }
    }

    FILE *f_;
    bool device_;
    unsigned char *out_;
    int mode_, want_w_, want_h_;
    std::vector<unsigned char> row_;
};

class StillEncoder final : public JpegQuietEncoder {
  public:
    explicit StillEncoder(FILE *f) : f_(f) {}

  private:
    void attach(j_compress_ptr cinfo) override { jpeg_stdio_dest(cinfo, f_); }
    FILE *f_;
};

} // namespace

int headerjpg(const char *name, int *w, int *h) {
    *w = *h = -1;
    FilePtr f(fopen_regular(name, "rb"));
    if (!f) return -1;
    StillDecoder d(f.get(), false, nullptr, 0, 0, 0);
    if (!d.read()) return -1;
    *w = d.w;
    *h = d.h;
    return 1;
}

int jpgtoglo(const char *name, unsigned char *buffer, int mode) {
    if (!buffer) return 0;
    FilePtr f(fopen_regular(name, "rb"));
    if (!f) return 0;
    return StillDecoder(f.get(), false, buffer, mode, 0, 0).read() ? 1 : 0;
}

int glotojpg(const char *name, int w, int h, const unsigned char *image, int quality) {
    if (!image || w < 1 || h < 1 || w > 65500 || h > 65500) return 0;
    FilePtr f(fopen_regular(name, "wb"));
    if (!f || !StillEncoder(f.get()).run(w, h, 3, JCS_EXT_BGR, quality, image)) return 0;
    return std::fclose(f.release()) == 0 ? 1 : 0;
}

int jpg_to_buffer(const char *name, int w, int h, unsigned char *frame) {
    if (!frame || w != VIDEO_SIZEX || h != VIDEO_SIZEY || w <= 0 || h <= 0) return 0;
    FilePtr f(fopen_regular(name, "rb"));
    if (!f) return 0;
    return StillDecoder(f.get(), true, frame, 0, w, h).read() ? 1 : 0;
}
