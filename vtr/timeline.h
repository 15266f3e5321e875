// The timeline under the master area: a 40-pixel form holding the strip that
// shows the master area's clips with their In and Out markers, and the
// playback position scale under it. The strip's geometry and range rules
// live in vtr/timeline_strip.h; this is the toolkit side.
#pragma once

#include <X11/Intrinsic.h>

#include <string>

struct WindowData;

// Line height the clip windows reserve for the timeline strip.
int TmLineH();

// Creates the "timeline" form in parent below `top` (attached to the
// parent's sides), clears the markers and makes the image buffers for strips
// up to max_width pixels (at most 16384). Returns the form.
Widget TmCreaForm(Widget parent, Widget top, int max_width);

// Builds the marker images in the given foreground colour on the background
// (R, G, B bytes each), creates the strip "glx" (20 high) and the position
// scale in the form, the popup menu "popup" with its label, and the strip's
// pointer, key and resize handlers. The scale starts hidden, as for an empty
// master area.
void TmCreaGlw(const unsigned char background[3], const unsigned char foreground[3]);

// Redraws the strip from the master area and the summa window. With rescale
// the scale's maximum becomes the master area's length (at least 2) and its
// page step 1 below 12 frames, else (length - 1) / 10. An empty master area
// or no summa window hides the scale and clears the strip.
void TmUpdate(int rescale);

// Sets the In (which 0) or Out (which 1) window, keeping In not after Out. A
// null window, or one outside the master area, leaves that end to the first
// (In) or last (Out) master-area window.
void TmSetWindows(WindowData *win, int which);

// First frame of the In window and last frame of the Out window, counted from
// the start of the master area; 0 and 0 without a master area.
void TmGetInOut(int *in, int *out);

// Moves the position scale to `value` (1-based), kept within its range.
void TmSetScale(int value);

// Draws a master-area window's own strip (`tmglw`) in the colour its block
// has in the timeline. Nothing for other windows or before the widget shows.
void TmDrawLine(WindowData *win);

// ---- hooks the desktop registers at start-up ----

// Makes a window visible in its area (the desktop's SetWindowVisible).
void TmSetWindowVisibleHook(void (*fn)(WindowData *win));
// The scale's value-changed and drag callback, called with client data 0
// (the desktop's ScaleValue, which then works on the summa window).
void TmSetScaleHook(XtCallbackProc fn);

// ---- the work of the strip's handlers (x in strip pixels) ----

// Button press: button 1 on a window makes it visible, on a marker picks the
// marker up; button 2 opens the popup with TmPopupLine. Nothing during
// playback.
void TmButtonPress(unsigned button, int x, const XButtonEvent *event);
// Button release: button 1 over a window with a marker picked up makes that
// window the new In or Out window when it differs; the marker is put down.
void TmButtonRelease(unsigned button, int x);
// Key over the strip: a window under x is made visible; Z (either case) makes
// it the In window, X the Out window, C both. Nothing during playback.
void TmKey(KeySym key, int x);
// The popup's line for a position: "%i / %i (%i)" over a window (its frame
// + 1, its length, the master area's length), "In " or "Out " and the
// marker's timecode (plus the summa window's start), else "no clips".
std::string TmPopupLine(int x);

// ---- state, for tests ----

Widget TmStripWidget();
Widget TmScaleWidget();
Widget TmPopupWidget();
// Current strip width in pixels.
int TmWidth();
// The strip image, TmWidth() x 20 pixels of 4 bytes (A, B, G, R, bottom-up).
const unsigned char *TmImage();
// 0 none, 1 In marker picked up, 2 Out marker picked up.
int TmDragState();
// The In and Out windows as stored (null: first, resp. last).
WindowData *TmInWindow();
WindowData *TmOutWindow();
