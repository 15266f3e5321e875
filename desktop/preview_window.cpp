// The picture preview window ("disp"). A preview reads one picture file at a
// time through its format's reader, at the picture's own size, and draws it
// with the clip display's field modes. Reading and key handling run with the
// busy bit set; events that arrive meanwhile (a window manager's close, the
// destruction of the widget that opened the preview, another key) are
// dispatched then, and a close asked for by any of them is carried out once
// the work is done, so that no read ever finds its record gone.
#include "desktop/preview_window.h"

#include <X11/keysym.h>
#include <Xm/Protocols.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstring>

#include "desktop/display_window.h"
#include "desktop/globals.h"
#include "editing/image_seq.h"
#include "media/img_formats.h"
#include "media/img_util.h"
#include "ui/gl_area.h"
#include "ui/icons.h"
#include "ui/messages.h"
#include "ui/widgets.h"

PreviewData *first_preview = nullptr;

namespace {

constexpr const char *kMissing = "The original file is missing or corrupted";
constexpr size_t kMaxPattern = 1024;

void draw_preview(PreviewData *p) {
    if (!p->image.empty())
        DispDrawPicture(p->glw, p->image.data(), p->width, p->height, p->field_mode);
}

void glw_expose(Widget, XtPointer client, XtPointer) {
    draw_preview(static_cast<PreviewData *>(client));
}

void key_press(Widget, XtPointer client, XEvent *ev, Boolean *) {
    if (ev->type == KeyPress) PreviewKey(static_cast<PreviewData *>(client), DispEventKey(ev));
}

void draw_expose(Widget w, XtPointer client, XtPointer) {
    auto *p = static_cast<PreviewData *>(client);
    if (p->glw || (p->flags & PREVIEW_GONE)) return;
    p->glw = CreaGlw(XtParent(p->dialog), w, 0, 0, p->width, p->height, glw_expose, p);
    XtAddEventHandler(p->glw, KeyPressMask, False, key_press, p);
    XmProcessTraversal(p->glw, XmTRAVERSE_CURRENT);
    draw_preview(p);
    if (p->flags & PREVIEW_PENDING) {
        p->flags &= ~PREVIEW_PENDING;
        if (p->message) PutCharMessage(p->dialog, p->message);
        p->message = nullptr;
    }
}

// The drawing area at the picture's size (the GL widget follows on its
// first expose).
void make_draw(PreviewData *p) {
    p->draw = CreaDraw(p->dialog, 0, 0, p->width, p->height);
    XtAddCallback(p->draw, XmNexposeCallback, draw_expose, p);
    XtAddEventHandler(p->draw, KeyPressMask, False, key_press, p);
    XtManageChild(p->draw);
}

void recreate_draw(PreviewData *p) {
    if (!p->dialog || !p->draw) return;
    XtDestroyWidget(p->draw);
    p->draw = p->glw = nullptr;
    XtVaSetValues(p->dialog, XmNwidth, p->width, XmNheight, p->height, NULL);
    make_draw(p);
}

void unlink_preview(PreviewData *p) {
    for (PreviewData **at = &first_preview; *at; at = &(*at)->next)
        if (*at == p) {
            *at = p->next;
            return;
        }
}

void parent_gone(Widget, XtPointer client, XtPointer) {
    auto *p = static_cast<PreviewData *>(client);
    p->parent = nullptr; // being destroyed: its callbacks go with it
    PreviewExit(p);
}

void free_preview(PreviewData *p) {
    unlink_preview(p);
    if (p->parent) XtRemoveCallback(p->parent, XmNdestroyCallback, parent_gone, p);
    delete p;
}

void dialog_destroyed(Widget, XtPointer client, XtPointer) {
    free_preview(static_cast<PreviewData *>(client));
}

void wm_close(Widget, XtPointer client, XtPointer) {
    PreviewExit(static_cast<PreviewData *>(client));
}

void set_cursors(bool wait) {
    auto set = [wait](Widget w) { wait ? SetWaitCursor(w) : SetDefaultCursor(w); };
    set(mainform);
    for (PreviewData *q = first_preview; q; q = q->next) {
        if (q->parent) set(q->parent);
        if (q->dialog && !(q->flags & PREVIEW_GONE)) set(q->dialog);
    }
}

// Dispatches the X events that arrived during the work (busy bit set).
void dispatch_pending() {
    if (!app) return;
    while (XtAppPending(app) & XtIMXEvent)
        XtAppProcessEvent(app, XtIMXEvent);
}

// Ends a stretch of work: a close asked for meanwhile is done now.
void end_busy(PreviewData *p) {
    p->flags &= ~PREVIEW_BUSY;
    if (p->flags & PREVIEW_CLOSING) PreviewExit(p);
}

void show_message(PreviewData *p, const char *text) {
    if (p->glw && p->dialog) {
        PutCharMessage(p->dialog, text);
    } else {
        p->flags |= PREVIEW_PENDING;
        p->message = text;
    }
}

// PreviewShow without the busy bracket.
int show_picture(PreviewData *p, int n) {
    if (n < 0) n = 0;
    if (n > p->count - 1) n = p->count - 1;
    if (n == p->shown) return 0;
    p->shown = n;
    set_cursors(true);
    const std::string name = ImgFrameName(p->pattern, p->num_format, p->format, n + 1);
    const ImgFunctions *fn = img_functions(p->format);
    const size_t slash = name.rfind('/');
    const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    int w = -1, h = -1;
    if (fn && !name.empty()) fn->header(name.c_str(), &w, &h);
    bool ok = false;
    std::string tail = file;
    if (w >= 1 && h >= 1 && img_size_ok(w, h)) {
        char buf[64];
        snprintf(buf, sizeof buf, " (%i, %i)", w, h);
        tail += buf;
        const bool resized = w != p->width || h != p->height;
        p->width = w;
        p->height = h;
        p->image.assign(size_t(w) * size_t(h) * 4, 0);
        ok = fn->read(name.c_str(), p->image.data(), 2) == 1;
        if (resized) recreate_draw(p);
    }
    dispatch_pending();
    set_cursors(false);
    if (!ok) std::fill(p->image.begin(), p->image.end(), 0);
    p->title = "Preview: " + p->pattern + "   " + tail;
    if (p->dialog && !(p->flags & PREVIEW_GONE))
        XtVaSetValues(XtParent(p->dialog), XmNtitle, p->title.c_str(), NULL);
    draw_preview(p);
    if (!ok) show_message(p, kMissing);
    return ok ? 1 : 0;
}

} // namespace

