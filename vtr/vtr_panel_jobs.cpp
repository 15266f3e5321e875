// The frame around a long VTR job (grab, record, display): the question for
// a database on another machine, the pause gate, the wait dialog with its
// "Stop", and the end routine in the main thread. One VTR job runs at a time;
// while it runs the panel's board controls and list buttons are insensitive,
// so the job alone uses the board and the list stays as it started.
#include <sys/vfs.h>

#include <Xm/MessageB.h>

#include <string>

#include "database/db_list.h"
#include "platform/jobs.h"
#include "platform/sem.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "vtr/vtr_panel.h"

int (*VtrSprocHook)(void (*fn)(void *), void *data) = nullptr;

namespace {

struct VtrJob {
    std::string title;
    void (*job)(void *) = nullptr;
    void *data = nullptr;
    void (*end)(int aborted) = nullptr;
    int pid = -1;
    int aborted = 0;
    bool running = false;
    Widget dialog = nullptr;
};
VtrJob vtr_job;

void stop_pressed(Widget, XtPointer, XtPointer) {
    AbortVtrProcess();
}

void dialog_gone(Widget, XtPointer, XtPointer) {
    vtr_job.dialog = nullptr;
}

void start_job() {
    SemSet(0, 1);
    vtr_job.dialog = WaitMessage(mainform, vtr_job.title.c_str(), "Click stop to abort", "Stop",
                                 stop_pressed, nullptr, 0, 0);
    if (vtr_job.dialog) XtAddCallback(vtr_job.dialog, XmNdestroyCallback, dialog_gone, nullptr);
    vtr_job.aborted = 0;
    vtr_job.running = true;
    VtrPanelSetBusy(1);
    vtr_job.pid = VtrSprocHook ? VtrSprocHook(vtr_job.job, vtr_job.data) : -1;
    if (vtr_job.pid <= 0) {
        // Nothing runs: close the frame at once, as a job that failed would.
        vtr_job.pid = -1;
        vtr_job.aborted = 1;
        EndVtrProcess();
    }
}

void continue_yes(Widget, XtPointer, XtPointer) {
    start_job();
}
void continue_no(Widget, XtPointer, XtPointer) {
    VtrStop();
}

} // namespace

bool DirIsLocal(const char *dir) {
    struct statfs st {};
    if (!dir || statfs(dir, &st) != 0) return true;
    switch (static_cast<unsigned long>(st.f_type)) {
    case 0x6969UL:     // NFS
    case 0x517BUL:     // SMB
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x5346414FUL: // AFS
    case 0x73757245UL: // Coda
    case 0x01021997UL: // 9P
    case 0x65735546UL: // FUSE (sshfs and the like)
        return false;
    default:
        return true;
    }
}

void StartVtrProcess(const char *title, void (*job)(void *), void *data, void (*end)(int aborted)) {
    if (vtr_job.running) return;
    vtr_job.title = title ? title : "";
    vtr_job.job = job;
    vtr_job.data = data;
    vtr_job.end = end;
    if (!DirIsLocal(DbGetDir(0))) {
        Warning(mainform, "Selected database is not local.\nContinue anyway?", continue_yes,
                nullptr, continue_no, nullptr);
        return;
    }
    start_job();
}

void AbortVtrProcess() {
    if (vtr_job.pid <= 0) return;
    // Never in the middle of a board exchange.
    SemWait(4);
    if (JobStop(vtr_job.pid) == 0) vtr_job.aborted = 1;
    vtr_job.pid = -1;
}

void EndVtrProcess() {
    if (!vtr_job.running) return;
    vtr_job.running = false;
    if (vtr_job.dialog) {
        Widget shell = XtParent(vtr_job.dialog);
        XtDestroyWidget(XtIsShell(shell) ? shell : vtr_job.dialog);
        vtr_job.dialog = nullptr;
    }
    vtr_job.pid = -1;
    VtrPanelSetBusy(0);
    if (vtr_job.end) vtr_job.end(vtr_job.aborted);
    SemSet(0, 0);
}

int VtrJobPid() {
    return vtr_job.running ? vtr_job.pid : -1;
}
