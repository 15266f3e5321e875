// Drawing layer over Xlib: the IRIS GL calls of the program (GLXwinset,
// RGBmode, RGBcolor, clear, rectzoom, cmov2i, lrectwrite) drawn through an
// XImage, using MIT-SHM when the server offers it.
//
// IRIS GL's origin is the bottom-left corner of the window and its pixel rows
// run bottom-up; X's origin is top-left. lrectwrite flips the rows while it
// converts the A,B,G,R bytes to the visual's pixel layout and applies the
// integer zoom, so each draw is converted exactly once.
#include "platform/draw.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

// One converted image kept per window, reused while the size fits.
struct WinImage {
    XImage *img = nullptr;
    XShmSegmentInfo shm{};
    bool use_shm = false;
    int w = 0, h = 0;
    const Visual *visual = nullptr; // the window's visual, read when the image was made
    GC gc = nullptr;                // made with the image, kept for every draw
    int win_h = 0;                  // the window's height when the image was made
};

struct DrawState {
    Display *dpy = nullptr;
    Window win = 0;
    unsigned char r = 0, g = 0, b = 0;
    int zx = 1, zy = 1;
    int cx = 0, cy = 0;
    std::map<Window, WinImage> images;
    int shm_state = -1; // -1 unknown, 0 no, 1 yes
    bool shm_failed = false;
};

DrawState st;

int shm_error_handler(Display *, XErrorEvent *) {
    st.shm_failed = true;
    return 0;
}

int mask_shift(unsigned long mask) {
    int s = 0;
    if (!mask) return 0;
    while (!(mask & 1)) {
        mask >>= 1;
        s++;
    }
    return s;
}
int mask_bits(unsigned long mask) {
    int n = 0;
    for (; mask; mask >>= 1)
        n += int(mask & 1);
    return n;
}

// Pixel value of an 8-bit-per-channel colour in a TrueColor-like visual.
unsigned long visual_pixel(const Visual *v, unsigned r, unsigned g, unsigned b) {
    auto place = [](unsigned c, unsigned long mask) -> unsigned long {
        int bits = mask_bits(mask), shift = mask_shift(mask);
        unsigned long val = bits >= 8 ? (unsigned long)c << (bits - 8) : c >> (8 - bits);
        return (val << shift) & mask;
    };
    return place(r, v->red_mask) | place(g, v->green_mask) | place(b, v->blue_mask);
}

void free_image(WinImage &wi) {
    if (wi.gc) XFreeGC(st.dpy, wi.gc);
    wi.gc = nullptr;
    if (!wi.img) return;
    if (wi.use_shm) {
        XShmDetach(st.dpy, &wi.shm);
        XDestroyImage(wi.img);
        shmdt(wi.shm.shmaddr);
    } else {
        XDestroyImage(wi.img);
    }
    wi = WinImage{};
}

bool shm_available() {
    if (st.shm_state < 0) {
        const char *no = getenv("ORVA_NO_SHM");
        st.shm_state = (!(no && *no == '1') && XShmQueryExtension(st.dpy)) ? 1 : 0;
    }
    return st.shm_state == 1;
}

// Makes sure the window's image is at least w x h; returns its record (with
// img null on failure). The window's attributes are read only when a new
// image is made, not on every draw.
WinImage &window_image(Window win, int w, int h) {
    XWindowAttributes wa;
    WinImage &wi = st.images[win];
    if (wi.img && wi.w >= w && wi.h >= h) return wi;
    free_image(wi);
    if (!XGetWindowAttributes(st.dpy, win, &wa)) return wi;
    wi.visual = wa.visual;
    wi.win_h = wa.height;
    if (shm_available()) {
        XImage *img = XShmCreateImage(st.dpy, wa.visual, wa.depth, ZPixmap, nullptr, &wi.shm, w, h);
        if (img) {
            wi.shm.shmid = shmget(IPC_PRIVATE, size_t(img->bytes_per_line) * h, IPC_CREAT | 0600);
            if (wi.shm.shmid >= 0) {
                wi.shm.shmaddr = img->data = static_cast<char *>(shmat(wi.shm.shmid, nullptr, 0));
                wi.shm.readOnly = False;
                st.shm_failed = false;
                XSync(st.dpy, False);
                XErrorHandler old = XSetErrorHandler(shm_error_handler);
                XShmAttach(st.dpy, &wi.shm);
                XSync(st.dpy, False);
                XSetErrorHandler(old);
                // Marked for removal now: it goes away when both sides detach.
                shmctl(wi.shm.shmid, IPC_RMID, nullptr);
                if (!st.shm_failed && wi.shm.shmaddr != reinterpret_cast<char *>(-1)) {
                    wi.img = img;
                    wi.use_shm = true;
                    wi.w = w;
                    wi.h = h;
                    return wi;
                }
                if (wi.shm.shmaddr != reinterpret_cast<char *>(-1)) shmdt(wi.shm.shmaddr);
            }
            img->data = nullptr;
            XDestroyImage(img);
            st.shm_state = 0; // the server cannot reach our memory: use plain images
        }
    }
    int pad = wa.depth > 16 ? 32 : (wa.depth > 8 ? 16 : 8);
    XImage *img = XCreateImage(st.dpy, wa.visual, wa.depth, ZPixmap, 0, nullptr, w, h, pad, 0);
    if (!img) return wi;
    img->data = static_cast<char *>(malloc(size_t(img->bytes_per_line) * h));
    if (!img->data) {
        XDestroyImage(img);
        return wi;
    }
    wi.img = img;
    wi.use_shm = false;
    wi.w = w;
    wi.h = h;
    return wi;
}

} // namespace

