// The process table and the start, stop and end of background jobs.
#include "desktop/processes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "desktop/globals.h"
#include "platform/fileio.h"
#include "platform/jobs.h"
#include "platform/sem.h"

PidData pidData[MAX_SPROC];
int num_sproc = 0;

JobTypeHooks job_type_hooks[JOB_TYPES] = {};
void (*ProcessMessage)(const char *text) = nullptr;
void (*ProcessFinalExit)() = nullptr;
void (*ProcessStartProgress)(int entry) = nullptr;
void (*ImportProgressShow)(int entry) = nullptr;

namespace {

// The dialog texts of the job types; null where a type is not listed.
const char *const type_text[JOB_TYPES] = {
    nullptr,               // log converter
    "IMPORT PROCESS:    ", //
    "EXPORT PROCESS:    ", //
    "CUSTOM PROCESS:    ", //
    "EFFECT PROCESS:    ", //
    nullptr,               // play-sequence preparation
    "SVJ COPY PROCESS:  ", //
    nullptr,               // VTR transfer
};

bool running(const PidData &p) {
    return p.pid.load() > 0;
}

// End-routine messages are shown only while the program is not exiting,
// except those that must be seen even then.
void message(const char *text, bool even_when_exiting = false) {
    if (exit_pending.load() && !even_when_exiting) return;
    if (ProcessMessage)
        ProcessMessage(text);
    else
        fprintf(stderr, "%s\n", text);
}

void remove_output(PidData &p) {
    if (!p.output.empty()) unlink(p.output.c_str());
}

void call_free(int type, int entry) {
    if (job_type_hooks[type].free_data) job_type_hooks[type].free_data(entry);
}

void call_finish(int type, int entry, int pid) {
    if (job_type_hooks[type].finish) job_type_hooks[type].finish(entry, pid);
}

// The end routine of each job type, in the main thread, after the entry has
// been freed.
void end_routine(int entry, int pid) {
    PidData &p = pidData[entry];
    const int type = p.type;
    const int status = p.status.load();
    switch (type) {
    case JOB_IMPORT:
        call_free(type, entry);
        if (status == 1)
            message("Couldn't read all pictures");
        else if (status == 2)
            message("Import error");
        else if (status == 3)
            message("Import error: different sizes");
        call_finish(type, entry, pid); // ImportFinish, or CloseOK for a stopped import
        break;
    case JOB_EXPORT:
        call_free(type, entry);
        if (status == STATUS_STOPPED) {
            remove_output(p);
        } else if (status == 6) {
            message("Error in creating movie", true);
            remove_output(p);
        } else if (status == 1) {
            message("Export error");
        } else if (status == 2) {
            message("Export error: only SVJ files can\nbe exported in JPEG fields format.");
        }
        p.output.clear();
        call_finish(type, entry, pid); // RestoreFrameColor
        break;
    case JOB_CUSTOM:
        call_free(type, entry);
        if (status == STATUS_STOPPED || status == 1 || status == 3) {
            call_finish(type, entry, pid); // ImportFinish
            if (status == 1)
                message("Export error");
            else if (status == 3)
                message("Couldn't complete custom effect");
        } else if (job_type_hooks[type].succeed) {
            job_type_hooks[type].succeed(entry, pid); // StlnImportFileOK
        }
        break;
    case JOB_EFFECT:
    case JOB_INVERT:
    case JOB_VTR:
        call_finish(type, entry, pid);
        break;
    case JOB_SVJCOPY:
        if (status == STATUS_STOPPED) remove_output(p);
        call_free(type, entry);
        break;
    default: // the converter has no end routine
        break;
    }
}

} // namespace

void InitProcessTable() {
    for (PidData &p : pidData) {
        p.pid = -1;
        p.type = 0;
        p.window = nullptr;
        p.output.clear();
        p.word1 = p.word2 = p.word3 = 0;
        p.slot = -1;
        p.progress = 0;
        p.shown = 0;
        p.status = 0;
        p.kill_mark = 1;
        p.row = 0;
        p.import_data = nullptr;
        p.job_data = nullptr;
    }
    num_sproc = 0;
}

int Sproc(void (*fn)(void *), void *data, int type) {
    if (type < 0 || type >= JOB_TYPES) {
        errno = EINVAL;
        perror("Error sproc");
        return -1;
    }
    int entry = -1;
    if (type == JOB_INVERT || type == JOB_VTR) {
        // Entry 6 holds one such job at a time: taking it while in use would
        // lose the running job's end routine and its count.
        if (!running(pidData[GENERAL_SPROC])) entry = GENERAL_SPROC;
    } else {
        for (int i = 0; i < GENERAL_SPROC; i++)
            if (!running(pidData[i])) {
                entry = i;
                break;
            }
    }
    if (entry < 0) return -1;

    PidData &p = pidData[entry];
    p.output.clear();
    p.window = nullptr;
    p.status = 0;
    p.type = type;
    p.progress = 0;
    p.shown = 0;
    p.slot = -1;
    p.row = 0; // a row chosen in an open dialog never reaches a new job
    p.import_data = nullptr;
    p.job_data = nullptr;
    if (type == JOB_IMPORT || type == JOB_EXPORT || type == JOB_CUSTOM) {
        if (job_type_hooks[type].set_entry) job_type_hooks[type].set_entry(entry, data);
    }
    if (JobStart(fn, data, &p.pid) < 0) {
        perror("Error sproc");
        p.pid = -1;
        return -1;
    }
    num_sproc++;
    if (type == JOB_IMPORT && ProcessStartProgress) ProcessStartProgress(entry);
    return entry;
}

