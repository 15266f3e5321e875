// `DrawImage`: a clip window's picture goes through the drawing layer
// (platform/draw.h) into its "glx" widget (ui/gl_area.h).
#include "desktop/glw.h"

#include <Xm/Xm.h>

#include "desktop/clip_model.h"
#include "desktop/zoom_view.h"
#include "platform/draw.h"

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
        } else if (win->source == SOURCE_LOG) {
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
