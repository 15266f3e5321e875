// The main window: menu bar, summa area, master area ("happywin"), timeline,
// VTR form and desktop ("workwin"), the logo window, colours, the About box
// and the key routing of the two clip areas.
#include "desktop/main_window.h"

#include <Xm/Form.h>
#include <Xm/ScrolledW.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "desktop/clip_model.h"
#include "desktop/desktop_area.h"
#include "desktop/commands.h"
#include "desktop/exit.h"
#include "desktop/globals.h"
#include "desktop/glw.h"
#include "ui/icons.h"
#include "desktop/logo.h"
#include "desktop/menu.h"
#include "ui/messages.h"
#include "ui/colors.h"
#include "ui/widgets.h"
#include "platform/fileio.h"
#include "vtr/timeline.h"

Widget menubar = nullptr, timeline_form = nullptr, vtrform = nullptr;
WindowData logo_window;

static Pixel menu_fg = 0;

void CreaMainWindow(int W, int H, bool vtr_wanted) {
    mainform = XtVaCreateWidget("mainform", xmFormWidgetClass, app_shell, XmNx, 0, XmNy, 0,
                                XmNwidth, W, XmNheight, H, XmNresizePolicy, XmRESIZE_NONE, NULL);
    menubar = CreaManagedMainMenubar(mainform, W - 250, &menu_fg);
    XtVaSetValues(menubar, XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM, NULL);

    summaform = XtVaCreateManagedWidget("summawin", xmFormWidgetClass, mainform, XmNwidth,
                                        XLARG + 4, XmNheight, HAPPYH, XmNrightAttachment,
                                        XmATTACH_FORM, XmNrightOffset, 1, XmNtopAttachment,
                                        XmATTACH_WIDGET, XmNtopWidget, menubar, NULL);
    // Keeps its place when the summa window inside it goes.
    XtVaSetValues(summaform, XmNresizePolicy, XmRESIZE_NONE, NULL);

    happyswin =
        CreaScrolledWindow(mainform, menubar, nullptr, nullptr, summaform, HAPPYH, "happywin");
    XtVaSetValues(happyswin, XmNscrollBarDisplayPolicy, XmSTATIC, NULL);
    happyform = XtVaCreateManagedWidget("happyform", xmFormWidgetClass, happyswin, NULL);

    if (vtr_wanted) {
        vtrform = XtVaCreateManagedWidget("vtrform", xmFormWidgetClass, mainform, XmNheight, VTRH,
                                          XmNleftAttachment, XmATTACH_FORM, XmNbottomAttachment,
                                          XmATTACH_FORM, XmNrightOffset, 1, NULL);
    }
    timeline_form = TmCreaForm(mainform, happyswin, W);
    workswin =
        CreaScrolledWindow(mainform, timeline_form, vtrform, nullptr, nullptr, -1, "workwin");
    workform = XtVaCreateManagedWidget("workform", xmFormWidgetClass, workswin, XmNwidth, 10,
                                       XmNheight, 10, NULL);

    XtAddEventHandler(mainform, ButtonPressMask, False, PopupEvent, nullptr);
    CreaPopupMenu(mainform);
    XtManageChild(mainform);
}

Pixel MenuForeground() {
    return menu_fg;
}

void CreaLogoWindow(int W) {
    RetintLogo(LogoImage(), LOGO_W * LOGO_H, background_rgb[0], background_rgb[1],
               background_rgb[2]);
    logo_window.width = LOGO_W;
    logo_window.height = LOGO_H;
    logo_window.source = SOURCE_LOG;
    logo_window.image = LogoImage();
    logo_window.seg_first = fixed_picture_marker;
    logo_window.glw =
        CreaGlw(app_shell, mainform, W - 245, 2, LOGO_W, LOGO_H, glwExpose, &logo_window);
    XtAddEventHandler(logo_window.glw, ButtonPressMask, False, LogoPress, nullptr);
}

