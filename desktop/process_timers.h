// The toolkit timers of the process machinery: collecting ended jobs every
// second, the import progress display, and the 60-second clean-up of clips
// nobody uses. Each calls a plain function of processes.h or converter.h and
// re-arms itself on the application context `app`.
#pragma once

#include <X11/Intrinsic.h>

// Collects every job that has ended (ReapEndedJobs) and re-arms after 1000 ms.
// Start-up arms it once.
void ReapChildren(XtPointer client, XtIntervalId *id);

// The clean-up tick (ClearWorkTick) every 60000 ms. Start-up arms it once.
void ClearWorkTimer(XtPointer client, XtIntervalId *id);

// Starts the progress display of the import in `entry` (Sproc does this
// through ProcessStartProgress).
void StartImportProgressTimer(int entry);
