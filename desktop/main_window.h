// The main window: its layout, colours, logo window, key routing, the About
// box and the hidden forms that carry colours from resources.
#pragma once

#include <X11/Intrinsic.h>

struct WindowData;

extern Widget menubar;
extern Widget timeline_form;
extern Widget vtrform;
extern WindowData logo_window;

// Lays out the main window in app_shell for a screen of W x H pixels, with
// or without the VTR form.
void CreaMainWindow(int W, int H, bool vtr_wanted);
// Foreground pixel of the menu bar's labels (0 before the menu bar exists).
Pixel MenuForeground();
// Re-tints the logo for the main form's background and creates its window.
void CreaLogoWindow(int W);
// Key-press handler of the two areas' viewports: routes a key to the clip
// window under the pointer.
void KeyEvent(Widget w, XtPointer client, XEvent *event, Boolean *cont);
// Button-press handler of the logo.
void LogoPress(Widget w, XtPointer client, XEvent *event, Boolean *cont);
// Path of the logo movie: $TMPDIR (or /tmp) + "/dulsar.mv".
const char *LogoMoviePath();
// Extracts the movie from the last `size` bytes of `program` into `movie`,
// created exclusively (never through an existing file or link). Returns 1
// when every byte was written, else 0 (and no file is left).
int ExtractLogoMovie(const char *program, const char *movie, long size);
// Routes a key to a clip window (the desktop's key handling).
void KeyProcess(WindowData *win, KeySym key, int shift);
