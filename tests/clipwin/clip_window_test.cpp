// Clip windows: widget layout per area kind, timecode text, slider, button-2
// scrubbing, arrows and the mark buttons.
#include "clipwin_fixture.h"
#include <Xm/Label.h>
#include <Xm/Scale.h>
#include <unistd.h>

#include <chrono>

#include "desktop/frame_display.h"
#include "desktop/frame_stepping.h"
#include "ui/draw_records.h"
#include "vtr/timeline.h"

namespace {

using Box = std::array<int, 4>;

int SliderValue(WindowData *w) {
    int v = 0;
    XmScaleGetValue(w->scale, &v);
    return v;
}

void SendScale(WindowData *w, int reason, XEvent *ev, int value) {
    XmScaleCallbackStruct cbs{};
    cbs.reason = reason;
    cbs.event = ev;
    cbs.value = value;
    ScaleValue(w->scale, w, &cbs);
}

} // namespace

using ClipWindowLayout = ClipWinFixture;

TEST_F(ClipWindowLayout, DesktopWindow) {
    FisicData *c = NewClip(12);
    WindowData *w = NewWindow(c);
    EXPECT_EQ(Geometry(w->glw), (Box{11, 23, 180, 144})); // (206 - 180) / 2 - 2 across
    EXPECT_EQ(XtParent(w->frame), workform);
    EXPECT_EQ(Geometry(w->frame), (Box{XBORD, YBORD, XLARG, YLARG}));
    EXPECT_EQ(LabelOf(w->in_label), "< 1");
    EXPECT_EQ(LabelOf(w->tc_label), "00:00:00:00");
    EXPECT_EQ(LabelOf(w->out_label), "> 12");
    EXPECT_EQ(LabelOf(w->frame_label), "1");
    // In label L*7/100-2 wide at 0, timecode L*11/100 wide after it (L = 720).
    const Box in = Geometry(w->in_label), tc = Geometry(w->tc_label);
    EXPECT_EQ((Box{in[0], in[2], tc[0], tc[2]}), (Box{0, 48, 48, 79}));
    // Buttons in a row under the picture, the slider under them.
    Widget buttons[] = {w->memo_btn, w->copy_btn, w->left_btn, w->right_btn,
                        w->reve_btn, w->stop_btn, w->play_btn};
    for (int i = 0; i < 7; i++) {
        ASSERT_NE(buttons[i], nullptr) << i;
        EXPECT_EQ(Geometry(buttons[i]), (Box{XBAND + 20 * i, 168, 20, 20})) << i;
    }
    EXPECT_EQ(Geometry(w->scale)[0], 31);
    EXPECT_EQ(Geometry(w->scale)[1], 168 + 21);
    int lo = 0, hi = 0;
    XtVaGetValues(w->scale, XmNminimum, &lo, XmNmaximum, &hi, NULL);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 12);

    SetImportProgress(nullptr, w->frame_label, 3, 10);
    EXPECT_EQ(LabelOf(w->frame_label), "IN PROGRESS (3/10)");
}

TEST_F(ClipWindowLayout, MasterAndSummaWindows) {
    FisicData *c = NewClip(8);
    WindowData *m = NewWindow(c, 1);
    EXPECT_EQ(XtParent(m->frame), happyform);
    EXPECT_EQ(Geometry(m->glw)[1], 2);
    EXPECT_EQ(m->in_label, nullptr);
    EXPECT_EQ(m->play_btn, nullptr);
    EXPECT_NE(m->tmglw, nullptr);
    EXPECT_EQ(Geometry(m->frame)[3], TmLineH() + YLARG - 41);

    WindowData *s = NewWindow(c, 0, 1);
    EXPECT_EQ(XtParent(s->frame), summaform);
    EXPECT_EQ(Geometry(s->frame), (Box{0, TmLineH() + YBORD, Geometry(s->frame)[2], YLARG - 20}));
    EXPECT_NE(ByLabel(s->form, "< In"), nullptr);
    EXPECT_EQ(LabelOf(s->tc_label), "00:00:00:00");
}

// Motif keeps a text draw record for every label or button window it drew
// in; closing a window hands back those of all its windows, whichever path
// destroys it.
TEST_F(ClipWindowLayout, ClosingAWindowReleasesTheTextRecordsOfItsWindows) {
    FisicData *c = NewClip(12);
    for (int master : {0, 1}) {
        WindowData *w = NewWindow(c, master);
        Pump(); // drawn
        std::vector<Widget> labels;
        CollectWidgets(
            w->frame, [](Widget x) { return XtIsWidget(x) && XmIsLabel(x) && XtIsRealized(x); },
            labels);
        EXPECT_GE(labels.size(), master ? 2u : 13u);
        const long before = DrawRecordsReleased();
        FreeWindowData(w, 0);
        EXPECT_EQ(w->frame, nullptr);
        EXPECT_GE(DrawRecordsReleased() - before, long(labels.size())) << "master " << master;
    }
}

