// The full-size display window ("disp") of a clip window: the frame the
// window shows, read from the reel at video size, drawn whole or as one field
// line-doubled, with keys that move through the clip. The record lives in
// the window's `disp` from the first middle click to Escape, the window
// manager's close or the window's release; it is freed by the dialog's
// destroy callback.
#include "desktop/display_window.h"

#include <X11/keysym.h>
#include <Xm/Protocols.h>
#include <Xm/Xm.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "desktop/clip_model.h"
#include "desktop/clip_window.h"
#include "desktop/frame_display.h"
#include "editing/export.h"
#include "editing/frame_map.h"
#include "desktop/glw.h"
#include "desktop/globals.h"
#include "ui/icons.h"
#include "desktop/main_window.h"
#include "ui/messages.h"
#include "ui/widgets.h"
#include "desktop/zoom_view.h"
#include "media/svjr.h"
#include "platform/draw.h"

namespace {

constexpr int kTitleSize = 400;
// Image reader mode of a 4-byte display image (0, B, G, R, bottom-up).
constexpr int kPictureDisplay4 = 2;
constexpr const char *kMissing = "The original file is missing or corrupted";
constexpr const char *kBeingMade = "The file is being created. Try again later.";

void close_reader(DispData *d) {
    if (!d->reader) return;
    CloseImage(d->reader);
    d->reader = nullptr;
}

// Base name of a reel path: after the last "/", leading blanks skipped, cut
// at the first blank; then cut before the third-last "_" when the name has at
// least 10 characters and three "_" (the fields of grabbed reel names).
std::string title_name(const FisicData *c) {
    if (!c || !c->path) return "";
    const char *p = std::strrchr(c->path, '/');
    p = p ? p + 1 : c->path;
    while (*p == ' ' || *p == '\t' || *p == '\n')
        p++;
    std::string name(p, std::strcspn(p, " \t\n"));
    if (name.size() >= 10) {
        int seen = 0;
        for (size_t i = name.size(); i-- > 0;)
            if (name[i] == '_' && ++seen == 3) {
                name.resize(i);
                break;
            }
    }
    return name;
}

void draw_display(DispData *d) {
    if (d->image) DispDrawPicture(d->glw, d->image, d->width, d->height, d->field_mode);
}

void show_message(DispData *d, const char *text) {
    if (d->glw) {
        PutCharMessage(d->dialog, text);
    } else {
        d->flags |= DISP_PENDING;
        d->message = text;
    }
}

void glw_expose(Widget, XtPointer client, XtPointer) {
    draw_display(static_cast<DispData *>(client));
}

void key_press(Widget, XtPointer client, XEvent *ev, Boolean *) {
    if (ev->type == KeyPress) DispKey(static_cast<DispData *>(client), DispEventKey(ev));
}

// First expose of the drawing area: the GL widget, then a pending message.
void draw_expose(Widget w, XtPointer client, XtPointer) {
    auto *d = static_cast<DispData *>(client);
    if (d->glw) return;
    d->glw = CreaGlw(XtParent(d->dialog), w, 0, 0, d->width, d->height, glw_expose, d);
    XtAddEventHandler(d->glw, KeyPressMask, False, key_press, d);
    XtAddEventHandler(w, KeyPressMask, False, key_press, d);
    XmProcessTraversal(d->glw, XmTRAVERSE_CURRENT);
    draw_display(d);
    if (d->flags & DISP_PENDING) {
        d->flags &= ~DISP_PENDING;
        if (d->message) PutCharMessage(d->dialog, d->message);
        d->message = nullptr;
    }
}

void wm_close(Widget, XtPointer client, XtPointer) {
    DispExit(static_cast<DispData *>(client));
}

void free_record(DispData *d) {
    if (d->win && d->win->disp == d) d->win->disp = nullptr;
    close_reader(d);
    delete[] d->image;
    delete[] d->title;
    delete d;
}

void dialog_destroyed(Widget, XtPointer client, XtPointer) {
    free_record(static_cast<DispData *>(client));
}

int typed_without_display = 0;

// Keys typed while a key was handled are dropped: the key presses already
// on their way to the display's windows are taken off the event queue
// instead of being handled one by one after a long load.
void drop_typed_keys(DispData *d) {
    Widget any = d->glw ? d->glw : d->draw;
    if (!any || !XtIsRealized(any)) return;
    Display *dpy = XtDisplay(any);
    XSync(dpy, False);
    XEvent ev;
    for (Widget w : {d->glw, d->draw})
        if (w && XtIsRealized(w))
            while (XCheckTypedWindowEvent(dpy, XtWindow(w), KeyPress, &ev)) {
            }
}

} // namespace

