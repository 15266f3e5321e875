// The custom effect job: `svjtool custom` run as a user runs it with a
// recording program (every argument reaches it literally, through the
// shell), its results as a reel or an image clip, and the job body's
// handling of taken names, stale outputs, failures and a stop.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "editing/clip_records.h"
#include "editing/custom_process.h"
#include "editing/export.h"
#include "editing/import.h"
#include "media/video_globals.h"
#include "platform/jobs.h"
#include "platform/sem.h"
#include "tests/media/reel_fixtures.h"

namespace {

using reel_test::temp_dir;

using CmdResult = reel_test::run_result;
const auto run = reel_test::run_merged;
const auto q = reel_test::shell_quote;

std::string slurp(const std::string &name) {
    FILE *f = std::fopen(name.c_str(), "r");
    if (!f) return "";
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    std::fclose(f);
    return s;
}

void write_text(const std::string &name, const std::string &text, mode_t mode = 0644) {
    FILE *f = std::fopen(name.c_str(), "w");
    ASSERT_TRUE(f);
    std::fputs(text.c_str(), f);
    std::fclose(f);
    chmod(name.c_str(), mode);
}

bool exists(const std::string &name) {
    struct stat st;
    return stat(name.c_str(), &st) == 0;
}

// Names in dir beginning with "ex_" or "im_".
std::string temporaries(const std::string &dir) {
    std::string found;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            const std::string n = e->d_name;
            if (n.rfind("ex_", 0) == 0 || n.rfind("im_", 0) == 0) found += n + " ";
        }
        closedir(d);
    }
    return found;
}

// A database (its name full of shell characters) with a PAL reel of three
// frames, and programs: "rec" records its arguments one a line and copies
// its last-but-one argument to its last; "none" writes nothing; "slow"
// copies its first argument to its second, then sleeps.
class CustomJob : public ::testing::Test {
  protected:
    temp_dir tmp;
    std::string db, images, reel, fx, record;
    void SetUp() override {
        db = tmp.path("db $(touch pwned) it's; x");
        ASSERT_EQ(mkdir(db.c_str(), 0777), 0);
        for (const char *sub : {"/SVJ", "/CLIP", "/IMAGES"})
            ASSERT_EQ(mkdir((db + sub).c_str(), 0777), 0);
        images = db + "/IMAGES/";
        reel = db + "/SVJ/in.svj";
        ASSERT_EQ(reel_test::store_reel(reel, reel_test::make_fields(3, 720, 288), 720, 576), "");
        record = tmp.path("record");
        write_text(tmp.path("rec"),
                   "#!/bin/sh\nfor a; do prev=$last; last=$a; printf '%s\\n' \"$a\" >> " +
                       q(record) + "; done\ncp \"$prev\" \"$last\"\n",
                   0755);
        write_text(tmp.path("none"), "#!/bin/sh\nexit 0\n", 0755);
        write_text(tmp.path("slow"), "#!/bin/sh\ncp \"$1\" \"$2\"\nsleep 30\n", 0755);
        fx = tmp.path("OrvaFX");
        write_text(fx, "rec : " + tmp.path("rec") + " -v value IN OUT ;\n" +
                           "none : " + tmp.path("none") + " IN OUT ;\n" +
                           "slow : " + tmp.path("slow") + " IN OUT ;\n_END\n");
    }
    std::string custom(const std::string &args) {
        return std::string(ORVA_BIN_DIR) + "/tools/svjtool custom -d " + q(db) + " " + args;
    }
};

