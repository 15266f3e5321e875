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

// The 17x17 pictures of the clip windows' transport and arrow buttons, one
// set of pixmaps per area kind (desktop, master area, summa window), drawn
// in that area's foreground on its background.
enum { CLIP_PIC_PLAY = 0, CLIP_PIC_STOP = 1, CLIP_PIC_REVE = 2 };
constexpr int CLIP_PICTURE_SETS = 3;
// The bitmap of picture `which` (XBM layout: rows of 3 bytes, least
// significant bit leftmost).
void ClipButtonBits(int which, unsigned char bits[17 * 3]);
// The pixmap of picture `which` for area kind `set` (0..2) in `area`'s
// colours fg on bg; made once per area widget and freed when it is
// destroyed. None for a bad set or picture.
Pixmap ClipButtonPixmap(int set, Widget area, Pixel fg, Pixel bg, int which);
// Shows a pixmap as a button's or label's picture.
void SetLabelPixmap(Widget button, Pixmap pix);
