// The program killed (SIGKILL) at random points of a reel copy or of a
// database removal: the reel list never shows a partial reel, and the list
// file is always either the old or the new one. Each round runs the
// operation in a forked child and kills it after a random delay spread over
// the operation's measured length; the figures are printed.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <random>

#include "database/db_copy.h"
#include "database/db_list.h"
#include "database/db_remove.h"
#include "tests/dbadmin/dbadmin_fixture.h"

using namespace dbadmin_test;

namespace {

constexpr int ROUNDS = 40;

class DbCrash : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(root_.empty()); }
    void TearDown() override { DbFreeList(); }
    // Runs fn in a child; kills it after delay_us unless negative (then
    // waits). Returns the time the child lived, in microseconds.
    template <class F> static long RunChild(F fn, long delay_us) {
        auto t0 = std::chrono::steady_clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            fn();
            _exit(0);
        }
        if (delay_us >= 0) {
            usleep(useconds_t(delay_us));
            kill(pid, SIGKILL);
        }
        int st = 0;
        waitpid(pid, &st, 0);
        return long(std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - t0)
                        .count());
    }
    RsrcRoot rsrc_{"orva-dbcrash"};
    const std::string &root_ = rsrc_.path;
};

} // namespace

TEST_F(DbCrash, KilledReelCopyNeverListsAPartialReel) {
    const std::string src = root_ + "/src/SVJ/reel.svj";
    fs::create_directories(root_ + "/src/SVJ");
    std::string data(8 << 20, '\0');
    std::mt19937 rng(7);
    for (char &c : data)
        c = char(rng());
    std::ofstream(src, std::ios::binary) << data;
    std::string dst_dir;
    auto copy = [&] {
        DbCopyJob *job = DbCopyPrepare(src, dst_dir + "reel.svj");
        if (job) DbCopyRun(job);
    };
    // A directory of its own each round: a cp left running by a killed
    // round never meets the next one.
    auto next_dir = [&](int i) {
        dst_dir = root_ + "/dst" + std::to_string(i) + "/SVJ/";
        fs::create_directories(dst_dir);
    };
    next_dir(-1);
    const long full = RunChild(copy, -1);
    ASSERT_EQ(ReadFile(dst_dir + "reel.svj"), data);
    int complete = 0, none = 0, lost = 0;
    std::uniform_int_distribution<long> when(0, full + full / 5);
    for (int i = 0; i < ROUNDS; i++) {
        next_dir(i);
        RunChild(copy, when(rng));
        for (const auto &e : fs::directory_iterator(dst_dir)) {
            const std::string n = e.path().filename().string();
            if (n.size() < 4 || n.compare(n.size() - 4, 4, ".svj") != 0) continue;
            (ReadFile(e.path().string()) == data ? complete : lost)++;
        }
        if (!fs::exists(dst_dir + "reel.svj")) none++;
    }
    printf("reel copy (%ld us): %d rounds killed, %d complete, %d without the reel, %d partial "
           "reels listed\n",
           full, ROUNDS, complete, none, lost);
    EXPECT_EQ(lost, 0);
}

TEST_F(DbCrash, KilledRemovalLeavesTheOldOrTheNewListFile) {
    const std::string list = root_ + "/OrvaDB";
    auto make = [&] {
        std::ofstream f(list);
        for (const char *n : {"cur", "victim", "last"}) {
            const std::string d = root_ + "/" + n + "/";
            for (const char *s : {"SVJ", "CLIP", "WORK", "IMAGES"})
                fs::create_directories(d + s);
            f << "\nDATABASE " << n << "\nPATH " << d << "\n";
        }
        for (int i = 0; i < 100; i++)
            std::ofstream(root_ + "/victim/SVJ/r" + std::to_string(i) + ".svj") << i;
    };
    const std::string new_text =
        "\nDATABASE cur\nPATH " + root_ + "/cur/\n\nDATABASE last\nPATH " + root_ + "/last/\n";
    auto remove = [&] {
        DbInitialize();
        DbEntry *e = DbFindEntry("victim");
        DbRemoveDatabaseFiles(e);
        DbRemoveEntry(e);
        DbRewriteListFile(list.c_str());
    };
    make();
    const std::string old_text = ReadFile(list);
    // The removal's length in the state the rounds start from (its final
    // sync waits for the files just made), the longest of three runs.
    long full = 0;
    for (int i = 0; i < 3; i++) {
        make();
        full = std::max(full, RunChild(remove, -1));
        ASSERT_EQ(ReadFile(list), new_text);
    }
    int old_n = 0, new_n = 0, lost = 0;
    std::mt19937 rng(11);
    // A kill during a sync takes effect when the sync returns: the spread
    // runs to twice the length so that some rounds die after the rename.
    std::uniform_int_distribution<long> when(0, 2 * full);
    long slowest = 0;
    for (int i = 0; i < ROUNDS; i++) {
        make();
        const long t = RunChild(remove, when(rng));
        if (t > slowest) slowest = t;
        const std::string now = ReadFile(list);
        (now == old_text ? old_n : now == new_text ? new_n : lost)++;
    }
    printf("database removal (%ld us): %d rounds killed, %d old list files, %d new, %d other "
           "(slowest round %ld us)\n",
           full, ROUNDS, old_n, new_n, lost, slowest);
    EXPECT_EQ(lost, 0);
}
