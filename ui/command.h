// The form of the commands reached from the menu tree: each is an Xt
// callback that gets its menu label (or, for user effects, the plug-in's
// effect function) as client data.
#pragma once

#include <X11/Intrinsic.h>

#define ORVA_COMMAND(name) void name(Widget w, XtPointer client_data, XtPointer call_data)
