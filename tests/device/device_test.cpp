// The board library against a stand-in board on a SOCK_SEQPACKET socket:
// setup text, batches and their replies, bulk data chunks, timeouts, lost
// connections, stops, and the timecode and message helpers.
#include "device/sv.h"
#include "device/sv_protocol.h"
#include "platform/jobs.h"
#include "platform/sem.h"
#include "tests/device/fake_board.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace device_test;
using reel_test::bytes;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

struct Opened {
    FakeBoard board;
    sv_handle *sv = nullptr;
    explicit Opened(const std::string &extra = "") { sv = sv_open(board.setup(extra).c_str()); }
    ~Opened() {
        if (sv) sv_close(sv);
    }
};

// A stand-in board and the board library opened on it.
class OpenBoard : public ::testing::Test {
  protected:
    void Open(const std::string &extra = "") {
        sv = sv_open(board.setup(extra).c_str());
        ASSERT_NE(sv, nullptr);
    }
    void TearDown() override {
        if (sv) sv_close(sv);
    }
    FakeBoard board;
    sv_handle *sv = nullptr;
};
using BoardBatches = OpenBoard;
using BoardData = OpenBoard;
using BoardFailures = OpenBoard;
using BoardReels = OpenBoard;
using BoardTransport = OpenBoard;

} // namespace

// --- timecode text and messages ---------------------------------------------

TEST(BoardTimecode, ParsesTheTextForm) {
    struct Case {
        const char *text;
        int rc;
        uint32_t word;
    } cases[] = {
        {"01:00:00:00", 0, 0x00000001u}, {"10:20:30.12", 0, 0x12302010u}, {"1:00:00:00", 21, 0},
        {"01:00:00:0", 21, 0},           {"01-00:00:00", 21, 0},          {"01:00:00;00", 21, 0},
        {"23:59:59:24", 0, 0x24595923u}, {"0a:00:00:00", 21, 0},
    };
    for (const Case &c : cases) {
        uint32_t w = 0xffffffff;
        EXPECT_EQ(sv_asc2tc(nullptr, c.text, &w), c.rc) << c.text;
        if (c.rc == 0) {
            EXPECT_EQ(w, c.word) << c.text;
        }
    }
    EXPECT_EQ(sv_asc2tc(nullptr, nullptr, nullptr), 1);
}

TEST(BoardTimecode, WritesTheTextFormOnlyIntoRoom) {
    char buf[12];
    ASSERT_EQ(sv_tc2asc(nullptr, 0x24595923u, buf, 12), 0);
    EXPECT_STREQ(buf, "23:59:59:24");
    char small[11];
    memset(small, 'x', sizeof small);
    EXPECT_EQ(sv_tc2asc(nullptr, 1, small, 11), 1);
    EXPECT_EQ(small[0], 'x');
    EXPECT_EQ(sv_tc2asc(nullptr, 1, nullptr, 12), 1);
}

TEST(BoardMessages, TextsComeFromTheTables) {
    char buf[80];
    EXPECT_STREQ(SvErrorText(0, buf, sizeof buf), "OK\n");
    EXPECT_STREQ(SvErrorText(22, buf, sizeof buf), "SCSI/Video: Master control error\n");
    EXPECT_STREQ(SvErrorText(32, buf, sizeof buf), "SCSI/Video: Error during record operation\n");
    EXPECT_STREQ(SvErrorText(33, buf, sizeof buf), "SCSI/Video Error code 33\n");
    EXPECT_STREQ(SvErrorText(-1, buf, sizeof buf), "SCSI/Video Error code -1\n");
    testing::internal::CaptureStderr();
    EXPECT_STREQ(sv_vtrerror(nullptr, 26), "ACK: NAK unspec error");
    EXPECT_STREQ(sv_vtrerror(nullptr, 27), "Unknown VTR error code");
    EXPECT_STREQ(sv_vtrerror(nullptr, -1), "Unknown VTR error code");
    sv_errorprint(nullptr, 7);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "sv_vtrerror: NULL sv handle\nsv_vtrerror: NULL sv handle\n"
              "sv_vtrerror: NULL sv handle\nsv_errorprint: NULL sv handle\n"
              "Host: Couldn't open file\n");
}

