// Release of the text draw records Motif keeps per window.
//
// Every time a label-class widget or gadget (labels, push buttons, toggles,
// cascades) is drawn, Motif looks up or creates an Xft draw record for the
// window it draws in and keeps it in a process-wide table keyed by display
// and window. Nothing in Motif removes an entry when the window is destroyed,
// so each label or button window that was ever shown costs its record for the
// rest of the run, and every later lookup walks a longer table. Trees of
// widgets that come and go (clip windows) release their records here before
// their windows are destroyed.
#pragma once

#include <Xm/Xm.h>

// Releases the draw records of the windows of root and of every widget below
// it (normal and popup children) that is realized; afterwards none of these
// windows has a record until Motif draws in it again.
void ReleaseDrawRecords(Widget root);

// Registers a destroy callback on root that calls ReleaseDrawRecords(root)
// while its windows still exist, so every path that destroys the tree
// releases them.
void ReleaseDrawRecordsOnDestroy(Widget root);

// Number of draw records released so far (for tests and measurements).
long DrawRecordsReleased();
