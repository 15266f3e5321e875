// The timeline's own record (`tmline`), shared by its drawing
// (timeline.cpp) and pointer (timeline_pointer.cpp) halves. Not for other
// subsystems: they use vtr/timeline.h.
#pragma once

#include <X11/Intrinsic.h>

#include <vector>

#include "vtr/timeline_strip.h"

struct WindowData;

struct TimelineRecord {
    Widget form = nullptr;        // "timeline", 40 high
    Widget strip = nullptr;       // "glx", 20 high
    Widget scale = nullptr;       // position scale under the strip
    Widget popup = nullptr;       // "popup" menu
    Widget popup_label = nullptr; // its one line
    TmRange range;                // In and Out windows
    int width = 0;                // current strip width
    int height = TM_HEIGHT;
    int max_width = 0;                    // the width the image was made for
    int image_ready = 0;                  // 1 once the marker images are built
    int drag = 0;                         // 0 none, 1 In marker picked up, 2 Out marker
    std::vector<unsigned char> image;     // max_width x 20 pixels
    std::vector<unsigned char> marker[2]; // In and Out, 20 x 20 pixels each
    TmStripColours colours;
    TmStripLayout layout; // scratch of the last layout, reused to spare allocations
};

extern TimelineRecord tmline;

// Lays out the strip for the master area as it is now (In and Out resolved,
// the summa window's length); false when there is nothing to show.
bool TmLayoutNow(TmStripLayout *layout);
// The hook that makes a window visible in its area, when registered.
void TmMakeVisible(WindowData *win);
// Handlers of the strip and the form, installed by TmCreaGlw.
void TmPointerEvent(Widget w, XtPointer client, XEvent *event, Boolean *cont);
void TmKeyEvent(Widget w, XtPointer client, XEvent *event, Boolean *cont);