TEST(BoardMessages, NullAndBadHandlesAreRefused) {
    EXPECT_EQ(sv_videomode(nullptr, 0), 10);
    sv_handle fake{};
    fake.magic = 1;
    EXPECT_EQ(sv_videomode(&fake, 0), 11);
    EXPECT_EQ(sv_black(nullptr), -1);
    EXPECT_EQ(sv_black(&fake), -1);
}

// --- setup text ---------------------------------------------------------------

TEST(BoardSetup, OptionsAndTheirErrors) {
    FakeBoard board;
    struct Case {
        std::string setup;
        bool opens;
        const char *message; // expected on standard error ("" none)
    } cases[] = {
        {board.setup(",retries=3"), true, ""},
        {board.setup(",foo=1"), true, "Available options for SCSI are:"},
        {board.setup(",level=0"), true, "Error in setup string"},
        {board.setup(",timeout=2"), true, ""},
        {"SCSI,device=" + board.socket_path(), true, ""},
        {"TAPE,dev=" + board.socket_path(), false, "dtm_open: Example : SCSI,dev=/dev/nrst1"},
        {"SCSI,dev=/" + std::string(90, 'x'), false, "too long"},
        {"SCSI,dev=/tmp", false, "neither a socket nor a character device"},
        {"SCSI,dev=/nonexistent/board", false, "/nonexistent/board"},
    };
    for (const Case &c : cases) {
        testing::internal::CaptureStderr();
        sv_handle *sv = sv_open(c.setup.c_str());
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(sv != nullptr, c.opens) << c.setup << "\n" << err;
        if (*c.message)
            EXPECT_NE(err.find(c.message), std::string::npos) << c.setup << "\n" << err;
        else
            EXPECT_EQ(err, "") << c.setup;
        if (sv) {
            EXPECT_EQ(sv->version, 11);
            EXPECT_EQ(sv->batch_size, 2048);
            EXPECT_EQ(sv->batch_limit, 124);
            sv_close(sv);
        }
    }
}

TEST(BoardSetup, RetriesAndTimeoutReachTheChannels) {
    FakeBoard board;
    sv_handle *sv = sv_open(board.setup(",retries=3,timeout=4,dirchange=0").c_str());
    ASSERT_NE(sv, nullptr);
    EXPECT_EQ(sv->command_channel->retries, 3);
    EXPECT_EQ(sv->data_channel->retries, 3);
    EXPECT_EQ(sv->command_channel->timeout, 4);
    EXPECT_EQ(sv->command_channel->dirchange, 0);
    EXPECT_EQ(sv->command_channel->fd, sv->data_channel->fd);
    sv_close(sv);
}

TEST(BoardSetup, FallsBackToTheEnvironment) {
    FakeBoard board;
    setenv("SCSIVIDEO_CMD", board.setup().c_str(), 1);
    sv_handle *sv = sv_open(nullptr);
    unsetenv("SCSIVIDEO_CMD");
    ASSERT_NE(sv, nullptr);
    EXPECT_EQ(sv_videomode(sv, 1), 0);
    sv_close(sv);
}

// --- transport ------------------------------------------------------------------

TEST_F(BoardTransport, SizeDecidesTheChannel) {
    ASSERT_NO_FATAL_FAILURE(Open());
    bytes big(4096, 1), small(100, 1);
    EXPECT_EQ(dtm_host2isp(sv->command_channel, big.data(), int(big.size())), -1);
    EXPECT_EQ(dtm_host2isp(sv->data_channel, small.data(), int(small.size())), -1);
    EXPECT_EQ(dtm_info(sv->command_channel, 1), 2048);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dtm_info(sv->command_channel, 2), -1);
    EXPECT_EQ(dtm_info(nullptr, 1), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "dtm_info(): Illegal code 2\ndtm_info(): Called with NULL handle\n");
    usleep(100000);
    EXPECT_EQ(board.records_seen(), 0);
}

