// Places clip windows in the desktop and master areas and acts on them as a
// set: cells and arrangement, selection, memo mode, dragging between cells
// and areas, closing, and the key routing of window pictures.
#pragma once

#include <X11/Intrinsic.h>

struct WindowData;

// ---- cells and arrangement (desktop_area.cpp, rearrange.cpp) ----

// Cell of `slot` in the master area (master non-zero) or on the desktop,
// written to *x, *y. A negative slot means the next free one: one past the
// last master-area window's slot (or 0), or on the desktop one past
// last_window's slot when the desktop has windows (else 0). Returns the slot
// used.
int WindowPosition(int slot, int *x, int *y, int master);

// Scrolls the window's area so that the window shows with a 5-pixel margin.
// Nothing for the summa window.
void SetWindowVisible(WindowData *win);

// Places every window of the list in its cell again. Master-area windows are
// numbered in list order; desktop windows too when the desktop is kept
// arranged (defaults[DEF_REARRANGE]), else they keep their slots. A window
// whose frame stands in the other area is rebuilt there, keeping its memo
// text, its memo mode (on the desktop only), its selection (on the desktop
// only) and its busy colours.
void RepositionWindows();
// Builds the window's widgets again where it stands (a placeholder whose clip
// is now made gets its picture, buttons and slider), keeping its memo text
// and mode, selection and busy colours.
void RebuildWindow(WindowData *win);
// "Rearrange" command: with the desktop not kept arranged and not empty, asks
// "Are you sure?"; RearrangeNowOK closes the gaps once (slots 0, 1, 2, ... in
// list order). Nothing during playback.
void RearrangeNowOK(Widget w, XtPointer client_data, XtPointer call_data);

// ---- selection (selection.cpp); desktop windows only ----

// Sets `selected` and shows it: the label frame's top shadow and the texts
// of the timecode, in and out labels turn RED_COL, or back to the normal
// colours. Master-area windows are left alone.
void SetSelection(WindowData *win, int on);
// Selects win and deselects every other desktop window.
void SelectNormal(WindowData *win);
// Selects the range from the last selected desktop window before win (win
// itself when none) up to win.
void SelectShift(WindowData *win);
// Toggles the selection of win (Control + click).
void SelectToggle(WindowData *win);

// ---- memo mode (memo.cpp); desktop windows only ----

// 1 when the window shows its memo field instead of its buttons and slider.
int MemoShown(const WindowData *win);
// Shows (on 1) or hides (on 0) the memo field in place of the "M", "C", "[",
// "]", transport buttons, slider and arrows.
void SetMemoMode(WindowData *win, int on);
// The "M" button and key: toggles memo mode.
void MemoOn(WindowData *win);

// ---- click and drag (drag_drop.cpp) ----

// Button handler of desktop and master-area pictures: button 2 opens the
// full-size display, Shift + button 2 the zoom view; button 1 is a click
// (selection) or, once the pointer moves 6 pixels, a drag to another cell.
// Nothing during playback or while the window plays. client_data is the
// window.
void BtnPress(Widget w, XtPointer client_data, XEvent *event, Boolean *cont);

// Motion and release handler of the picture being dragged (added by
// BtnPress for the length of the press).
void DragEvent(Widget w, XtPointer client_data, XEvent *event, Boolean *cont);

// Where a drag of win would drop with the pointer at (px, py) inside its
// picture: *area 0 desktop, 1 master area; *slot the cell. The scroll values
// of both areas (horizontal, vertical) decide when the pointer has left the
// window's area.
struct AreaScroll {
    int work_x = 0, work_y = 0;   // desktop scroll values
    int happy_x = 0, happy_y = 0; // master area scroll values
};
void DropTarget(const WindowData *win, int px, int py, const AreaScroll &scroll, int *area,
                int *slot);
// Drops win into `area` (0 desktop, 1 master area) at `slot`. Returns 1 when
// the window moved, 0 when nothing changed (occupied cell, same place, or a
// placeholder refused by the master area with a message).
int DropWindow(WindowData *win, int area, int slot);
// The window being dragged (pressed with button 1 and not yet released), or
// null.
WindowData *DraggedWindow();
// Ends any drag at once: pointer grab, cursor and handlers released, nothing
// dropped.
void CancelDrag();

// ---- closing (close_windows.cpp) ----

// 1 when one of the windows that CloseOK would close with these arguments is
// a placeholder or has an import, export, custom effect or effect job
// working on it.
int ClosingImpExpWindows(int master, int all, WindowData *single);
// Closes windows: `single` when given, else the selected desktop windows
// (master 0) or all of them (all 1), plus the master-area windows (master
// 1). Jobs of types 1 to 4 working on a closed window lose it (an import's
// progress display stops) and with `stop` are stopped. Unless keep_places,
// the windows are placed again. Wakes the log converter. The records are
// freed after the event being handled, so handlers still running for it
// find them (unlisted).
void CloseOK(int master, int all, WindowData *single, int stop, int keep_places);
// Frees the records of windows closed so far (run after each event; tests
// call it directly).
void FreeClosedWindows();
// 1 when win is in the window list or is the summa window.
int WindowListed(const WindowData *win);
// The confirming operations of the three close commands.
void CloseSelOK(Widget w, XtPointer client_data, XtPointer call_data);
void ClearHappyOK(Widget w, XtPointer client_data, XtPointer call_data);
void CloseAllOK(Widget w, XtPointer client_data, XtPointer call_data);

// ---- actions of pictures and arrows (desktop_area.cpp, keys.cpp) ----

// Actions of the window translations, registered at start-up: keys, pointer
// leave and a key followed by button 1 on a picture (DeleteWindow: BackSpace
// arms, button 1 then closes), keys on the summa picture (KeySumma), button 2
// on the left and right arrows (Play2Sx, Play2Dx).
void DeleteWindow(Widget w, XEvent *event, String *params, Cardinal *num_params);
// BackSpace that reached the areas' viewport rather than the picture (the
// keyboard focus is elsewhere) arms the picture under the pointer the same
// way; the button-1 press handler then closes the window through
// DeleteWindow. DeleteWindowArmed tells whether `picture` is armed.
void ArmDeleteWindow(Widget picture);
bool DeleteWindowArmed(Widget picture);
void KeySumma(Widget w, XEvent *event, String *params, Cardinal *num_params);
void Play2Sx(Widget w, XEvent *event, String *params, Cardinal *num_params);
void Play2Dx(Widget w, XEvent *event, String *params, Cardinal *num_params);

// The window Tab (shift 0) or Shift+Tab (shift 1) moves to from win: the
// next window of the list (the first after the last), or the previous one
// (the last before the first). Null for the summa window.
WindowData *TabTarget(const WindowData *win, int shift);

// Translations of window pictures (keys and pointer leave go to the
// DeleteWindow action), of the summa picture (KeySumma) and of the left
// (dir -1, Play2Sx) and right (Play2Dx) arrows.
XtTranslations WindowTranslations();
XtTranslations SummaTranslations();
XtTranslations ArrowTranslations(int dir);
