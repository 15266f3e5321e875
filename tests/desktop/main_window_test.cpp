// The main window built in-process: its widgets, menus, message boxes, the
// processes and quit dialogs, and the plug-in loading.
#include <gtest/gtest.h>

#include <X11/Xutil.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/RowColumn.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "desktop/clip_model.h"
#include "desktop/commands.h"
#include "desktop/menu.h"
#include "ui/messages.h"
#include "tests/desktop/desktop_fixture.h"

namespace {

using MainWindowTest = DesktopFixture;
using MenuTest = DesktopFixture;
using MessageTest = DesktopFixture;
using ProcessDialogTest = DesktopFixture;

std::vector<Widget> Boxes(const char *name) {
    return Named(mainform, name);
}

Widget MenuTitle(Widget menu, const char *cascade_name, const char *label) {
    for (Widget w : Named(menu, cascade_name))
        if (LabelOf(w) == label) return w;
    return nullptr;
}

Widget SubMenu(Widget cascade) {
    Widget sub = nullptr;
    XtVaGetValues(cascade, XmNsubMenuId, &sub, NULL);
    return sub;
}

std::vector<std::string> Labels(Widget pulldown) {
    std::vector<std::string> out;
    WidgetList kids = nullptr;
    Cardinal n = 0;
    XtVaGetValues(pulldown, XmNchildren, &kids, XmNnumChildren, &n, NULL);
    for (Cardinal i = 0; i < n; i++)
        out.push_back(LabelOf(kids[i]));
    return out;
}

void Btn2(Widget cascade) {
    XEvent ev{};
    ev.type = ButtonPress;
    ev.xbutton.button = Button2;
    ev.xbutton.display = XtDisplay(cascade);
    ev.xbutton.window = XtWindow(cascade);
    XtCallActionProc(cascade, "RepeatLast", &ev, nullptr, 0);
}

} // namespace

TEST_F(MainWindowTest, AreasMenusLogoAndClass) {
    XClassHint hint{};
    ASSERT_TRUE(XGetClassHint(XtDisplay(app_shell), XtWindow(app_shell), &hint));
    EXPECT_STREQ(hint.res_class, "orva");
    XFree(hint.res_name);
    XFree(hint.res_class);

    for (const char *name : {"*menubar", "*summawin", "*happywin", "*happyform", "*workwin",
                             "*workform", "*timeline", "*glx", "*popup"})
        EXPECT_NE(XtNameToWidget(app_shell, name), nullptr) << name;
    EXPECT_EQ(XtNameToWidget(mainform, "vtrform"), nullptr); // no board, no -vtr

    Widget bar = XtNameToWidget(mainform, "menubar");
    std::vector<std::string> titles;
    for (Widget w : Named(bar, "menu"))
        titles.push_back(LabelOf(w));
    EXPECT_EQ(titles, (std::vector<std::string>{"OPEN", "SAVE", "DELETE", "IMPORT", "EXPORT",
                                                "EFFECTS", "TOOLS", "QUIT"}));
    Dimension w = 0;
    XtVaGetValues(Named(bar, "menu")[0], XmNwidth, &w, NULL);
    EXPECT_EQ(int(w), (WidthOfScreen(XtScreen(app_shell)) - 250) / 8 - 2);

    // The logo window draws the logo picture.
    Widget logo = XtNameToWidget(mainform, "glx");
    Dimension lw = 0, lh = 0;
    XtVaGetValues(logo, XmNwidth, &lw, XmNheight, &lh, NULL);
    EXPECT_EQ(lw, 235);
    EXPECT_EQ(lh, 40);
}

TEST_F(MainWindowTest, LogoIsDrawnOnScreen) {
    Widget logo = XtNameToWidget(mainform, "glx");
    Pump();
    XImage *img = XGetImage(XtDisplay(logo), XtWindow(logo), 0, 0, 235, 40, AllPlanes, ZPixmap);
    ASSERT_NE(img, nullptr);
    // The letters are light grey on the background: both must be there.
    int light = 0, back = 0;
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 235; x++) {
            unsigned long p = XGetPixel(img, x, y);
            if ((p & 0xffffff) == 0xeeeeee) light++;
            if ((p & 0xffffff) == 0x555560) back++;
        }
    XDestroyImage(img);
    EXPECT_GT(light, 300);
    EXPECT_GT(back, 5000);
}

