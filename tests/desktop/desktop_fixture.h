// In-process fixture that builds the program's main window under the test X
// server, and helpers that find widgets and message boxes the way a user
// sees them.
#pragma once

#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <Xm/Form.h>
#include <Xm/Label.h>
#include <Xm/LabelG.h>
#include <Xm/MessageB.h>
#include <Xm/Xm.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "desktop/globals.h"
#include "editing/clip_records.h"
#include "desktop/processes.h"
#include "desktop/startup.h"
#include "ui/widgets.h"
#include "platform/jobs.h"
#include "platform/sem.h"
#include "tests/processes/process_test_util.h"

class DesktopFixture : public ::testing::Test {
  public:
    // Handles every pending event.
    static void Pump() {
        XSync(XtDisplay(app_shell), False);
        for (int round = 0; round < 3; round++) {
            while (XtAppPending(app))
                XtAppProcessEvent(app, XtIMAll);
            XSync(XtDisplay(app_shell), False);
        }
    }

  protected:
    void SetUp() override {
        if (!getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        unsetenv("SCSI_VIDEO_MODE");
        unsetenv("SCSI_SYNC");
        ASSERT_EQ(SemInit(), 0);
        InitProcessTable();
        static char arg0[] = "orva";
        static char *argv[] = {arg0, nullptr};
        int argc = 1;
        ASSERT_NE(InitToolkit(&argc, argv, StartupOptions{}), nullptr);
        BuildMainWindow(StartupOptions{});
        Pump();
    }
    void TearDown() override {
        EndAllJobs();
        SemRemove();
        ProcessFinalExit = nullptr;
        exit_pending = 0;
    }
};

// Text of a label or button.
inline std::string LabelOf(Widget w) {
    return LabelGetString(w);
}

// Every widget below root (normal and popup children) for which pred holds.
template <class P> void CollectWidgets(Widget root, P pred, std::vector<Widget> &out) {
    if (!root || root->core.being_destroyed) return;
    if (pred(root)) out.push_back(root);
    if (XtIsComposite(root)) {
        CompositeWidget c = reinterpret_cast<CompositeWidget>(root);
        for (Cardinal i = 0; i < c->composite.num_children; i++)
            CollectWidgets(c->composite.children[i], pred, out);
    }
    if (XtIsWidget(root))
        for (Cardinal i = 0; i < root->core.num_popups; i++)
            CollectWidgets(root->core.popup_list[i], pred, out);
}

// Managed widgets named `name` under root.
inline std::vector<Widget> Named(Widget root, const char *name) {
    std::vector<Widget> out;
    CollectWidgets(
        root, [&](Widget w) { return XtName(w) == std::string(name) && XtIsManaged(w); }, out);
    return out;
}

// The first managed button or label whose text is `text`, or null.
inline Widget ByLabel(Widget root, const char *text) {
    std::vector<Widget> out;
    CollectWidgets(
        root,
        [&](Widget w) {
            return (XmIsLabel(w) || XmIsLabelGadget(w)) && XtIsManaged(w) && LabelOf(w) == text;
        },
        out);
    return out.empty() ? nullptr : out[0];
}

// Runs fn from inside the toolkit's event dispatch, as a user's click is
// handled: widgets destroyed by callbacks are then freed after the callbacks
// return, exactly as in the running program.
inline std::function<void()> &DispatchedWork() {
    static std::function<void()> work;
    return work;
}
inline void DispatchHandler(Widget, XtPointer, XEvent *ev, Boolean *) {
    if (ev->type != ClientMessage || !DispatchedWork()) return;
    auto work = std::move(DispatchedWork());
    DispatchedWork() = nullptr;
    work();
}
inline void InDispatch(std::function<void()> fn) {
    static Widget installed = nullptr; // each test builds its own shell
    if (installed != app_shell) {
        XtAddEventHandler(app_shell, NoEventMask, True, DispatchHandler, nullptr);
        installed = app_shell;
    }
    DispatchedWork() = std::move(fn);
    XClientMessageEvent cm{};
    cm.type = ClientMessage;
    cm.display = XtDisplay(app_shell);
    cm.window = XtWindow(app_shell);
    cm.format = 32;
    cm.message_type = XInternAtom(cm.display, "ORVA_TEST_DISPATCH", False);
    XSendEvent(cm.display, cm.window, False, NoEventMask, reinterpret_cast<XEvent *>(&cm));
    XFlush(cm.display);
    // The message comes back through the X server: on a busy machine that
    // can take seconds.
    WaitUntil([] {
        while (XtAppPending(app))
            XtAppProcessEvent(app, XtIMAll);
        return !DispatchedWork();
    });
    DesktopFixture::Pump();
}

// Activates a push button as a click would.
inline void Press(Widget b) {
    ASSERT_NE(b, nullptr);
    InDispatch([b] {
        XmPushButtonCallbackStruct cbs{};
        cbs.reason = XmCR_ACTIVATE;
        XtCallCallbacks(b, XmNactivateCallback, &cbs);
    });
}

// The whole text of an XmString resource of w (XmNmessageString,
// XmNlabelString), with each line separator given back as "\n".
inline std::string StringResource(Widget w, const char *resource) {
    XmString xs = nullptr;
    XtVaGetValues(w, resource, &xs, NULL);
    std::string s;
    if (!xs) return s;
    XmString sep = XmStringSeparatorCreate();
    Arg a[4];
    XtSetArg(a[0], XmNincludeStatus, XmINSERT);
    XtSetArg(a[1], XmNsubstitute, sep);
    XtSetArg(a[2], XmNpattern, const_cast<char *>("\n"));
    XtSetArg(a[3], XmNpatternType, XmCHARSET_TEXT);
    XmParseMapping map = XmParseMappingCreate(a, 4);
    XmStringFree(sep);
    char *t = static_cast<char *>(
        XmStringUnparse(xs, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, &map, 1, XmOUTPUT_ALL));
    XmParseMappingFree(map);
    if (t) {
        s = t;
        XtFree(t);
    }
    XmStringFree(xs);
    return s;
}

// The message string of a message box.
inline std::string MessageOf(Widget box) {
    return StringResource(box, XmNmessageString);
}

// The items of a list, as text.
inline std::vector<std::string> ListItems(Widget list) {
    XmStringTable items = nullptr;
    int n = 0;
    XtVaGetValues(list, XmNitems, &items, XmNitemCount, &n, NULL);
    std::vector<std::string> out;
    for (int i = 0; i < n; i++) {
        char *s = nullptr;
        const bool ok = XmStringGetLtoR(items[i], const_cast<char *>(XmFONTLIST_DEFAULT_TAG), &s);
        out.push_back(ok && s ? s : "");
        XtFree(s);
    }
    return out;
}

// A temporary directory that $ORVA_RSRC names (the database list file is
// read there) for as long as it lives: removed with everything in it (write
// bits given back first) and $ORVA_RSRC restored when it goes. path is
// empty when the directory could not be made.
struct RsrcRoot {
    std::string path, old;
    bool had_old = false;
    explicit RsrcRoot(const char *prefix) {
        std::string t = std::filesystem::temp_directory_path().string() + "/" + prefix + "-XXXXXX";
        if (!mkdtemp(t.data())) return;
        path = t;
        if (const char *o = getenv("ORVA_RSRC")) old = o, had_old = true;
        setenv("ORVA_RSRC", path.c_str(), 1);
    }
    ~RsrcRoot() {
        if (path.empty()) return;
        had_old ? setenv("ORVA_RSRC", old.c_str(), 1) : unsetenv("ORVA_RSRC");
        std::error_code ec;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path, ec);
    }
    RsrcRoot(const RsrcRoot &) = delete;
    RsrcRoot &operator=(const RsrcRoot &) = delete;
};

