// The zoom view: a dialog "Zoom view" that shows one clip window's picture
// magnified 1 to 7 times and follows that window's frames. There is one view
// for the program; opening it for another window only switches the window.
#include "desktop/zoom_view.h"

#include <X11/keysym.h>
#include <Xm/Protocols.h>
#include <Xm/Xm.h>

#include <cmath>

#include "desktop/clip_model.h"
#include "desktop/glw.h"
#include "desktop/globals.h"
#include "ui/icons.h"
#include "desktop/main_window.h"
#include "ui/widgets.h"
#include "platform/draw.h"

namespace {

struct ZoomView {
    int factor = 2;
    int width = 0, height = 0; // the clip's log size times the factor
    Widget dialog = nullptr, draw = nullptr, glw = nullptr;
    WindowData *win = nullptr;
};
ZoomView zoom;

void zoom_key(Widget, XtPointer, XEvent *ev, Boolean *) {
    if (ev->type != KeyPress) return;
    char text[8];
    KeySym key = NoSymbol;
    XLookupString(&ev->xkey, text, sizeof text, &key, nullptr);
    ZoomKey(key, (ev->xkey.state & ShiftMask) ? 1 : 0);
}

void zoom_expose(Widget, XtPointer, XtPointer) {
    if (zoom.win) ZoomDraw(zoom.win);
}

// The GL widget is made when the drawing area is first shown.
void draw_expose(Widget w, XtPointer, XtPointer) {
    if (zoom.glw || !zoom.dialog) return;
    zoom.glw =
        CreaGlw(XtParent(zoom.dialog), w, 0, 0, zoom.width, zoom.height, zoom_expose, nullptr);
    XtAddEventHandler(zoom.glw, KeyPressMask, False, zoom_key, nullptr);
    XtAddEventHandler(w, KeyPressMask, False, zoom_key, nullptr);
    XmProcessTraversal(zoom.glw, XmTRAVERSE_CURRENT);
    zoom_expose(w, nullptr, nullptr);
}

void wm_close(Widget, XtPointer, XtPointer) {
    ZoomClose();
}

// A window shown in the view is going away (its widgets are destroyed when
// it is released): the view closes rather than keep a stale window.
void window_gone(Widget, XtPointer client, XtPointer) {
    if (zoom.win != client) return;
    zoom.win = nullptr; // the record may be gone already: never touch it
    ZoomClose();
}

void watch_window(WindowData *win) {
    if (win->frame) XtAddCallback(win->frame, XmNdestroyCallback, window_gone, win);
}

void unwatch_window(WindowData *win) {
    if (win && win->frame) XtRemoveCallback(win->frame, XmNdestroyCallback, window_gone, win);
}

// The dialog's state goes with the dialog.
void dialog_destroyed(Widget w, XtPointer, XtPointer) {
    if (zoom.dialog != w) return;
    unwatch_window(zoom.win);
    zoom.dialog = zoom.draw = zoom.glw = nullptr;
    zoom.win = nullptr;
}

void place_centred() {
    if (zoom.factor != 7 || !zoom.dialog) return;
    Screen *scr = XtScreen(zoom.dialog);
    XtVaSetValues(zoom.dialog, XmNdefaultPosition, False, XmNx,
                  (WidthOfScreen(scr) - zoom.width) / 2, XmNy,
                  (HeightOfScreen(scr) - zoom.height) / 2 + 16, NULL);
}

void resize_view() {
    if (!zoom.win) return;
    zoom.width = zoom.win->width * zoom.factor;
    zoom.height = zoom.win->height * zoom.factor;
    if (!zoom.dialog) return;
    XtVaSetValues(zoom.dialog, XmNwidth, zoom.width, XmNheight, zoom.height, NULL);
    if (zoom.draw) XtVaSetValues(zoom.draw, XmNwidth, zoom.width, XmNheight, zoom.height, NULL);
    if (zoom.glw) {
        XtVaSetValues(zoom.glw, XmNwidth, zoom.width, XmNheight, zoom.height, NULL);
        // The drawing layer measures the window again at its next draw.
        if (XtIsRealized(zoom.glw)) GLXforget(XtWindow(zoom.glw));
    }
    place_centred();
    ZoomDraw(zoom.win);
}

} // namespace

