// Exit path: `ExitProgram` (quit dialogs, SIGINT) and `FinalExit`, and the
// signal handlers.
//
// SIGINT does not run the exit inside the handler: the handler only notes
// the signal (XtNoticeSignal is safe there) and the main loop runs the
// orderly exit. A crash (SIGSEGV, SIGBUS) removes the logo movie file with
// unlink, which is safe in a handler, and re-raises the signal with its
// default action so the crash is reported as such.
#include "desktop/exit.h"

#include <Xm/Xm.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "desktop/defaults.h"
#include "device/sv.h"
#include "desktop/globals.h"
#include "ui/icons.h"
#include "desktop/main_window.h"
#include "desktop/processes.h"
#include "media/fm_main.h"
#include "platform/sem.h"

static XtSignalId sigint_id = 0;
static char crash_unlink_path[4096];
static volatile sig_atomic_t movie_created = 0;

void NoteLogoMovieCreated() {
    snprintf(crash_unlink_path, sizeof crash_unlink_path, "%s", LogoMoviePath());
    movie_created = 1;
}

static void on_sigint(int) {
    if (sigint_id) XtNoticeSignal(sigint_id);
}

static void sigint_in_loop(XtPointer, XtSignalId *) {
    ExitProgram();
}

static void on_crash(int sig) {
    if (movie_created) unlink(crash_unlink_path);
    signal(sig, SIG_DFL);
    raise(sig);
}

void InstallSignalHandlers() {
    if (app && !sigint_id) sigint_id = XtAppAddSignal(app, sigint_in_loop, nullptr);
    struct sigaction sa {};
    sigemptyset(&sa.sa_mask);
    sa.sa_handler = on_sigint;
    sigaction(SIGINT, &sa, nullptr);
    sa.sa_handler = on_crash;
    sa.sa_flags = SA_RESETHAND;
    sigaction(SIGSEGV, &sa, nullptr);
    sigaction(SIGBUS, &sa, nullptr);
}

void ExitProgram() {
    StopProcessesForExit();
    if (num_sproc < 1) FinalExit();
    exit_pending = 1;
    if (app_shell && XtIsRealized(app_shell)) {
        XtUnmapWidget(app_shell);
        XSync(XtDisplay(app_shell), False);
        return;
    }
    // No main loop to collect the jobs: wait for them here. ProcessEnded
    // calls FinalExit when the last one has ended.
    for (;;) {
        if (ReapEndedJobs() == 0) usleep(10000);
    }
}

void FinalExit() {
    // Release the VTR's master control and close the board. This runs once
    // every job has ended, so none is still inside a board call.
    if (sv) {
        sv_vtrmaster(sv, SV_MASTER_STOP, 0);
        sv_close(sv);
        sv = nullptr;
    }
    Exit_defaults(1);
    SemRemove();
    Display *dpy = app_shell ? XtDisplay(app_shell) : nullptr;
    if (dpy) FreeCursors(dpy);
    // Remove the logo movie only when it is a plain file of ours, never
    // through a link someone else placed there.
    struct stat st {};
    const char *movie = LogoMoviePath();
    if (lstat(movie, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid()) unlink(movie);
    fm_deinitialize();
    if (dpy) XtCloseDisplay(dpy);
    fflush(stdout);
    exit(0);
}
