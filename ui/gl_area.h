// The GL drawing widget of clip windows, zoom views and the logo.
#pragma once

#include <X11/Intrinsic.h>

// Creates the drawing widget "glx" at x,y (w x h) in parent, adds `expose`
// with `data` as its expose callback, installs the colormap on `shell`,
// manages it and returns it. The drawing layer forgets its window when the
// widget is destroyed.
Widget CreaGlw(Widget shell, Widget parent, int x, int y, int w, int h, XtCallbackProc expose,
               XtPointer data);
// Sets the shell's WM_COLORMAP_WINDOWS to the GL window and the shell window.
void installColormap(Widget shell, Widget glw);
