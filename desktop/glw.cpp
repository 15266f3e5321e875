// GL drawing widgets and `DrawImage`: a window's picture goes through the
// drawing layer (platform/draw.h) into its "glx" widget.
#include "desktop/glw.h"

#include <Xm/DrawingA.h>
#include <Xm/Xm.h>

#include "desktop/clip_model.h"
#include "desktop/zoom_view.h"
#include "platform/draw.h"

static void glw_destroyed(Widget w, XtPointer, XtPointer) {
    if (XtIsRealized(w)) GLXforget(XtWindow(w));
}

Widget CreaGlw(Widget shell, Widget parent, int x, int y, int w, int h, XtCallbackProc expose,
               XtPointer data) {
    Arg a[7];
    int n = 0;
    XtSetArg(a[n], XmNx, x), n++;
    XtSetArg(a[n], XmNy, y), n++;
    XtSetArg(a[n], XmNwidth, w), n++;
    XtSetArg(a[n], XmNheight, h), n++;
    XtSetArg(a[n], XmNmarginWidth, 0), n++;
    XtSetArg(a[n], XmNmarginHeight, 0), n++;
    XtSetArg(a[n], XmNresizePolicy, XmRESIZE_NONE), n++;
    Widget glw = XtCreateWidget("glx", xmDrawingAreaWidgetClass, parent, a, Cardinal(n));
    if (expose) XtAddCallback(glw, XmNexposeCallback, expose, data);
    XtAddCallback(glw, XmNdestroyCallback, glw_destroyed, nullptr);
    XtManageChild(glw);
    if (shell) installColormap(shell, glw);
    return glw;
}

void installColormap(Widget shell, Widget glw) {
    if (!XtIsRealized(shell) || !XtIsRealized(glw)) return;
    Window wins[2] = {XtWindow(glw), XtWindow(shell)};
    XSetWMColormapWindows(XtDisplay(shell), XtWindow(shell), wins, 2);
}

void glwExpose(Widget, XtPointer client_data, XtPointer) {
    DrawImage(static_cast<WindowData *>(client_data), 1);
}

void DrawImage(WindowData *win, int exposing) {
    if (!win || !win->seg_first) return;
    if (win->glw && XtIsRealized(win->glw)) {
        GLXwinset(XtDisplay(win->glw), XtWindow(win->glw));
        RGBmode();
        if (!win->image) {
            RGBcolor(0, 0, 0);
            clear();
        } else if (win->source == 1) {
            rectzoom(1, 1);
            lrectwrite(0, 0, win->width - 1, win->height - 1, win->image);
        } else {
            rectzoom(2, 2);
            lrectwrite(0, 0, win->width / 2 - 1, win->height / 2 - 1, win->image);
            rectzoom(1, 1);
        }
    }
    // A new picture (not a repaint) also goes to the zoom view showing it.
    if (!exposing) ZoomDraw(win);
}
