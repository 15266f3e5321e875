// Links the database dialogs to the desktop: how many jobs run, and the
// reel copy as a job of type 6 whose output file is the copy's
// temporary, removed when the job is stopped from "Processes ...".
#include "desktop/db_hooks.h"

#include "database/db_commands.h"
#include "database/db_copy.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "ui/messages.h"

namespace {

int running_jobs() {
    return num_sproc;
}

int start_copy(DbCopyJob *job) {
    const int entry = Sproc(DbCopyRun, job, JOB_SVJCOPY);
    if (entry < 0) return -1;
    // The end routine runs in this thread, after this returns.
    pidData[entry].output = job->temp;
    pidData[entry].job_data = job;
    return 0;
}

void copy_ended(int entry) {
    PidData &p = pidData[entry];
    auto *job = static_cast<DbCopyJob *>(p.job_data);
    p.job_data = nullptr;
    if (const char *msg = DbCopyEnded(job, p.status.load() == STATUS_STOPPED)) {
        if (ProcessMessage)
            ProcessMessage(msg);
        else
            PutCharMessage(mainform, msg);
    }
}

} // namespace

void InstallDatabaseHooks() {
    DbRunningJobsHook = running_jobs;
    DbCopyStartHook = start_copy;
    job_type_hooks[JOB_SVJCOPY].free_data = copy_ended;
}
