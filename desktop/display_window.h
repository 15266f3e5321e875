// The full-size display window of a clip ("disp"): one frame at video size
// from the reel itself, whole or one field line-doubled, with keyboard
// navigation through the clip.
#pragma once

#include <X11/Intrinsic.h>

struct FisicData;
struct WindowData;
struct fm_fileformat;

// Flag bits of a display record.
enum {
    DISP_MISSING = 1, // the clip is missing or still being written
    DISP_PENDING = 2, // a message waits for the first expose
    DISP_BUSY = 4,    // a key is being handled
    DISP_CLOSING = 8, // closed while a key was being handled: freed after it
};

// What a display shows of the frame: its odd lines (each doubled), its even
// lines (each doubled), or the whole frame.
enum FieldMode { FIELD_ODD = 1, FIELD_EVEN = 2, FIELD_FULL = 3 };

// One full-size display, held in the window's `disp`.
struct DispData {
    fm_fileformat *reader = nullptr; // full-size reader of the reel shown
    int shown = -1;                  // window frame shown
    int typed = 0;                   // digits typed so far
    int width = 0, height = 0;       // VIDEO_SIZEX, VIDEO_SIZEY
    int last_read = -1;              // physical frame last read
    int flags = 0;
    Widget dialog = nullptr, draw = nullptr, glw = nullptr;
    char *title = nullptr;       // 400 bytes: name, three blanks, timecode and frame
    int tail = 0;                // index in title after the name
    int field_mode = FIELD_FULL; // FieldMode
    unsigned char *image = nullptr;
    WindowData *win = nullptr;
    FisicData *clip = nullptr;
    const char *message = nullptr; // message pending for the first expose
};

// Button handler of window pictures: button 2 opens (or brings up to the
// window's frame) the full-size display; Shift + button 2 the zoom view.
// client_data is the window. Nothing while a playback runs.
void DispCreaWin(Widget w, XtPointer client_data, XEvent *event, Boolean *cont);

// Opens the full-size display of win, or when it is open brings it to the
// window's current frame and raises it. A placeholder shows "Import process
// still in progress". Returns the display record or null.
DispData *DispOpen(WindowData *win);

// Loads window frame n (wrapped into 0..total-1) into the display, sets the
// title and the window's `current`. Returns 1 when a picture was read, 0 when
// nothing changed or the read failed (the picture is then cleared and the
// failure reported).
int DispLoadFrame(DispData *d, int n);

// Handles one key on the display (space, E, O, C, X, Z, Escape, navigation).
void DispKey(DispData *d, KeySym key);

// Makes the line-doubled picture of a field mode: mode 2 copies row 2k into
// rows 2k and 2k+1, mode 1 row 2k+1 (the last row when it is missing), mode 3
// copies all rows. Rows of w 32-bit pixels, h rows.
void DispFieldImage(const unsigned char *src, unsigned char *dst, int w, int h, int mode);

// Draws a picture of w x h 32-bit pixels (0,B,G,R, bottom-up) on the GL
// widget glw at zoom 1, whole or as one field line-doubled (a FieldMode).
// Nothing while glw is null or not realized yet. Main thread only.
void DispDrawPicture(Widget glw, const unsigned char *image, int w, int h, int field_mode);

// The field mode a key chooses: space the whole frame, E the odd lines, O
// the even lines (either case); 0 for any other key.
int DispFieldModeOfKey(KeySym key);

// The key symbol of a key press event, or NoSymbol for any other event.
KeySym DispEventKey(XEvent *ev);

// Closes the display: clears the window's `disp`, closes the reader and
// destroys the dialog (whose destroy callback frees the record).
void DispExit(DispData *d);

// Keyboard frame navigation (digits, Return, arrows, Prior, Next, Home, End,
// BackSpace, Delete and their keypad forms) over `typed`. Returns the new
// frame, or -1 when the frame does not change or bit DISP_BUSY of flags is
// set.
int DoGoToFrame(int flags, int *typed, int current, int total, KeySym key);

// DoGoToFrame for a window: with the flags and typed number of its display
// when it has one, else with a typed number kept for windows without one.
int GoToFrame(WindowData *win, KeySym key);