// Title of a dialog (from its shell).
inline std::string TitleOf(Widget dialog) {
    char *title = nullptr;
    XtVaGetValues(XtParent(dialog), XmNtitle, &title, NULL);
    return title ? title : "";
}

// The one managed dialog under mainform whose shell has this title, or null.
inline Widget DialogTitled(const std::string &title) {
    std::vector<Widget> out;
    CollectWidgets(
        mainform,
        [&](Widget w) {
            return XtIsManaged(w) && XtIsSubclass(w, xmFormWidgetClass) && XtParent(w) &&
                   XtIsShell(XtParent(w)) && TitleOf(w) == title;
        },
        out);
    return out.size() == 1 ? out[0] : nullptr;
}

// The texts of the message boxes named "error" under root, each dismissed.
inline std::vector<std::string> DismissMessages(Widget root) {
    std::vector<std::string> out;
    for (Widget box : Named(root, "error")) {
        out.push_back(MessageOf(box));
        Press(XmMessageBoxGetChild(box, XmDIALOG_OK_BUTTON));
    }
    return out;
}

// Waits (up to 30 s) for the running jobs to end, running their end
// routines in a dispatch as the program's work procedure would.
inline void WaitJobsReaped() {
    WaitUntil([] {
        if (num_sproc > 0) InDispatch([] { ReapEndedJobs(); });
        return num_sproc == 0;
    });
}

// The number of windows on the window list.
inline int CountWindows() {
    int n = 0;
    for (WindowData *w = first_window; w; w = w->next)
        n++;
    return n;
}
