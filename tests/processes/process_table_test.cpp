// The process table: entries, start, end routines in the main thread, stop,
// the dialog listing and marks, exit, progress ticks and OOpen.
#include "tests/processes/process_test_util.h"

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "desktop/clip_model.h"
#include "platform/child.h"

// The exit-pending flag lives with start-up; this stands in when start-up is
// not linked into the test.
[[gnu::weak]] std::atomic<int> exit_pending{0};

namespace {

class SprocTest : public ProcessFixture {};
class ProcessTableTest : public ProcessFixture {};

void quick_status_job(void *data) {
    int entry = SprocSelf();
    if (entry >= 0) pidData[entry].status = *static_cast<int *>(data);
}

TEST_F(SprocTest, SixGeneralJobsThenRefused) {
    SemSet(4, 1);
    HeldJob *jobs = held;
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(Sproc(held_job, &jobs[i], JOB_EXPORT), i);
    EXPECT_EQ(Sproc(held_job, &jobs[6], JOB_IMPORT), -1);
    EXPECT_EQ(num_sproc, 6);
    // Entry 6 still takes a play-sequence job, and only one at a time.
    EXPECT_EQ(Sproc(held_job, &jobs[6], JOB_INVERT), 6);
    EXPECT_EQ(Sproc(held_job, &jobs[7], JOB_VTR), -1);
    EXPECT_EQ(num_sproc, 7);
    for (int i = 0; i < 7; i++)
        EXPECT_GT(pidData[i].pid.load(), 0);
    SemSet(4, 0);
    ASSERT_TRUE(ReapCount(7));
    EXPECT_EQ(num_sproc, 0);
    for (auto &p : pidData)
        EXPECT_LE(p.pid.load(), 0);
    // Freed entries are taken again from the first.
    EXPECT_EQ(Sproc(held_job, &jobs[7], JOB_VTR), 6);
    EXPECT_EQ(Sproc(held_job, &jobs[0], JOB_EFFECT), 0);
    ASSERT_TRUE(ReapCount(2));
}

TEST_F(SprocTest, EntryFilledBeforeTheJobRuns) {
    static std::atomic<int> set_entry_calls{0};
    static void *set_entry_data = nullptr;
    set_entry_calls = 0;
    job_type_hooks[JOB_IMPORT].set_entry = [](int entry, void *data) {
        set_entry_calls++;
        set_entry_data = data;
        pidData[entry].output = "/tmp/clip.svj";
        pidData[entry].slot = entry;
    };
    static std::atomic<int> progress_started{-1};
    ProcessStartProgress = [](int entry) { progress_started = entry; };
    struct Seen {
        std::atomic<int> entry{-2};
        std::string output;
    } seen;
    auto job = [](void *data) {
        auto *s = static_cast<Seen *>(data);
        int e = SprocSelf();
        s->output = pidData[e].output;
        s->entry = e;
    };
    int entry = Sproc(job, &seen, JOB_IMPORT);
    ASSERT_EQ(entry, 0);
    EXPECT_EQ(set_entry_calls.load(), 1);
    EXPECT_EQ(set_entry_data, &seen);
    EXPECT_EQ(progress_started.load(), 0);
    ASSERT_TRUE(ReapCount(1));
    EXPECT_EQ(seen.entry.load(), 0);
    EXPECT_EQ(seen.output, "/tmp/clip.svj");
    EXPECT_EQ(SprocSelf(), -1); // not a job
}

struct EndLog {
    std::vector<std::string> events;
    std::thread::id thread;
    int last_status = -1;
    int last_pid = 0;
};
EndLog end_log;

void log_message(const char *text) {
    end_log.events.push_back(std::string("msg:") + text);
}
void log_free(int entry) {
    end_log.events.push_back("free");
    end_log.last_status = pidData[entry].status.load();
}
void log_finish(int entry, int pid) {
    end_log.events.push_back("finish");
    end_log.thread = std::this_thread::get_id();
    end_log.last_status = pidData[entry].status.load();
    end_log.last_pid = pid;
    EXPECT_LE(pidData[entry].pid.load(), 0) << "the entry is free when its end routine runs";
}
void log_succeed(int, int) {
    end_log.events.push_back("succeed");
}

void install_end_log() {
    end_log = EndLog{};
    ProcessMessage = log_message;
    for (int t = 1; t < JOB_TYPES; t++) {
        job_type_hooks[t].free_data = log_free;
        job_type_hooks[t].finish = log_finish;
        job_type_hooks[t].succeed = log_succeed;
    }
}

// Runs one job of `type` that ends with `status` and reaps it.
void run_ended(int type, int status, const std::string &output = "") {
    static int st;
    st = status;
    int entry = Sproc(quick_status_job, &st, type);
    ASSERT_GE(entry, 0);
    pidData[entry].output = output; // as the starter does after Sproc
    int pid = pidData[entry].pid.load();
    ASSERT_TRUE(WaitUntil([&] {
        ReapEndedJobs();
        return pidData[entry].pid.load() != pid;
    }));
}

TEST_F(ProcessTableTest, EndRoutinesRunInTheMainThread) {
    install_end_log();
    HeldJob &h = held[0];
    SemSet(4, 1);
    int entry = Sproc(held_job, &h, JOB_EFFECT);
    int pid = pidData[entry].pid.load();
    ASSERT_TRUE(WaitUntil([&] { return h.started.load(); }));
    EXPECT_EQ(ReapEndedJobs(), 0); // still running
    SemSet(4, 0);
    ASSERT_TRUE(ReapCount(1));
    EXPECT_EQ(end_log.thread, std::this_thread::get_id());
    EXPECT_EQ(end_log.last_pid, pid);
    EXPECT_EQ(end_log.events, (std::vector<std::string>{"finish"}));
    EXPECT_EQ(num_sproc, 0);
    ProcessEnded(pid); // a second report of the same id changes nothing
    EXPECT_EQ(num_sproc, 0);
}

TEST_F(ProcessTableTest, ImportMessagesByStatus) {
    install_end_log();
    run_ended(JOB_IMPORT, 1);
    run_ended(JOB_IMPORT, 2);
    run_ended(JOB_IMPORT, 3);
    run_ended(JOB_IMPORT, 0);
    std::vector<std::string> expect = {"free",
                                       "msg:Couldn't read all pictures",
                                       "finish",
                                       "free",
                                       "msg:Import error",
                                       "finish",
                                       "free",
                                       "msg:Import error: different sizes",
                                       "finish",
                                       "free",
                                       "finish"};
    EXPECT_EQ(end_log.events, expect);
}

TEST_F(ProcessTableTest, ExportEndRemovesOutputOnStopAndMovieError) {
    install_end_log();
    char dir[] = "/tmp/orva_proc_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string out = std::string(dir) + "/out.mov";
    close(OOpen(out.c_str()));
    run_ended(JOB_EXPORT, 1, out);
    EXPECT_EQ(access(out.c_str(), F_OK), 0) << "an export error keeps the file";
    run_ended(JOB_EXPORT, 2, out);
    exit_pending = 1;
    run_ended(JOB_EXPORT, 6, out); // shown even while exiting
    EXPECT_NE(access(out.c_str(), F_OK), 0);
    run_ended(JOB_EXPORT, 1, out); // not shown while exiting
    exit_pending = 0;
    std::vector<std::string> expect = {
        "free",
        "msg:Export error",
        "finish",
        "free",
        "msg:Export error: only SVJ files can\nbe exported in JPEG fields format.",
        "finish",
        "free",
        "msg:Error in creating movie",
        "finish",
        "free",
        "finish"};
    EXPECT_EQ(end_log.events, expect);
    for (auto &p : pidData)
        EXPECT_TRUE(p.output.empty() || p.type != JOB_EXPORT);
    rmdir(dir);
}

TEST_F(ProcessTableTest, CustomEffectEndByStatus) {
    install_end_log();
    run_ended(JOB_CUSTOM, 3);
    run_ended(JOB_CUSTOM, 1);
    run_ended(JOB_CUSTOM, 0);
    std::vector<std::string> expect = {"free", "finish", "msg:Couldn't complete custom effect",
                                       "free", "finish", "msg:Export error",
                                       "free", "succeed"};
    EXPECT_EQ(end_log.events, expect);
}

TEST_F(ProcessTableTest, ExitPendingLastJobEndsTheProgram) {
    static std::atomic<int> final_exits{0};
    final_exits = 0;
    ProcessFinalExit = [] { final_exits++; };
    HeldJob &a = held[0], &b = held[1];
    SemSet(4, 1);
    Sproc(held_job, &a, JOB_EXPORT);
    Sproc(held_job, &b, JOB_SVJCOPY);
    exit_pending = 1;
    SemSet(4, 0);
    ASSERT_TRUE(WaitUntil([&] { return a.finished.load() && b.finished.load(); }));
    int reaped = 0;
    ASSERT_TRUE(WaitUntil([&] {
        reaped += ReapEndedJobs();
        if (reaped == 1) {
            EXPECT_EQ(final_exits.load(), 0) << "ended with a job still running";
        }
        return reaped == 2;
    }));
    EXPECT_EQ(final_exits.load(), 1);
    EXPECT_EQ(num_sproc, 0);
}

// A job that holds its output open (closed by RAII) and runs a shell command
// that starts a long sleep in the background.
struct CopyJob {
    std::string output, sleeper_file;
    std::atomic<bool> file_closed{false};
    std::atomic<bool> past_gate{false};
};

void copy_job(void *data) {
    auto *c = static_cast<CopyJob *>(data);
    struct Fd {
        int fd;
        CopyJob *c;
        ~Fd() {
            close(fd);
            c->file_closed = true;
        }
    } out{OOpen(c->output.c_str()), c};
    std::string cmd = "sleep 1000 & echo $! > " + c->sleeper_file + ".tmp; mv " + c->sleeper_file +
                      ".tmp " + c->sleeper_file + "; wait";
    ChildSystem(cmd.c_str());
    SemWait(0);
    c->past_gate = true;
}

TEST_F(ProcessTableTest, StopEndsJobItsCommandAndRemovesOutput) {
    static std::atomic<int> freed{0};
    freed = 0;
    job_type_hooks[JOB_SVJCOPY].free_data = [](int) { freed++; };
    char dir[] = "/tmp/orva_proc_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    CopyJob c;
    c.output = std::string(dir) + "/copy.svj";
    c.sleeper_file = std::string(dir) + "/sleeper";
    int entry = Sproc(copy_job, &c, JOB_SVJCOPY);
    ASSERT_GE(entry, 0);
    pidData[entry].output = c.output;
    ASSERT_TRUE(WaitUntil([&] { return access(c.sleeper_file.c_str(), F_OK) == 0; }));
    pid_t sleeper = 0;
    {
        FILE *f = fopen(c.sleeper_file.c_str(), "r");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(fscanf(f, "%d", &sleeper), 1);
        fclose(f);
    }
    ASSERT_EQ(kill(sleeper, 0), 0);
    StopProcess(entry);
    EXPECT_EQ(pidData[entry].status.load(), STATUS_STOPPED);
    EXPECT_EQ(pidData[entry].slot.load(), -1);
    EXPECT_NE(access(c.output.c_str(), F_OK), 0) << "the partial copy is removed at once";
    ASSERT_TRUE(ReapCount(1));
    EXPECT_TRUE(c.file_closed.load());
    EXPECT_FALSE(c.past_gate.load());
    EXPECT_EQ(freed.load(), 1);
    EXPECT_EQ(num_sproc, 0);
    // The background sleep of the command went with its process group.
    ASSERT_TRUE(WaitUntil([&] {
        char path[64];
        snprintf(path, sizeof path, "/proc/%d/stat", int(sleeper));
        FILE *f = fopen(path, "r");
        if (!f) return true;
        char state = 0;
        int ok = fscanf(f, "%*d (%*[^)]) %c", &state);
        fclose(f);
        return ok == 1 && state == 'Z';
    }));
    unlink(c.sleeper_file.c_str());
    rmdir(dir);
}

TEST_F(ProcessTableTest, StoppedJobThatFinishesAnywayEndsAsStopped) {
    install_end_log();
    char dir[] = "/tmp/orva_proc_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string out = std::string(dir) + "/late.svj";
    struct Late {
        std::future<void> go;
        std::string out;
    } late;
    std::promise<void> go;
    late.go = go.get_future();
    late.out = out;
    auto job = [](void *data) {
        auto *l = static_cast<Late *>(data);
        l->go.wait(); // writing its last frame; no gate left
        close(OOpen(l->out.c_str()));
        pidData[SprocSelf()].status = 0; // "success"
    };
    int entry = Sproc(job, &late, JOB_EXPORT);
    pidData[entry].output = out;
    StopProcess(entry);
    go.set_value();
    ASSERT_TRUE(ReapCount(1));
    EXPECT_EQ(end_log.last_status, STATUS_STOPPED);
    EXPECT_NE(access(out.c_str(), F_OK), 0) << "a stopped export leaves no output";
    rmdir(dir);
}

TEST_F(ProcessTableTest, StoppedImportRemovesPartialOutputs) {
    static std::atomic<int> partial{-1};
    partial = -1;
    job_type_hooks[JOB_IMPORT].remove_partial = [](int entry) { partial = entry; };
    HeldJob &h = held[0];
    SemSet(4, 1);
    Sproc(held_job, &h, JOB_EXPORT);
    int entry = Sproc(held_job, &h, JOB_IMPORT);
    ASSERT_EQ(entry, 1);
    StopProcess(entry);
    EXPECT_EQ(partial.load(), 1);
    StopProcess(entry + 3); // free entry: nothing
    EXPECT_EQ(pidData[entry + 3].status.load(), 0);
}

TEST_F(ProcessTableTest, ListingMarksAndKillAll) {
    SemSet(4, 1);
    HeldJob *h = held;
    ASSERT_EQ(Sproc(held_job, &h[0], JOB_CONVERT), 0);
    ASSERT_EQ(Sproc(held_job, &h[1], JOB_IMPORT), 1);
    ASSERT_EQ(Sproc(held_job, &h[2], JOB_EXPORT), 2);
    ASSERT_EQ(Sproc(held_job, &h[3], JOB_SVJCOPY), 3);
    ASSERT_EQ(Sproc(held_job, &h[4], JOB_VTR), 6);
    pidData[1].output = "/db/IMAGES/shot";
    pidData[2].output = "/db/SVJ/" + std::string(600, 'x') + ".svj";
    pidData[3].output = "copy.svj";
    EXPECT_TRUE(ProcessesRunning());
    std::vector<std::string> rows = RunningProcessList();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "IMPORT PROCESS:    shot");
    EXPECT_EQ(rows[1].size(), 500u);
    EXPECT_EQ(rows[1].rfind("EXPORT PROCESS:    xxx", 0), 0u);
    EXPECT_EQ(rows[2], "SVJ COPY PROCESS:  copy.svj");
    EXPECT_EQ(pidData[0].row, 0);
    EXPECT_EQ(pidData[1].row, 1);
    EXPECT_EQ(pidData[3].row, 3);
    EXPECT_EQ(pidData[6].row, 0);