TEST(ClipTimecode, PrintTimecodeEdges) {
    struct Row {
        int fps, current, start;
        const char *text;
    } rows[] = {
        {25, 0, 0, "00:00:00:00"},  {25, 89999, 0, "00:59:59:24"},   {25, 0, 15000, "00:10:00:00"},
        {25, 24, 1, "00:00:01:00"}, {25, 2250000, 0, "25:00:00:00"}, {30, 107999, 0, "00:59:59:29"},
        {30, 29, 0, "00:00:00:29"}, {30, 0, 108000, "01:00:00:00"},
    };
    const int saved = fps;
    for (const Row &r : rows) {
        WindowData w;
        w.current = r.current;
        w.start = r.start;
        fps = r.fps;
        char tc[32];
        PrintTimecode(tc, &w);
        EXPECT_STREQ(tc, r.text) << r.fps << " " << r.current << " " << r.start;
    }
    fps = saved;
}

using ClipWindowFrames = ClipWinFixture;

TEST_F(ClipWindowFrames, ArrowsStepUpdateLabelsAndStopAtTheEnds) {
    FisicData *c = NewClip(3);
    WindowData *w = NewWindow(c);
    w->start = 50;
    EXPECT_EQ(ArrowStep(w, -1), 0); // already at the first frame
    EXPECT_EQ(w->current, 0);
    Press(w->next_btn);
    EXPECT_EQ(w->current, 1);
    EXPECT_EQ(SliderValue(w), 2);
    EXPECT_EQ(LabelOf(w->frame_label), "2");
    EXPECT_EQ(LabelOf(w->tc_label), "00:00:02:01");
    EXPECT_EQ(ArrowStep(w, 1), 1);
    EXPECT_EQ(ArrowStep(w, 1), 0); // the last frame stops it
    EXPECT_EQ(w->current, 2);
    Press(w->prev_btn);
    EXPECT_EQ(w->current, 1);
    w->playing = 1; // nothing moves while the window plays
    EXPECT_EQ(ArrowStep(w, 1), 0);
    w->playing = 0;
    // The mark buttons take the current frame.
    Press(w->left_btn);
    EXPECT_EQ(w->in, 1);
    EXPECT_EQ(LabelOf(w->in_label), "< 2");
}

TEST_F(ClipWindowFrames, HeldArrowWaitsOnATimerAndMarksOutOfAPlaceholder) {
    FisicData *c = NewClip(4);
    WindowData *w = NewWindow(c);
    // The hold runs on a toolkit timer: arming returns at once.
    EXPECT_EQ(ArrowArm(w, 1), 1);
    EXPECT_EQ(ArrowHeld(), 1);
    EXPECT_EQ(ArrowArm(w, -1), -1); // one arrow at a time
    ArrowDisarm();
    EXPECT_EQ(ArrowHeld(), 0);
    EXPECT_EQ(ArrowArm(w, 1), 1);
    const auto t0 = std::chrono::steady_clock::now();
    while (ArrowHeld() && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(10)) {
        Pump();
        usleep(10000);
    }
    EXPECT_EQ(ArrowHeld(), 0); // the hold ran out
    w->playing = 1;
    EXPECT_EQ(ArrowArm(w, 1), 0);
    w->playing = 0;

    // Marks: "]" sets Out, "[" In; a placeholder keeps its marks.
    w->current = 3;
    SetMark(w, 1);
    EXPECT_EQ(w->out, 3);
    EXPECT_EQ(LabelOf(w->out_label), "> 4");
    WindowData placeholder;
    placeholder.current = 2;
    SetMark(&placeholder, 0);
    EXPECT_EQ(placeholder.in, 0);
}

TEST_F(ClipWindowFrames, SliderJumpsAndButton2ScrubsOneFramePerFourMotions) {
    FisicData *c = NewClip(20);
    WriteLog(c, 1);
    WindowData *w = NewWindow(c);
    SendScale(w, XmCR_VALUE_CHANGED, nullptr, 8);
    EXPECT_EQ(w->current, 7);
    EXPECT_EQ(w->source, 1);
    EXPECT_TRUE(PixelIsFrame(PictureCentre(w), 7));
    SendScale(w, XmCR_VALUE_CHANGED, nullptr, 99); // beyond the end
    EXPECT_EQ(w->current, 19);

    SendScale(w, XmCR_VALUE_CHANGED, nullptr, 5);
    ASSERT_EQ(w->current, 4);
    XEvent press{};
    press.type = ButtonPress;
    press.xbutton.button = Button2;
    SendScale(w, XmCR_VALUE_CHANGED, &press, 15);
    EXPECT_EQ(w->current, 4); // a button-2 press only updates the labels
    EXPECT_EQ(SliderValue(w), 5);
    XEvent motion{};
    motion.type = MotionNotify;
    motion.xmotion.state = Button2Mask;
    for (int i = 0; i < 12; i++)
        SendScale(w, XmCR_DRAG, &motion, 15);
    EXPECT_EQ(w->current, 7); // 12 motion events: three steps towards 15
    EXPECT_EQ(LabelOf(w->frame_label), "8");
    EXPECT_TRUE(PixelIsFrame(PictureCentre(w), 7));
    for (int i = 0; i < 8; i++)
        SendScale(w, XmCR_DRAG, &motion, 1);
    EXPECT_EQ(w->current, 5); // and back towards 1
}
