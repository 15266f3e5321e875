// Frame fetch of clip windows: the frame a window shows is decoded from its
// clip's quarter-size log when that log part is ready, otherwise read from
// the reel at an eighth of full size (drawn magnified twice). Showing a new
// frame and loading a window's first picture go through the one fetch below.
//
// Every number taken from a log record or part file is checked before it is
// used. Scrubbing allocates nothing per frame: the compressed bytes go
// through one buffer that grows to the largest picture read, and a window
// decodes into its second picture buffer, swapped in when the fetch
// succeeds, so a failed fetch keeps the picture the window already shows.
#include "desktop/frame_display.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "desktop/clip_model.h"
#include "editing/frame_map.h"
#include "desktop/glw.h"
#include "media/svjr.h"
#include "platform/cl_compress.h"
#include "platform/fileio.h"

namespace {

// Compressed bytes of the picture being decoded (main thread only).
std::vector<unsigned char> jpeg_bytes;

enum FetchSource { FETCH_FAILED = 0, FETCH_LOG = SOURCE_LOG, FETCH_REEL = SOURCE_REEL };

// Frame f of clip c into dest (capacity bytes; a picture of width x height
// from the log, or the eighth-size reel picture packed at its start). Which
// source served is returned; dest may be partly written on failure.
FetchSource fetch_frame(FisicData *c, int f, unsigned char *dest, long capacity, int width,
                        int height) {
    const bool log_ready =
        c->part && c->parts >= 1 && c->parts <= 4 && f >= 0 && c->part[f % c->parts].ready;
    if (log_ready) return ReadLogPicture(c, f, dest, capacity) ? FETCH_LOG : FETCH_FAILED;
    fm_fileformat *r = c->reader;
    // The eighth-size picture must be half the window's picture each way.
    if (!r || r->width != width / 2 || r->height != height / 2 ||
        long(r->size) != long(r->width) * r->height * 4 || r->size > capacity)
        return FETCH_FAILED;
    return svjr_read(r, dest, f) == 0 ? FETCH_REEL : FETCH_FAILED;
}

} // namespace

int ReadLogPicture(FisicData *c, int f, unsigned char *image, long capacity) {
    if (!c || !image || !c->part || c->parts < 1 || c->parts > 4) return 0;
    if (f < 0 || f >= c->frames) return 0;
    if (c->width <= 0 || c->height <= 0 || c->width > 4096 || c->height > 4096) return 0;
    const long bytes = long(c->width) * c->height * 4;
    if (bytes > capacity) return 0;
    LogPart &p = c->part[f % c->parts];
    const int entry = f / c->parts;
    // A part's tables hold frames / parts + 1 entries (checked when loaded).
    if (!p.ready || !p.sizes || !p.offsets || !p.file || entry > c->frames / c->parts) return 0;
    const int size = p.sizes[entry], offset = p.offsets[entry];
    // A compressed quarter-size picture is far smaller than its pixels.
    if (size <= 0 || offset < 0 || size > bytes + 65536) return 0;
    Fd fd(open_regular(p.file, O_RDONLY));
    if (fd.fd < 0) return 0;
    struct stat st {};
    if (fstat(fd.fd, &st) != 0 || off_t(offset) + size > st.st_size) return 0;
    if (jpeg_bytes.size() < size_t(size)) jpeg_bytes.resize(size_t(size));
    if (!read_at(fd.fd, jpeg_bytes.data(), size_t(size), offset)) return 0;
    return clDecompressImage(CL_JPEG, c->width, c->height, CL_RGBX, size, jpeg_bytes.data(),
                             image) == 0;
}

void ShowFrame(WindowData *win) {
    if (!win || !win->seg_first || win->seg_first == fixed_picture_marker || !win->image) return;
    const int f = FrameCtrl(win, win->current, &win->seg_current);
    FisicData *c = win->seg_current ? win->seg_current->fisic : nullptr;
    if (!c) return;
    const size_t capacity = size_t(win->width) * win->height * 4;
    if (!win->back) win->back = static_cast<unsigned char *>(calloc(capacity, 1));
    if (!win->back) return;
    const FetchSource source =
        fetch_frame(c, f, win->back, long(capacity), win->width, win->height);
    if (source == FETCH_FAILED) return;
    std::swap(win->image, win->back);
    win->source = source;
    DrawImage(win, 0);
}

void LoadFirstFrame(WindowData *win) {
    if (!win || !win->seg_first) return;
    const size_t bytes = size_t(win->width) * win->height * 4;
    if (!win->image) win->image = static_cast<unsigned char *>(calloc(bytes, 1));
    if (!win->image) return;
    win->source = SOURCE_LOG;
    const int f = FrameCtrl(win, win->current, &win->seg_current);
    FisicData *c = win->seg_current ? win->seg_current->fisic : nullptr;
    const FetchSource source =
        c ? fetch_frame(c, f, win->image, long(bytes), win->width, win->height) : FETCH_FAILED;
    if (source == FETCH_FAILED) {
        memset(win->image, 0, bytes);
        return;
    }
    win->source = source;
}
