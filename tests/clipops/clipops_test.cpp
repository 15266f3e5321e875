// Clip operations as the user reaches them: the "C" button and key, Join,
// Splice, the factor dialog of the speed, loop and still operations, and
// the messages of every refusal.
#include "clipops_fixture.h"

#include "desktop/main_window.h"
#include "editing/derived_window.h"
#include "editing/segments.h"

using ClipOps = ClipOpsFixture;

TEST_F(ClipOps, CopyAndJoinShowTheMarkedRanges) {
    WindowData *a = LogWindow(20, "A"), *b = LogWindow(10, "B");
    a->start = 100;
    Marks(a, 10, 19);
    Marks(b, 0, 4);

    // "C" on A: its marked range, timecode continuing at its In mark.
    ::Press(a->copy_btn);
    Pump();
    WindowData *copy = Last();
    ASSERT_NE(copy, b);
    EXPECT_EQ(WindowTitle(copy), "C(A)");
    EXPECT_EQ(copy->total, 10);
    EXPECT_EQ(copy->start, 110);
    EXPECT_EQ(copy->slot, 2); // the next free cell
    EXPECT_TRUE(Shows(copy, 10));
    EXPECT_EQ(first_work, a);

    SetSelection(a, 1);
    SetSelection(b, 1);
    NewWindowMulti(nullptr, nullptr, nullptr);
    Pump();
    WindowData *join = Last();
    EXPECT_EQ(WindowTitle(join), "JN(A,B)");
    EXPECT_EQ(join->total, 15);
    EXPECT_EQ(join->start, 0);
    EXPECT_EQ(join->selected, 0);
    EXPECT_TRUE(Shows(join, 10));
    join->current = 10;
    LoadFirstFrame(join);
    EXPECT_TRUE(Shows(join, 0)); // B's frame 0
    EXPECT_EQ(a->in, 10);        // the sources keep their marks
    EXPECT_EQ(b->out, 4);
    EXPECT_TRUE(Messages().empty());

    // The "C" key on a desktop picture does what the button does.
    const int before = Count();
    Key(b, XK_c);
    EXPECT_EQ(Count(), before + 1);
    EXPECT_EQ(WindowTitle(Last()), "C(B)");
}

TEST_F(ClipOps, FactorDialogKeepsItsValuesAndMakesTheWindows) {
    WindowData *a = LogWindow(20, "A"), *b = LogWindow(10, "B");
    Marks(a, 10, 19);
    Marks(b, 0, 4);
    SetSelection(a, 1);
    SetSelection(b, 1);

    // Layout of the Loop dialog, the tallest.
    LoopNewWin(nullptr, nullptr, nullptr);
    Pump();
    Widget d = Dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(TitleOf(d), "Loop");
    EXPECT_EQ(Geometry(d)[3], 280);
    ASSERT_NE(ByLabel(d, "Number of loops:"), nullptr);
    EXPECT_EQ(Where(ByLabel(d, "Number of loops:")), (std::array<int, 2>{20, 45}));
    EXPECT_EQ(Where(XtNameToWidget(d, "wtext")), (std::array<int, 2>{165, 40}));
    EXPECT_EQ(Text(d, "wtext"), "10");
    EXPECT_TRUE(XmToggleButtonGetState(ByLabel(d, "Saw tooth")));
    EXPECT_EQ(Geometry(XtNameToWidget(d, "OK")), (std::array<int, 4>{53, 220, 70, 35}));
    EXPECT_EQ(Geometry(XtNameToWidget(d, "Cancel")), (std::array<int, 4>{176, 220, 70, 35}));
    Answer("Cancel");
    EXPECT_EQ(Dialog(), nullptr);

    struct Case {
        XtCallbackProc command;
        const char *typed;
        bool flip;
        const char *title;
        int total;
        const char *kept; // the value the dialog shows next time
    } cases[] = {
        {FastNewWin, "3", false, "FA(A,B)", 5, "3"},
        {StrobeNewWin, "4", false, "STR(A,B)", 15, "4"},
        {SlowNewWin, "2", false, "SL(A,B)", 30, "2"},
        {SlowNewWin, "0", false, "JN(A,B)", 15, "1"}, // below 1 is a plain join
        {LoopNewWin, "3", false, "ST 3(A,B)", 45, "3"},
        {LoopNewWin, "0", true, "FF 1(A,B)", 30, "1"},
        {LoopNewWin, "5000", false, "ST 1000(A,B)", 15000, "1000"},
    };
    for (const Case &k : cases) {
        const int before = Count();
        RunDialog(k.command, k.typed, k.flip);
        EXPECT_EQ(Dialog(), nullptr) << k.title;
        ASSERT_EQ(Count(), before + 1) << k.title;
        EXPECT_EQ(WindowTitle(Last()), k.title);
        EXPECT_EQ(Last()->total, k.total) << k.title;
        k.command(nullptr, nullptr, nullptr);
        Pump();
        EXPECT_EQ(Text(Dialog(), "wtext"), k.kept) << k.title;
        if (k.command == LoopNewWin) { // the loop mode is kept with the count
            EXPECT_EQ(XmToggleButtonGetState(ByLabel(Dialog(), "Flip flop")), k.flip);
        }
        Answer("Cancel");
    }
    // Return in the field answers once, as "OK" does.
    const int count = Count();
    FastNewWin(nullptr, nullptr, nullptr);
    Pump();
    Widget field = XtNameToWidget(Dialog(), "wtext");
    XEvent ev = MakeEvent(field, KeyPress, 0, 0, 0, XK_Return);
    InDispatch([&] { XtCallActionProc(field, "activate", &ev, nullptr, 0); });
    Pump();
    EXPECT_EQ(Dialog(), nullptr);
    EXPECT_EQ(Count(), count + 1);
    // One factor dialog at a time.
    SlowNewWin(nullptr, nullptr, nullptr);
    StrobeNewWin(nullptr, nullptr, nullptr);
    Pump();
    ASSERT_EQ(Named(app_shell, "effect").size(), 1u);
    EXPECT_EQ(TitleOf(Dialog()), "Strobe");
    Answer("Cancel");

    // Too long: a message, no window, the marks as they were.
    const int before = Count();
    RunDialog(SlowNewWin, "2000000000");
    EXPECT_EQ(Count(), before);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Clip too long"});
    EXPECT_EQ(a->in, 10);
    EXPECT_EQ(a->out, 19);
    CloseMessages();

    // Still: one window selected; the first value is the frame rate.
    SetSelection(b, 0);
    a->current = 7;
    StillNewWin(nullptr, nullptr, nullptr);
    Pump();
    EXPECT_EQ(Text(Dialog(), "wtext"), "25");
    XmTextSetString(XtNameToWidget(Dialog(), "wtext"), const_cast<char *>("1"));
    Answer("OK");
    ASSERT_NE(Dialog(), nullptr); // stays open
    EXPECT_EQ(Messages(), std::vector<std::string>{"Number of frames must be > 1"});
    CloseMessages();
    Answer("Cancel");
    RunDialog(StillNewWin, "25");
    EXPECT_EQ(WindowTitle(Last()), "ST25(8->A)");
    EXPECT_EQ(Last()->total, 25);
    EXPECT_TRUE(Shows(Last(), 7));
}