TEST_F(MainWindowTest, Button3OpensThePopupAndAboutBox) {
    XEvent ev{};
    ev.type = ButtonPress;
    ev.xbutton.button = Button3;
    ev.xbutton.display = XtDisplay(mainform);
    ev.xbutton.window = XtWindow(mainform);
    ev.xbutton.x_root = 100;
    ev.xbutton.y_root = 100;
    ev.xbutton.x = ev.xbutton.y = 100;
    Boolean cont = True;
    PopupEvent(mainform, nullptr, &ev, &cont);
    EXPECT_TRUE(XtIsManaged(popup_menu));
    EXPECT_NE(ByLabel(popup_menu, "POPUP MENU"), nullptr);
    EXPECT_EQ(Named(popup_menu, "popup").size(), 9u); // the menu itself and its eight titles
    XtUnmanageChild(popup_menu);

    Widget tools = SubMenu(MenuTitle(XtNameToWidget(mainform, "menubar"), "menu", "TOOLS"));
    Press(ByLabel(tools, "About Orva ..."));
    Pump();
    std::vector<Widget> dialogs = Named(mainform, "dialog");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(TitleOf(dialogs[0]), "About Orva");
    EXPECT_NE(XtNameToWidget(dialogs[0], "about"), nullptr);
    Press(ByLabel(dialogs[0], "Close"));
    Pump();
    EXPECT_TRUE(Named(mainform, "dialog").empty());
}

TEST_F(MenuTest, TreeShapeAndMnemonics) {
    Widget bar = XtNameToWidget(mainform, "menubar");
    const std::pair<const char *, size_t> rows[] = {{"OPEN", 5},   {"SAVE", 4},   {"DELETE", 5},
                                                    {"IMPORT", 2}, {"EXPORT", 2}, {"EFFECTS", 7},
                                                    {"TOOLS", 9}};
    for (auto [title, n] : rows) {
        Widget sub = SubMenu(MenuTitle(bar, "menu", title));
        ASSERT_NE(sub, nullptr) << title;
        EXPECT_EQ(Labels(sub).size(), n) << title;
    }
    EXPECT_EQ(SubMenu(MenuTitle(bar, "menu", "QUIT")), nullptr);

    Widget effects = SubMenu(MenuTitle(bar, "menu", "EFFECTS"));
    EXPECT_EQ(ByLabel(effects, "User defined"), nullptr); // no ORVA_USER_DIR
    Widget speed = ByLabel(effects, "Speed");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(Labels(SubMenu(speed)),
              (std::vector<std::string>{"Faster ...", "Slower ...", "Strobe ...", "Still ..."}));
    EXPECT_STREQ(XtName(SubMenu(speed)), "spd");

    KeySym m = 0;
    XtVaGetValues(MenuTitle(bar, "menu", "EFFECTS"), XmNmnemonic, &m, NULL);
    EXPECT_EQ(m, KeySym('F'));
    XtVaGetValues(speed, XmNmnemonic, &m, NULL);
    EXPECT_EQ(m, KeySym('p'));
    XtVaGetValues(ByLabel(SubMenu(speed), "Still ..."), XmNmnemonic, &m, NULL);
    EXPECT_EQ(m, KeySym('i'));
}

TEST_F(MenuTest, RepeatLastRunsTheLastChoiceAgain) {
    Widget bar = XtNameToWidget(mainform, "menubar");
    Widget tools = MenuTitle(bar, "menu", "TOOLS");
    Btn2(tools); // nothing chosen yet
    EXPECT_TRUE(Boxes("error").empty());

    Press(ByLabel(SubMenu(tools), "Processes ..."));
    std::vector<Widget> boxes = Boxes("error");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(MessageOf(boxes[0]), "No process running");
    EXPECT_EQ(TitleOf(boxes[0]), "Warning");
    EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(boxes[0], XmDIALOG_CANCEL_BUTTON)));
    EXPECT_EQ(LabelOf(XmMessageBoxGetChild(boxes[0], XmDIALOG_OK_BUTTON)), "OK");
    Press(XmMessageBoxGetChild(boxes[0], XmDIALOG_OK_BUTTON));
    EXPECT_TRUE(Boxes("error").empty());

    Btn2(tools);
    boxes = Boxes("error");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(MessageOf(boxes[0]), "No process running");

    // Another menu keeps its own memory.
    Btn2(MenuTitle(bar, "menu", "OPEN"));
    EXPECT_EQ(Boxes("error").size(), 1u);
}

