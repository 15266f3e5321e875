// "Copy reel ...": the two dialogs, every refusal, and the copy job with
// awkward names, a failing cp, and a stop from the process table.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <csignal>

#include "database/db_commands.h"
#include "database/db_copy.h"
#include "desktop/processes.h"
#include "tests/dbadmin/dbadmin_fixture.h"

using namespace dbadmin_test;

namespace {

class DbCopyReel : public DbAdmin {
  protected:
    void SetUp() override {
        DbAdmin::SetUp();
        MakeDatabases({{"here", "here"}, {"there db", "there"}});
        src_ = root_ + "/there/SVJ/";
        dst_ = root_ + "/here/SVJ/";
    }
    void TearDown() override {
        DbRunningJobsHook = saved_running_;
        DbCopyStartHook = saved_start_;
        DbAdmin::TearDown();
    }
    // Writes a reel of n bytes into the source database.
    std::string MakeReel(const std::string &name, size_t n) {
        std::string data(n, '\0');
        for (size_t i = 0; i < n; i++)
            data[i] = char(i * 131 + 7);
        std::ofstream(src_ + name, std::ios::binary) << data;
        return data;
    }
    // Opens "Select database", chooses db, and returns "Select Reel".
    static Widget SelectReel(const std::string &db) {
        InDispatch([] { DbImportSvj(nullptr, nullptr, nullptr); });
        Widget d = Dialog("DB here - Select database");
        if (!d) return nullptr;
        Select(d, db);
        Press(ByLabel(d, "OK"));
        return Dialog("DB here - Select Reel");
    }
    // Copies reel name through both dialogs and waits for the job's end.
    void Copy(const std::string &name) {
        Widget r = SelectReel("there db");
        ASSERT_NE(r, nullptr);
        Select(r, name);
        Press(ByLabel(r, "OK"));
        EXPECT_EQ(Dialog("DB here - Select Reel"), nullptr);
        WaitJobs();
    }
    static void WaitJobs() {
        WaitJobsReaped();
        Pump();
    }
    Strings DestNames() const {
        Strings out;
        for (const auto &e : fs::directory_iterator(dst_))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    std::string src_, dst_;
    int (*saved_running_)() = DbRunningJobsHook;
    int (*saved_start_)(DbCopyJob *) = DbCopyStartHook;
};

} // namespace

// Names that a shell would split or run arrive whole, and nothing runs.
TEST_F(DbCopyReel, AwkwardNamesArriveByteIdentical) {
    const std::string cwd = fs::current_path().string();
    fs::current_path(root_);
    const Strings names = {"two  blanks.svj", "x;touch oops;.svj", "$(touch oops2).svj",
                           "`touch oops3`.svj", "-dash.svj"};
    for (const std::string &n : names) {
        const std::string data = MakeReel(n, 70000);
        Copy(n);
        EXPECT_EQ(Messages(), Strings{}) << n;
        EXPECT_EQ(ReadFile(dst_ + n), data) << n;
    }
    for (const char *oops : {"oops", "oops2", "oops3"}) {
        EXPECT_FALSE(fs::exists(root_ + "/" + oops)) << oops;
        EXPECT_FALSE(fs::exists(root_ + "/there/SVJ/" + oops)) << oops;
    }
    Strings want = names;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(DestNames(), want); // no temporary left
    fs::current_path(cwd);
}

TEST_F(DbCopyReel, RefusalsAndTheirMessages) {
    MakeReel("a.svj", 100);
    MakeReel("gone.svj", 100);
    std::ofstream(dst_ + "a.svj") << "mine";

    InDispatch([] { DbImportSvj(nullptr, nullptr, nullptr); });
    Widget d = Dialog("DB here - Select database");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(d, "*list")), (Strings{"here", "there db"}));
    Press(ByLabel(d, "OK"));
    EXPECT_EQ(Messages(d), Strings{"No database selected"});
    Select(d, "here");
    Press(ByLabel(d, "OK"));
    EXPECT_EQ(Messages(d), Strings{"Selected DB is the current DB"});
    Press(ByLabel(d, "Cancel"));

    Widget r = SelectReel("there db");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(r, "*list")), (Strings{"a.svj", "gone.svj"}));
    EXPECT_EQ(std::string(db_browse_dir), src_);
    Press(ByLabel(r, "OK"));
    EXPECT_EQ(Messages(r), Strings{"No reel selected"});
    Select(r, "a.svj");
    Press(ByLabel(r, "OK"));
    EXPECT_EQ(Messages(),
              Strings{"Reel already exists in\ndestination database.\nRemove it and retry."});
    EXPECT_EQ(ReadFile(dst_ + "a.svj"), "mine");

    r = SelectReel("there db");
    fs::remove(src_ + "gone.svj");
    Select(r, "gone.svj");
    Press(ByLabel(r, "OK"));
    EXPECT_EQ(Messages(), Strings{"File is unreadable"});

    MakeReel("b.svj", 100);
    DbRunningJobsHook = [] { return 6; };
    Copy("b.svj");
    EXPECT_EQ(Messages(), Strings{"Too many running processes\nTry again later."});
    DbRunningJobsHook = saved_running_;
    DbCopyStartHook = [](DbCopyJob *) { return -1; };
    Copy("b.svj");
    EXPECT_EQ(Messages(), Strings{"Error creating process"});
    DbCopyStartHook = saved_start_;
    EXPECT_EQ(DestNames(), Strings{"a.svj"}); // the temporary went too

    // A reel larger than the free space (sparse, so it takes none itself).
    struct statvfs vfs {};
    ASSERT_EQ(statvfs(dst_.c_str(), &vfs), 0);
    const off_t big = off_t(vfs.f_bavail) * off_t(vfs.f_frsize) + (off_t(1) << 30);
    int fd = open((src_ + "huge.svj").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, big), 0);
    close(fd);
    Copy("huge.svj");
    EXPECT_EQ(Messages(), Strings{"Not enough disk space\nin detination database"});
    EXPECT_EQ(DestNames(), Strings{"a.svj"});
}

