// Helpers shared by the still-image formats: files held by RAII, size limits
// for pictures read from files, placement of picture lines in the display
// image, the field-sequential frame and the device frame, and the compressed
// quarter-size thumbnail of the device-frame writers.
#pragma once

#include "platform/fileio.h"

#include <cstdio>
#include <memory>
#include <vector>

// Largest width or height accepted from an image file header. Larger values
// are taken as a damaged or hostile file rather than sized into memory.
constexpr int IMG_MAX_SIDE = 16384;

// Reader modes of the ...toglo readers.
constexpr int GLO_DISPLAY3 = 0; // 3-byte display image (B, G, R, bottom-up)
constexpr int GLO_FIELDS = 1;   // field-sequential R, G, B frame
// any other value: 4-byte display image (0, B, G, R, bottom-up)

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Largest number of pixels accepted from an image file header.
constexpr long IMG_MAX_PIXELS = 8192L * 8192L;

// True when w x h is a picture size a reader accepts (1..IMG_MAX_SIDE each,
// at most IMG_MAX_PIXELS in all).
bool img_size_ok(long w, long h);

// Size in bytes of an open file, -1 when it cannot be found.
long img_file_size(FILE *f);

// The pause gate the row-by-row readers and writers pass before each row.
// Media knows no jobs: the gate is a function the job layer installs at
// start-up (its wait at semaphore 0, from which a stopped job unwinds). Null,
// the default, means no wait, so tools and tests need no semaphore set.
using ImgRowGate = void (*)();
void img_set_row_gate(ImgRowGate gate);

// Passes the installed pause gate; returns at once when none is installed.
void img_row_wait();

// Places picture lines (top-down index y) given as packed R, G, B into the
// buffer of a ...toglo reader in the given mode. A field-sequential frame of
// odd height drops its last line, which has no row of its own.
struct GloSink {
    unsigned char *buffer;
    int w, h, mode;
    void put_rgb(int y, const unsigned char *rgb) const;
};

// True when w x h is the video frame size of the current video mode, the only
// size the device-frame readers and writers take.
bool img_is_video_frame(int w, int h);

// Device frame geometry for the current video mode: bytes per row and the
// byte offset of picture line y (-1 when y is outside the frame's picture).
long device_row_bytes();
long device_line_offset(int y);
// Size in bytes of a device frame of the current video mode.
long device_frame_bytes();

// The quarter-size thumbnail of a device-frame writer: W/4 pixels wide, H/4
// rows (120 for H = 486), packed B, G, R rows stored bottom-up, made from every
// fourth picture line.
class Thumbnail {
  public:
    Thumbnail(int w, int h);
    // Takes picture line y (packed R, G, B, w pixels) when it is a thumbnail line.
    void take_rgb_line(int y, const unsigned char *rgb);
    // Row of the thumbnail for picture line y, or null when y is not sampled.
    unsigned char *row_for_line(int y);
    // Compresses the thumbnail and writes it to fd. Returns the byte count
    // written, 0 when compression or the write failed.
    int emit(int fd) const;

  private:
    int tw_, th_;
    std::vector<unsigned char> pixels_;
};
