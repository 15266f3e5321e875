// The log converter's cycle: sleeping on semaphore 1, the clean-up handshake
// on 2, removal requests on 3, the pause gate on 0, and its stop.
#include "tests/processes/process_test_util.h"

#include "desktop/log_writer.h"
#include "platform/byteorder.h"
#include "tests/clipmodel/clip_log_fixture.h"

namespace {

// What the fake clip-list work saw; written in the converter, read here.
std::atomic<int> passes, passes_gate_closed, incomplete_left, report_unused, removals, frees;

class ProcessConverterTest : public ProcessFixture {
  protected:
    void SetUp() override {
        ProcessFixture::SetUp();
        for (auto *a :
             {&passes, &passes_gate_closed, &incomplete_left, &report_unused, &removals, &frees})
            *a = 0;
        converter_work.pass = [](int *saw_unused) {
            if (SemGet(0) != 0) passes_gate_closed++;
            if (report_unused) *saw_unused = 1;
            const int more = incomplete_left-- > 0 ? 1 : 0;
            passes++;
            return more;
        };
        converter_work.remove_marked = [] { removals++; };
        converter_work.free_unused = [] { frees++; };
        ASSERT_EQ(Sproc(eConvert, nullptr, JOB_CONVERT), 0);
    }
    void TearDown() override {
        EXPECT_EQ(passes_gate_closed.load(), 0) << "worked while the gate was closed";
        ProcessFixture::TearDown();
    }
    // Wakes the converter, as the main thread does after opening clips, and
    // waits until it has made `n` passes in all and sleeps again.
    static void WakeAndWaitForPasses(int n) {
        SemSet(1, 0);
        ASSERT_TRUE(WaitUntil([&] { return passes >= n && SemGet(1) == 1; }));
    }
};

TEST_F(ProcessConverterTest, SleepsPassesHonoursTheGateServesRemovalsAndStops) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(passes.load(), 0) << "ran while semaphore 1 was set";
    WakeAndWaitForPasses(1);
    incomplete_left = 2;
    WakeAndWaitForPasses(4); // one pass, then two more for the incomplete clip
    EXPECT_EQ(SemGet(2), 0); // no clean-up asked
    // Woken while the gate is closed, it marks the cycle and holds there.
    SemSet(0, 1);
    SemSet(1, 0);
    ASSERT_TRUE(WaitUntil([&] { return SemGet(1) == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(passes.load(), 4) << "one cycle per wake, none at a closed gate";
    SemSet(0, 0);
    ASSERT_TRUE(WaitUntil([&] { return passes == 5; }));
    // Removal requests, as the database's delete makes them: request, wake,
    // wait for the answer.
    SemSet(3, 1);
    SemSet(1, 0);
    ASSERT_TRUE(WaitUntil([] { return SemGet(3) == 0; }));
    EXPECT_EQ(removals.load(), 1);
    StopProcess(0);
    ASSERT_TRUE(ReapCount(1));
    EXPECT_EQ(num_sproc, 0);
}

TEST_F(ProcessConverterTest, AsksForCleanUpAndParksUntilItIsDone) {
    report_unused = 1;
    WakeAndWaitForPasses(1);
    // Back at its sleep with clips nobody uses: it raises semaphore 2 and,
    // woken before the clean-up, stays parked.
    ASSERT_TRUE(WaitUntil([&] { return SemGet(2) == 1; }));
    SemSet(1, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(passes.load(), 1);
    // While the gate is closed the tick frees nothing, but lets it go on.
    SemSet(0, 1);
    ClearWorkTick();
    EXPECT_EQ(frees.load(), 0);
    EXPECT_EQ(SemGet(2), 0);
    SemSet(0, 0);
    ASSERT_TRUE(WaitUntil([&] { return passes == 2; }));
    // The next cycle asks again; this time the tick frees the clips, once.
    ASSERT_TRUE(WaitUntil([&] { return SemGet(2) == 1; }));
    ClearWorkTick();
    ClearWorkTick();
    EXPECT_EQ(frees.load(), 1);
    EXPECT_EQ(SemGet(2), 0);
}

// The converter with the clip model's real work: a log left unfinished by
// an earlier run (part 1 of 3 on disk, the header counting one part, and a
// stale temporary of part 2 planted as a link to another file) is finished
// by the running converter once the reel is opened again, without writing
// through the link.
using ProcessConverterLogTest = ProcessFixture;

TEST_F(ProcessConverterLogTest, FinishesAnUnfinishedLog) {
    TestDatabase db;
    SetVideoMode(0);
    fm_initialize(nullptr);
    const std::string reel = db.reel("u.svj");
    MakeReel(reel, 45);
    FisicData *f = OpenReelInUse(reel);
    ASSERT_NE(f, nullptr);
    int saw = 0;
    ASSERT_EQ(ConvertPass(&saw), 1); // part 1, then the run ends
    FreeAll();
    EXPECT_EQ(be32(&reel_test::read_file(db.clip("u.svj_Log"))[4]), 1u);
    reel_test::write_file(db.tmp.path("victim"), {'v'});
    ASSERT_EQ(symlink(db.tmp.path("victim").c_str(), db.clip("u.svj_Clip_2.new").c_str()), 0);

    f = OpenReelInUse(reel);
    ASSERT_NE(f, nullptr);
    ASSERT_NE(f->part.load(), nullptr); // every part named, part 1 read
    EXPECT_EQ(f->part[0].ready + 2 * f->complete, 1);
    InstallLogWriter();
    ASSERT_EQ(Sproc(eConvert, nullptr, JOB_CONVERT), 0);
    SemSet(2, 0);
    SemSet(1, 0); // woken as after an open
    EXPECT_TRUE(WaitUntil([&] { return f->complete.load() == 1; }));
    StopProcess(0);
    ASSERT_TRUE(ReapCount(1));
    EXPECT_EQ(access(db.clip("u.svj_Clip_2.new").c_str(), F_OK), -1);
    EXPECT_EQ(reel_test::read_file(db.tmp.path("victim")), reel_test::bytes{'v'});
    FreeAll();
    f = OpenReelInUse(reel); // complete on disk, every part loaded
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->complete.load(), 1);
    EXPECT_EQ(be32(&reel_test::read_file(db.clip("u.svj_Log"))[4]), 3u);
    FreeAll();
    fm_deinitialize();
}

} // namespace
