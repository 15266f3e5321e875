// Widgets and shared helpers of the VTR panel's files.
#pragma once

#include <X11/Intrinsic.h>

// Transport buttons in the order of their places on the panel.
enum { VB_STOP = 0, VB_PLAY, VB_REWIND, VB_FORWARD, VB_PAUSE, VB_COUNT };

struct VtrPanel {
    Widget form = nullptr;
    Widget transport[VB_COUNT] = {};
    Pixel plain[VB_COUNT] = {};
    Widget jog = nullptr;
    Widget tc_goto = nullptr;
    Widget steps[8] = {}; // h m s f up, then h m s f down
    Widget in_button = nullptr, out_button = nullptr;
    Pixel in_plain = 0, out_plain = 0;
    Widget in_text = nullptr, out_text = nullptr;
    Widget add = nullptr, del = nullptr, clear = nullptr;
    Widget list = nullptr;
    Widget reelname = nullptr;
    Widget grab = nullptr, rec = nullptr, disp = nullptr;
    Widget qual_up = nullptr, qual_down = nullptr, quality = nullptr;
};
extern VtrPanel vtr_panel;

// Draws the button of a transport state highlighted and the others plain.
void VtrHighlight(int state);
// Shows a timecode word in the goto label.
void VtrShowGoto(unsigned word);
// Marks or unmarks the In (which 0) / Out (1) field, with its button.
void VtrSetMark(int which, int set);
void VtrNotAvailable();
// Callbacks of the layout.
void VtrTransportCallback(Widget, XtPointer, XtPointer);
void VtrStepCallback(Widget, XtPointer, XtPointer);
void VtrJogDragCallback(Widget, XtPointer, XtPointer);
void VtrJogReleaseCallback(Widget, XtPointer, XtPointer);
void VtrMarkButtonCallback(Widget, XtPointer, XtPointer);
void VtrTextEnterCallback(Widget, XtPointer, XtPointer);
void VtrListButtonCallback(Widget, XtPointer, XtPointer);
void VtrAttachQuality(Widget button, int delta);