int GLXwinset(Display *dpy, Window win) {
    if (st.dpy && st.dpy != dpy) {
        for (auto &kv : st.images)
            free_image(kv.second);
        st.images.clear();
        st.shm_state = -1;
    }
    st.dpy = dpy;
    st.win = win;
    return 0;
}

void RGBmode() {}

void RGBcolor(short r, short g, short b) {
    st.r = (unsigned char)r;
    st.g = (unsigned char)g;
    st.b = (unsigned char)b;
}

void clear() {
    if (!st.dpy || !st.win) return;
    XWindowAttributes wa;
    if (!XGetWindowAttributes(st.dpy, st.win, &wa)) return;
    GC gc = XCreateGC(st.dpy, st.win, 0, nullptr);
    XSetForeground(st.dpy, gc, visual_pixel(wa.visual, st.r, st.g, st.b));
    XFillRectangle(st.dpy, st.win, gc, 0, 0, unsigned(wa.width), unsigned(wa.height));
    XFreeGC(st.dpy, gc);
}

void rectzoom(float xfactor, float yfactor) {
    st.zx = xfactor < 1 ? 1 : int(xfactor);
    st.zy = yfactor < 1 ? 1 : int(yfactor);
}

void cmov2i(int x, int y) {
    st.cx = x;
    st.cy = y;
}

void lrectwrite(int x1, int y1, int x2, int y2, const void *parray) {
    if (!st.dpy || !st.win || !parray || x2 < x1 || y2 < y1) return;
    const int sw = x2 - x1 + 1, sh = y2 - y1 + 1;
    const int dw = sw * st.zx, dh = sh * st.zy;
    WinImage &wi = window_image(st.win, dw, dh);
    XImage *img = wi.img;
    if (!img) return;
    const Visual *v = wi.visual;
    const int rs = mask_shift(v->red_mask), gs = mask_shift(v->green_mask),
              bs = mask_shift(v->blue_mask);
    const bool fast = img->bits_per_pixel == 32 && mask_bits(v->red_mask) == 8 &&
                      mask_bits(v->green_mask) == 8 && mask_bits(v->blue_mask) == 8;
    const unsigned char *src = static_cast<const unsigned char *>(parray);
    for (int row = 0; row < sh; row++) {
        // Source row 0 is the bottom row: it goes to the last destination rows.
        const unsigned char *s = src + size_t(row) * sw * 4;
        for (int rep = 0; rep < st.zy; rep++) {
            int dy = dh - 1 - (row * st.zy + rep);
            char *line = img->data + size_t(dy) * img->bytes_per_line;
            if (fast) {
                uint32_t *d = reinterpret_cast<uint32_t *>(line);
                for (int x = 0; x < sw; x++) {
                    uint32_t p = (uint32_t(s[x * 4 + 3]) << rs) | (uint32_t(s[x * 4 + 2]) << gs) |
                                 (uint32_t(s[x * 4 + 1]) << bs);
                    for (int z = 0; z < st.zx; z++)
                        *d++ = p;
                }
            } else {
                for (int x = 0; x < sw; x++) {
                    unsigned long p = visual_pixel(v, s[x * 4 + 3], s[x * 4 + 2], s[x * 4 + 1]);
                    for (int z = 0; z < st.zx; z++)
                        XPutPixel(img, x * st.zx + z, dy, p);
                }
            }
        }
    }
    // Bottom-left origin: the rectangle's top edge in X coordinates.
    const int wh = wi.win_h;
    int top = wh - (y1 * st.zy) - dh;
    int left = x1 * st.zx;
    if (!wi.gc) wi.gc = XCreateGC(st.dpy, st.win, 0, nullptr);
    if (wi.use_shm) {
        XShmPutImage(st.dpy, st.win, wi.gc, img, 0, 0, left, top, unsigned(dw), unsigned(dh),
                     False);
    } else {
        XPutImage(st.dpy, st.win, wi.gc, img, 0, 0, left, top, unsigned(dw), unsigned(dh));
    }
    // The server reads a shared image after the request returns: wait until
    // it has, so the next draw cannot change pixels it is still copying.
    if (wi.use_shm)
        XSync(st.dpy, False);
    else
        XFlush(st.dpy);
}

void GLXforget(Window win) {
    auto it = st.images.find(win);
    if (it == st.images.end()) return;
    free_image(it->second);
    st.images.erase(it);
}
