// "Disp" and "Rec" of a master area that the board cannot play as stored: a
// backward stretch and a Slower 2 stretch of a grabbed reel become play reels
// beside it before the job starts, and the board receives their frames in
// play order, both on its output and on tape.
#include "tests/boardsim/strip_reader.h"
#include "tests/grab/grab_fixture.h"

#include "desktop/clip_operations.h"
#include "desktop/grab.h"
#include "editing/derived_window.h"
#include "media/svjr.h"

namespace {

// The strip word of frame f (0..24) of second 0 of hour 1.
uint32_t Frame(int f) {
    return uint32_t((f / 10) << 4 | f % 10) << 24 | 0x01u;
}

class PlayReelOutputTest : public GrabFixture {
  protected:
    // Grabs 01:00:00:00..01:00:00:24, then puts in the master area frames
    // 9..0 of it backwards and frames 0..4 of it at Slower 2.
    void BackwardAndSlower() {
        ASSERT_NO_FATAL_FAILURE(GrabOne("01:00:00:00", "01:00:00:24"));
        WindowData *source = Window(0);
        source->in = 9;
        source->out = 0;
        WindowData *back = AddNewWindow(source, 1, 0, DERIVE_COPY, 1);
        source->in = 0;
        source->out = 4;
        WindowData *slow = AddNewWindow(source, 1, 0, DERIVE_SLOWER, 2);
        ASSERT_TRUE(back && slow);
        ASSERT_GT(back->seg_first->first, back->seg_first->last);
        ASSERT_NE(slow->seg_first->map, nullptr);
        ASSERT_NO_FATAL_FAILURE(ToMaster(back, 0));
        ASSERT_NO_FATAL_FAILURE(ToMaster(slow, 1));
        source_reel = db + "SVJ/reel1_15f90_15fa8_85.svj";
    }
    std::string Play(int n) const {
        char tail[32];
        snprintf(tail, sizeof tail, "_Play%02d.svj", n);
        return source_reel.substr(0, source_reel.size() - 4) + tail;
    }
    std::string source_reel;
};

TEST_F(PlayReelOutputTest, DispAndRecPlayBackwardAndSlowerSegmentsInPlayOrder) {
    ASSERT_NO_FATAL_FAILURE(BackwardAndSlower());
    const size_t outs = CountInLog("OUT ");
    Press(W("Disp"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_TRUE(TakeMessages().empty());

    // Both stretches became reels beside the source, in master-area order.
    std::vector<uint32_t> backward, slower;
    for (int f = 0; f < 10; ++f) {
        backward.push_back(Frame(9 - f));
        slower.push_back(Frame(f / 2));
    }
    EXPECT_EQ(board_test::decoded_strips(Play(1)), backward);
    EXPECT_EQ(board_test::decoded_strips(Play(2)), slower);
    Segment *s = summa_window->seg_first;
    ASSERT_NE(s->next, s);
    EXPECT_EQ(std::string(s->fisic->path), Play(1));
    EXPECT_EQ(std::string(s->next->fisic->path), Play(2));
    for (Segment *seg : {s, s->next}) {
        EXPECT_EQ(seg->map, nullptr);
        EXPECT_LT(seg->first, seg->last);
    }

    // The board showed each stretch once, in play order.
    const std::string log = sim->log();
    const size_t a = log.find("OUT 10 01:00:00:09 01:00:00:00\n");
    const size_t b = log.find("OUT 10 01:00:00:00 01:00:00:04\n");
    ASSERT_NE(a, std::string::npos) << log;
    ASSERT_NE(b, std::string::npos) << log;
    EXPECT_LT(a, b);
    EXPECT_EQ(CountInLog("OUT "), outs + 2) << log;

    // Rec at In: the play reels are there, so no new one is made; both
    // stretches are laid one after the other and read back in play order.
    in_set = out_set = 0;
    Type(0, "02:00:00:00");
    const auto t0 = std::chrono::steady_clock::now();
    Press(W("Rec"));
    ASSERT_TRUE(WaitJobEnd());
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    RecordProperty("rec_play_reels_frames_per_s", int(20 / secs));
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_FALSE(board_test::exists(Play(3)));
    EXPECT_EQ(CountInLog("EDIT 02:00:00:00 10 "), 1u) << sim->log();
    EXPECT_EQ(CountInLog("EDIT 02:00:00:10 10 "), 1u) << sim->log();
    GrabListClear();
    AddRange("02:00:00:00", "02:00:00:19");
    Press(W("Grab"));
    ASSERT_TRUE(WaitJobEnd());
    std::vector<uint32_t> want = board_test::decoded_strips(Play(1));
    want.insert(want.end(), slower.begin(), slower.end());
    EXPECT_EQ(board_test::decoded_strips(db + "SVJ/reel1_2bf20_2bf33_85.svj"), want);
}

TEST_F(PlayReelOutputTest, StopWhilePreparingLeavesNoReelAndTheNextDispWorks) {
    ASSERT_NO_FATAL_FAILURE(GrabOne("01:00:00:00", "01:00:00:24"));
    source_reel = db + "SVJ/reel1_15f90_15fa8_85.svj";
    // 2500 frames backwards at Slower 100: long enough to be stopped.
    WindowData *source = Window(0);
    source->in = 24;
    source->out = 0;
    WindowData *slow = AddNewWindow(source, 1, 0, DERIVE_SLOWER, 100);
    ASSERT_NE(slow, nullptr);
    ASSERT_NO_FATAL_FAILURE(ToMaster(slow, 0));
    const size_t outs = CountInLog("OUT ");
    Press(W("Disp"));
    ASSERT_NO_FATAL_FAILURE(StopJob());
    EXPECT_FALSE(board_test::exists(Play(1)));
    EXPECT_EQ(CountInLog("OUT "), outs);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(summa_window->seg_first->fisic, source->seg_first->fisic);
    EXPECT_NE(summa_window->seg_first->map, nullptr);
    // The pause gate is open again: the next Disp prepares and plays.
    Press(W("Disp"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_TRUE(board_test::exists(Play(1)));
    EXPECT_EQ(CountInLog("OUT 2500 01:00:00:24 01:00:00:00\n"), 1u) << sim->log();
}

// The tape runs in real time.
class PacedOutputTest : public PlayReelOutputTest {
    void SetUp() override { Start({"--speed", "1"}); }
};

TEST_F(PacedOutputTest, StopEndsARecordWithinASecond) {
    ASSERT_NO_FATAL_FAILURE(GrabOne("01:00:00:00", "01:00:01:24"));
    ASSERT_NO_FATAL_FAILURE(ToMaster(Window(0), 0));
    Type(0, "02:00:00:00");
    const size_t edits = CountInLog("EDIT ");
    Press(W("Rec"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    double ms = 0;
    ASSERT_NO_FATAL_FAILURE(StopJob(10, &ms));
    RecordProperty("rec_stop_to_job_end_ms", int(ms));
    EXPECT_LT(ms, 1500.0);
    // Nothing of the stopped record is laid.
    EXPECT_EQ(CountInLog("EDIT "), edits) << sim->log();
}

} // namespace