TEST_F(ClipOps, RefusalsSayWhy) {
    WindowData *a = LogWindow(20, "A"), *b = LogWindow(10, "B");
    struct Case {
        const char *what;
        std::function<void()> run;
        const char *message;
    } cases[] = {
        {"join, none selected", [] { NewWindowMulti(nullptr, nullptr, nullptr); },
         "No clip selected"},
        {"still, none selected", [] { StillWindow(5); }, "No clip selected"},
        {"splice, none selected", [] { SpliceNewWin(nullptr, nullptr, nullptr); },
         "No clip selected"},
        {"splice at frame 0",
         [a] {
             a->current = 0;
             SpliceNewWin(nullptr, a, nullptr);
         },
         "Current frame is first\nframe, cannot splice"},
        {"splice, two selected",
         [a, b] {
             SetSelection(a, 1);
             SetSelection(b, 1);
             SpliceNewWin(nullptr, nullptr, nullptr);
         },
         "More than one clip selected"},
        {"still, two selected", [] { StillWindow(5); }, "Only single selection allowed"},
    };
    const int before = Count();
    for (const Case &k : cases) {
        k.run();
        Pump();
        EXPECT_EQ(Messages(), std::vector<std::string>{k.message}) << k.what;
        CloseMessages();
    }
    EXPECT_EQ(Count(), before);

    // A window still being imported among the selection.
    WindowData *import = NewWindow(NewClip(5));
    FreeSegments(import);
    SetSelection(import, 1);
    for (auto run : {+[] { NewWindowMulti(nullptr, nullptr, nullptr); }, +[] { StillWindow(5); },
                     +[] { SlowNewWin(nullptr, nullptr, nullptr); }}) {
        run();
        Pump();
        if (Dialog()) ::Press(XtNameToWidget(Dialog(), "OK"));
        Pump();
        EXPECT_EQ(Messages(), std::vector<std::string>{"Cannot work on clips in progress"});
        CloseMessages();
    }
    SetSelection(import, 0);

    // Another picture size: made from the first size only, and said so.
    FisicData *small = NewClip(4);
    small->width = 90;
    WindowData *other = NewWindow(small, 0, 0, "S");
    SetSelection(other, 1);
    NewWindowMulti(nullptr, nullptr, nullptr);
    Pump();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Skipped clips with different size"});
    EXPECT_EQ(Last()->total, 30);
    EXPECT_EQ(WindowTitle(Last()), "JN(A,B)");

    // Nothing at all while a clip plays.
    CloseMessages();
    isPlayActive = 1;
    const int now = Count();
    NewWindowMulti(nullptr, nullptr, nullptr);
    SlowNewWin(nullptr, nullptr, nullptr);
    Pump();
    isPlayActive = 0;
    EXPECT_EQ(Count(), now);
    EXPECT_EQ(Dialog(), nullptr);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ClipOps, SpliceSplitsAtTheCurrentFrame) {
    WindowData *tape = LogWindow(120, "tape");
    Marks(tape, 3, 9);
    tape->current = 60; // frame 61 as shown
    Key(tape, XK_s);
    ASSERT_EQ(Count(), 3);
    WindowData *left = tape->next, *right = left->next;
    EXPECT_EQ(left->total, 60);
    EXPECT_EQ(right->total, 60);
    EXPECT_EQ(WindowTitle(left), "C(tape)");
    EXPECT_TRUE(Shows(left, 0));
    EXPECT_TRUE(Shows(right, 60));
    EXPECT_EQ(right->start, 60);
    EXPECT_EQ(tape->in, 3);
    EXPECT_EQ(tape->out, 9);

    // From the menu the one selected window is split.
    SetSelection(right, 1);
    right->current = 15;
    SpliceNewWin(nullptr, nullptr, nullptr);
    Pump();
    ASSERT_EQ(Count(), 5);
    EXPECT_EQ(Last()->total, 45);
    EXPECT_TRUE(Shows(Last(), 75));
}
