// The desktop and master areas as far as clip windows need them today: the
// cell of a slot, scrolling a window into view, the button handler of window
// pictures and the actions bound to pictures and arrows.
//
// Dragging, selection, memo mode, rearranging and closing join here with the
// desktop areas; the places where they hook in are marked below.
#include "desktop/desktop_area.h"

#include <X11/keysym.h>
#include <Xm/ScrolledW.h>
#include <Xm/Xm.h>

#include "desktop/clip_model.h"
#include "desktop/display_window.h"
#include "desktop/globals.h"
#include "desktop/main_window.h"
#include "desktop/playback.h"
#include "ui/messages.h"
#include "desktop/zoom_view.h"

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

void BtnPress(Widget, XtPointer client_data, XEvent *event, Boolean *) {
    auto *win = static_cast<WindowData *>(client_data);
    if (!win || !event || event->type != ButtonPress || isPlayActive || win->playing) return;
    if (event->xbutton.button == Button2) {
        if (event->xbutton.state & ShiftMask) {
            if (!win->seg_first)
                PutCharMessage(mainform, "Import process still in progress");
            else
                CreaZoomPlay(win);
        } else {
            DispOpen(win);
        }
        return;
    }
    // Button 1: click selection (SelectNormal, SelectShift, Control toggle)
    // and dragging (DragIcon, drop into a cell) come with the desktop areas.
    if (event->xbutton.button == Button1) PutCharMessage(mainform, "Not available yet.");
}

// ---- actions of pictures and arrows ----

namespace {

WindowData *window_of(Widget w) {
    XtPointer data = nullptr;
    XtVaGetValues(w, XmNuserData, &data, NULL);
    return static_cast<WindowData *>(data);
}

} // namespace

// Keys on a picture go to KeyProcess. Arming deletion with BackSpace and
// closing with a following button-1 press come with the desktop areas.
void DeleteWindow(Widget w, XEvent *event, String *, Cardinal *) {
    if (isPlayActive || !event || event->type != KeyPress) return;
    WindowData *win = window_of(w);
    if (!win || !win->seg_first) return;
    KeySym key = XLookupKeysym(&event->xkey, 0);
    if (key == XK_BackSpace) return;
    KeyProcess(win, key, (event->xkey.state & ShiftMask) ? 1 : 0);
}

void KeySumma(Widget, XEvent *event, String *, Cardinal *) {
    if (isPlayActive || !event || event->type != KeyPress || !summa_window) return;
    KeyProcess(summa_window, XLookupKeysym(&event->xkey, 0), -1);
}

// Button 2 on an arrow plays the window that owns it (the arrow's user
// data) backward (left arrow) or forward (right arrow).
void Play2Sx(Widget w, XEvent *, String *, Cardinal *) {
    WindowData *win = window_of(w);
    if (!win || isPlayActive) return;
    if (!win->seg_first)
        PutCharMessage(mainform, "Import process still in progress");
    else
        ePlayStart(win, -1);
}
void Play2Dx(Widget w, XEvent *, String *, Cardinal *) {
    WindowData *win = window_of(w);
    if (!win || isPlayActive) return;
    if (!win->seg_first)
        PutCharMessage(mainform, "Import process still in progress");
    else
        ePlayStart(win, 1);
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
