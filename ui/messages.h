// Message boxes through which every part of the program informs and asks.
#pragma once

#include <Xm/Xm.h>

// Application-modal error box "error", titled "Warning", with the error icon
// and one "OK" button that destroys it. A null parent means `mainform`.
// Returns the message box widget.
Widget PutCharMessage(Widget parent, const char *text);
// The same for an already converted text.
Widget PutMessage(Widget parent, XmString text);

// Application-modal question box with "  Yes  " and "  No  " (and "Cancel"
// when a no callback is given). See messages.cpp for the button rules.
// Returns the message box widget.
Widget Warning(Widget parent, const char *text, XtCallbackProc yes, XtPointer yes_data,
               XtCallbackProc no, XtPointer no_data);

// Modeless box "warning" with a title, the warning icon, the text and one
// button with the given label that calls cb with data; rings the bell when
// bell is set. Returns the message box widget.
Widget WaitMessage(Widget parent, const char *title, const char *text, const char *label,
                   XtCallbackProc cb, XtPointer data, int spare, int bell);

// Callback that destroys the widget given as client data.
void cancel_p(Widget w, XtPointer client_data, XtPointer call_data);
