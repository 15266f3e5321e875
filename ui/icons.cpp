// Cursors and message icons: the move cursor used while dragging clip
// windows, the wait cursor, and the error and warning icons of the message
// boxes, and the play, stop and reverse pictures of the clip windows'
// buttons. The bitmaps are drawn by code at first use rather than stored as
// tables: a triangle with an exclamation mark, a four-way arrow, a square
// and two triangles.
#include "ui/icons.h"

#include <X11/cursorfont.h>
#include <Xm/Xm.h>

#include <array>
#include <cstdlib>
#include <cstring>

#include "ui/globals.h"

Pixmap mspix = None, mmpix = None;
Cursor moveCursor = None;
Widget dulsar_err_w = nullptr, dulsar_warn_w = nullptr;

static Cursor waitCursor = None;

namespace {

template <size_t N> void set_bit(std::array<unsigned char, N> &bits, int stride, int x, int y) {
    bits[size_t(y * stride + x / 8)] |= (unsigned char)(1 << (x % 8));
}

std::array<unsigned char, 40 * 5> make_icon() {
    std::array<unsigned char, 40 * 5> b{};
    // Triangle outline, apex at the top centre.
    for (int y = 2; y < 38; y++) {
        int half = (y - 2) * 19 / 36;
        for (int x = 20 - half - 1; x <= 19 + half + 1; x++) {
            bool edge = x <= 20 - half || x >= 19 + half || y >= 35;
            if (edge && x >= 0 && x < 40) set_bit(b, 5, x, y);
        }
    }
    // Exclamation mark.
    for (int y = 12; y < 27; y++)
        for (int x = 18; x < 22; x++)
            set_bit(b, 5, x, y);
    for (int y = 29; y < 33; y++)
        for (int x = 18; x < 22; x++)
            set_bit(b, 5, x, y);
    return b;
}

std::array<unsigned char, 31 * 4> make_move(bool mask) {
    std::array<unsigned char, 31 * 4> b{};
    int grow = mask ? 1 : 0;
    auto plot = [&](int x, int y) {
        for (int dy = -grow; dy <= grow; dy++)
            for (int dx = -grow; dx <= grow; dx++) {
                int px = x + dx, py = y + dy;
                if (px >= 0 && px < 31 && py >= 0 && py < 31) set_bit(b, 4, px, py);
            }
    };
    for (int i = 2; i < 29; i++) {
        plot(15, i); // vertical shaft
        plot(i, 15); // horizontal shaft
    }
    for (int k = 0; k < 6; k++) {
        for (int j = -k; j <= k; j++) {
            plot(15 + j, 2 + k);  // up head
            plot(15 + j, 28 - k); // down head
            plot(2 + k, 15 + j);  // left head
            plot(28 - k, 15 + j); // right head
        }
    }
    return b;
}

Pixmap icon_for(Widget colours) {
    if (!colours || !XtIsRealized(mainform)) return None;
    Pixel fg = 0, bg = 0;
    XtVaGetValues(colours, XmNforeground, &fg, XmNbackground, &bg, NULL);
    Display *dpy = XtDisplay(mainform);
    // Drawn at the screen's depth: a fixed depth of 8 does not match the
    // windows of a true-colour screen and could not be shown there.
    return XCreatePixmapFromBitmapData(
        dpy, RootWindowOfScreen(XtScreen(mainform)),
        reinterpret_cast<char *>(const_cast<unsigned char *>(IconBits())), 40, 40, fg, bg,
        unsigned(DefaultDepthOfScreen(XtScreen(mainform))));
}

} // namespace

const unsigned char *IconBits() {
    static const auto bits = make_icon();
    return bits.data();
}

const unsigned char *MoveCursorBits(bool mask) {
    static const auto shape = make_move(false), m = make_move(true);
    return mask ? m.data() : shape.data();
}

void CreaCursors(Widget w) {
    Display *dpy = XtDisplay(w);
    Window root = RootWindowOfScreen(XtScreen(w));
    mspix = XCreateBitmapFromData(dpy, root, reinterpret_cast<const char *>(MoveCursorBits(false)),
                                  31, 31);
    mmpix = XCreateBitmapFromData(dpy, root, reinterpret_cast<const char *>(MoveCursorBits(true)),
                                  31, 31);
    XColor black{}, white{};
    white.red = white.green = white.blue = 0xffff;
    white.flags = black.flags = DoRed | DoGreen | DoBlue;
    moveCursor = XCreatePixmapCursor(dpy, mspix, mmpix, &black, &white, 15, 15);
    waitCursor = XCreateFontCursor(dpy, XC_watch); // font cursor 150
}