// --- batches ----------------------------------------------------------------------

TEST_F(BoardBatches, QueriesComeBackThroughHostPointers) {
    ASSERT_NO_FATAL_FAILURE(Open());
    board.set_value(sv_param_word(2, SV_P2_WIDTH), 720);
    board.set_value(sv_param_word(2, SV_P2_HEIGHT), 576);
    board.set_value(sv_param_word(5, SV_P5_TIMECODE), 0x01000010);
    board.set_version(12);
    sv_info info{};
    ASSERT_EQ(sv_status(sv, &info), 0);
    EXPECT_EQ(info.word[0], 720);
    EXPECT_EQ(info.word[1], 576);
    EXPECT_EQ(info.word[3], 0x01000010);
    EXPECT_EQ(sv->version, 12);
    // Only words travel: the batch carries commands and arguments, never
    // host addresses.
    auto b = board.batches();
    ASSERT_EQ(b.size(), 1u);
    for (const Command &c : b[0])
        EXPECT_EQ(c.arg, 0u);
}

TEST_F(BoardBatches, ACommandBeyond124GoesInTheNextBatch) {
    ASSERT_NO_FATAL_FAILURE(Open());
    std::vector<int32_t> dest(125, -1);
    board.answer = [](const Command &c, uint32_t *status, uint32_t *value) {
        *status = 0;
        *value = c.arg * 2;
    };
    for (int i = 0; i < 125; ++i)
        ASSERT_EQ(isp_command(sv, SV_QUERY | sv_param_word(1, 1), uint32_t(i), &dest[i]), i + 1);
    EXPECT_EQ(board.batches().size(), 1u); // sent by itself when full
    ASSERT_EQ(isp_flush(sv), 0);
    auto b = board.batches();
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].size(), 124u);
    EXPECT_EQ(b[1].size(), 1u);
    EXPECT_EQ(b[1][0].arg, 124u);
    for (int i = 0; i < 125; ++i)
        EXPECT_EQ(dest[i], 2 * i);
    EXPECT_EQ(board.sequences(), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(isp_flush(sv), 0); // empty: nothing sent
    EXPECT_EQ(board.batches().size(), 2u);
}

TEST_F(BoardBatches, BadRepliesFailTheExchangeAndStoreNothing) {
    struct Case {
        Fault fault;
        uint32_t status; // of the query in the reply
        int rc;
        int32_t stored;
    } cases[] = {
        {Fault::wrong_sequence, 0, -1, -5},
        {Fault::short_reply, 0, -1, -5},
        {Fault::long_reply, 0, -1, -5},
        {Fault::stale_then_right, 0, 0, 77},
        {Fault::none, 0, 0, 77},
        {Fault::none, 1, 0, -5}, // a failed query
    };
    for (const Case &c : cases) {
        Opened o;
        ASSERT_NE(o.sv, nullptr);
        o.board.answer = [&c](const Command &, uint32_t *status, uint32_t *value) {
            *status = c.status;
            *value = 77;
        };
        o.board.fault_next(c.fault);
        int32_t v = -5;
        isp_command(o.sv, SV_QUERY | sv_param_word(2, SV_P2_WIDTH), 0, &v);
        EXPECT_EQ(isp_flush(o.sv), c.rc) << int(c.fault) << " " << c.status;
        EXPECT_EQ(v, c.stored) << int(c.fault) << " " << c.status;
    }
}

TEST_F(BoardBatches, AReplyLeftByATimeoutIsSkippedNextTime) {
    ASSERT_NO_FATAL_FAILURE(Open(",timeout=1"));
    board.answer = [](const Command &c, uint32_t *status, uint32_t *value) {
        *status = 0;
        *value = c.arg;
        if (c.arg == 1) usleep(1500000); // answers after the host gave up
    };
    int32_t a = 0, b = 0;
    isp_command(sv, SV_QUERY | sv_param_word(1, 1), 1, &a);
    EXPECT_EQ(isp_flush(sv), -1);
    EXPECT_EQ(a, 0);
    usleep(700000); // the late reply is now queued
    isp_command(sv, SV_QUERY | sv_param_word(1, 1), 2, &b);
    EXPECT_EQ(isp_flush(sv), 0);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(a, 0);
}

