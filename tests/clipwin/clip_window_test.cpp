// Clip windows: widget layout per area kind, slider and label updates,
// arrow stepping, mark buttons, busy colours and import progress.
#include "clipwin_fixture.h"
#include <Xm/Scale.h>
#include <Xm/Text.h>

#include <chrono>

#include "desktop/desktop_area.h"
#include "desktop/frame_display.h"
#include "desktop/processes.h"
#include "vtr/timeline.h"

namespace {

// True when the label shows exactly `text`, line breaks included.
bool LabelIs(Widget w, const std::string &text) {
    XmString xs = nullptr;
    XtVaGetValues(w, XmNlabelString, &xs, NULL);
    if (!xs) return false;
    XmStr want(text.c_str());
    const bool same = XmStringByteCompare(xs, want);
    XmStringFree(xs);
    return same;
}

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
    ScaleValue(w->scale, w == summa_window ? nullptr : w, &cbs);
}

} // namespace

using ClipWindowLayout = ClipWinFixture;

TEST_F(ClipWindowLayout, DesktopWindowPictureLabelsAndButtons) {
    FisicData *c = NewClip(12);
    WindowData *w = NewWindow(c, 0, 0, "first clip");
    EXPECT_EQ(XBAND, 11); // (206 - 180) / 2 - 2
    EXPECT_EQ(XSHIFT, 11);
    int x, y, wd, ht;
    Geometry(w->glw, &x, &y, &wd, &ht);
    EXPECT_EQ(x, 11);
    EXPECT_EQ(y, 23);
    EXPECT_EQ(wd, 180);
    EXPECT_EQ(ht, 144);
    EXPECT_STREQ(XtName(w->form), "clip");
    Geometry(w->frame, &x, &y, &wd, &ht);
    EXPECT_EQ(x, XBORD);
    EXPECT_EQ(y, YBORD);
    EXPECT_EQ(wd, XLARG);
    EXPECT_EQ(ht, YLARG);
    EXPECT_EQ(XtParent(w->frame), workform);

    EXPECT_EQ(LabelOf(w->in_label), "< 1");
    EXPECT_EQ(LabelOf(w->tc_label), "00:00:00:00");
    EXPECT_EQ(LabelOf(w->out_label), "> 12");
    EXPECT_EQ(LabelOf(w->frame_label), "1");
    for (Widget l : {w->in_label, w->tc_label, w->out_label})
        EXPECT_STREQ(XtName(l), "lab2");
    // In label L*7/100-2 wide at 0, timecode L*11/100 wide after it (L = 720).
    Geometry(w->in_label, &x, &y, &wd, &ht);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(wd, 48);
    EXPECT_EQ(ht, 15);
    Geometry(w->tc_label, &x, &y, &wd, &ht);
    EXPECT_EQ(x, 48);
    EXPECT_EQ(wd, 79);

    const char *names[] = {"M", "C", "[", "]", "reve", "stop", "play"};
    Widget buttons[] = {w->memo_btn, w->copy_btn, w->left_btn, w->right_btn,
                        w->reve_btn, w->stop_btn, w->play_btn};
    for (int i = 0; i < 7; i++) {
        ASSERT_NE(buttons[i], nullptr);
        EXPECT_STREQ(XtName(buttons[i]), names[i]);
        Geometry(buttons[i], &x, &y, &wd, &ht);
        EXPECT_EQ(x, 11 + 20 * i);
        EXPECT_EQ(y, 23 + 144 + 1);
        EXPECT_EQ(wd, 20);
    }
    unsigned char type = 0;
    XtVaGetValues(w->play_btn, XmNlabelType, &type, NULL);
    EXPECT_EQ(type, XmPIXMAP);

    Geometry(w->scale, &x, &y, &wd, &ht);
    EXPECT_EQ(x, 31);
    EXPECT_EQ(y, 23 + 144 + 1 + 21);
    EXPECT_EQ(wd, 140);
    Geometry(w->next_btn, &x, &y, &wd, &ht);
    EXPECT_EQ(x, 11 + 180 - 20);
    int lo = 0, hi = 0;
    XtVaGetValues(w->scale, XmNminimum, &lo, XmNmaximum, &hi, NULL);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 12);

    // The memo field holds the name and stays hidden until memo mode.
    EXPECT_STREQ(XtName(w->memo), "memo");
    EXPECT_FALSE(XtIsManaged(w->memo));
    char *memo = XmTextGetString(w->memo);
    EXPECT_STREQ(memo, "first clip");
    XtFree(memo);
    EXPECT_EQ(w->slot, 0);
    EXPECT_TRUE(clip_normal_known);
}