namespace {
int yes_calls = 0, no_calls = 0;
void on_yes(Widget, XtPointer data, XtPointer) {
    yes_calls += int(reinterpret_cast<intptr_t>(data));
}
void on_no(Widget, XtPointer data, XtPointer) {
    no_calls += int(reinterpret_cast<intptr_t>(data));
}
} // namespace

// On mainform every answer closes the box: "  Yes  " calls the yes callback,
// "  No  " the no callback if there is one; "Cancel", shown only with a no
// callback, calls nothing.
TEST_F(MessageTest, WarningButtonForms) {
    struct Case {
        XtCallbackProc no;
        unsigned char button;
        int yes, no_calls;
    } cases[] = {
        {nullptr, XmDIALOG_CANCEL_BUTTON, 0, 0},
        {nullptr, XmDIALOG_OK_BUTTON, 3, 0},
        {on_no, XmDIALOG_CANCEL_BUTTON, 0, 5},
        {on_no, XmDIALOG_HELP_BUTTON, 0, 0},
    };
    for (const Case &c : cases) {
        yes_calls = no_calls = 0;
        Widget box = Warning(mainform, "Sure?", on_yes, XtPointer(3), c.no,
                             XtPointer(intptr_t(c.no ? 5 : 0)));
        EXPECT_STREQ(XtName(box), "warning");
        EXPECT_EQ(TitleOf(box), "Warning");
        EXPECT_EQ(LabelOf(XmMessageBoxGetChild(box, XmDIALOG_OK_BUTTON)), "  Yes  ");
        EXPECT_EQ(LabelOf(XmMessageBoxGetChild(box, XmDIALOG_CANCEL_BUTTON)), "  No  ");
        Widget cancel = XmMessageBoxGetChild(box, XmDIALOG_HELP_BUTTON);
        EXPECT_EQ(XtIsManaged(cancel), c.no != nullptr);
        EXPECT_EQ(LabelOf(cancel), "Cancel");
        Press(XmMessageBoxGetChild(box, c.button));
        EXPECT_EQ(yes_calls, c.yes);
        EXPECT_EQ(no_calls, c.no_calls);
        EXPECT_TRUE(Boxes("warning").empty());
    }

    // No callback but a non-zero no word: an error box.
    Widget box = Warning(mainform, "Cannot open", nullptr, nullptr, nullptr, XtPointer(1));
    EXPECT_STREQ(XtName(box), "error");
    EXPECT_EQ(TitleOf(box), "Error");
    Press(XmMessageBoxGetChild(box, XmDIALOG_CANCEL_BUTTON));
    EXPECT_TRUE(Boxes("error").empty());

    // On another parent "  Yes  " leaves closing to the callback.
    Widget dialog = CreaDialog(mainform, "Other", nullptr, 200, 100, 1, 0);
    XtManageChild(dialog);
    box = Warning(dialog, "Replace?", on_yes, XtPointer(10), nullptr, nullptr);
    Press(XmMessageBoxGetChild(box, XmDIALOG_OK_BUTTON));
    EXPECT_EQ(yes_calls, 10);
    EXPECT_EQ(Named(dialog, "warning").size(), 1u);
}

namespace {
int final_exits = 0;
} // namespace

TEST_F(ProcessDialogTest, ListsJobsAndStopsTheSelectedOnes) {
    SemSet(4, 1);
    int ea = Sproc(held_job, nullptr, 6), eb = Sproc(held_job, nullptr, 6);
    ASSERT_GE(ea, 0);
    ASSERT_GE(eb, 0);
    pidData[ea].output = "/db/SVJ/first.svj";
    pidData[eb].output = "/db/SVJ/second.svj";

    editProc(nullptr, nullptr, nullptr);
    std::vector<Widget> dialogs = Named(mainform, "dialog");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(TitleOf(dialogs[0]), "Running processes");
    Widget list = XtNameToWidget(dialogs[0], "*list");
    ASSERT_NE(list, nullptr);
    int count = 0;
    XtVaGetValues(list, XmNitemCount, &count, NULL);
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(XmListItemExists(list, XmStr("SVJ COPY PROCESS:  second.svj")));

    Press(ByLabel(dialogs[0], "Kill sel.")); // nothing selected
    std::vector<Widget> boxes = Named(mainform, "error");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(MessageOf(boxes[0]), "No item selected");
    EXPECT_EQ(pidData[ea].status.load(), 0);

    XmListSelectPos(list, 2, False);
    Press(ByLabel(dialogs[0], "Kill sel."));
    EXPECT_EQ(pidData[eb].status.load(), 5);
    EXPECT_EQ(pidData[ea].status.load(), 0);
    EXPECT_TRUE(Named(mainform, "dialog").empty());
    SemSet(4, 0);
}