TEST_F(CustomJob, HostileValueAndDatabasePathReachTheProgramLiterally) {
    const std::string value = "a'b $(touch " + tmp.path("pwned2") + ") ;`x` \"c\"";
    const std::string out = db + "/SVJ/out put.svj";
    CmdResult r =
        run(custom("-p " + q("-v " + value) + " " + q(fx) + " rec " + q(reel) + " " + q(out)));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("status 0\nframes 3\n"), std::string::npos) << r.out;
    const std::string args = slurp(record);
    std::string expected;
    for (int n = 1; n <= 3; n++)
        expected += "-v\na'b\n$(touch\n" + tmp.path("pwned2") + ")\n;`x`\n\"c\"\n" + images +
                    "ex_01." + std::to_string(n) + ".tga\n" + images + "im_01." +
                    std::to_string(n) + ".tga\n";
    EXPECT_EQ(args, expected);
    EXPECT_FALSE(exists(tmp.path("pwned")));
    EXPECT_FALSE(exists(tmp.path("pwned2")));
    EXPECT_FALSE(exists("pwned"));
    EXPECT_EQ(temporaries(images), "");
    CmdResult info = run(std::string(ORVA_BIN_DIR) + "/tools/svjtool info " + q(out));
    EXPECT_NE(info.out.find("frames 3"), std::string::npos) << info.out;
}

TEST_F(CustomJob, PictureResultsBecomeAnImageClip) {
    const std::string out = images + "blur";
    CmdResult r = run(custom("-f sgi " + q(fx) + " rec " + q(reel) + " " + q(out)));
    EXPECT_EQ(r.status, 0) << r.out;
    for (int n = 1; n <= 3; n++)
        EXPECT_TRUE(exists(out + "." + std::to_string(n) + ".sgi")) << n;
    EXPECT_TRUE(exists(db + "/CLIP/blur_Img00_Log"));
    EXPECT_EQ(temporaries(images), "");
}

TEST_F(CustomJob, FailuresLeaveNothingBehind) {
    struct Case {
        const char *args;
        int status;
        const char *says;
    } cases[] = {
        {"none", 1, "Couldn't complete custom effect\n"},
        {"rec -p '-w 1'", 1, "Syntax error: parameter '-w' not declared\n"},
        {"nosuch", 1, "Couldn't find command name\n"},
    };
    for (const Case &c : cases) {
        const std::string args = c.args;
        const size_t sp = args.find(' ');
        const std::string name = args.substr(0, sp), rest = sp == args.npos ? "" : args.substr(sp);
        CmdResult r = run(
            custom(rest + " " + q(fx) + " " + name + " " + q(reel) + " " + q(db + "/SVJ/o.svj")));
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_EQ(temporaries(images), "") << c.args;
        EXPECT_FALSE(exists(db + "/SVJ/o.svj")) << c.args;
    }
}

// The job body itself on a window over the reel.
class CustomBody : public CustomJob {
  protected:
    FisicData clip;
    void SetUp() override {
        CustomJob::SetUp();
        SetVideoMode(0);
        ASSERT_EQ(SemInit(), 0);
        clip.path = strdup(reel.c_str());
        clip.frames = 3;
    }
    void TearDown() override {
        SemRemove();
        free(clip.path);
        clip.path = nullptr;
    }
    // An export record of all three frames into pictures `path` (kind 5)
    // or a reel (kind 4).
    ExportData *record_of(const std::string &path, int kind) {
        auto *e = new ExportData;
        e->path = path;
        e->start = 1;
        e->end = 3;
        e->kind = kind;
        e->format = kind == EXPORT_KIND_FX_REEL ? EXPORT_SVJ : 1;
        e->copy = new WindowData;
        auto *s = new Segment;
        s->last = 2;
        s->fisic = &clip;
        s->next = s->prev = s;
        e->copy->seg_first = e->copy->seg_last = e->copy->seg_current = s;
        e->copy->total = 3;
        return e;
    }
    FxCommand command(const std::string &program) {
        FxCommand c;
        c.command = tmp.path(program);
        c.type = 4;
        return c;
    }
};

