// Cursors and message icons of the main window.
#pragma once

#include <X11/Intrinsic.h>

extern Pixmap mspix, mmpix;  // 31x31 move-cursor bitmap and its mask
extern Cursor moveCursor;    // cursor shown while dragging clip windows
extern Widget dulsar_err_w;  // hidden form carrying the error icon colours
extern Widget dulsar_warn_w; // hidden form carrying the warning icon colours

// Builds mspix, mmpix, moveCursor (hot spot 15,15) and the wait cursor.
void CreaCursors(Widget w);
// Frees the cursors and their bitmaps.
void FreeCursors(Display *dpy);
// Defines the wait cursor (the watch) on the widget's window and flushes.
void SetWaitCursor(Widget w);
// Undefines the widget's cursor and flushes.
void SetDefaultCursor(Widget w);
// 40x40 icons drawn in the colours of "dulsar_err" / "dulsar_warn"; built
// once and cached. Return None before the main window exists.
Pixmap GetErrorPixmap();
Pixmap GetWarningPixmap();

// The 40x40 icon bitmap (XBM layout: rows of 5 bytes, least significant bit
// first); the 31x31 move-cursor shape and mask (rows of 4 bytes).
const unsigned char *IconBits();
const unsigned char *MoveCursorBits(bool mask);
