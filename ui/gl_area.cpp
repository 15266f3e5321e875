// The drawing widgets that pictures are drawn into: an XmDrawingArea named
// "glx" that the drawing layer (platform/draw.h) draws through, and the
// shell's colormap windows.
#include "ui/gl_area.h"

#include <Xm/DrawingA.h>
#include <Xm/Xm.h>

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
