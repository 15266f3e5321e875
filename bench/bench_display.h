// What the bench programs that run on an X server share: building the main
// window the way the program starts, handling events until the server is
// done, and timing a step together with the drawing it causes.
#pragma once

#include <Xm/Xm.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "desktop/globals.h"
#include "desktop/processes.h"
#include "desktop/startup.h"
#include "media/video_globals.h"
#include "platform/sem.h"

// Handles every pending event and waits for the X server, three rounds, so
// that work an event causes (exposures, resizes) is done too.
inline void pump() {
    Display *dpy = XtDisplay(app_shell);
    for (int round = 0; round < 3; round++) {
        XSync(dpy, False);
        while (XtAppPending(app))
            XtAppProcessEvent(app, XtIMAll);
    }
    XSync(dpy, False);
}

// Milliseconds of fn and of the event handling and drawing it causes.
inline double timed(const std::function<void()> &fn) {
    using Clock = std::chrono::steady_clock;
    pump();
    const Clock::time_point t0 = Clock::now();
    fn();
    pump();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// True when $DISPLAY names an X server to use; otherwise says so, as `prog`.
inline bool BenchHasDisplay(const char *prog) {
    if (getenv("DISPLAY")) return true;
    fprintf(stderr, "%s: no X display (run it under xvfb-run -a)\n", prog);
    return false;
}

// Starts the semaphores and process table, opens the display in $DISPLAY and
// builds the main window, with the events it causes handled. Returns false
// (after saying why, as `prog`) when there is no display or it cannot be
// opened. argc/argv are the toolkit's; null stands for a bare "orva".
inline bool BenchMainWindow(const char *prog, int *argc = nullptr, char **argv = nullptr) {
    if (!BenchHasDisplay(prog)) return false;
    if (SemInit() != 0) return false;
    InitProcessTable();
    SetVideoMode(0);
    int xargc = 1;
    char arg0[] = "orva";
    char *xargv[] = {arg0, nullptr};
    if (!argc) argc = &xargc, argv = xargv;
    if (!InitToolkit(argc, argv, StartupOptions{})) {
        fprintf(stderr, "%s: cannot open the display\n", prog);
        return false;
    }
    BuildMainWindow(StartupOptions{});
    pump();
    return true;
}
