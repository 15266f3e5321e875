// Places clip windows in the desktop and master areas: the cell of a slot
// and scrolling a window into view.
#pragma once

struct WindowData;

// Cell of `slot` in the master area (master non-zero) or on the desktop,
// written to *x, *y. A negative slot means the next free one: one past the
// last master-area window's slot (or 0), or on the desktop one past
// last_window's slot when the desktop has windows (else 0). Returns the slot
// used.
int WindowPosition(int slot, int *x, int *y, int master);

// Scrolls the window's area so that the window shows with a 5-pixel margin.
// Nothing for the summa window.
void SetWindowVisible(WindowData *win);

#include <X11/Intrinsic.h>

// Button handler of desktop and master-area pictures: button 2 opens the
// full-size display, Shift + button 2 the zoom view. Button-1 selection and
// dragging come with the desktop areas. Nothing during playback or while the
// window plays. client_data is the window.
void BtnPress(Widget w, XtPointer client_data, XEvent *event, Boolean *cont);

// Actions of the window translations, registered at start-up: keys on a
// picture (DeleteWindow), on the summa picture (KeySumma), button 2 on the
// left and right arrows (Play2Sx, Play2Dx).
void DeleteWindow(Widget w, XEvent *event, String *params, Cardinal *num_params);
void KeySumma(Widget w, XEvent *event, String *params, Cardinal *num_params);
void Play2Sx(Widget w, XEvent *event, String *params, Cardinal *num_params);
void Play2Dx(Widget w, XEvent *event, String *params, Cardinal *num_params);

// Translations of window pictures (keys and pointer leave go to the
// DeleteWindow action), of the summa picture (KeySumma) and of the left
// (dir -1, Play2Sx) and right (Play2Dx) arrows.
XtTranslations WindowTranslations();
XtTranslations SummaTranslations();
XtTranslations ArrowTranslations(int dir);
