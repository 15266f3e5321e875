// Helpers shared by the still-image formats (see img_util.h).
#include "media/img_util.h"

#include <atomic>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "media/video_globals.h"
#include "platform/cl_compress.h"

bool img_size_ok(long w, long h) {
    return w >= 1 && h >= 1 && w <= IMG_MAX_SIDE && h <= IMG_MAX_SIDE && w * h <= IMG_MAX_PIXELS;
}

long img_file_size(FILE *f) {
    struct stat st;
    if (!f || fstat(fileno(f), &st) != 0) return -1;
    return long(st.st_size);
}

namespace {
// Set at start-up and read by job threads, hence atomic.
std::atomic<ImgRowGate> row_gate{nullptr};
} // namespace

void img_set_row_gate(ImgRowGate gate) {
    row_gate.store(gate);
}

void img_row_wait() {
    if (const ImgRowGate gate = row_gate.load()) gate();
}

void GloSink::put_rgb(int y, const unsigned char *rgb) const {
    if (y < 0 || y >= h) return;
    if (mode == GLO_FIELDS) {
        const int even = h & ~1;
        if (y >= even) return;
        unsigned char *row = buffer + (long(y / 2) + long(even / 2) * (y % 2)) * w * 3;
        std::memcpy(row, rgb, size_t(w) * 3);
        return;
    }
    const int bpp = mode == GLO_DISPLAY3 ? 3 : 4;
    unsigned char *row = buffer + long(h - 1 - y) * w * bpp;
    for (int x = 0; x < w; ++x, rgb += 3) {
        unsigned char *o = row + long(x) * bpp;
        if (bpp == 4) *o++ = 0;
        o[0] = rgb[2];
        o[1] = rgb[1];
        o[2] = rgb[0];
    }
}

namespace {
// Rows of one field in the board's memory: NTSC fields are stored with
// their padding lines.
long rows_per_half() {
    return VideoIsNtsc() ? NTSC_STORED / 2 : VIDEO_SIZEY / 2;
}
} // namespace

bool img_is_video_frame(int w, int h) {
    return w == VIDEO_SIZEX && h == VIDEO_SIZEY && w > 0 && h > 0;
}

long device_row_bytes() {
    return 2L * VIDEO_SIZEX;
}

long device_frame_bytes() {
    return device_row_bytes() * rows_per_half() * 2;
}

long device_line_offset(int y) {
    if (y < 0 || y >= VIDEO_SIZEY) return -1;
    const long half = rows_per_half();
    long row;
    if (VideoIsNtsc())
        row = NTSC_PAD_LINES + y / 2 + (y % 2 ? 0 : half);
    else
        row = y / 2 + (y % 2 ? half : 0);
    if (row >= 2 * half) return -1;
    return row * device_row_bytes();
}

Thumbnail::Thumbnail(int w, int h)
    : tw_(w / 4), th_(QuarterHeight(h)),
      pixels_(size_t(tw_ > 0 ? tw_ : 0) * (th_ > 0 ? th_ : 0) * 3) {}

unsigned char *Thumbnail::row_for_line(int y) {
    if (y < 0 || y % 4 || y / 4 >= th_ || tw_ <= 0) return nullptr;
    return pixels_.data() + size_t(th_ - 1 - y / 4) * tw_ * 3;
}

void Thumbnail::take_rgb_line(int y, const unsigned char *rgb) {
    unsigned char *row = row_for_line(y);
    if (!row) return;
    for (int x = 0; x < tw_; ++x, row += 3) {
        const unsigned char *p = rgb + size_t(x) * 12;
        row[0] = p[2];
        row[1] = p[1];
        row[2] = p[0];
    }
}

int Thumbnail::emit(int fd) const {
    if (tw_ <= 0 || th_ <= 0) return 0;
    int size = int(pixels_.size()) * 2 + 2048;
    std::vector<unsigned char> out(static_cast<size_t>(size));
    if (clCompressImage(CL_JPEG, tw_, th_, CL_RGB, 10.0f, pixels_.data(), &size, out.data()) != 0)
        return 0;
    return write_all(fd, out.data(), size_t(size)) ? size : 0;
}