// A cp that fails part-way (a file size limit, as "ulimit -f" sets) leaves
// nothing in SVJ/ and says so.
TEST_F(DbCopyReel, FailedCopyLeavesNothingAndSaysSo) {
    const std::string data = MakeReel("big.svj", 200000);
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct sigaction ign {
    }, was{};
    ign.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ign, &was);
    struct rlimit lim = old;
    lim.rlim_cur = 50000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lim), 0);
    Widget r = SelectReel("there db");
    ASSERT_NE(r, nullptr);
    Select(r, "big.svj");
    Press(ByLabel(r, "OK"));
    // cp has the limit from the start; the test lifts it once cp has run.
    WaitJobs();
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &was, nullptr);
    EXPECT_EQ(Messages(), Strings{"Couldn't copy reel"});
    EXPECT_EQ(DestNames(), Strings{});
    // Without the limit the same copy works.
    Copy("big.svj");
    EXPECT_EQ(Messages(), Strings{});
    EXPECT_EQ(ReadFile(dst_ + "big.svj"), data);
}

// A copy stopped from the process table (cp blocked reading a FIFO) leaves
// nothing and no message; its row shows the copy.
TEST_F(DbCopyReel, StoppedCopyLeavesNothing) {
    ASSERT_EQ(mkfifo((src_ + "pipe.svj").c_str(), 0644), 0);
    Widget r = SelectReel("there db");
    ASSERT_NE(r, nullptr);
    Select(r, "pipe.svj");
    Press(ByLabel(r, "OK"));
    ASSERT_EQ(num_sproc, 1);
    int entry = -1;
    for (int i = 0; i < MAX_SPROC; i++)
        if (pidData[i].pid.load() > 0 && pidData[i].type == JOB_SVJCOPY) entry = i;
    ASSERT_GE(entry, 0);
    Strings rows = RunningProcessList();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].rfind("SVJ COPY PROCESS:  pipe.svj.", 0), 0u) << rows[0];
    EXPECT_EQ(DestNames().size(), 1u); // the temporary, not a reel
    EXPECT_EQ(DestNames()[0].size(), std::string("pipe.svj.XXXXXX").size());
    usleep(100000);
    StopProcess(entry);
    WaitJobs();
    EXPECT_EQ(num_sproc, 0);
    EXPECT_EQ(Messages(), Strings{});
    EXPECT_EQ(DestNames(), Strings{});
}
