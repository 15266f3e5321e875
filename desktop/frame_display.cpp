// Frame fetch of clip windows: the frame a window shows is decoded from its
// clip's quarter-size log when that log part is ready, otherwise read from
// the reel at an eighth of full size (drawn magnified twice). Every number
// taken from a log record or part file is checked before it is used, and a
// failed fetch keeps the picture the window already shows.
#include "desktop/frame_display.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "desktop/clip_model.h"
#include "desktop/frame_map.h"
#include "desktop/glw.h"
#include "media/svjr.h"
#include "platform/cl_compress.h"
#include "platform/fileio.h"

namespace {

fm_fileformat *reader_of(FisicData *c) {
    return reinterpret_cast<fm_fileformat *>(c->reader);
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
    Fd fd(open(p.file, O_RDONLY));
    if (fd.fd < 0) return 0;
    struct stat st {};
    if (fstat(fd.fd, &st) != 0 || off_t(offset) + size > st.st_size) return 0;
    std::vector<unsigned char> jpeg(static_cast<size_t>(size));
    if (!read_at(fd.fd, jpeg.data(), size, offset)) return 0;
    std::vector<unsigned char> pixels(static_cast<size_t>(bytes));
    if (clDecompressImage(CL_JPEG, c->width, c->height, CL_RGBX, size, jpeg.data(),
                          pixels.data()) != 0)
        return 0;
    std::memcpy(image, pixels.data(), size_t(bytes));
    return 1;
}

void ShowFrame(WindowData *win) {
    if (!win || !win->seg_first || win->seg_first == fixed_picture_marker || !win->image) return;
    const int f = FrameCtrl(win, win->current, &win->seg_current);
    FisicData *c = win->seg_current ? win->seg_current->fisic : nullptr;
    if (!c) return;
    const long capacity = long(win->width) * win->height * 4;
    const bool log_ready =
        c->part && c->parts >= 1 && c->parts <= 4 && f >= 0 && c->part[f % c->parts].ready;
    if (log_ready) {
        if (!ReadLogPicture(c, f, win->image, capacity)) return;
        win->source = 1;
    } else {
        fm_fileformat *r = reader_of(c);
        // The eighth-size picture must be half the window's picture each way.
        if (!r || r->width != win->width / 2 || r->height != win->height / 2 ||
            long(r->size) != long(r->width) * r->height * 4 || r->size > capacity)
            return;
        std::vector<unsigned char> pixels(static_cast<size_t>(r->size));
        if (svjr_read(r, pixels.data(), f) != 0) return;
        std::memcpy(win->image, pixels.data(), pixels.size());
        win->source = 2;
    }
    DrawImage(win, 0);
}
