// Program start-up: detach from the shell, read the video standard, prepare
// the shared state (clip lists, process table, semaphore set), start the log
// converter, build the main window and enter the toolkit's loop.
#include "desktop/startup.h"

#include <Xm/Protocols.h>
#include <Xm/Xm.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "desktop/clip_model.h"
#include "desktop/clip_open.h"
#include "desktop/clip_operations.h"
#include "desktop/commands.h"
#include "desktop/converter.h"
#include "desktop/defaults.h"
#include "desktop/desktop_area.h"
#include "desktop/exit.h"
#include "desktop/frame_stepping.h"
#include "desktop/db_hooks.h"
#include "desktop/effects_dialog.h"
#include "desktop/export_commands.h"
#include "desktop/import_dialog.h"
#include "desktop/standalone_fx.h"
#include "desktop/globals.h"
#include "desktop/grab.h"
#include "desktop/file_use.h"
#include "desktop/info_window.h"
#include "desktop/invert_process.h"
#include "database/db_commands.h"
#include "editing/clip_remove.h"
#include "ui/icons.h"
#include "desktop/log_writer.h"
#include "database/db_list.h"
#include "media/fm_main.h"
#include "device/sv.h"
#include "media/img_util.h"
#include "desktop/main_window.h"
#include "ui/colors.h"
#include "desktop/menu.h"
#include "ui/messages.h"
#include "desktop/process_timers.h"
#include "desktop/work_files.h"
#include "desktop/processes.h"
#include "desktop/resources.h"
#include "ui/widgets.h"
#include "desktop/zoom_view.h"
#include "platform/sem.h"
#include "vtr/timeline.h"
#include "vtr/vtr_panel.h"

// ---- globals of the main process ----

sv_handle *sv = nullptr;
int master_tc = 0;
std::atomic<int> exit_pending{0};
int defaults[5];
char init_work_name[1024], exit_work_name[1024];

static void NullAction(Widget, XEvent *, String *, Cardinal *) {}

static XtActionsRec actions[] = {
    {const_cast<char *>("NullAction"), NullAction},
    {const_cast<char *>("InsertText"), InsertText},
    {const_cast<char *>("RepeatLast"), RepeatLast},
    {const_cast<char *>("DeleteWindow"), DeleteWindow},
    {const_cast<char *>("KeySumma"), KeySumma},
    {const_cast<char *>("Goto_In"), Goto_In},
    {const_cast<char *>("Goto_Out"), Goto_Out},
    {const_cast<char *>("Play2Sx"), Play2Sx},
    {const_cast<char *>("Play2Dx"), Play2Dx},
};

StartupOptions ParseArguments(int argc, char **argv) {
    StartupOptions o;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-vtr") == 0) o.vtr = true;
        if (strcmp(argv[i], "-border") == 0) o.border = true;
    }
    return o;
}

void ReadVideoEnvironment() {
    const char *sync = getenv("SCSI_SYNC");
    SYNC_MODE = 0;
    if (sync) {
        if (strcmp(sync, "SV_SYNC_EXTERNAL") == 0)
            SYNC_MODE = 1;
        else if (strcmp(sync, "SV_SYNC_GENLOCK_ANALOG") == 0)
            SYNC_MODE = 2;
        else if (strcmp(sync, "SV_SYNC_GENLOCK_DIGITAL") == 0)
            SYNC_MODE = 3;
    }
    const char *mode = getenv("SCSI_VIDEO_MODE");
    int m = 0;
    if (mode) {
        if (strcmp(mode, "SV_MODE_PALHR") == 0)
            m = 2;
        else if (strcmp(mode, "SV_MODE_NTSC") == 0)
            m = 1;
        else if (strcmp(mode, "SV_MODE_NTSCHR") == 0)
            m = 3;
    }
    SetVideoMode(m);
    if (m == 1 || m == 3) {
        YLARG -= 24;
        HAPPYH -= 24;
    }
}

