// Click and drag on window pictures. Button 1 pressed on a picture adds
// motion and release handlers to it for the length of the press (no event
// loop of its own): the pointer stays with the picture through the grab the
// server makes for a button press, which ends by itself at the release, so
// a release the toolkit withholds (a modal box popped up meanwhile) never
// leaves the pointer held. Released within 6 pixels it is a click that
// selects; moved further it becomes a drag with the move cursor, scrolling
// an area whose edge the pointer nears, and the release drops the window
// into the cell under the pointer, in either area.
#include <Xm/ScrollBar.h>
#include <Xm/ScrolledW.h>
#include <Xm/Xm.h>

#include <cstdlib>

#include "desktop/clip_model.h"
#include "desktop/clip_operations.h"
#include "desktop/clip_window.h"
#include "desktop/desktop_area.h"
#include "desktop/display_window.h"
#include "desktop/globals.h"
#include "desktop/zoom_view.h"
#include "ui/icons.h"
#include "ui/messages.h"

namespace {

constexpr int kDragStart = 6; // pixels the pointer moves before a click becomes a drag
constexpr int kEdge = 40;     // pixels from an area's visible edge that scroll it
constexpr unsigned kGrabMask = ButtonMotionMask | ButtonReleaseMask;

// The one drag in progress: the window, its picture and the press point.
struct DragState {
    WindowData *win = nullptr;
    Widget glw = nullptr;
    int x_root = 0, y_root = 0; // press point on the screen
    bool moving = false;        // moved kDragStart pixels or more: a drag, not a click
};
DragState drag;

int floor_div(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

int scroll_value(Widget bar) {
    if (!bar || !XtIsManaged(bar)) return 0;
    int v = 0;
    XtVaGetValues(bar, XmNvalue, &v, NULL);
    return v;
}

AreaScroll current_scroll() {
    AreaScroll s;
    s.work_x = scroll_value(work_h);
    s.work_y = scroll_value(work_v);
    s.happy_x = scroll_value(happy_h);
    s.happy_y = scroll_value(happy_v);
    return s;
}

// Moves a scroll bar by a tenth of its range in direction dir, within its
// limits; the scrolled window follows.
void nudge(Widget bar, int dir) {
    if (!bar || !XtIsManaged(bar)) return;
    int value = 0, slider = 0, inc = 0, page = 0, lo = 0, hi = 0;
    XmScrollBarGetValues(bar, &value, &slider, &inc, &page);
    XtVaGetValues(bar, XmNminimum, &lo, XmNmaximum, &hi, NULL);
    int step = (hi - lo) / 10;
    if (step < 1) step = 1;
    int v = value + dir * step;
    if (v > hi - slider) v = hi - slider;
    if (v < lo) v = lo;
    if (v != value) XmScrollBarSetValues(bar, v, slider, inc, page, True);
}

// Scrolls the area under the pointer when the pointer is near its edge.
void edge_scroll(int x_root, int y_root) {
    struct Area {
        Widget swin, h, v;
    } areas[] = {{workswin, work_h, work_v}, {happyswin, happy_h, happy_v}};
    for (const Area &a : areas) {
        if (!a.swin || !XtIsRealized(a.swin)) continue;
        Widget clip = nullptr;
        XtVaGetValues(a.swin, XmNclipWindow, &clip, NULL);
        if (!clip) continue;
        Position rx = 0, ry = 0;
        Dimension wd = 0, ht = 0;
        XtTranslateCoords(clip, 0, 0, &rx, &ry);
        XtVaGetValues(clip, XmNwidth, &wd, XmNheight, &ht, NULL);
        const int x = x_root - rx, y = y_root - ry;
        if (x < 0 || y < 0 || x >= wd || y >= ht) continue;
        if (x < kEdge) nudge(a.h, -1);
        if (x >= wd - kEdge) nudge(a.h, 1);
        if (y < kEdge) nudge(a.v, -1);
        if (y >= ht - kEdge) nudge(a.v, 1);
        return;
    }
}

// Removes the press's handlers; with `ungrab` also ends the press's grab
// before its release.
void end_press(bool ungrab) {
    if (!drag.glw) return;
    XtRemoveEventHandler(drag.glw, kGrabMask, False, DragEvent, nullptr);
    if (ungrab && XtIsRealized(drag.glw)) {
        XUngrabPointer(XtDisplay(drag.glw), CurrentTime);
        XFlush(XtDisplay(drag.glw));
    }
}

// The pointer moved far enough: the move cursor shows a drag (DragIcon).
void DragIcon() {
    drag.moving = true;
    if (drag.glw && XtIsRealized(drag.glw))
        XChangeActivePointerGrab(XtDisplay(drag.glw), kGrabMask, moveCursor, CurrentTime);
}

void release(const XButtonEvent &ev) {
    WindowData *win = drag.win;
    const bool moved = drag.moving || std::abs(ev.x_root - drag.x_root) >= kDragStart ||
                       std::abs(ev.y_root - drag.y_root) >= kDragStart;
    end_press(false);
    drag = DragState{};
    if (!WindowListed(win)) return;
    if (!moved) {
        if (ev.state & ShiftMask)
            SelectShift(win);
        else if (ev.state & ControlMask)
            SelectToggle(win);
        else
            SelectNormal(win);
        return;
    }
    int area = 0, slot = 0;
    DropTarget(win, ev.x, ev.y, current_scroll(), &area, &slot);
    const int was_master = win->master;
    // A window moved into, out of or within the master area changes the summa.
    if (DropWindow(win, area, slot) && (was_master || area)) UpdateSummaWindow();
}

} // namespace

void DragEvent(Widget, XtPointer, XEvent *ev, Boolean *) {
    if (!drag.win || !ev) return;
    if (ev->type == MotionNotify) {
        const XMotionEvent &m = ev->xmotion;
        if (!(m.state & Button1Mask)) { // the release went elsewhere
            CancelDrag();
            return;
        }
        if (!drag.moving && (std::abs(m.x_root - drag.x_root) >= kDragStart ||
                             std::abs(m.y_root - drag.y_root) >= kDragStart))
            DragIcon();
        if (drag.moving) edge_scroll(m.x_root, m.y_root);
    } else if (ev->type == ButtonRelease && ev->xbutton.button == Button1) {
        release(ev->xbutton);
    }
}

void BtnPress(Widget w, XtPointer client_data, XEvent *event, Boolean *) {
    auto *win = static_cast<WindowData *>(client_data);
    if (!win || !event || event->type != ButtonPress || isPlayActive || win->playing) return;
    if (!WindowListed(win)) return; // closed by another handler of this press
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
    if (event->xbutton.button != Button1) return;
    if (DeleteWindowArmed(w)) {
        DeleteWindow(w, event, nullptr, nullptr); // BackSpace, then this click: close
        return;
    }
    CancelDrag();
    drag.win = win;
    drag.glw = w;
    drag.x_root = event->xbutton.x_root;
    drag.y_root = event->xbutton.y_root;
    XtAddEventHandler(w, kGrabMask, False, DragEvent, nullptr);
    // The press's grab reports what the picture selected when it began:
    // motion and release are added to it now.
    if (XtIsRealized(w)) XChangeActivePointerGrab(XtDisplay(w), kGrabMask, None, CurrentTime);
}

WindowData *DraggedWindow() {
    return drag.win;
}

void CancelDrag() {
    if (!drag.win) return;
    end_press(true);
    drag = DragState{};
}

void DropTarget(const WindowData *win, int px, int py, const AreaScroll &s, int *area, int *slot) {
    int x = 0, y = 0;
    WindowPosition(win->slot, &x, &y, win->master);
    x += px + XSHIFT;
    y += py + (win->master ? YSHIFTH : YSHIFTW);
    int a = win->master ? 1 : 0;
    if (!a && y - s.work_y < YBORD) {
        // Above the desktop's visible top: into the master area.
        a = 1;
        x = x - s.work_x + s.happy_x;
        y = y - s.work_y + HAPPYH + s.happy_y;
    } else if (a && y - s.happy_y > YBORD + YLARG) {
        // Below the master area's cells: onto the desktop.
        a = 0;
        x = x - s.happy_x + s.work_x;
        y = y - s.happy_y - HAPPYH + s.work_y;
    }
    const int cols = NCOL > 0 ? NCOL : 1;
    int col = floor_div(x - XBORD + XBAND, XLARG > 0 ? XLARG : 1);
    if (col < 0) col = 0;
    if (!a && col > cols - 1) col = cols - 1;
    int row = floor_div(y - YBORD, YLARG > 0 ? YLARG : 1);
    if (a || row < 0) row = 0;
    if (area) *area = a;
    if (slot) *slot = row * cols + col;
}

int DropWindow(WindowData *win, int area, int slot) {
    if (!WindowListed(win) || win == summa_window) return 0;
    if (area && !win->seg_first) {
        PutCharMessage(mainform,
                       "Import process still in progress.\nClip cannot be moved to master area.");
        return 0;
    }
    // The window the dropped one goes before.
    WindowData *target = nullptr;
    if (area) {
        target = first_window;
        for (int i = 0; i < slot && target && target != first_work; i++)
            target = target->next;
        if (target == first_work) target = nullptr;
    } else {
        for (WindowData *w = first_work; w; w = w->next)
            if (w->slot == slot) {
                target = w;
                break;
            }
    }
    if (target == win) return 0;
    if (target && target == win->next && target != first_work && win != last_window) return 0;
    if (!defaults[DEF_REARRANGE] && !area) {
        if (target) return 0; // the cell is taken
        for (WindowData *w = first_work; w; w = w->next)
            if (w->slot > slot) {
                target = w;
                break;
            }
        win->slot = slot;
    }
    if (target != win) {
        // Unlink.
        WindowData **link = &first_window;
        while (*link && *link != win)
            link = &(*link)->next;
        if (*link) *link = win->next;
        if (first_work == win) first_work = win->next;
        win->next = nullptr;
        // Insert before target; into the master area without one: just
        // before first_work.
        WindowData *before = target;
        if (area && !before) before = first_work;
        link = &first_window;
        while (*link && *link != before)
            link = &(*link)->next;
        win->next = *link;
        *link = win;
        if (!area && (before == first_work || !first_work)) first_work = win;
        last_window = nullptr;
        for (WindowData *w = first_window; w; w = w->next)
            last_window = w;
    }
    win->master = area ? 1 : 0;
    RepositionWindows();
    SetWindowVisible(win);
    return 1;
}
