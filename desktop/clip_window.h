// The clip window: the panel that shows one WindowData on the desktop, in
// the master area or as the summa window, with its picture, slider, labels,
// memo line and buttons, and the frame stepping and busy colours it offers.
#pragma once

#include <X11/Intrinsic.h>

struct WindowData;

// Picture offsets inside a window, set by CreaWidget for the last window
// built: XBAND = XSHIFT = (XLARG - width) / 2 - 2; the picture's top is
// YSHIFTH in master-area windows and YSHIFTW / YSHIFTS on the desktop and in
// the summa window.
extern int XBAND, XSHIFT, YSHIFTH, YSHIFTW, YSHIFTS;

// The normal colours of desktop windows (the label frame's top shadow and
// the timecode label's text), noted by the first desktop window built; used
// to undo selection and busy colours.
extern Pixel clip_normal_shadow, clip_normal_fg;
extern int clip_normal_known;

// Builds the widgets of `win`: a desktop window (summa 0, win->master 0), a
// master-area window (win->master non-zero), the summa window (summa 1) or
// an import placeholder (placeholder 1, no segments; import_entry is the
// import job's entry). `area` is accepted and not used.
// `name` is a malloc'd string whose ownership passes here (it becomes the
// memo text, cut to 64 characters, and is freed). A non-null name marks a new
// window: it gets the next free cell and is scrolled into view; with a null
// name the window keeps its `slot` (rebuilding it in another area).
void CreaWidget(WindowData *win, int area, int summa, int placeholder, int import_entry,
                char *name);

// Shows `current` on the slider and, for desktop and summa windows, on the
// frame-number and timecode labels.
void UpdateValue(WindowData *win);

// Writes the timecode of win->current + win->start at `fps` as
// "hh:mm:ss:ff" into buf (at least 32 bytes; hours are not wrapped).
void PrintTimecode(char *buf, const WindowData *win);

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

// Arm of an arrow: waits, handling events, until the button is released
// (activate or disarm) or has been held for 0.51 s, when playback in the
// arrow's direction would begin. Returns 1 when the hold ran out, 0 when the
// button was released first, -1 when another arm is already waiting.
int ArrowArm(WindowData *win, int dir);
// Disarm of an arrow: ends the waiting of ArrowArm.
void ArrowDisarm();

// Busy colours: sets the top shadow of the frame around `frame_label` (not in
// the summa window) and the label's text to `pixel`; a negative pixel
// restores the normal colours. Nothing for windows without a frame label.
void SetFrameColor(WindowData *win, long pixel);
// Chooses the frame colour from the window's state: BUSY_YEL when a clip of
// its segments is busy, else BUSY_GRN when an export job works on it, else
// the normal colours. Only for the summa window and desktop windows.
void RestoreFrameColor(WindowData *win);

// Shows "IN PROGRESS (done/total)" on a placeholder's label; with a name its
// base name follows after ":\n", with a trailing run of "#" cut off.
void SetImportProgress(const char *name, Widget label, int done, int total);
