// Keys on clip windows. KeyProcess routes a key by the kind of window it
// reaches (desktop, master area, summa window); it serves the pictures'
// DeleteWindow action, the summa picture's KeySumma, the areas' viewports,
// the full-size display and the zoom view.
#include <X11/keysym.h>
#include <Xm/Xm.h>

#include "desktop/clip_model.h"
#include "desktop/clip_operations.h"
#include "desktop/clip_window.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/display_window.h"
#include "desktop/frame_display.h"
#include "desktop/frame_stepping.h"
#include "desktop/globals.h"
#include "desktop/main_window.h"
#include "desktop/playback.h"
#include "desktop/zoom_view.h"
#include "ui/messages.h"
#include "vtr/timeline.h"

namespace {

enum { KIND_DESKTOP, KIND_MASTER, KIND_SUMMA };

// Tab: the window's picture comes into view and the pointer to its middle.
void go_to_window(WindowData *win) {
    if (!win) return;
    SetWindowVisible(win);
    if (!win->glw || !XtIsRealized(win->glw)) return;
    Display *dpy = XtDisplay(win->glw);
    XWarpPointer(dpy, None, XtWindow(win->glw), 0, 0, 0, 0, win->width / 2, win->height / 2);
    XFlush(dpy);
}

} // namespace

WindowData *TabTarget(const WindowData *win, int shift) {
    if (!win || win == summa_window || !first_window) return nullptr;
    if (shift == 1) {
        WindowData *prev = nullptr;
        for (WindowData *w = first_window; w && w != win; w = w->next)
            prev = w;
        return prev ? prev : last_window;
    }
    return win->next ? win->next : first_window;
}

void KeyProcess(WindowData *win, KeySym key, int shift) {
    if (!win || isPlayActive || !WindowListed(win)) return;
    const int kind = win == summa_window ? KIND_SUMMA : win->master ? KIND_MASTER : KIND_DESKTOP;
    // A placeholder has no frames: only memo mode and Tab act on it.
    const bool frames = win->seg_first != nullptr;
    switch (key) {
    case XK_D:
    case XK_d:
        if (frames) DispOpen(win);
        return;
    case XK_V:
    case XK_v:
        if (frames) CreaZoomPlay(win);
        return;
    case XK_Z:
    case XK_z:
    case XK_X:
    case XK_x:
        if (kind == KIND_DESKTOP) {
            SetMark(win, key == XK_X || key == XK_x);
        } else if (kind == KIND_MASTER && frames) {
            TmSetWindows(win, key == XK_X || key == XK_x ? 1 : 0);
            TmUpdate(0);
        }
        return;
    case XK_C:
    case XK_c:
        if (kind == KIND_DESKTOP && frames) {
            NewWindowSingle(win->glw, win);
        } else if (kind == KIND_MASTER && frames) {
            TmSetWindows(win, 0);
            TmSetWindows(win, 1);
            TmUpdate(0);
        }
        return;
    case XK_S:
    case XK_s:
        if (kind == KIND_DESKTOP && frames) SpliceNewWin(mainform, win, nullptr);
        return;
    case XK_M:
    case XK_m:
        if (kind == KIND_DESKTOP) MemoOn(win);
        return;
    case XK_Escape:
        if (kind == KIND_DESKTOP) SetMemoMode(win, 0);
        return;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        if (kind != KIND_SUMMA) go_to_window(TabTarget(win, shift == 1 ? 1 : 0));
        return;
    case XK_Right:
    case XK_Left:
        if (frames) ePlayStart(win, key == XK_Right ? 1 : -1);
        return;
    case XK_Up:
    case XK_Down:
        if (frames) ArrowStep(win, key == XK_Up ? 1 : -1);
        return;
    default:
        break;
    }
    if (!frames || win->playing) return;
    const int n = GoToFrame(win, key);
    if (n >= 0 && n != win->current) {
        win->current = n;
        UpdateValue(win);
        ShowFrame(win);
    }
}

void KeySumma(Widget, XEvent *event, String *, Cardinal *) {
    if (isPlayActive || !event || event->type != KeyPress || !summa_window) return;
    KeyProcess(summa_window, XLookupKeysym(&event->xkey, 0), -1);
}
