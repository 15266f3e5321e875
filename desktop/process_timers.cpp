// Toolkit timers driving the process table and the converter's clean-up.
#include "desktop/process_timers.h"

#include <cstdint>

#include "desktop/converter.h"
#include "desktop/globals.h"
#include "desktop/processes.h"

namespace {

// The progress timer carries its entry and the id of the import it serves, so
// that it ends when that import ends even if the entry is reused at once.
XtPointer progress_key(int entry, int pid) {
    return reinterpret_cast<XtPointer>(static_cast<intptr_t>(pid) * MAX_SPROC + entry);
}

void ImportProgressTimer(XtPointer client, XtIntervalId *) {
    const intptr_t key = reinterpret_cast<intptr_t>(client);
    const int entry = int(key % MAX_SPROC);
    const int pid = int(key / MAX_SPROC);
    const int delay = ImportProgressTick(entry, pid);
    if (delay > 0) XtAppAddTimeOut(app, delay, ImportProgressTimer, client);
}

// Sproc starts the progress display through this hook; it is set when this
// file is part of the program (the program always arms ReapChildren).
[[maybe_unused]] const bool hook_set = [] {
    ProcessStartProgress = StartImportProgressTimer;
    return true;
}();

} // namespace

void ReapChildren(XtPointer client, XtIntervalId *) {
    ReapEndedJobs();
    XtAppAddTimeOut(app, 1000, ReapChildren, client);
}

void ClearWorkTimer(XtPointer client, XtIntervalId *) {
    ClearWorkTick();
    XtAppAddTimeOut(app, 60000, ClearWorkTimer, client);
}

void StartImportProgressTimer(int entry) {
    if (entry < 0 || entry >= MAX_SPROC) return;
    const int pid = pidData[entry].pid.load();
    if (pid > 0) XtAppAddTimeOut(app, 1000, ImportProgressTimer, progress_key(entry, pid));
}