void FreeCursors(Display *dpy) {
    if (moveCursor) XFreeCursor(dpy, moveCursor);
    if (waitCursor) XFreeCursor(dpy, waitCursor);
    if (mspix) XFreePixmap(dpy, mspix);
    if (mmpix) XFreePixmap(dpy, mmpix);
    moveCursor = waitCursor = None;
    mspix = mmpix = None;
}

void SetWaitCursor(Widget w) {
    if (!w || !XtIsRealized(w)) return;
    if (!waitCursor) waitCursor = XCreateFontCursor(XtDisplay(w), XC_watch);
    XDefineCursor(XtDisplay(w), XtWindow(w), waitCursor);
    XFlush(XtDisplay(w));
}

void SetDefaultCursor(Widget w) {
    if (!w || !XtIsRealized(w)) return;
    XUndefineCursor(XtDisplay(w), XtWindow(w));
    XFlush(XtDisplay(w));
}

Pixmap GetErrorPixmap() {
    static Pixmap p = None;
    if (!p) p = icon_for(dulsar_err_w);
    return p;
}

Pixmap GetWarningPixmap() {
    static Pixmap p = None;
    if (!p) p = icon_for(dulsar_warn_w);
    return p;
}

// ---- the 17x17 pictures of the clip windows' buttons ----

namespace {

struct ButtonPictures {
    Widget area = nullptr; // the area form the pixmaps were made for
    Pixmap pix[3] = {0, 0, 0};
};
ButtonPictures pictures[CLIP_PICTURE_SETS];

} // namespace

void ClipButtonBits(int which, unsigned char bits[17 * 3]) {
    std::memset(bits, 0, 17 * 3);
    for (int y = 0; y < 17; y++)
        for (int x = 0; x < 17; x++) {
            const int dy = y < 8 ? 8 - y : y - 8; // distance from the middle row
            const int reach = (6 - dy) * 4 / 3;   // triangle width on this row
            bool on = false;
            if (which == CLIP_PIC_STOP)
                on = x >= 4 && x <= 12 && y >= 4 && y <= 12;
            else if (which == CLIP_PIC_PLAY)
                on = dy <= 6 && x >= 5 && x - 5 <= reach;
            else
                on = dy <= 6 && x <= 11 && 11 - x <= reach;
            if (on) bits[y * 3 + x / 8] |= (unsigned char)(1 << (x % 8));
        }
}

namespace {

void pictures_gone(Widget area, XtPointer client, XtPointer) {
    auto *p = static_cast<ButtonPictures *>(client);
    if (p->area != area) return;
    for (Pixmap &x : p->pix) {
        if (x) XFreePixmap(XtDisplay(area), x);
        x = 0;
    }
    p->area = nullptr;
}

} // namespace

Pixmap ClipButtonPixmap(int set, Widget area, Pixel fg, Pixel bg, int which) {
    if (set < 0 || set >= CLIP_PICTURE_SETS || which < 0 || which > CLIP_PIC_REVE) return None;
    ButtonPictures &p = pictures[set];
    if (p.area != area) {
        Display *dpy = XtDisplay(area);
        Window root = RootWindowOfScreen(XtScreen(area));
        int depth = DefaultDepthOfScreen(XtScreen(area));
        for (int i = 0; i < 3; i++) {
            unsigned char bits[17 * 3];
            ClipButtonBits(i, bits);
            p.pix[i] = XCreatePixmapFromBitmapData(dpy, root, reinterpret_cast<char *>(bits), 17,
                                                   17, fg, bg, unsigned(depth));
        }
        p.area = area;
        XtAddCallback(area, XmNdestroyCallback, pictures_gone, &p);
    }
    return p.pix[which];
}

void SetLabelPixmap(Widget button, Pixmap pix) {
    XtVaSetValues(button, XmNlabelType, XmPIXMAP, XmNlabelPixmap, pix, NULL);
}
