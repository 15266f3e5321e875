// The timeline under the master area: a 40-pixel form holding the strip that
// shows the master area's clips with their In and Out markers.
#pragma once

#include <X11/Intrinsic.h>

// Line height the clip windows reserve for the timeline strip.
int TmLineH();

// Creates the "timeline" form in parent below `top` (attached to the
// parent's sides), for strips up to max_width pixels. Returns the form.
Widget TmCreaForm(Widget parent, Widget top, int max_width);
