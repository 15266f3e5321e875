// Drawing of a clip window's (or the logo's) image into its GL widget.
#pragma once

#include <X11/Intrinsic.h>

#include "ui/gl_area.h"

struct WindowData;

// Expose callback: DrawImage of the WindowData given as client data, exposing.
void glwExpose(Widget w, XtPointer client_data, XtPointer call_data);
// Draws the window's image into its GL widget (windows with segments only):
// black without an image, 1:1 for log pictures, zoom 2 for eighth-size ones.
void DrawImage(WindowData *win, int exposing);
