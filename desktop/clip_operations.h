// Clip operations on the desktop: new windows made from the marked ranges of
// others (copy, join, splice, speed changes, loops, stills) and the summa
// window that joins the master area. The frame maps are built by
// editing/derived_window.h; this side shows the windows and says what went
// wrong.
#pragma once

#include <X11/Intrinsic.h>

#include <string>

struct WindowData;

// Makes and shows a derived window. source: one window, or null for the
// selected desktop windows; repetitions: passes, negative for flip flop;
// recollect 1: the whole source window ("R("); type: DeriveType; factor: the
// speed factor. Returns the new window, or null when none was made (the
// reason has been shown).
WindowData *AddNewWindow(WindowData *source, int repetitions, int recollect, int type, int factor);

// A copy of the window's marked range (the "C" button and key).
void NewWindowSingle(Widget widget, WindowData *win);

// Splits a window at its current frame into two new windows. fromMenu 1: the
// single selected desktop window; else `win`.
void SpliceWindow(int fromMenu, WindowData *win);

// A still of `frames` frames of the current frame of the one selected desktop
// window.
void StillWindow(int frames);

// Rebuilds the summa window from the master area (freed when the master area
// is empty) and gives the timeline its range.
void UpdateSummaWindow();

// The title of a window: its memo text ("" without one).
std::string WindowTitle(WindowData *win);
