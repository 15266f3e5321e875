// Stepping and scrubbing through a clip window's frames: slider, arrows and
// the clicks on the mark labels.
#pragma once

#include <X11/Intrinsic.h>

struct WindowData;

// Slider callback (value changed and drag). client_data is the window, or 0
// for the summa window. Button-2 motion moves one frame per four events.
void ScaleValue(Widget w, XtPointer client_data, XtPointer call_data);
// The work of ScaleValue: the slider of win moved to `value` (1-based) with
// `event` (may be null). Button-2 presses and releases only update the
// labels; button-2 motion steps one frame towards the value on every fourth
// event; anything else jumps to the value.
void ScaleChange(WindowData *win, const XEvent *event, int value);

// Click on the in label (out 0) or the out label (out 1): `current` becomes
// the mark, the window is updated and, unless it plays, the frame shown.
void ShowMark(WindowData *win, int out);

// Steps `current` by dir (-1 or +1) within 0..total-1, updates and shows the
// frame. Nothing while the window plays. Returns 1 when the frame changed.
int ArrowStep(WindowData *win, int dir);

// Arm of an arrow: starts a 0.51 s toolkit timer after which playback in the
// arrow's direction begins (StartArrowPlayback), unless the button is
// released first (activate or disarm). Returns 1 when the timer started, 0
// when the window cannot step, -1 when another arrow is already held.
int ArrowArm(WindowData *win, int dir);
// Disarm of an arrow: cancels the hold timer of ArrowArm.
void ArrowDisarm();
// 1 while an arrow's hold timer runs.
int ArrowHeld();

// The arrows' callbacks (client data: the window): activate steps, arm and
// disarm start and cancel the hold.
void ArrowActivateCB(Widget w, XtPointer client_data, XtPointer call_data);
void ArrowArmCB(Widget w, XtPointer client_data, XtPointer call_data);
void ArrowDisarmCB(Widget w, XtPointer client_data, XtPointer call_data);