TEST_F(CustomBody, TakenNamesAreSkippedAndStaleOutputsNeverCount) {
    write_text(images + "ex_01.2.tga", "taken");
    write_text(images + "im_01.3.tga", "taken");
    for (const char *n : {"1", "2", "3"})
        write_text(images + "pic." + n + ".tga", "stale");
    std::string message;
    StlnJob *job = StlnPrepare(record_of(images + "pic", EXPORT_KIND_FX_PICS), command("none"), 1,
                               85, images, db + "/", message);
    ASSERT_TRUE(job) << message;
    EXPECT_EQ(job->in_base, images + "ex_02");
    EXPECT_TRUE(exists(images + "ex_02.1.tga")); // reserved
    StlnEffectProcess(job);
    EXPECT_EQ(job->status->load(), FX_NO_RESULT);
    Free_Fake(job, false);
    EXPECT_FALSE(exists(images + "ex_02.1.tga"));
    StlnFreeJob(job);

    job = StlnPrepare(record_of(db + "/SVJ/r", EXPORT_KIND_FX_REEL), command("none"), 1, 85, images,
                      db + "/", message);
    ASSERT_TRUE(job) << message;
    EXPECT_EQ(job->in_base, images + "ex_02");
    EXPECT_EQ(job->out_base, images + "im_02");
    EXPECT_EQ(job->reel, db + "/SVJ/r.svj");
    Free_Fake(job, false);
    EXPECT_EQ(temporaries(images), "ex_01.2.tga im_01.3.tga ");
    StlnFreeJob(job);
}

TEST_F(CustomBody, StoppedJobEndsAtOnceAndLeavesNothing) {
    std::string message;
    StlnJob *job = StlnPrepare(record_of(db + "/SVJ/r", EXPORT_KIND_FX_REEL), command("slow"), 1,
                               85, images, db + "/", message);
    ASSERT_TRUE(job) << message;
    const int id = JobStart(StlnEffectProcess, job);
    ASSERT_GT(id, 0);
    // Stopped while the program of the first frame runs, its result written.
    for (int i = 0; i < 3000 && !exists(images + "im_01.1.tga"); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(JobStop(id), 0);
    JobJoinAll();
    // Long before the 30 s its program sleeps, even on a busy machine.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(15));
    EXPECT_EQ(job->progress->load(), 0);
    // The first frame's result was written before the stop.
    EXPECT_EQ(temporaries(images), "im_01.1.tga ");
    Free_Fake(job, false);
    EXPECT_EQ(temporaries(images), "");
    StlnFreeJob(job);
}

TEST_F(CustomBody, FailedPreparationLeavesNoReservation) {
    std::string message;
    StlnJob *job = StlnPrepare(record_of(db + "/SVJ/r", EXPORT_KIND_FX_REEL), command("not-there"),
                               1, 85, images, db + "/", message);
    EXPECT_FALSE(job);
    EXPECT_EQ(message, "Cannot find program:\n'" + tmp.path("not-there") + "'");
    EXPECT_EQ(temporaries(images), "");
}

} // namespace

namespace {

TEST(FxCli, ListsEffectsAndPrintsTheCommandLine) {
    temp_dir tmp;
    const std::string fx = tmp.path("OrvaFX"), tool = std::string(ORVA_BIN_DIR) + "/tools/svjtool";
    write_text(fx, "blur : convert IN -blur radius OUT ;\nx : p OUT ;\nbad : p -a IN -b ;\n"
                   "rb : /usr/bin/blur -r radius IN OUT ;\n_END\nignored");
    CmdResult r = run("{ " + tool + " fx " + q(fx) + " 2>/dev/null; }");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "blur\t3\tconvert\t-blur radius \n"
                     "bad\t0\tp\t\n"
                     "rb\t11\t/usr/bin/blur\t-r radius \n");
    r = run("{ " + tool + " fx " + q(fx) + " >/dev/null; }");
    EXPECT_EQ(r.out, "Syntax error: 'IN' not found in 'x' description\n"
                     "bad: Syntax error: last item must be 'IN' or 'OUT'\n");
    r = run("{ " + tool + " fx " + q(fx) + " rb '-r 5' 'in file' \"it's\" 2>/dev/null; }");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "/usr/bin/blur -r '5' 'in file' 'it'\\''s'\n");
    EXPECT_EQ(run(tool + " fx " + q(fx) + " rb '-q 5' a b").status, 1);
    EXPECT_EQ(run(tool + " fx " + q(tmp.path("none"))).status, 1);
}

} // namespace