PreviewData *PreviewCreaWin(Widget parent, int format, const char *pattern, int num_format,
                            int first) {
    if (isPlayActive || !pattern || strlen(pattern) > kMaxPattern) return nullptr;
    for (PreviewData *q = first_preview; q; q = q->next)
        if (q->pattern == pattern && q->format == format && q->num_format == num_format &&
            !(q->flags & (PREVIEW_GONE | PREVIEW_CLOSING))) {
            if (q->dialog && XtIsRealized(XtParent(q->dialog)))
                XRaiseWindow(XtDisplay(q->dialog), XtWindow(XtParent(q->dialog)));
            return q;
        }
    auto *p = new PreviewData;
    p->format = format;
    p->num_format = num_format;
    p->pattern = pattern;
    p->width = VIDEO_SIZEX > 0 ? VIDEO_SIZEX : 720;
    p->height = VIDEO_SIZEY > 0 ? VIDEO_SIZEY : 576;
    p->image.assign(size_t(p->width) * size_t(p->height) * 4, 0);
    p->parent = parent;
    p->next = first_preview;
    first_preview = p;
    p->title = "Preview: " + p->pattern;
    p->dialog = CreaDialog(mainform, p->title.c_str(), "disp", p->width, p->height, 0, 0);
    XtAddCallback(p->dialog, XmNdestroyCallback, dialog_destroyed, p);
    Atom del = XmInternAtom(XtDisplay(p->dialog), const_cast<char *>("WM_DELETE_WINDOW"), False);
    XmAddWMProtocolCallback(XtParent(p->dialog), del, wm_close, p);
    if (parent) XtAddCallback(parent, XmNdestroyCallback, parent_gone, p);
    p->flags |= PREVIEW_BUSY;
    show_picture(p, first - 1);
    if (!p->draw) make_draw(p);
    XtManageChild(p->dialog);
    const bool closed = p->flags & PREVIEW_CLOSING;
    end_busy(p);
    return closed ? nullptr : p;
}

int PreviewShow(PreviewData *p, int n) {
    if (!p || (p->flags & (PREVIEW_BUSY | PREVIEW_GONE))) return 0;
    p->flags |= PREVIEW_BUSY;
    const int r = show_picture(p, n);
    end_busy(p);
    return r;
}

void PreviewKey(PreviewData *p, KeySym key) {
    if (!p || isPlayActive || (p->flags & PREVIEW_GONE)) return;
    if (p->flags & PREVIEW_BUSY) {
        if (key == XK_Escape) p->flags |= PREVIEW_CLOSING;
        return;
    }
    p->flags |= PREVIEW_BUSY;
    if (const int mode = DispFieldModeOfKey(key)) {
        p->field_mode = mode;
        draw_preview(p);
    }
    switch (DispFieldModeOfKey(key) ? NoSymbol : key) {
    case NoSymbol:
        break;
    case XK_Escape:
        p->flags |= PREVIEW_CLOSING;
        break;
    default: {
        const int n = DoGoToFrame(p->flags & ~PREVIEW_BUSY, &p->typed, p->shown, p->count, key);
        if (n >= 0) show_picture(p, n);
    }
    }
    end_busy(p);
}

void PreviewExit(PreviewData *p) {
    if (!p || (p->flags & PREVIEW_GONE)) return;
    if (p->flags & PREVIEW_BUSY) {
        p->flags |= PREVIEW_CLOSING;
        return;
    }
    p->flags |= PREVIEW_GONE;
    unlink_preview(p);
    if (p->dialog)
        XtDestroyWidget(XtParent(p->dialog)); // dialog_destroyed frees the record
    else
        free_preview(p);
}