    // "Kill sel." with row 2: only the export stops.
    ClearKillMarks();
    EXPECT_EQ(MarkProcessRow(2), 1);
    EXPECT_EQ(MarkProcessRow(7), 0);
    EXPECT_EQ(StopMarkedProcesses(), 1);
    EXPECT_EQ(pidData[2].status.load(), STATUS_STOPPED);
    EXPECT_EQ(pidData[1].status.load(), 0);
    for (auto &p : pidData)
        EXPECT_EQ(p.kill_mark, 1);
    ASSERT_TRUE(ReapCount(1));

    // "Kill all": everything listed; the converter and the VTR job go on.
    EXPECT_EQ(StopMarkedProcesses(), 2);
    ASSERT_TRUE(ReapCount(2));
    EXPECT_GT(pidData[0].pid.load(), 0);
    EXPECT_GT(pidData[6].pid.load(), 0);
    EXPECT_TRUE(ProcessesRunning()); // the VTR job
    EXPECT_EQ(num_sproc, 2);
}

TEST_F(ProcessTableTest, ExitStopsMarkedJobsAndTheConverter) {
    SemSet(4, 1);
    HeldJob *h = held;
    Sproc(held_job, &h[0], JOB_CONVERT);
    Sproc(held_job, &h[1], JOB_EXPORT);
    Sproc(held_job, &h[2], JOB_EFFECT);
    ClearKillMarks(); // "Kill none"
    EXPECT_EQ(StopProcessesForExit(), 1);
    EXPECT_EQ(pidData[0].status.load(), STATUS_STOPPED);
    EXPECT_EQ(pidData[1].status.load(), 0);
    EXPECT_EQ(pidData[1].kill_mark, 1);
    ASSERT_TRUE(ReapCount(1));
    EXPECT_EQ(num_sproc, 2);
}

