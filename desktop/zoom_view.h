// The zoom view ("Zoom view"): one window's picture magnified 1 to 7 times
// in a dialog of its own, following that window's frames.
#pragma once

#include <X11/Intrinsic.h>

struct WindowData;

// Shows win in the zoom view, creating the view when it is closed.
void CreaZoomPlay(WindowData *win);
// Redraws the zoom view when it shows win.
void ZoomDraw(WindowData *win);
// Closes the zoom view (destroys its dialog).
void ZoomClose();
// Sets the factor to 2 and forgets the view.
void ResetZoomData();
// Sets the zoom factor (1 to 7; others are ignored) and resizes the view.
void ZoomSetFactor(int factor);
// Handles one key in the view; shift is 1 with Shift held.
void ZoomKey(KeySym key, int shift);

// The window shown (null when the view is closed), the factor, and the
// view's dialog.
WindowData *ZoomWindow();
int ZoomFactor();
Widget ZoomDialog();