TEST_F(ClipWindowLayout, LongNameIsCutTo64AndSecondWindowTakesNextCell) {
    FisicData *c = NewClip(5);
    NewWindow(c);
    std::string longname(100, 'n');
    WindowData *w2 = NewWindow(c, 0, 0, longname.c_str());
    char *memo = XmTextGetString(w2->memo);
    EXPECT_EQ(std::string(memo), std::string(64, 'n'));
    XtFree(memo);
    EXPECT_EQ(w2->slot, 1);
    int x, y, wd, ht;
    Geometry(w2->frame, &x, &y, &wd, &ht);
    EXPECT_EQ(x, XLARG + XBORD);
}

TEST_F(ClipWindowLayout, MasterAndSummaWindows) {
    FisicData *c = NewClip(8);
    WindowData *m = NewWindow(c, 1);
    int x, y, wd, ht;
    EXPECT_EQ(XtParent(m->frame), happyform);
    Geometry(m->glw, &x, &y, &wd, &ht);
    EXPECT_EQ(y, 2);
    EXPECT_EQ(m->in_label, nullptr);
    EXPECT_EQ(m->play_btn, nullptr);
    ASSERT_NE(m->tmglw, nullptr);
    Geometry(m->frame, &x, &y, &wd, &ht);
    EXPECT_EQ(ht, TmLineH() + YLARG - 41);

    WindowData *s = NewWindow(c, 0, 1);
    EXPECT_EQ(XtParent(s->frame), summaform);
    Geometry(s->frame, &x, &y, &wd, &ht);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, TmLineH() + YBORD);
    EXPECT_EQ(ht, YLARG - 20);
    EXPECT_NE(ByLabel(s->form, "< In"), nullptr);
    EXPECT_EQ(LabelOf(s->frame_label), "1");
    EXPECT_EQ(LabelOf(s->tc_label), "00:00:00:00");
    // The summa slider's client value is 0: ScaleValue works on summa_window.
    SendScale(s, XmCR_VALUE_CHANGED, nullptr, 4);
    EXPECT_EQ(s->current, 3);
    EXPECT_EQ(LabelOf(s->frame_label), "4");
}

TEST_F(ClipWindowLayout, PlaceholderShowsProgressAndRefusesFrameActions) {
    WindowData *p = NewPlaceholder(20);
    ASSERT_NE(p->progress_label, nullptr);
    EXPECT_EQ(LabelOf(p->progress_label), "IN PROGRESS (1/20)");
    Press(p->copy_btn);
    auto msgs = Messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0], "Import process still in progress");
    CloseMessages();
    Press(p->left_btn);
    EXPECT_EQ(Messages().size(), 1u);
    CloseMessages();
}

using ClipWindowFrames = ClipWinFixture;

TEST_F(ClipWindowFrames, PrintTimecodeEdges) {
    WindowData w;
    char tc[32];
    fps = 25;
    PrintTimecode(tc, &w);
    EXPECT_STREQ(tc, "00:00:00:00");
    w.current = 89999;
    PrintTimecode(tc, &w);
    EXPECT_STREQ(tc, "00:59:59:24");
    w.current = 0;
    w.start = 15000; // a grabbed reel starting at 00:10:00:00
    PrintTimecode(tc, &w);
    EXPECT_STREQ(tc, "00:10:00:00");
    w.current = 24;
    w.start = 1;
    PrintTimecode(tc, &w);
    EXPECT_STREQ(tc, "00:00:01:00");
    w.current = 25 * 3600 * 25; // hours are not wrapped at 24
    w.start = 0;
    PrintTimecode(tc, &w);
    EXPECT_STREQ(tc, "25:00:00:00");
    fps = 30;
    w.current = 107999;
    PrintTimecode(tc, &w);
    EXPECT_STREQ(tc, "00:59:59:29");
    w.current = 29;
    PrintTimecode(tc, &w);
    EXPECT_STREQ(tc, "00:00:00:29");
    fps = 25;
}

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
    EXPECT_EQ(w->current, 1);
    w->playing = 0;
}

TEST_F(ClipWindowFrames, ArrowHoldShortStepsLongRunsOut) {
    FisicData *c = NewClip(10);
    WindowData *w = NewWindow(c);
    // Released after 0.3 s: the wait ends on the release, then one step.
    XtAppAddTimeOut(
        app, 300,
        [](XtPointer p, XtIntervalId *) {
            auto *win = static_cast<WindowData *>(p);
            XmPushButtonCallbackStruct cbs{};
            cbs.reason = XmCR_ACTIVATE;
            XtCallCallbacks(win->next_btn, XmNdisarmCallback, &cbs);
            XtCallCallbacks(win->next_btn, XmNactivateCallback, &cbs);
        },
        w);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ArrowArm(w, 1), 0);
    auto held = std::chrono::steady_clock::now() - t0;
    EXPECT_LT(held, std::chrono::milliseconds(500));
    EXPECT_EQ(w->current, 1);
    // Held on: after 0.51 s the hold runs out (where playback starts).
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ArrowArm(w, 1), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(510));
    EXPECT_EQ(w->current, 1);
}