int InitGlobals() {
    HAPPYH += TmLineH();
    exit_pending = 0;
    ReadVideoEnvironment();
    // The board: without one (no device, a dead socket) sv stays null and the
    // program runs without it. The handle's busy flag is semaphore 4 of the
    // set, so other parts can see a batch in flight.
    sv = sv_open("");
    if (sv) sv_semaphore(sv, 1, semaphore, 4);
    fm_initialize(&sv);
    ResetZoomData();
    first_fisic = nullptr;
    first_window = last_window = first_work = summa_window = nullptr;
    background = 0;
    isPlayActive = 0;
    master_tc = 0;
    const int preset[5] = {10, 1, 0, 1, 1};
    std::copy(preset, preset + 5, defaults);
    InitProcessTable();
    if (SemInit() != 0) {
        fprintf(stderr, "Couldn't get the semaphores:\n");
        fprintf(stderr, "Clean up the semaphore set and retry\n");
        return -1;
    }
    // Still-picture readers and writers in jobs pause, and stop, at semaphore 0.
    img_set_row_gate([] { SemWait(0); });
    DbInitialize();
    InstallLogWriter();
    ProcessMessage = [](const char *text) { PutCharMessage(mainform, text); };
    ProcessFinalExit = FinalExit;
    Sproc(eConvert, nullptr, JOB_CONVERT);
    return 0;
}

Widget InitToolkit(int *argc, char **argv, const StartupOptions &opt) {
    std::vector<std::string> list = AdjustedFallbacks(opt.border);
    static std::vector<std::string> kept;
    static std::vector<char *> fallbacks;
    kept = list;
    fallbacks.clear();
    for (std::string &s : kept)
        fallbacks.push_back(s.data());
    fallbacks.push_back(nullptr);

    XtSetLanguageProc(nullptr, nullptr, nullptr);
    Display *dpy = nullptr;
    XtToolkitInitialize();
    app = XtCreateApplicationContext();
    XtAppSetFallbackResources(app, fallbacks.data());
    // Retried a few times: a server can refuse a connection that arrives
    // while it is still closing another one.
    for (int tries = 0; tries < 5 && !dpy; tries++)
        if (!(dpy = XtOpenDisplay(app, nullptr, "orva", "orva", nullptr, 0, argc, argv)))
            usleep(50000);
    if (!dpy) return nullptr;
    app_shell = XtVaAppCreateShell("orva", "orva", applicationShellWidgetClass, dpy, XmNtitle,
                                   "Orva", XmNdeleteResponse, XmDO_NOTHING, NULL);
    XtAppAddActions(app, actions, XtNumber(actions));
    Atom del = XmInternAtom(dpy, const_cast<char *>("WM_DELETE_WINDOW"), False);
    XmAddWMProtocolCallback(app_shell, del, editExit, nullptr);
    InstallSignalHandlers();
    // A file size limit makes the write that crosses it fail (a work or log
    // then reports its error) instead of ending the program.
    signal(SIGXFSZ, SIG_IGN);
    return app_shell;
}

// The functions through which the libraries below the desktop reach it.
static void InstallDesktopHooks() {
    DbOpenReelHook = OpenFile;
    InstallDatabaseHooks();
    InstallExportHooks();
    InstallEffectHooks();
    InstallImportHooks();
    InstallCustomHooks();
    InstallWorkFileHooks();
    DbOpenImageLogHook = OpenImageLog;
    DbInfoHook = InfoShowReels;
    RemoveJobUsesHook = JobWritesFile;
    DoRemoveHook = DoRemoveMarked;
    TmSetWindowVisibleHook(SetWindowVisible);
    TmSetScaleHook(ScaleValue);
    InstallDefaultsHooks();
    InstallVtrHooks();
    InstallGrabHooks();
}