void DispCreaWin(Widget, XtPointer client_data, XEvent *event, Boolean *) {
    auto *win = static_cast<WindowData *>(client_data);
    if (!win || !event || event->type != ButtonPress || event->xbutton.button != Button2) return;
    if (isPlayActive) return;
    if (event->xbutton.state & ShiftMask) {
        if (!win->seg_first)
            PutCharMessage(mainform, "Import process still in progress");
        else
            CreaZoomPlay(win);
        return;
    }
    DispOpen(win);
}

DispData *DispOpen(WindowData *win) {
    if (!win || isPlayActive) return nullptr;
    if (!win->seg_first) {
        PutCharMessage(mainform, "Import process still in progress");
        return nullptr;
    }
    if (DispData *d = win->disp) {
        if (d->shown != win->current) DispLoadFrame(d, win->current);
        if (d->dialog && XtIsRealized(XtParent(d->dialog)))
            XRaiseWindow(XtDisplay(d->dialog), XtWindow(XtParent(d->dialog)));
        return d;
    }
    if (VIDEO_SIZEX <= 0 || VIDEO_SIZEY <= 0 || VIDEO_SIZEX > 4096 || VIDEO_SIZEY > 4096)
        return nullptr;
    auto *d = new (std::nothrow) DispData;
    if (!d) return nullptr;
    d->width = VIDEO_SIZEX;
    d->height = VIDEO_SIZEY;
    d->image = new (std::nothrow) unsigned char[size_t(d->width) * d->height * 4]();
    d->title = new (std::nothrow) char[kTitleSize]();
    if (!d->image || !d->title) {
        delete[] d->image;
        delete[] d->title;
        delete d;
        return nullptr;
    }
    d->win = win;
    win->disp = d;
    DispLoadFrame(d, win->current);
    d->dialog = CreaDialog(mainform, d->title, "disp", d->width, d->height, 0, 0);
    XtAddCallback(d->dialog, XmNdestroyCallback, dialog_destroyed, d);
    Atom del = XmInternAtom(XtDisplay(d->dialog), const_cast<char *>("WM_DELETE_WINDOW"), False);
    XmAddWMProtocolCallback(XtParent(d->dialog), del, wm_close, d);
    d->draw = CreaDraw(d->dialog, 0, 0, d->width, d->height);
    XtAddCallback(d->draw, XmNexposeCallback, draw_expose, d);
    XtManageChild(d->dialog);
    return d;
}

