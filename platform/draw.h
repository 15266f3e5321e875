// Drawing layer: the few IRIS GL calls the program makes, drawn into an X
// window through an XImage (MIT-SHM when the server offers it).
//
// Pixels handed to lrectwrite are 32-bit words stored as the bytes A, B, G, R,
// rows bottom-up, as the program's display images are laid out. Each draw is
// converted once to the window's visual and scaled by the integer zoom set
// with rectzoom. The drawing state (current window, colour, zoom) belongs to
// the main thread; jobs never draw.
#pragma once

#include <X11/Xlib.h>

// Makes the given window the target of the following calls. Returns 0.
int GLXwinset(Display *dpy, Window win);
// RGB mode is the only mode this layer has; kept so callers read as before.
void RGBmode();
// Sets the colour used by clear (0..255 each).
void RGBcolor(short r, short g, short b);
// Fills the current window with the current colour.
void clear();
// Sets the zoom of lrectwrite; factors below 1 count as 1, fractions are dropped.
void rectzoom(float xfactor, float yfactor);
// Moves the current character position (window coordinates, origin bottom-left).
void cmov2i(int x, int y);
// Writes the rectangle x1..x2, y1..y2 (inclusive; origin at the window's
// bottom-left) from parray, (x2-x1+1) words a row, bottom row first.
void lrectwrite(int x1, int y1, int x2, int y2, const void *parray);

// Forgets the cached image of a window being destroyed or resized: a window's
// visual and height are read when its image is made, not on every draw.
void GLXforget(Window win);
