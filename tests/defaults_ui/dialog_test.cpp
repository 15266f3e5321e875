// The "Defaults" dialog: what it shows, where, and what "OK" stores.
#include "../desktop_areas/desktop_areas_fixture.h"

#include <Xm/Text.h>
#include <Xm/ToggleB.h>

#include <climits>

#include "database/db_list.h"
#include "defaults_util.h"
#include "desktop/commands.h"
#include "media/video_globals.h"

using namespace defaults_test;

namespace {

class DefaultsDialog : public AreasFixture {
  protected:
    ScopedEnv user{"USER", "tester"}, pwd{"PWD", getenv("PWD")};

    static Widget Dialog() {
        std::vector<Widget> d = Named(app_shell, "defaults");
        return d.empty() ? nullptr : d[0];
    }
    static Widget Field(const char *name) { return XtNameToWidget(Dialog(), name); }
    static void Set(const char *toggle, bool on) {
        XmToggleButtonSetState(ByLabel(Dialog(), toggle), on, False);
    }
    static void Type(const char *field, const char *text) {
        XmTextSetString(Field(field), const_cast<char *>(text));
    }
    static void Open() {
        InDispatch([] { SetDefaults(nullptr, nullptr, nullptr); });
    }
    static std::string Text(const char *field) {
        char *s = XmTextGetString(Field(field));
        std::string t = s ? s : "";
        XtFree(s);
        return t;
    }
    static void Answer(const char *button) { ::Press(ByLabel(Dialog(), button)); }
};

TEST_F(DefaultsDialog, ShowsTheDefaultsInPlace) {
    SetDefaultsTo({0, 1, 0, 1, 0}, "morning", "evening");
    isPlayActive = 1; // nothing during playback
    Open();
    isPlayActive = 0;
    EXPECT_EQ(Dialog(), nullptr);
    Open();
    Widget d = Dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(TitleOf(d), "Defaults");
    const std::array<int, 4> size = Geometry(XtParent(d));
    EXPECT_EQ((std::array<int, 2>{size[2], size[3]}), (std::array<int, 2>{370, 420}));
    const struct {
        const char *label;
        int x, y, on;
    } buttons[] = {{"Rearrange", 30, 85, 0},        {"Invert fields", 30, 135, 1},
                   {"Autosave (min.)", 30, 185, 0}, {"Init work", 30, 235, 1},
                   {"Exit work", 30, 285, 0},       {"OK", 76, 355, -1},
                   {"Cancel", 223, 355, -1}};
    for (const auto &b : buttons) {
        Widget w = ByLabel(d, b.label);
        ASSERT_NE(w, nullptr) << b.label;
        const std::array<int, 4> g = Geometry(w);
        EXPECT_EQ((std::array<int, 2>{g[0], g[1]}), (std::array<int, 2>{b.x, b.y})) << b.label;
        if (b.on >= 0) {
            EXPECT_EQ(XmToggleButtonGetState(w), b.on) << b.label;
        }
    }
    const struct {
        const char *name, *text;
        int max;
    } fields[] = {
        {"autosave", "0", 10}, {"initwork", "morning", 100}, {"exitwork", "evening", 100}};
    for (const auto &f : fields) {
        const std::array<int, 4> g = Geometry(Field(f.name));
        EXPECT_EQ((std::array<int, 3>{g[0], g[2], g[3]}), (std::array<int, 3>{185, 140, 35}));
        EXPECT_EQ(Text(f.name), f.text);
        EXPECT_EQ(XmTextGetMaxLength(Field(f.name)), f.max);
    }
    Answer("Cancel");
    const char *modes[] = {"Video mode:  PAL  (720, 576)", "Video mode:  NTSC  (720, 486)", nullptr,
                           "Video mode:  NTSC  (960, 486)"};
    for (int mode : {0, 1, 3}) {
        SetVideoMode(mode);
        Open();
        EXPECT_EQ(LabelOf(Field("videomode")), modes[mode]);
        Answer("Cancel");
    }
}

// A run without a database whose defaults file (in PWD) gives the interval
// `before`; the dialog's toggle and field then give `after`.
TEST_F(DefaultsDialog, OkStoresTheInterval) {
    const struct {
        bool on;
        const char *field;
        int before, after;
    } cases[] = {{true, "5", 10, 5},  {true, "  7", 0, 7}, {true, "0", 10, 1},
                 {true, "-3", 10, 1}, {true, "abc", 1, 1}, {true, "10", 10, 10},
                 {false, "5", 10, 0}, {false, "5", 0, 0},  {true, "9999999999", 10, INT_MAX}};
    DbFreeList();
    setenv("PWD", dir.c_str(), 1);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.field);
        std::ofstream(dir + "/.orva_def.tester") << FileText(c.before, 1, 0, 1, 1, "x", "x");
        Init_defaults(0);
        ASSERT_EQ(defaults[DEF_AUTOSAVE], c.before);
        const int64_t due = AutosaveDue();
        usleep(20000); // a timer armed again would be due later
        Open();
        Set("Autosave (min.)", c.on);
        Type("autosave", c.field);
        Answer("OK");
        EXPECT_EQ(Dialog(), nullptr);
        EXPECT_EQ(defaults[DEF_AUTOSAVE], c.after);
        if (c.after == c.before)
            EXPECT_EQ(AutosaveDue(), due); // the running timer is kept
        else
            EXPECT_TRUE(c.after ? DueIn(c.after) : AutosaveDue() == 0);
    }
}

TEST_F(DefaultsDialog, OkStoresTogglesAndNamesAndRearranges) {
    WindowData *a = NewWindow(NewClip(5));
    NewWindow(a->seg_first->fisic);
    ASSERT_EQ(DropWindow(a, 0, 4), 1); // a gap on the desktop
    const std::vector<int> gaps = Slots();
    ASSERT_NE(gaps, (std::vector<int>{0, 1}));
    SetDefaultsTo({10, 1, 0, 1, 0}, "a", "b");
    Open();
    Set("Invert fields", false);
    Set("Init work", false);
    Set("Exit work", true);
    Type("initwork", "/a/b/take two");
    Type("exitwork", "");
    Answer("OK");
    EXPECT_EQ(std::vector<int>(defaults, defaults + 5), (std::vector<int>{10, 0, 0, 0, 1}));
    EXPECT_EQ(std::string(init_work_name) + "|" + exit_work_name, "take|");
    EXPECT_EQ(Slots(), gaps);
    // "Cancel" keeps everything; "Rearrange" on closes the gaps at once.
    for (const char *answer : {"Cancel", "OK"}) {
        Open();
        Set("Invert fields", *answer == 'O' ? false : true);
        Set("Rearrange", true);
        Answer(answer);
        EXPECT_EQ(defaults[DEF_INVERT], 0);
        EXPECT_EQ(defaults[DEF_REARRANGE], *answer == 'O');
        EXPECT_EQ(Slots(), *answer == 'O' ? std::vector<int>({0, 1}) : gaps);
    }
}

} // namespace