TEST_F(BoardBatches, VtrMasterCommands) {
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(sv_vtrmaster(sv, 8, 0), 3);
    EXPECT_EQ(sv_vtrmaster(sv, 11, 0), 3);
    EXPECT_EQ(sv_vtrmaster(sv, 17, 0), 1);
    EXPECT_EQ(sv_vtrmaster(sv, 0, 0), 0);
    EXPECT_TRUE(board.batches().empty());
    ASSERT_EQ(sv_vtrmaster(sv, SV_MASTER_GOTO, 0x01000002), 0);
    ASSERT_EQ(sv_vtrmaster(sv, SV_MASTER_STOP, 55), 0);
    auto b = board.batches();
    ASSERT_EQ(b.size(), 2u);
    ASSERT_EQ(b[0].size(), 3u);
    EXPECT_EQ(b[0][0].word, sv_group_word(5));
    EXPECT_EQ(b[0][1].word, sv_param_word(5, SV_P5_ERROR));
    EXPECT_EQ(b[0][2].word, sv_param_word(5, SV_P5_GOTO));
    EXPECT_EQ(b[0][2].arg, 0x01000002u);
    EXPECT_EQ(b[1][2].word, sv_param_word(5, SV_P5_STOP));
    EXPECT_EQ(b[1][2].arg, 0u);
}

TEST_F(BoardBatches, ModeSyncAndGenlock) {
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(sv_videomode(sv, 4), 1);
    EXPECT_EQ(sv_sync(sv, 4), 1);
    EXPECT_EQ(sv_sync(sv, 2), 28); // no genlock option
    board.set_value(sv_param_word(8, SV_P8_GENLOCK), 1);
    EXPECT_EQ(sv_sync(sv, 2), 0);
    EXPECT_EQ(sv_videomode(sv, 3), 0);
    auto b = board.batches();
    ASSERT_EQ(b.size(), 4u);
    EXPECT_EQ(b[2].back().word, sv_param_word(2, SV_P2_SYNC));
    EXPECT_EQ(b[2].back().arg, 2u);
    EXPECT_EQ(b[3].back().word, sv_param_word(2, SV_P2_MODE));
    EXPECT_EQ(b[3].back().arg, 3u);
}

TEST_F(BoardBatches, BusySemaphoreIsSetDuringTheExchangeOnly) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_EQ(SemInit(), 0);
    ASSERT_EQ(sv_semaphore(sv, 1, semaphore, 4), 0);
    int seen = -1;
    board.answer = [&seen](const Command &, uint32_t *status, uint32_t *value) {
        seen = SemGet(4);
        *status = 0;
        *value = 0;
    };
    EXPECT_EQ(sv_live(sv), 0);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(SemGet(4), 0);
    SemRemove();
}

// --- bulk data --------------------------------------------------------------------

TEST_F(BoardData, TheLastPartialChunkIsStagedWhole) {
    ASSERT_NO_FATAL_FAILURE(Open());
    bytes data(SV_CHUNK_BYTES + 1000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7 + 1);
    ASSERT_EQ(isp_host2isp(sv, data.data(), uint32_t(data.size())), 0);
    // A command after the data shows the board has read everything.
    ASSERT_EQ(sv_live(sv), 0);
    auto recs = board.data_records();
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].size(), SV_CHUNK_BYTES);
    EXPECT_EQ(recs[1].size(), SV_CHUNK_BYTES);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + SV_CHUNK_BYTES, recs[0].begin()));
    EXPECT_TRUE(std::equal(data.begin() + SV_CHUNK_BYTES, data.end(), recs[1].begin()));
    EXPECT_TRUE(
        std::all_of(recs[1].begin() + 1000, recs[1].end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(BoardData, ReadsAskForEachChunk) {
    ASSERT_NO_FATAL_FAILURE(Open());
    bytes stream(2 * SV_CHUNK_BYTES);
    for (size_t i = 0; i < stream.size(); ++i)
        stream[i] = uint8_t(i * 13);
    board.serve_data(stream);
    bytes got(SV_CHUNK_BYTES + 500);
    ASSERT_EQ(isp_isp2host(sv, got.data(), uint32_t(got.size())), 0);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), stream.begin()));
    EXPECT_EQ(board.read_requests(), (std::vector<uint32_t>{SV_CHUNK_BYTES, SV_CHUNK_BYTES}));
}

