// The process table: entries, end routines in the main thread, stop, the
// dialog listing and marks, exit, progress ticks and OOpen.
#include "tests/processes/process_test_util.h"

#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/child.h"
#include "tests/media/reel_fixtures.h"

// The exit-pending flag lives with start-up; this stands in when start-up is
// not linked into the test.
[[gnu::weak]] std::atomic<int> exit_pending{0};

namespace {

// A scratch directory per test.
class ProcessTableTest : public ProcessFixture {
  protected:
    reel_test::temp_dir tmp;
    const std::string dir = tmp.dir();
};
using SprocTest = ProcessTableTest;

bool Exists(const std::string &path) {
    return access(path.c_str(), F_OK) == 0;
}

TEST_F(SprocTest, SixGeneralJobsAndEntrySix) {
    SemSet(4, 1);
    const int types[] = {JOB_IMPORT, JOB_EXPORT, JOB_CUSTOM, JOB_EFFECT, JOB_SVJCOPY, JOB_CONVERT};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(Sproc(held_job, nullptr, types[i]), i);
    EXPECT_EQ(Sproc(held_job, nullptr, JOB_IMPORT), -1); // the seventh general job
    EXPECT_EQ(Sproc(held_job, nullptr, JOB_INVERT), 6);
    EXPECT_EQ(Sproc(held_job, nullptr, JOB_VTR), -1); // entry 6 busy
    EXPECT_EQ(num_sproc, 7);
    SemSet(4, 0);
    ASSERT_TRUE(ReapCount(7));
    EXPECT_EQ(num_sproc, 0);
    SemSet(4, 1);
    EXPECT_EQ(Sproc(held_job, nullptr, JOB_VTR), 6);
}

struct EndLog {
    std::string events;
    std::thread::id thread;
    int pid = 0;
} end_log;

void log_finish(int entry, int pid) {
    end_log.events += "finish" + std::to_string(pidData[entry].status.load()) + "|";
    end_log.thread = std::this_thread::get_id();
    end_log.pid = pid;
    EXPECT_LE(pidData[entry].pid.load(), 0) << "the entry is free when its end routine runs";
}

void install_end_log() {
    end_log = EndLog{};
    ProcessMessage = [](const char *text) { end_log.events += std::string("msg:") + text + "|"; };
    for (int t = 1; t < JOB_TYPES; t++) {
        job_type_hooks[t].free_data = [](int) { end_log.events += "free|"; };
        job_type_hooks[t].finish = log_finish;
        job_type_hooks[t].succeed = [](int, int) { end_log.events += "succeed|"; };
    }
}

// Busy (passing no gate) until semaphore 4 is cleared, then writes its status.
void status_job(void *data) {
    while (SemGet(4) != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pidData[SprocSelf()].status = *static_cast<int *>(data);
}

TEST_F(ProcessTableTest, EndRoutinesByTypeAndStatusInTheMainThread) {
    struct Case {
        int type, status;
        bool stop, exiting, output_removed;
        const char *events;
    };
    const Case cases[] = {
        {JOB_IMPORT, 1, false, false, false, "free|msg:Couldn't read all pictures|finish1|"},
        {JOB_IMPORT, 0, false, false, false, "free|finish0|"},
        {JOB_EXPORT, 1, false, false, false, "free|msg:Export error|finish1|"},
        {JOB_EXPORT, 5, false, false, true, "free|finish5|"},
        // Stopped while busy, it finishes anyway with "success": still stopped.
        {JOB_EXPORT, 0, true, false, true, "free|finish5|"},
        // Shown even when exiting, unlike other messages.
        {JOB_EXPORT, 6, false, true, true, "free|msg:Error in creating movie|finish6|"},
        {JOB_EXPORT, 1, false, true, false, "free|finish1|"},
        {JOB_CUSTOM, 3, false, false, false, "free|finish3|msg:Couldn't complete custom effect|"},
        {JOB_CUSTOM, 0, false, false, false, "free|succeed|"},
        {JOB_EFFECT, 2, false, false, false, "finish2|"},
        {JOB_SVJCOPY, 5, false, false, true, "free|"},
    };
    const std::string out = dir + "/out";
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.status));
        install_end_log();
        exit_pending = c.exiting;
        std::ofstream(out).put('x');
        int status = c.status;
        SemSet(4, 1);
        int entry = Sproc(status_job, &status, c.type);
        ASSERT_GE(entry, 0);
        pidData[entry].output = out; // as the starter does after Sproc
        const int pid = pidData[entry].pid.load();
        EXPECT_EQ(ReapEndedJobs(), 0); // still running
        if (c.stop) StopProcess(entry);
        SemSet(4, 0);
        ASSERT_TRUE(ReapCount(1));
        EXPECT_EQ(end_log.events, c.events);
        EXPECT_EQ(Exists(out), !c.output_removed);
        if (end_log.pid) {
            EXPECT_EQ(end_log.pid, pid);
            EXPECT_EQ(end_log.thread, std::this_thread::get_id());
        }
        ProcessEnded(pid); // a second report of the same id changes nothing
        EXPECT_EQ(num_sproc, 0);
    }
}

TEST_F(ProcessTableTest, ExitPendingLastJobEndsTheProgram) {
    static int exits, jobs_left;
    exits = 0;
    ProcessFinalExit = [] { exits++, jobs_left = num_sproc; };
    SemSet(4, 1);
    Sproc(held_job, nullptr, JOB_EXPORT);
    Sproc(held_job, nullptr, JOB_SVJCOPY);
    exit_pending = 1;
    SemSet(4, 0);
    ASSERT_TRUE(ReapCount(2));
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(jobs_left, 0);
}

