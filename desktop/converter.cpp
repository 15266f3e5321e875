// The log converter's cycle and the clean-up tick (see converter.h).
#include "desktop/converter.h"

#include "platform/sem.h"

ConverterWork converter_work = {};

void ConvertServeRemoval() {
    if (SemGet(3) != 1) return;
    if (converter_work.remove_marked) converter_work.remove_marked();
    SemSet(3, 0);
}

void eConvert(void *) {
    int saw_unused = 0;
    for (;;) {
        // 1. Asleep until the main thread clears semaphore 1; first ask for
        // clean-up when the last cycle skipped clips nobody uses.
        if (SemGet(1) != 0) {
            if (saw_unused && SemGet(2) == 0) SemSet(2, 1);
            SemWait(1);
        }
        // 2. Parked while the main thread frees clips; then mark the cycle.
        SemWait(2);
        SemSet(1, 1);
        // 3. Passes over the clip list while a clip is left incomplete. No
        // work at all while the pause gate is closed.
        saw_unused = 0;
        int incomplete;
        do {
            SemWait(0);
            ConvertServeRemoval();
            incomplete = converter_work.pass ? converter_work.pass(&saw_unused) : 0;
        } while (incomplete);
    }
}

void ClearWorkTick() {
    if (SemGet(2) == 1 && SemGet(0) == 0 && converter_work.free_unused)
        converter_work.free_unused();
    SemSet(2, 0);
}
