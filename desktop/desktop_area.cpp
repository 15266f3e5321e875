// The desktop and master areas: the cell of a slot, scrolling a window into
// view, and the actions bound to window pictures and arrows. Arrangement,
// selection, memo mode, dragging, closing and keys have files of their own.
#include "desktop/desktop_area.h"

#include <X11/keysym.h>
#include <Xm/ScrolledW.h>
#include <Xm/Xm.h>

#include "desktop/clip_model.h"
#include "desktop/globals.h"
#include "desktop/main_window.h"
#include "desktop/playback.h"
#include "ui/messages.h"

int WindowPosition(int slot, int *x, int *y, int master) {
    if (slot < 0) {
        if (master) {
            // One past the last master-area window (they stand before first_work).
            int last = -1;
            for (WindowData *w = first_window; w && w != first_work; w = w->next)
                if (w->master) last = w->slot;
            slot = last + 1;
        } else {
            slot = (first_work && last_window) ? last_window->slot + 1 : 0;
        }
    }
    const int cols = NCOL > 0 ? NCOL : 1;
    int px, py;
    if (master) {
        px = XLARG * slot + XBORD;
        py = YBORD;
    } else {
        px = (slot % cols) * XLARG + XBORD;
        py = (slot / cols) * YLARG + YBORD;
    }
    if (x) *x = px;
    if (y) *y = py;
    return slot;
}

void SetWindowVisible(WindowData *win) {
    if (!win || win == summa_window || !win->frame) return;
    // The area the window's frame stands in (the summa window has none).
    Widget parent = XtParent(win->frame);
    Widget swin = parent == workform ? workswin : parent == happyform ? happyswin : nullptr;
    if (!swin || !XtIsRealized(swin)) return;
    XmScrollVisible(swin, win->frame, 5, 5);
}

// ---- actions of pictures and arrows ----

namespace {

WindowData *window_of(Widget w) {
    XtPointer data = nullptr;
    XtVaGetValues(w, XmNuserData, &data, NULL);
    return static_cast<WindowData *>(data);
}

} // namespace

// Deleting one window from the keyboard: BackSpace arms the picture, a
// following button-1 press on it closes the window; any other key disarms
// and goes to KeyProcess, and leaving the picture disarms.
namespace {

Widget armed = nullptr; // the picture BackSpace armed, or null

void close_stopping(Widget, XtPointer client, XtPointer) {
    auto *win = static_cast<WindowData *>(client);
    if (WindowListed(win)) CloseOK(0, 0, win, 1, 0);
}
void close_keeping(Widget, XtPointer client, XtPointer) {
    auto *win = static_cast<WindowData *>(client);
    if (WindowListed(win)) CloseOK(0, 0, win, 0, 0);
}

} // namespace

void ArmDeleteWindow(Widget picture) {
    if (!isPlayActive) armed = picture;
}

bool DeleteWindowArmed(Widget picture) {
    return picture && armed == picture;
}

void DeleteWindow(Widget w, XEvent *event, String *, Cardinal *) {
    if (!event) return;
    if (event->type == KeyPress) {
        // A key ends a drag; a modifier (Shift, Control) on its own does not.
        KeySym key = XLookupKeysym(&event->xkey, 0);
        if (!IsModifierKey(key)) CancelDrag();
        if (isPlayActive) return;
        if (key == XK_BackSpace) {
            armed = w;
            return;
        }
        if (IsModifierKey(key)) return;
        armed = nullptr;
        WindowData *win = window_of(w);
        if (win && win->seg_first && WindowListed(win))
            KeyProcess(win, key, (event->xkey.state & ShiftMask) ? 1 : 0);
        return;
    }
    if (event->type == LeaveNotify) {
        // Pointer crossings caused by a drag's grab leave the arming alone.
        if (event->xcrossing.mode == NotifyNormal) armed = nullptr;
        return;
    }
    if (event->type != ButtonPress || event->xbutton.button != Button1) return;
    const bool was_armed = armed == w;
    armed = nullptr;
    WindowData *win = window_of(w);
    if (isPlayActive || !was_armed || !win || !WindowListed(win) || win == summa_window) return;
    CancelDrag();
    if (ClosingImpExpWindows(0, 0, win))
        Warning(mainform,
                "The clip has import, export\nor effect process in progress.\nDo you want to "
                "stop it?",
                close_stopping, win, close_keeping, win);
    else
        CloseOK(0, 0, win, 0, 0);
}

// Button 2 on an arrow plays the window that owns it (the arrow's user
// data) backward (left arrow) or forward (right arrow).
namespace {
void play_from_arrow(Widget arrow, int dir) {
    WindowData *win = window_of(arrow);
    if (!win || isPlayActive) return;
    if (!win->seg_first)
        PutCharMessage(mainform, "Import process still in progress");
    else
        ePlayStart(win, dir);
}
} // namespace

void Play2Sx(Widget w, XEvent *, String *, Cardinal *) {
    play_from_arrow(w, -1);
}
void Play2Dx(Widget w, XEvent *, String *, Cardinal *) {
    play_from_arrow(w, 1);
}

XtTranslations WindowTranslations() {
    static XtTranslations t = XtParseTranslationTable("<Key>:\t\t\tDeleteWindow() \n"
                                                      "<LeaveWindow>:\t\tDeleteWindow() \n"
                                                      "<Key>,<Btn1Down>:\tDeleteWindow() \n");
    return t;
}

XtTranslations SummaTranslations() {
    static XtTranslations t = XtParseTranslationTable("<Key>:\t\t\tKeySumma() \n");
    return t;
}

XtTranslations ArrowTranslations(int dir) {
    static XtTranslations left = XtParseTranslationTable("<Btn2Down>: Play2Sx() \n");
    static XtTranslations right = XtParseTranslationTable("<Btn2Down>: Play2Dx() \n");
    return dir < 0 ? left : right;
}