TEST_F(ClipWindowFrames, SliderJumpsAndButton2ScrubsOneFramePerFourMotions) {
    FisicData *c = NewClip(20);
    WriteLog(c, 1);
    WindowData *w = NewWindow(c);
    SendScale(w, XmCR_VALUE_CHANGED, nullptr, 8);
    EXPECT_EQ(w->current, 7);
    EXPECT_EQ(w->source, 1);
    EXPECT_TRUE(PixelIsFrame(w->image + 4 * (72 * 180 + 90), 7));
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
    EXPECT_TRUE(PixelIsFrame(w->image + 4 * (72 * 180 + 90), 7));
    for (int i = 0; i < 8; i++)
        SendScale(w, XmCR_DRAG, &motion, 1);
    EXPECT_EQ(w->current, 5); // and back towards 1
}

TEST_F(ClipWindowFrames, MarkButtonsAndMarkLabels) {
    FisicData *c = NewClip(30);
    WindowData *w = NewWindow(c);
    w->current = 4;
    Press(w->left_btn);
    EXPECT_EQ(w->in, 4);
    EXPECT_EQ(LabelOf(w->in_label), "< 5");
    w->current = 20;
    Press(w->right_btn);
    EXPECT_EQ(w->out, 20);
    EXPECT_EQ(LabelOf(w->out_label), "> 21");
    ShowMark(w, 0);
    EXPECT_EQ(w->current, 4);
    EXPECT_EQ(LabelOf(w->frame_label), "5");
    ShowMark(w, 1);
    EXPECT_EQ(w->current, 20);
    // Not yet built commands say so.
    Press(w->copy_btn);
    auto msgs = Messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0], "Not available yet.");
    CloseMessages();
}

TEST_F(ClipWindowFrames, BusyColoursFollowClipAndExport) {
    FisicData *c = NewClip(5);
    WindowData *w = NewWindow(c);
    Pixel fg = 0;
    auto label_fg = [&] {
        XtVaGetValues(w->frame_label, XmNforeground, &fg, NULL);
        return fg;
    };
    const Pixel normal = label_fg();
    EXPECT_EQ(normal, clip_normal_fg);
    ASSERT_NE(BUSY_YEL, normal);
    ASSERT_NE(BUSY_GRN, normal);

    pidData[3].pid = 4242;
    pidData[3].type = JOB_EXPORT;
    pidData[3].window = w;
    RestoreFrameColor(w);
    EXPECT_EQ(label_fg(), BUSY_GRN);
    c->busy = 1; // a clip still being written wins over the export
    RestoreFrameColor(w);
    EXPECT_EQ(label_fg(), BUSY_YEL);
    Pixel shadow = 0;
    XtVaGetValues(XtParent(w->frame_label), XmNtopShadowColor, &shadow, NULL);
    EXPECT_EQ(shadow, BUSY_YEL);
    c->busy = 0;
    pidData[3].pid = -1;
    pidData[3].window = nullptr;
    RestoreFrameColor(w);
    EXPECT_EQ(label_fg(), normal);
    XtVaGetValues(XtParent(w->frame_label), XmNtopShadowColor, &shadow, NULL);
    EXPECT_EQ(shadow, clip_normal_shadow);
}

TEST_F(ClipWindowFrames, ImportProgressText) {
    FisicData *c = NewClip(5);
    WindowData *w = NewWindow(c);
    Widget l = w->frame_label;
    SetImportProgress(nullptr, l, 3, 10);
    EXPECT_EQ(LabelOf(l), "IN PROGRESS (3/10)");
    SetImportProgress("/data/IMAGES/shot_####", l, 4, 10);
    EXPECT_TRUE(LabelIs(l, "IN PROGRESS (4/10):\nshot_"));
    EXPECT_FALSE(LabelIs(l, "IN PROGRESS (4/10):\nshot_#"));
    std::string big = "/x/" + std::string(400, 'a');
    SetImportProgress(big.c_str(), l, 1, 2);
    EXPECT_TRUE(LabelIs(l, ("IN PROGRESS (1/2):\n" + std::string(400, 'a')).substr(0, 299)));
}