TEST_F(ProcessTableTest, ImportProgressTicks) {
    static std::atomic<int> shows{0};
    shows = 0;
    ImportProgressShow = [](int) { shows++; };
    SemSet(4, 1);
    HeldJob &h = held[0];
    int entry = Sproc(held_job, &h, JOB_IMPORT);
    int pid = pidData[entry].pid.load();
    WindowData window;
    pidData[entry].slot = entry;
    pidData[entry].window = &window;
    pidData[entry].progress = 10;
    EXPECT_EQ(ImportProgressTick(entry, pid), 1000);
    EXPECT_EQ(shows.load(), 1);
    EXPECT_EQ(pidData[entry].shown, 10);
    EXPECT_EQ(ImportProgressTick(entry, pid), 1000); // unchanged: not shown again
    EXPECT_EQ(shows.load(), 1);
    SemSet(0, 1);
    pidData[entry].progress = 9;
    EXPECT_EQ(ImportProgressTick(entry, pid), 2000); // paused: only re-armed
    EXPECT_EQ(shows.load(), 1);
    SemSet(0, 0);
    EXPECT_EQ(ImportProgressTick(entry, pid + 1), 0); // another job in the entry
    exit_pending = 1;
    EXPECT_EQ(ImportProgressTick(entry, pid), 0);
    exit_pending = 0;
    pidData[entry].slot = -1;
    EXPECT_EQ(ImportProgressTick(entry, pid), 0);
    EXPECT_EQ(shows.load(), 1);
}

TEST_F(ProcessTableTest, OOpenCreates0666AndTruncates) {
    char dir[] = "/tmp/orva_proc_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string name = std::string(dir) + "/part1";
    mode_t old = umask(0);
    int fd = OOpen(name.c_str());
    umask(old);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "0123456789", 10), 10);
    close(fd);
    struct stat st;
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    EXPECT_EQ(st.st_size, 10);
    fd = OOpen(name.c_str());
    ASSERT_GE(fd, 0);
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ASSERT_EQ(write(fd, "ab", 2), 2);
    close(fd);
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 2);
    errno = 0;
    EXPECT_EQ(OOpen((std::string(dir) + "/no/such/dir").c_str()), -1);
    EXPECT_EQ(errno, ENOENT);
    unlink(name.c_str());
    rmdir(dir);
}

} // namespace