TEST_F(ProcessDialogTest, QuitKillNoneWaitsInvisiblyForTheJob) {
    final_exits = 0;
    ProcessFinalExit = [] { final_exits++; };
    SemSet(4, 1);
    int e = Sproc(held_job, nullptr, 2);
    ASSERT_GE(e, 0);
    editExit(nullptr, nullptr, nullptr);
    std::vector<Widget> dialogs = Named(mainform, "dialog");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_NE(ByLabel(dialogs[0], "Kill none"), nullptr);
    Press(ByLabel(dialogs[0], "Kill none"));
    Pump();
    EXPECT_EQ(exit_pending.load(), 1);
    XWindowAttributes wa;
    XGetWindowAttributes(XtDisplay(app_shell), XtWindow(app_shell), &wa);
    EXPECT_EQ(wa.map_state, IsUnmapped);
    EXPECT_NE(pidData[e].status.load(), 5); // the export runs on
    EXPECT_EQ(final_exits, 0);

    SemSet(4, 0); // the export finishes
    for (int i = 0; i < 30000 && final_exits == 0; i++) {
        ReapEndedJobs();
        usleep(1000);
    }
    EXPECT_EQ(final_exits, 1);
    EXPECT_EQ(num_sproc, 0);
}

TEST(PluginTest, LoadsOnlyCompletePlugins) {
    char dir[] = "/tmp/orva-plugins-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string d = dir;
    for (const char *p : {"plugin_good.so", "plugin_noeffect.so"}) {
        std::ifstream in(std::string(ORVA_TEST_PLUGIN_DIR) + "/" + p, std::ios::binary);
        std::ofstream out(d + "/" + p, std::ios::binary);
        out << in.rdbuf();
    }
    std::ofstream(d + "/broken.so") << "not a shared object";
    std::ofstream(d + "/readme.txt") << "ignored";

    testing::internal::CaptureStdout();
    std::vector<UserPlugin> got = LoadUserPlugins(dir);
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].name, "Negative");
    unsigned char a[4] = {0, 10, 200, 255}, o[4] = {};
    got[0].effect(o, a, a, 1, 1, 4, 0, 1, 0);
    EXPECT_EQ(o[1], 245);
    EXPECT_EQ(out.rfind("Error: ", 0), 0u);
    EXPECT_NE(out.find("broken.so"), std::string::npos);

    EXPECT_TRUE(LoadUserPlugins("/nonexistent-orva-dir").empty());
    EXPECT_TRUE(LoadUserPlugins(nullptr).empty());
    std::string cmd = "rm -rf " + d;
    EXPECT_EQ(system(cmd.c_str()), 0);
}

namespace {
class PluginMenuTest : public DesktopFixture {
  protected:
    void SetUp() override {
        // Plug-ins load once per process, with the first menu built.
        if (UserPluginsLoaded()) GTEST_SKIP() << "plug-ins already loaded in this process";
        setenv("ORVA_USER_DIR", ORVA_TEST_PLUGIN_DIR, 1);
        DesktopFixture::SetUp();
    }
    void TearDown() override {
        unsetenv("ORVA_USER_DIR");
        DesktopFixture::TearDown();
    }
};
} // namespace

TEST_F(PluginMenuTest, UserDefinedCascadeInBothMenus) {
    Widget bar = XtNameToWidget(mainform, "menubar");
    Widget effects = SubMenu(MenuTitle(bar, "menu", "EFFECTS"));
    Widget user = ByLabel(effects, "User defined");
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(Labels(SubMenu(user)), (std::vector<std::string>{"Negative"}));
    Widget popup_effects = SubMenu(MenuTitle(popup_menu, "popup", "EFFECTS"));
    EXPECT_NE(ByLabel(popup_effects, "User defined"), nullptr);
    // Choosing it reaches the user effect command.
    Press(ByLabel(SubMenu(user), "Negative"));
    EXPECT_EQ(Named(mainform, "error").size(), 1u);
}
