// The "Defaults" dialog: what it shows, where, and what "OK" stores.
#include "defaults_fixture.h"

#include <climits>

namespace {

using DefaultsDialog = DefaultsFixture;

TEST_F(DefaultsDialog, ShowsTheDefaultsInPlace) {
    const int values[5] = {0, 1, 0, 1, 0};
    std::copy(values, values + 5, defaults);
    strcpy(init_work_name, "morning");
    strcpy(exit_work_name, "evening");
    OpenDialog();
    Widget d = Dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(TitleOf(d), "Defaults");
    EXPECT_EQ(Geometry(XtParent(d))[2], 370);
    EXPECT_EQ(Geometry(XtParent(d))[3], 420);
    EXPECT_EQ(LabelOf(XtNameToWidget(d, "videomode")), "Video mode:  PAL  (720, 576)");

    struct {
        const char *label;
        int x, y;
        bool on;
    } toggles[] = {{"Rearrange", 30, 85, false},        {"Invert fields", 30, 135, true},
                   {"Autosave (min.)", 30, 185, false}, {"Init work", 30, 235, true},
                   {"Exit work", 30, 285, false},       {"OK", 76, 355, false},
                   {"Cancel", 223, 355, false}};
    for (const auto &t : toggles) {
        SCOPED_TRACE(t.label);
        Widget w = ByLabel(d, t.label);
        ASSERT_NE(w, nullptr);
        const std::array<int, 4> g = Geometry(w);
        EXPECT_EQ((std::array<int, 2>{g[0], g[1]}), (std::array<int, 2>{t.x, t.y}));
        if (XmIsToggleButton(w)) {
            EXPECT_EQ(XmToggleButtonGetState(w) != False, t.on);
        }
    }
    struct {
        const char *name, *text;
        int max;
    } fields[] = {
        {"autosave", "0", 10}, {"initwork", "morning", 100}, {"exitwork", "evening", 100}};
    for (const auto &f : fields) {
        SCOPED_TRACE(f.name);
        Widget w = Field(f.name);
        ASSERT_NE(w, nullptr);
        const std::array<int, 4> g = Geometry(w);
        EXPECT_EQ(g[0], 185);
        EXPECT_EQ(g[2], 140);
        EXPECT_EQ(g[3], 35);
        EXPECT_EQ(FieldText(f.name), f.text);
        EXPECT_EQ(XmTextGetMaxLength(w), f.max);
    }
    ::Press(ByLabel(d, "Cancel"));
    EXPECT_EQ(Dialog(), nullptr);
}

TEST_F(DefaultsDialog, NamesTheVideoStandard) {
    const struct {
        int mode;
        const char *text;
    } cases[] = {{0, "Video mode:  PAL  (720, 576)"},
                 {1, "Video mode:  NTSC  (720, 486)"},
                 {2, "Video mode:  PAL  (960, 576)"},
                 {3, "Video mode:  NTSC  (960, 486)"}};
    for (const auto &c : cases) {
        SetVideoMode(c.mode);
        OpenDialog();
        ASSERT_NE(Dialog(), nullptr);
        EXPECT_EQ(LabelOf(Field("videomode")), c.text);
        ::Press(ByLabel(Dialog(), "Cancel"));
    }
}

TEST_F(DefaultsDialog, OkStoresTheInterval) {
    const struct {
        bool on;
        const char *field;
        int before, after;
    } cases[] = {
        {true, "5", 10, 5},
        {true, "  7", 0, 7},
        {true, "0", 10, 1},
        {true, "-3", 10, 1},
        {true, "abc", 1, 1},
        {true, "10", 10, 10},
        {true, "9999999999", 10, INT_MAX},
        {false, "5", 10, 0},
        {false, "5", 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.field);
        StartWith(c.before);
        const int64_t due = AutosaveDue();
        ASSERT_EQ(due != 0, c.before > 0);
        usleep(20000); // a timer armed again would be due later
        OpenDialog();
        ASSERT_NE(Dialog(), nullptr);
        SetToggle("Autosave (min.)", c.on);
        SetField("autosave", c.field);
        const int64_t pressed = AutosaveClock();
        ::Press(ByLabel(Dialog(), "OK"));
        EXPECT_EQ(Dialog(), nullptr);
        EXPECT_EQ(defaults[DEF_AUTOSAVE], c.after);
        if (c.after == c.before) {
            EXPECT_EQ(AutosaveDue(), due); // the running timer is kept
        } else if (c.after == 0) {
            EXPECT_EQ(AutosaveDue(), 0);
        } else {
            EXPECT_GE(AutosaveDue(), pressed + int64_t(c.after) * 60000);
            EXPECT_LE(AutosaveDue(), AutosaveClock() + int64_t(c.after) * 60000);
        }
    }
}

TEST_F(DefaultsDialog, OkStoresTogglesAndNames) {
    StartWith(10);
    strcpy(init_work_name, "a");
    strcpy(exit_work_name, "b");
    OpenDialog();
    SetToggle("Rearrange", false);
    SetToggle("Invert fields", false);
    SetToggle("Init work", false);
    SetToggle("Exit work", true);
    SetField("initwork", "/a/b/take two");
    SetField("exitwork", "");
    ::Press(ByLabel(Dialog(), "OK"));
    EXPECT_EQ(std::vector<int>(defaults, defaults + 5), (std::vector<int>{10, 0, 0, 0, 1}));
    EXPECT_STREQ(init_work_name, "take");
    EXPECT_STREQ(exit_work_name, "");

    // Cancel leaves everything as it was.
    OpenDialog();
    EXPECT_EQ(FieldText("initwork"), "take");
    EXPECT_FALSE(ToggleOn("Invert fields"));
    SetToggle("Invert fields", true);
    SetField("initwork", "other");
    ::Press(ByLabel(Dialog(), "Cancel"));
    EXPECT_EQ(Dialog(), nullptr);
    EXPECT_EQ(defaults[DEF_INVERT], 0);
    EXPECT_STREQ(init_work_name, "take");
}

TEST_F(DefaultsDialog, RearrangesAtOnce) {
    FisicData *c = NewClip(5);
    WindowData *a = NewWindow(c), *b = NewWindow(c);
    ASSERT_EQ(DropWindow(a, 0, 4), 1); // a gap before b... and a at slot 4
    const std::vector<int> gaps = Slots();
    ASSERT_NE(gaps, (std::vector<int>{0, 1}));

    // Off: nothing moves.
    OpenDialog();
    SetToggle("Rearrange", false);
    ::Press(ByLabel(Dialog(), "OK"));
    EXPECT_EQ(Slots(), gaps);

    OpenDialog();
    SetToggle("Rearrange", true);
    ::Press(ByLabel(Dialog(), "OK"));
    EXPECT_EQ(defaults[DEF_REARRANGE], 1);
    EXPECT_EQ(Slots(), (std::vector<int>{0, 1}));
    EXPECT_EQ(Where(b), Cell(b->slot, 0));
}

TEST_F(DefaultsDialog, NothingDuringPlayback) {
    isPlayActive = 1;
    OpenDialog();
    EXPECT_EQ(Dialog(), nullptr);
    isPlayActive = 0;
    OpenDialog();
    EXPECT_NE(Dialog(), nullptr);
}

} // namespace