void BuildMainWindow(const StartupOptions &opt) {
    InstallDesktopHooks();
    Screen *scr = XtScreen(app_shell);
    const int W = WidthOfScreen(scr), H = HeightOfScreen(scr);
    const bool vtr_wanted = opt.vtr || sv != nullptr;
    XtVaSetValues(app_shell, XmNx, 0, XmNy, 0, XmNwidth, W, XmNheight, H, NULL);
    CreaMainWindow(W, H, vtr_wanted);
    XtRealizeWidget(app_shell);
    XtVaGetValues(mainform, XmNbackground, &background, NULL);
    XtVaGetValues(happyswin, XmNhorizontalScrollBar, &happy_h, XmNverticalScrollBar, &happy_v,
                  NULL);
    XtVaGetValues(workswin, XmNhorizontalScrollBar, &work_h, XmNverticalScrollBar, &work_v, NULL);
    // The master area scrolls only sideways.
    if (happy_v) XtUnmanageChild(happy_v);
    AllocColors(MenuForeground());
    CreaCursors(app_shell);
    CreaColorForms();
    // The board's video mode and sync; a refusal is reported and start-up
    // goes on. Without a board, "-vtr" leaves the VTR form empty.
    if (sv) {
        if (sv_videomode(sv, VIDEO_MODE) != 0) PutCharMessage(app_shell, "Video mode problems");
        if (sv_sync(sv, SYNC_MODE) != 0) PutCharMessage(app_shell, "Sync problems");
    }
    vtr_board = sv;
    if (sv && vtrform) CreaVtrWidget(vtrform, W, H);
    CreaLogoWindow(W);
    TmCreaGlw(background_rgb, foreground_rgb);
    Init_defaults(1);
    UpdateSummaWindow();
    XtAppAddTimeOut(app, 60000, ClearWorkTimer, nullptr);
    XtAppAddTimeOut(app, 1000, ReapChildren, nullptr);
    Widget clip = nullptr;
    XtVaGetValues(happyswin, XmNclipWindow, &clip, NULL);
    if (clip) XtAddEventHandler(clip, KeyPressMask, False, KeyEvent, nullptr);
    clip = nullptr;
    XtVaGetValues(workswin, XmNclipWindow, &clip, NULL);
    if (clip) XtAddEventHandler(clip, KeyPressMask, False, KeyEvent, nullptr);
}

std::string NoDatabaseMessage() {
    if (DbGetName()) return "";
    const char *rsrc = getenv("ORVA_RSRC");
    char path[1024];
    if (!DbListFileName(path, sizeof path))
        return "No database list file: ORVA_RSRC is empty.\n"
               "Set ORVA_RSRC to the directory of a list file \"OrvaDB\"\n"
               "(\"orva-demo DIR\" makes a demo database).";
    std::string text = "No database found in the list file\n";
    text += path;
    text += rsrc ? "\n(from ORVA_RSRC).\n" : "\n(ORVA_RSRC is not set).\n";
    text += "Set ORVA_RSRC to the directory of a list file \"OrvaDB\"\n"
            "(\"orva-demo DIR\" makes a demo database).";
    return text;
}

int OrvaMain(int argc, char **argv) {
    const char *nodetach = getenv("ORVA_NO_DETACH");
    if (!(nodetach && strcmp(nodetach, "1") == 0)) {
        pid_t pid = fork();
        if (pid < 0) {
            perror("fork");
            exit(-1);
        }
        if (pid > 0) exit(0);
    }
    if (InitGlobals() != 0) exit(0);
    StartupOptions opt = ParseArguments(argc, argv);
    if (!InitToolkit(&argc, argv, opt)) {
        fprintf(stderr, "orva: cannot open the display\n");
        ExitProgram();
        return 1;
    }
    BuildMainWindow(opt);
    // Without a usable database, say once which list file was looked for.
    const std::string no_db = NoDatabaseMessage();
    if (!no_db.empty()) {
        fprintf(stderr, "orva: %s\n", no_db.c_str());
        PutCharMessage(mainform, no_db.c_str());
    }
    XtAppMainLoop(app);
    return 0;
}
