// The picture widgets of clip windows and the logo: creation of the GL
// drawing widget and drawing of a window's image.
#pragma once

#include <X11/Intrinsic.h>

struct WindowData;

// Creates the drawing widget "glx" at x,y (w x h) in parent, adds `expose`
// with `data` as its expose callback, installs the colormap on `shell`,
// manages it and returns it.
Widget CreaGlw(Widget shell, Widget parent, int x, int y, int w, int h, XtCallbackProc expose,
               XtPointer data);
// Sets the shell's WM_COLORMAP_WINDOWS to the GL window and the shell window.
void installColormap(Widget shell, Widget glw);
// Expose callback: DrawImage of the WindowData given as client data, exposing.
void glwExpose(Widget w, XtPointer client_data, XtPointer call_data);
// Draws the window's image into its GL widget (windows with segments only):
// black without an image, 1:1 for log pictures, zoom 2 for eighth-size ones.
void DrawImage(WindowData *win, int exposing);