int SprocSelf() {
    const int id = JobCurrent();
    if (id <= 0) return -1;
    for (int i = 0; i < MAX_SPROC; i++)
        if (pidData[i].pid.load() == id) return i;
    return -1;
}

void ProcessEnded(int pid) {
    if (pid <= 0) return;
    int entry = -1;
    for (int i = 0; i < MAX_SPROC; i++)
        if (pidData[i].pid.load() == pid) {
            entry = i;
            break;
        }
    if (entry < 0) return;
    pidData[entry].pid = -1;
    pidData[entry].slot = -1;
    num_sproc--;
    end_routine(entry, pid);
    if (exit_pending.load() && num_sproc == 0 && ProcessFinalExit) ProcessFinalExit();
}

int ReapEndedJobs() {
    int n = 0;
    bool stopped = false;
    while (int id = JobCollect(&stopped)) {
        if (stopped) {
            // A stopped job's output has been removed; whatever it wrote last,
            // its end routine must not take it for a success.
            for (PidData &p : pidData)
                if (p.pid.load() == id) p.status = STATUS_STOPPED;
        }
        ProcessEnded(id);
        n++;
    }
    return n;
}

void StopProcess(int entry) {
    if (entry < 0 || entry >= MAX_SPROC) return;
    PidData &p = pidData[entry];
    const int pid = p.pid.load();
    if (pid <= 0) return;
    p.status = STATUS_STOPPED;
    p.slot = -1;
    JobStop(pid);
    if (p.type == JOB_IMPORT) {
        if (job_type_hooks[JOB_IMPORT].remove_partial)
            job_type_hooks[JOB_IMPORT].remove_partial(entry);
        remove_output(p);
    } else if (p.type == JOB_EXPORT || p.type == JOB_SVJCOPY) {
        remove_output(p);
    }
}

int OOpen(const char *name) {
    // A regular file only, never through a link; close-on-exec, so shell
    // commands started by jobs do not inherit it.
    return open_regular(name, O_WRONLY | O_CREAT | O_TRUNC, 0666);
}

const char *ProcessTypeText(int type) {
    return type >= 0 && type < JOB_TYPES ? type_text[type] : nullptr;
}

bool ProcessesRunning() {
    for (const PidData &p : pidData)
        if (running(p) && p.type != JOB_CONVERT) return true;
    return false;
}

std::vector<std::string> RunningProcessList() {
    std::vector<std::string> rows;
    for (int i = 0; i < MAX_SPROC; i++) {
        PidData &p = pidData[i];
        p.row = 0;
        if (i >= GENERAL_SPROC || !running(p) || p.type == JOB_CONVERT) continue;
        const char *text = ProcessTypeText(p.type);
        const char *slash = strrchr(p.output.c_str(), '/');
        const char *base = slash ? slash + 1 : p.output.c_str();
        char line[501];
        snprintf(line, sizeof line, "%s%s", text ? text : "", base);
        rows.emplace_back(line);
        p.row = int(rows.size());
    }
    return rows;
}

void ClearKillMarks() {
    for (int i = 0; i < GENERAL_SPROC; i++)
        pidData[i].kill_mark = 0;
}

int MarkProcessRow(int row) {
    if (row <= 0) return 0;
    for (int i = 0; i < GENERAL_SPROC; i++) {
        PidData &p = pidData[i];
        if (p.row == row && running(p) && p.type != JOB_CONVERT) {
            p.kill_mark = 1;
            return 1;
        }
    }
    return 0;
}

int StopMarkedProcesses() {
    int n = 0;
    // The converter runs for the program's lifetime, and entry 6 (play
    // sequences, VTR transfers) has its own stop; neither is in the dialog.
    for (int i = 0; i < GENERAL_SPROC; i++) {
        PidData &p = pidData[i];
        if (p.kill_mark == 1 && running(p) && p.type != JOB_CONVERT) {
            StopProcess(i);
            n++;
        }
    }
    for (PidData &p : pidData)
        p.kill_mark = 1;
    return n;
}

int StopProcessesForExit() {
    int n = 0;
    for (int i = 0; i < MAX_SPROC; i++) {
        PidData &p = pidData[i];
        if (!running(p)) continue;
        if (p.kill_mark == 1 || p.type == JOB_CONVERT) {
            StopProcess(i);
            n++;
        } else {
            p.kill_mark = 1;
        }
    }
    return n;
}

int ImportProgressTick(int entry, int pid) {
    if (entry < 0 || entry >= MAX_SPROC || exit_pending.load()) return 0;
    PidData &p = pidData[entry];
    if (p.pid.load() != pid) return 0; // the import has ended; the entry may hold another job
    if (SemGet(0) != 0) return 2000;
    if (p.slot.load() < 0) return 0;
    const int progress = p.progress.load();
    if (progress != p.shown && p.window.load()) {
        if (ImportProgressShow) ImportProgressShow(entry);
        p.shown = progress;
    }
    return 1000;
}
