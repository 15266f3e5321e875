// The picture preview window: a full-size viewer that steps through the
// pictures of a numbered sequence before it is imported or opened. All open
// previews stand in one list so that the same sequence is not opened twice.
#pragma once

#include <X11/Intrinsic.h>

#include <string>
#include <vector>

// Flag bits of a preview.
enum {
    PREVIEW_PENDING = 2, // a message waits for the first expose
    PREVIEW_BUSY = 4,    // a picture is being read or a key handled
    PREVIEW_CLOSING = 8, // closed while busy: closes when the work ends
    PREVIEW_GONE = 16,   // its dialog is being destroyed
};

struct PreviewData {
    int shown = -1;            // picture shown (0-based), -1 at first
    int count = 2147483646;    // pictures: no upper bound known
    int typed = 0;             // digits typed so far
    int width = 0, height = 0; // size of the current picture
    int flags = 0;
    int format = 0;     // extension index (0..5)
    int num_format = 0; // numbering style (0..3)
    Widget parent = nullptr, dialog = nullptr, draw = nullptr, glw = nullptr;
    std::string pattern; // the sequence's base name
    std::string title;
    int field_mode = 3;               // 3 whole frame, 1 or 2 one field line-doubled
    std::vector<unsigned char> image; // width x height pixels 0,B,G,R bottom-up
    const char *message = nullptr;    // message pending for the first expose
    PreviewData *next = nullptr;
};

extern PreviewData *first_preview;

// Opens the preview of the sequence pattern (extension index format,
// numbering style num_format) at picture number first, or raises the open
// preview of the same sequence. Closes when parent is destroyed. Nothing
// while a playback runs or for a pattern over 1024 bytes. Returns the
// preview, or null.
PreviewData *PreviewCreaWin(Widget parent, int format, const char *pattern, int num_format,
                            int first);

// Shows picture n (0-based, clamped to 0..count-1) under the wait cursor.
// Returns 1 when it was read, 0 when it was already shown or the picture is
// missing or unreadable ("The original file is missing or corrupted").
int PreviewShow(PreviewData *p, int n);

// Handles one key: space, E, O choose the field mode; Escape closes; others
// move through the sequence (keyboard frame navigation). Ignored during a
// playback and while busy (but Escape then closes after the work).
void PreviewKey(PreviewData *p, KeySym key);

// Closes the preview: at once, or when busy, after the work in progress.
// Calling it again before the close is done does nothing more.
void PreviewExit(PreviewData *p);
