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
// "hh:mm:ss:ff" into buf (at least 12 bytes): the text of the timecode word
// (vtr/timecode.h), which holds at most 99 hours.
void PrintTimecode(char *buf, const WindowData *win);

// Sets the window's In mark (out 0, the "[" button) or Out mark (out 1, "]")
// to `current` and relabels it "< %i" / "> %i". Nothing for a placeholder.
void SetMark(WindowData *win, int out);

// Playback in an arrow's direction after the arrow was held (frame_stepping).
void StartArrowPlayback(WindowData *win, int dir);

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