void KeyEvent(Widget w, XtPointer, XEvent *event, Boolean *) {
    if (event->type != KeyPress) return;
    for (WindowData *win = first_window; win; win = win->next) {
        if (!win->glw || !XtIsRealized(win->glw) ||
            !XtIsManaged(win->frame ? win->frame : win->glw))
            continue;
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(XtDisplay(w), event->xkey.window, XtWindow(win->glw), event->xkey.x,
                              event->xkey.y, &x, &y, &child);
        if (x >= 0 && y >= 0 && x < win->width && y < win->height) {
            KeySym key = XLookupKeysym(&event->xkey, 0);
            if (key == XK_BackSpace && win->glw) {
                ArmDeleteWindow(win->glw);
                return;
            }
            KeyProcess(win, key, (event->xkey.state & ShiftMask) ? 1 : 0);
            return;
        }
    }
}

// ---- the logo's hidden movie ----

static const long movie_size = 688482;

const char *LogoMoviePath() {
    static std::string path;
    if (path.empty()) {
        const char *tmp = getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/dulsar.mv";
    }
    return path.c_str();
}

int ExtractLogoMovie(const char *program, const char *movie, long size) {
    std::vector<char> buf(static_cast<size_t>(size));
    {
        Fd in(open_regular(program, O_RDONLY));
        struct stat st {};
        if (in.fd < 0 || fstat(in.fd, &st) != 0 || st.st_size < size ||
            !read_at(in.fd, buf.data(), buf.size(), st.st_size - size))
            return 0;
    }
    // Created exclusively: an existing file or link at that name is never
    // followed or overwritten.
    int out = open(movie, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (out < 0) return 0;
    bool ok = write_all(out, buf.data(), buf.size());
    if (close(out) != 0 || !ok) {
        unlink(movie);
        return 0;
    }
    return 1;
}

static bool usable_movie(const char *path) {
    struct stat st {};
    return lstat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
           st.st_size == movie_size;
}

static std::string find_program() {
    std::vector<std::string> candidates;
    if (const char *home = getenv("HOME")) candidates.push_back(std::string(home) + "/bin/orva");
    if (const char *pwd = getenv("PWD")) candidates.push_back(std::string(pwd) + "/orva");
    if (const char *path = getenv("PATH")) {
        std::string p = path;
        size_t start = 0;
        while (start <= p.size()) {
            size_t end = p.find(':', start);
            if (end == std::string::npos) end = p.size();
            std::string dir = p.substr(start, end - start);
            if (dir.empty() || dir.back() != '/') dir += '/';
            candidates.push_back(dir + "orva");
            start = end + 1;
        }
    }
    for (const std::string &c : candidates)
        if (access(c.c_str(), F_OK) == 0) return c;
    return "";
}

static void play_movie(const char *path) {
    std::string cmd = "movieplayer -v -N -l 0 -z 4 '";
    cmd += path;
    cmd += "' >/dev/null 2>&1 &";
    if (system(cmd.c_str()) != 0) return;
}

void LogoPress(Widget, XtPointer, XEvent *event, Boolean *) {
    if (event->type != ButtonPress || event->xbutton.button != Button2 ||
        event->xbutton.state != (ShiftMask | Button1Mask | Button3Mask))
        return;
    const char *movie = LogoMoviePath();
    if (usable_movie(movie)) {
        play_movie(movie);
        return;
    }
    std::string program = find_program();
    if (program.empty()) return;
    if (ExtractLogoMovie(program.c_str(), movie, movie_size)) {
        NoteLogoMovieCreated();
        play_movie(movie);
    }
}

// ---- About box ----

static const char about_text[] =
    "Orva\n\nVideo post-production desktop\nfor motion-JPEG reels\n\n"
    "Organise, scrub, cut and join clips,\nmake transitions and effects,\n"
    "move pictures in and out,\nand drive the video disk recorder.";

void AboutOrva(Widget, XtPointer, XtPointer) {
    Widget d = CreaDialog(mainform, "About Orva", nullptr, 350, 295, 1, 0);
    CreaLabelName(d, 25, 25, 320, 185, about_text, "about");
    Widget close = CreaBottoneXY(d, "Close", 140, 235, 70, 35);
    XtAddCallback(close, XmNactivateCallback, cancel_p, XtParent(d));
    XtManageChild(d);
}