// Holds its output open (closed by RAII) and runs a command that starts a
// long sleep in the background.
struct CopyJob {
    std::string output, sleeper_file;
    std::atomic<bool> file_closed{false};
};

void copy_job(void *data) {
    auto *c = static_cast<CopyJob *>(data);
    struct Out {
        int fd;
        CopyJob *c;
        ~Out() { close(fd), c->file_closed = true; }
    } out{OOpen(c->output.c_str()), c};
    const std::string &s = c->sleeper_file;
    ChildSystem(("sleep 1000 & echo $! > " + s + ".tmp; mv " + s + ".tmp " + s + "; wait").c_str());
}

// Running, or a zombie not yet reaped by its new parent.
bool Alive(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return false;
    size_t paren = line.rfind(')');
    return paren + 2 < line.size() && line[paren + 2] != 'Z';
}

TEST_F(ProcessTableTest, StopEndsJobItsCommandAndRemovesOutput) {
    CopyJob c;
    c.output = dir + "/copy.svj";
    c.sleeper_file = dir + "/sleeper";
    int entry = Sproc(copy_job, &c, JOB_SVJCOPY);
    ASSERT_GE(entry, 0);
    pidData[entry].output = c.output;
    ASSERT_TRUE(WaitUntil([&] { return Exists(c.sleeper_file); }));
    pid_t sleeper = 0;
    std::ifstream(c.sleeper_file) >> sleeper;
    ASSERT_TRUE(Alive(sleeper));
    StopProcess(entry);
    EXPECT_EQ(pidData[entry].status.load(), STATUS_STOPPED);
    EXPECT_FALSE(Exists(c.output)) << "the partial copy is removed at once";
    ASSERT_TRUE(ReapCount(1));
    EXPECT_TRUE(c.file_closed.load());
    EXPECT_EQ(num_sproc, 0);
    EXPECT_TRUE(WaitUntil([&] { return !Alive(sleeper); })) << "the command's group lives on";
}

TEST_F(ProcessTableTest, ListingMarksAndKillAll) {
    static int partial;
    partial = -1;
    job_type_hooks[JOB_IMPORT].remove_partial = [](int entry) { partial = entry; };
    SemSet(4, 1);
    const int types[] = {JOB_CONVERT, JOB_IMPORT, JOB_EXPORT, JOB_SVJCOPY};
    for (int i = 0; i < 4; i++)
        ASSERT_EQ(Sproc(held_job, nullptr, types[i]), i);
    ASSERT_EQ(Sproc(held_job, nullptr, JOB_VTR), 6);
    pidData[1].output = "/db/IMAGES/shot";
    pidData[2].output = "/db/SVJ/" + std::string(600, 'x') + ".svj";
    pidData[3].output = "copy.svj";
    EXPECT_TRUE(ProcessesRunning());
    EXPECT_EQ(
        RunningProcessList(),
        (std::vector<std::string>{"IMPORT PROCESS:    shot",
                                  ("EXPORT PROCESS:    " + std::string(600, 'x')).substr(0, 500),
                                  "SVJ COPY PROCESS:  copy.svj"}));
    const int expect_rows[MAX_SPROC] = {0, 1, 2, 3, 0, 0, 0};
    for (int i = 0; i < MAX_SPROC; i++)
        EXPECT_EQ(pidData[i].row, expect_rows[i]) << i;

    // "Kill sel." with row 2: only the export stops.
    ClearKillMarks();
    EXPECT_EQ(MarkProcessRow(2), 1);
    EXPECT_EQ(StopMarkedProcesses(), 1);
    EXPECT_EQ(pidData[2].status.load(), STATUS_STOPPED);
    EXPECT_EQ(pidData[1].status.load(), 0);
    ASSERT_TRUE(ReapCount(1));

    // "Kill all": everything listed; the converter and the VTR job go on.
    EXPECT_EQ(StopMarkedProcesses(), 2);
    EXPECT_EQ(partial, 1);
    ASSERT_TRUE(ReapCount(2));
    EXPECT_GT(pidData[0].pid.load(), 0);
    EXPECT_GT(pidData[6].pid.load(), 0);
    EXPECT_EQ(num_sproc, 2);

    // A row of the dialog shown before never reaches a job started since.
    ASSERT_EQ(Sproc(held_job, nullptr, JOB_EFFECT), 1);
    EXPECT_EQ(MarkProcessRow(1), 0);

    // Exit after "Kill none": the converter and the marked VTR job stop, the
    // effect is marked to stop next time.
    ClearKillMarks();
    EXPECT_EQ(StopProcessesForExit(), 2);
    EXPECT_EQ(pidData[0].status.load(), STATUS_STOPPED);
    EXPECT_EQ(pidData[1].status.load(), 0);
    EXPECT_EQ(pidData[1].kill_mark, 1);
}

TEST_F(ProcessTableTest, OOpenCreates0666AndTruncates) {
    const std::string name = dir + "/part1";
    mode_t old = umask(0);
    int fd = OOpen(name.c_str());
    umask(old);
    ASSERT_EQ(write(fd, "0123456789", 10), 10);
    close(fd);
    fd = OOpen(name.c_str());
    ASSERT_EQ(write(fd, "ab", 2), 2);
    close(fd);
    struct stat st;
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    EXPECT_EQ(st.st_size, 2);
    // A FIFO or a planted link in the output's place is refused at once; the
    // link's target keeps its bytes.
    const std::string fifo = dir + "/fifo", link = dir + "/link";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink(name.c_str(), link.c_str()), 0);
    EXPECT_EQ(OOpen(fifo.c_str()), -1);
    EXPECT_EQ(OOpen(link.c_str()), -1);
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 2);
}

} // namespace
