// Job types 5 (play-sequence preparation) and 7 (VTR jobs) as the process
// table sees them, and the collecting step that prepares play reels before
// the master area goes out to the board.
#include "desktop/invert_process.h"

#include "desktop/processes.h"
#include "vtr/vtr_panel.h"

namespace {

int start_vtr_job(void (*fn)(void *), void *data) {
    const int entry = Sproc(fn, data, JOB_VTR);
    return entry < 0 ? -1 : pidData[entry].pid.load();
}

void vtr_finish(int, int) {
    EndVtrProcess();
}

} // namespace

void InstallVtrHooks() {
    VtrSprocHook = start_vtr_job;
    job_type_hooks[JOB_VTR].finish = vtr_finish;
}