TEST_F(BoardData, AShortDataRecordFailsTheRead) {
    ASSERT_NO_FATAL_FAILURE(Open());
    board.serve_data(bytes(SV_CHUNK_BYTES + 100, 1));
    bytes got(2 * SV_CHUNK_BYTES);
    EXPECT_EQ(isp_isp2host(sv, got.data(), uint32_t(got.size())), -1);
}

// --- failures that must not hang ------------------------------------------------

TEST_F(BoardFailures, NoReplyEndsAtTheTimeout) {
    ASSERT_NO_FATAL_FAILURE(Open(",timeout=1"));
    board.fault_next(Fault::no_reply);
    const auto t = Clock::now();
    EXPECT_EQ(sv_live(sv), -1);
    const double s = seconds_since(t);
    EXPECT_GE(s, 0.9);
    EXPECT_LT(s, 4.0); // one timeout: neither retried nor the default ten seconds
}

TEST_F(BoardFailures, ALostConnectionFailsAtOnceFromThenOn) {
    ASSERT_NO_FATAL_FAILURE(Open());
    board.fault_next(Fault::close);
    signal(SIGPIPE, SIG_DFL); // a write on the closed socket must not raise it
    EXPECT_EQ(sv_live(sv), -1);
    const auto t = Clock::now();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(sv_live(sv), -1);
    bytes data(SV_CHUNK_BYTES);
    EXPECT_EQ(isp_host2isp(sv, data.data(), uint32_t(data.size())), -1);
    EXPECT_LT(seconds_since(t), 2.0); // no timeout (ten seconds) waited
}

TEST_F(BoardFailures, AStoppedJobFailsItsTransferAtTheNextRecord) {
    ASSERT_NO_FATAL_FAILURE(Open());
    // 50 ms per record: the whole transfer would take ten seconds.
    board.serve_data(bytes(200 * SV_CHUNK_BYTES, 3), 50);
    struct Ctx {
        sv_handle *sv;
        std::atomic<int> rc{99};
    } ctx{sv};
    const int id = JobStart(
        [](void *p) {
            auto *c = static_cast<Ctx *>(p);
            bytes got(200 * SV_CHUNK_BYTES);
            c->rc = isp_isp2host(c->sv, got.data(), uint32_t(got.size()));
        },
        &ctx);
    ASSERT_GT(id, 0);
    usleep(200000);
    const auto t = Clock::now();
    ASSERT_EQ(JobStop(id), 0);
    JobJoinAll();
    EXPECT_LT(seconds_since(t), 5.0);
    EXPECT_EQ(ctx.rc.load(), -1);
    while (JobCollect()) {
    }
}