void CreaZoomPlay(WindowData *win) {
    if (!win || !win->seg_first || win->width <= 0 || win->height <= 0) return;
    if (zoom.dialog) {
        if (zoom.win != win) {
            unwatch_window(zoom.win);
            watch_window(win);
        }
        zoom.win = win;
        if (zoom.width != win->width * zoom.factor || zoom.height != win->height * zoom.factor)
            resize_view();
        else
            ZoomDraw(win);
        if (XtIsRealized(zoom.dialog))
            XRaiseWindow(XtDisplay(zoom.dialog), XtWindow(XtParent(zoom.dialog)));
        return;
    }
    zoom.win = win;
    watch_window(win);
    zoom.width = win->width * zoom.factor;
    zoom.height = win->height * zoom.factor;
    zoom.dialog = CreaDialog(mainform, "Zoom view", "disp", zoom.width, zoom.height, 0, 0);
    XtAddCallback(zoom.dialog, XmNdestroyCallback, dialog_destroyed, nullptr);
    Atom del = XmInternAtom(XtDisplay(zoom.dialog), const_cast<char *>("WM_DELETE_WINDOW"), False);
    XmAddWMProtocolCallback(XtParent(zoom.dialog), del, wm_close, nullptr);
    zoom.draw = CreaDraw(zoom.dialog, 0, 0, zoom.width, zoom.height);
    XtAddCallback(zoom.draw, XmNexposeCallback, draw_expose, nullptr);
    place_centred();
    XtManageChild(zoom.dialog);
}

void ZoomDraw(WindowData *win) {
    if (!win || win != zoom.win || !zoom.glw || !XtIsRealized(zoom.glw) || !win->image) return;
    const int z = (win->source == SOURCE_REEL ? 2 : 1) * zoom.factor;
    const int x2 = int(std::lround(double(zoom.width) / z)) - 1;
    const int y2 = int(std::lround(double(zoom.height) / z)) - 1;
    // Never read past the window's picture.
    if (x2 < 0 || y2 < 0 || long(x2 + 1) * (y2 + 1) > long(win->width) * win->height) return;
    GLXwinset(XtDisplay(zoom.glw), XtWindow(zoom.glw));
    RGBmode();
    rectzoom(float(z), float(z));
    lrectwrite(0, 0, x2, y2, win->image);
    rectzoom(1, 1);
}

void ZoomClose() {
    unwatch_window(zoom.win);
    Widget d = zoom.dialog;
    zoom.dialog = zoom.draw = zoom.glw = nullptr;
    zoom.win = nullptr;
    if (d) XtDestroyWidget(XtParent(d));
}

void ResetZoomData() {
    zoom = ZoomView{};
}

void ZoomSetFactor(int factor) {
    if (factor < 1 || factor > 7) return;
    if (factor == zoom.factor) return;
    zoom.factor = factor;
    resize_view();
}

void ZoomKey(KeySym key, int shift) {
    if (isPlayActive || !zoom.win) return;
    switch (key) {
    case XK_plus:
    case XK_equal:
    case XK_KP_Add:
        ZoomSetFactor(zoom.factor < 7 ? zoom.factor + 1 : 7);
        return;
    case XK_minus:
    case XK_underscore:
    case XK_KP_Subtract:
        ZoomSetFactor(zoom.factor > 1 ? zoom.factor - 1 : 1);
        return;
    case XK_KP_1:
    case XK_KP_End:
        ZoomSetFactor(1);
        return;
    case XK_KP_2:
    case XK_KP_Down:
        ZoomSetFactor(2);
        return;
    case XK_KP_3:
    case XK_KP_Next:
        ZoomSetFactor(3);
        return;
    case XK_KP_4:
    case XK_KP_Left:
        ZoomSetFactor(4);
        return;
    case XK_KP_5:
    case XK_KP_Begin:
        ZoomSetFactor(5);
        return;
    case XK_KP_6:
    case XK_KP_Right:
        ZoomSetFactor(6);
        return;
    case XK_KP_7:
    case XK_KP_Home:
        ZoomSetFactor(7);
        return;
    case XK_Escape:
        ZoomClose();
        return;
    case XK_Tab:
        return;
    case XK_D:
    case XK_d: {
        WindowData *win = zoom.win;
        SetWaitCursor(mainform);
        KeyProcess(win, key, shift);
        SetDefaultCursor(mainform);
        return;
    }
    default:
        KeyProcess(zoom.win, key, shift);
    }
}

WindowData *ZoomWindow() {
    return zoom.win;
}
int ZoomFactor() {
    return zoom.factor;
}
Widget ZoomDialog() {
    return zoom.dialog;
}