int DispLoadFrame(DispData *d, int n) {
    if (!d || !d->win || d->win->total < 1) return 0;
    WindowData *win = d->win;
    n = ((n % win->total) + win->total) % win->total;
    if (n == d->shown) return 0;
    Segment *seg = win->seg_current;
    const int f = FrameCtrl(win, n, &seg);
    FisicData *c = seg ? seg->fisic : nullptr;
    if (!c) return 0;
    if (c != d->clip) {
        close_reader(d);
        d->clip = c;
        d->last_read = -1;
        d->flags &= ~DISP_MISSING;
        if (c->busy)
            d->flags |= DISP_MISSING;
        else if (c->path)
            d->reader = svjr_open(c->path, 1, 1, 0);
        // Picture sequences are read file by file through their image
        // format's reader (below).
        std::string name = title_name(c) + "   ";
        std::snprintf(d->title, kTitleSize, "%s", name.c_str());
        d->tail = int(std::strlen(d->title));
    }
    win->current = n;
    d->shown = n;
    char tc[32];
    PrintTimecode(tc, win);
    std::snprintf(d->title + d->tail, size_t(kTitleSize - d->tail), "%s   %s %i/%i", tc, "Frame ",
                  n + 1, win->total);
    if (d->dialog) XtVaSetValues(XtParent(d->dialog), XmNtitle, d->title, NULL);
    if (!win->playing) {
        UpdateValue(win);
        ShowFrame(win);
    }
    if (f == d->last_read) return 0;

    fm_fileformat *r = d->reader;
    const long bytes = long(d->width) * d->height * 4;
    int ok = 0;
    if (r && !(d->flags & DISP_MISSING) && r->width == d->width && r->height == d->height &&
        long(r->size) == bytes) {
        SetWaitCursor(mainform);
        if (d->dialog) SetWaitCursor(d->dialog);
        ok = svjr_read(r, d->image, f) == 0;
        SetDefaultCursor(mainform);
        if (d->dialog) SetDefaultCursor(d->dialog);
    } else if (c->pic && !c->busy && d->width == VIDEO_SIZEX && d->height == VIDEO_SIZEY) {
        // A picture of the video size, as a 4-byte display image like the
        // reel reader's.
        SetWaitCursor(mainform);
        if (d->dialog) SetWaitCursor(d->dialog);
        ok = ReadPictureFrame(c, f, d->image, kPictureDisplay4);
        SetDefaultCursor(mainform);
        if (d->dialog) SetDefaultCursor(d->dialog);
    }
    if (!ok) {
        std::memset(d->image, 0, size_t(bytes));
        d->last_read = -1;
        draw_display(d);
        show_message(d, (d->flags & DISP_MISSING) ? kBeingMade : kMissing);
        return 0;
    }
    d->last_read = f;
    draw_display(d);
    return 1;
}

void DispKey(DispData *d, KeySym key) {
    if (!d || !d->win || isPlayActive || (d->flags & DISP_BUSY)) return;
    // While the key is handled the display stays: a close asked for meanwhile
    // (DispExit) is done at the end.
    d->flags |= DISP_BUSY;
    const int mode = DispFieldModeOfKey(key);
    if (mode && d->field_mode != mode) {
        d->field_mode = mode;
        draw_display(d);
    }
    switch (mode ? NoSymbol : key) {
    case NoSymbol:
        break;
    case XK_C:
    case XK_c:
    case XK_X:
    case XK_x:
    case XK_Z:
    case XK_z:
        KeyProcess(d->win, key, -1);
        break;
    case XK_Escape:
        d->flags |= DISP_CLOSING;
        break;
    default: {
        const int n =
            DoGoToFrame(d->flags & ~DISP_BUSY, &d->typed, d->win->current, d->win->total, key);
        if (n >= 0) DispLoadFrame(d, n);
    }
    }
    drop_typed_keys(d);
    d->flags &= ~DISP_BUSY;
    if (d->flags & DISP_CLOSING) DispExit(d);
}

int DispFieldModeOfKey(KeySym key) {
    switch (key) {
    case XK_space:
        return FIELD_FULL;
    case XK_E:
    case XK_e:
        return FIELD_ODD;
    case XK_O:
    case XK_o:
        return FIELD_EVEN;
    default:
        return 0;
    }
}

void DispDrawPicture(Widget glw, const unsigned char *image, int w, int h, int field_mode) {
    if (!glw || !XtIsRealized(glw)) return;
    GLXwinset(XtDisplay(glw), XtWindow(glw));
    RGBmode();
    rectzoom(1, 1);
    if (field_mode == FIELD_FULL) {
        lrectwrite(0, 0, w - 1, h - 1, image);
        return;
    }
    static std::vector<unsigned char> lines; // reused: pictures are drawn in the main thread
    lines.resize(size_t(w) * size_t(h) * 4);
    DispFieldImage(image, lines.data(), w, h, field_mode);
    lrectwrite(0, 0, w - 1, h - 1, lines.data());
}