TEST_F(BoardFailures, TwoThreadsNeverInterleaveBatches) {
    ASSERT_NO_FATAL_FAILURE(Open());
    auto work = [this] {
        sv_info info{};
        for (int i = 0; i < 200; ++i)
            ASSERT_EQ(sv_status(sv, &info), 0);
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    auto seq = board.sequences();
    ASSERT_EQ(seq.size(), 400u);
    for (size_t i = 0; i < seq.size(); ++i)
        EXPECT_EQ(seq[i], i + 1);
}

// --- reels ----------------------------------------------------------------------

namespace {

// The board's byte stream of a recording: the reel's bytes, then FF up to the
// end of a block whose last four bytes are FF.
bytes reel_stream(const bytes &reel) {
    bytes s = reel;
    s.resize((s.size() / SV_CHUNK_BYTES + 1) * SV_CHUNK_BYTES, 0xFF);
    if (s[s.size() - 5] != 0xFF) s.resize(s.size() + SV_CHUNK_BYTES, 0xFF);
    return s;
}

// A board whose input signal is present: its field counter moves.
void give_signal(FakeBoard &board) {
    auto counter = std::make_shared<uint32_t>(0);
    board.answer = [counter](const Command &c, uint32_t *status, uint32_t *value) {
        *status = 0;
        *value = c.word == (SV_QUERY | sv_param_word(2, SV_P2_FIELD_COUNTER)) ? ++*counter : 0;
    };
}

} // namespace

TEST_F(BoardReels, ARecordingKeepsItsFileOnlyWhenTheTailArrived) {
    reel_test::temp_dir dir;
    // A reel whose 64-byte tail starts in the first block and ends in the second.
    const std::string src = dir.path("src.svj");
    reel_test::write_tail_file(src, SV_CHUNK_BYTES + 20, {720, 288, 1, 100, 0}, false);
    bytes reel = reel_test::read_file(src);
    reel[0] = 0xFF;
    reel[1] = 0xD8;
    const bytes whole = reel_stream(reel);
    struct Case {
        const char *name;
        bytes stream;
        int rc;
        bool kept;
    } cases[] = {
        {"tail across blocks", whole, 0, true},
        {"stream cut before the tail", bytes(whole.begin(), whole.begin() + SV_CHUNK_BYTES), 20,
         false},
        {"not a recording", bytes(2 * SV_CHUNK_BYTES, 0xFF), 9, false},
    };
    for (const Case &c : cases) {
        Opened o(",timeout=1");
        ASSERT_NE(o.sv, nullptr);
        give_signal(o.board);
        o.board.serve_data(c.stream);
        const std::string out = dir.path("out.svj");
        testing::internal::CaptureStderr();
        EXPECT_EQ(sv_jpeg_record_file(o.sv, out.c_str(), 0, 1, 0), c.rc) << c.name;
        testing::internal::GetCapturedStderr();
        struct stat st {};
        EXPECT_EQ(stat(out.c_str(), &st) == 0, c.kept) << c.name;
        if (c.kept) {
            EXPECT_EQ(reel_test::read_file(out), reel) << c.name;
        }
        unlink(out.c_str());
    }
}

TEST_F(BoardReels, NoSignalAndBadArguments) {
    ASSERT_NO_FATAL_FAILURE(Open());
    reel_test::temp_dir dir;
    const std::string out = dir.path("out.svj");
    EXPECT_EQ(sv_jpeg_record_file(sv, out.c_str(), 0, 0, 0), 1);
    EXPECT_EQ(sv_jpeg_record_file(sv, out.c_str(), 1, 5, 0), 1);
    EXPECT_EQ(sv_jpeg_record_file(sv, out.c_str(), 0, 5, 0), 27); // the counter stands still
    struct stat st {};
    EXPECT_NE(stat(out.c_str(), &st), 0);
    EXPECT_EQ(sv_jpeg_display_file(sv, dir.path("missing.svj").c_str(), 0, 1, 0), 7);
}

TEST_F(BoardFailures, AVtrThatStandsStillGivesAMasterError) {
    ASSERT_NO_FATAL_FAILURE(Open());
    // The load never ends and the tape never moves.
    board.set_value(sv_param_word(5, SV_P5_LOAD), 1);
    board.set_value(sv_param_word(5, SV_P5_POSITION), 1234);
    const auto t = Clock::now();
    EXPECT_EQ(sv_vtrwait(sv), 22);
    const double s = seconds_since(t);
    EXPECT_GE(s, 9.5);
    EXPECT_LT(s, 13.0);
    EXPECT_EQ(sv_wait(sv, 1), -1); // still running when polled
}
