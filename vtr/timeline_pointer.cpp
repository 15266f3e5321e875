// The pointer and keys on the timeline strip: picking up the In and Out
// markers and dropping them on a window, bringing a window into view, the
// Z/X/C keys, and the middle-button popup that tells what is under the
// pointer. Nothing acts while a playback runs.
#include <X11/keysym.h>
#include <Xm/RowColumn.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "editing/clip_records.h"
#include "ui/globals.h"
#include "vtr/timecode.h"
#include "vtr/timeline.h"
#include "vtr/timeline_state.h"

namespace {

// What the strip shows at x now; *win is the window of a block hit.
TmHit hit_at(int x, WindowData **win) {
    *win = nullptr;
    TmStripLayout &layout = tmline.layout;
    if (!TmLayoutNow(&layout)) return TM_HIT_NONE;
    int index = -1;
    const TmHit hit = TmHitTest(layout, tmline.width, x, &index);
    if (hit == TM_HIT_WINDOW) {
        *win = TmMasterWindow(index);
        if (!*win) return TM_HIT_NONE;
    }
    return hit;
}

// The In or Out window as it counts now (a missing or stale one resolved).
WindowData *range_end(int which) {
    int in = 0, out = 0;
    if (TmResolveRange(tmline.range, &in, &out) == 0) return nullptr;
    return TmMasterWindow(which == 0 ? in : out);
}

void set_popup_line(const std::string &text) {
    if (!tmline.popup_label) return;
    XmString s = XmStringCreateLocalized(const_cast<char *>(text.c_str()));
    XtVaSetValues(tmline.popup_label, XmNlabelString, s, NULL);
    XmStringFree(s);
}

} // namespace

std::string TmPopupLine(int x) {
    WindowData *win = nullptr;
    const TmHit hit = hit_at(x, &win);
    char line[64];
    if (hit == TM_HIT_WINDOW) {
        std::snprintf(line, sizeof line, "%i / %i (%i)", win->current + 1, win->total,
                      summa_window ? summa_window->total : 0);
        return line;
    }
    if (hit == TM_HIT_IN || hit == TM_HIT_OUT) {
        int in = 0, out = 0;
        TmGetInOut(&in, &out);
        long long frame =
            (long long)(hit == TM_HIT_IN ? in : out) + (summa_window ? summa_window->start : 0);
        frame = std::clamp<long long>(frame, 0, INT_MAX);
        char tc[12];
        vtr_tc2asc(frames2tc(int(frame)), tc);
        std::snprintf(line, sizeof line, "%s%s", hit == TM_HIT_IN ? "In " : "Out ", tc);
        return line;
    }
    return "no clips";
}

void TmButtonPress(unsigned button, int x, const XButtonEvent *event) {
    if (isPlayActive) return;
    WindowData *win = nullptr;
    const TmHit hit = hit_at(x, &win);
    if (button == Button1) {
        if (hit == TM_HIT_WINDOW)
            TmMakeVisible(win);
        else if (hit == TM_HIT_IN)
            tmline.drag = 1;
        else if (hit == TM_HIT_OUT)
            tmline.drag = 2;
    } else if (button == Button2) {
        if (hit == TM_HIT_WINDOW) TmMakeVisible(win);
        set_popup_line(TmPopupLine(x));
        if (!tmline.popup) return;
        if (event) XmMenuPosition(tmline.popup, const_cast<XButtonEvent *>(event));
        XtManageChild(tmline.popup);
    }
}

void TmButtonRelease(unsigned button, int x) {
    if (isPlayActive || button != Button1) return;
    const int drag = tmline.drag;
    tmline.drag = 0;
    if (drag == 0) return;
    WindowData *win = nullptr;
    if (hit_at(x, &win) != TM_HIT_WINDOW) return;
    const int which = drag == 1 ? 0 : 1;
    if (win == range_end(which)) return;
    TmSetWindows(win, which);
    TmUpdate(0);
}

void TmKey(KeySym key, int x) {
    if (isPlayActive) return;
    WindowData *win = nullptr;
    if (hit_at(x, &win) != TM_HIT_WINDOW) return;
    TmMakeVisible(win);
    switch (key) {
    case XK_Z:
    case XK_z:
        TmSetWindows(win, 0);
        break;
    case XK_X:
    case XK_x:
        TmSetWindows(win, 1);
        break;
    case XK_C:
    case XK_c:
        TmSetWindows(win, 0);
        TmSetWindows(win, 1);
        break;
    default:
        return;
    }
    TmUpdate(0);
}

void TmPointerEvent(Widget, XtPointer, XEvent *event, Boolean *) {
    if (event->type == ButtonPress)
        TmButtonPress(event->xbutton.button, event->xbutton.x, &event->xbutton);
    else if (event->type == ButtonRelease)
        TmButtonRelease(event->xbutton.button, event->xbutton.x);
}

void TmKeyEvent(Widget, XtPointer, XEvent *event, Boolean *) {
    Widget strip = tmline.strip;
    if (event->type != KeyPress || !strip || !XtIsRealized(strip)) return;
    // The key may reach the form or the strip: the pointer position in the
    // strip's own coordinates decides which window it is over.
    int x = 0, y = 0;
    Window child;
    if (!XTranslateCoordinates(XtDisplay(strip), event->xkey.window, XtWindow(strip), event->xkey.x,
                               event->xkey.y, &x, &y, &child))
        return;
    if (y < 0 || y >= TM_HEIGHT) return;
    TmKey(XLookupKeysym(&event->xkey, 0), x);
}