KeySym DispEventKey(XEvent *ev) {
    if (ev->type != KeyPress) return NoSymbol;
    char text[8];
    KeySym key = NoSymbol;
    XLookupString(&ev->xkey, text, sizeof text, &key, nullptr);
    return key;
}

void DispFieldImage(const unsigned char *src, unsigned char *dst, int w, int h, int mode) {
    const size_t row = size_t(w) * 4;
    for (int y = 0; y < h; y++) {
        int from = y;
        if (mode == FIELD_EVEN)
            from = y & ~1;
        else if (mode == FIELD_ODD)
            from = (y | 1) < h ? (y | 1) : h - 1;
        std::memcpy(dst + size_t(y) * row, src + size_t(from) * row, row);
    }
}

void DispExit(DispData *d) {
    if (!d) return;
    if (d->win && d->win->disp == d) d->win->disp = nullptr;
    d->win = nullptr;
    close_reader(d);
    // Closed from inside its own key handling: the handler finishes the job.
    if (d->flags & DISP_BUSY) {
        d->flags |= DISP_CLOSING;
        return;
    }
    if (d->dialog)
        XtDestroyWidget(XtParent(d->dialog)); // dialog_destroyed frees the record
    else
        free_record(d);
}

int DoGoToFrame(int flags, int *typed, int current, int total, KeySym key) {
    if ((flags & DISP_BUSY) || !typed || total < 1) return -1;
    int digit = -1;
    if (key >= XK_0 && key <= XK_9) digit = int(key - XK_0);
    if (key >= XK_KP_0 && key <= XK_KP_9) digit = int(key - XK_KP_0);
    switch (key) {
    case XK_KP_Insert:
        digit = 0;
        break;
    case XK_KP_End:
        digit = 1;
        break;
    case XK_KP_Down:
        digit = 2;
        break;
    case XK_KP_Next:
        digit = 3;
        break;
    case XK_KP_Left:
        digit = 4;
        break;
    case XK_KP_Begin:
        digit = 5;
        break;
    case XK_KP_Right:
        digit = 6;
        break;
    case XK_KP_Home:
        digit = 7;
        break;
    case XK_KP_Up:
        digit = 8;
        break;
    case XK_KP_Prior:
        digit = 9;
        break;
    default:
        break;
    }
    auto clamp = [total](long n) { return int(n < 0 ? 0 : n > total - 1 ? total - 1 : n); };
    if (digit >= 0) {
        // Past any frame count the number only saturates (no overflow).
        *typed = *typed >= 100000000 ? 999999999 : *typed * 10 + digit;
        return -1;
    }
    switch (key) {
    case XK_Return:
    case XK_KP_Enter: {
        const int n = clamp(long(*typed) - 1);
        *typed = 0;
        return n;
    }
    case XK_Up:
    case XK_Right:
        *typed = 0;
        return clamp(long(current) + 1);
    case XK_Left:
    case XK_Down:
        *typed = 0;
        return clamp(long(current) - 1);
    case XK_Prior:
        *typed = 0;
        return clamp(long(current) + 10);
    case XK_Next:
        *typed = 0;
        return clamp(long(current) - 10);
    case XK_Home:
        *typed = 0;
        return 0;
    case XK_End:
        *typed = 0;
        return total - 1;
    case XK_BackSpace:
    case XK_Delete:
        *typed = 0;
        return -1;
    default:
        return -1;
    }
}

int GoToFrame(WindowData *win, KeySym key) {
    if (!win) return -1;
    if (DispData *d = win->disp)
        return DoGoToFrame(d->flags, &d->typed, win->current, win->total, key);
    return DoGoToFrame(0, &typed_without_display, win->current, win->total, key);
}
