// The custom effect job: `svjtool custom` run as a user runs it with a
// recording program (every argument reaches it literally, through the
// shell), its results as a reel or an image clip, and the job body's
// handling of taken names, stale outputs, failures and a stop.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
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

const auto run = reel_test::run_merged;
const auto q = reel_test::shell_quote;

void write_text(const std::string &name, const std::string &text, mode_t mode = 0644) {
    reel_test::write_file(name, reel_test::bytes(text.begin(), text.end()));
    chmod(name.c_str(), mode);
}

bool exists(const std::string &name) {
    struct stat st;
    return stat(name.c_str(), &st) == 0;
}

// Names in dir beginning with "ex_" or "im_", sorted.
std::string temporaries(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (!strncmp(e->d_name, "ex_", 3) || !strncmp(e->d_name, "im_", 3))
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::string found;
    for (const std::string &n : names)
        found += n + " ";
    return found;
}

// A database (its name full of shell characters) with a PAL reel of three
// frames, and programs: "rec" records its arguments one a line and copies
// its last-but-one argument to its last; "none" writes nothing; "slow"
// copies its first argument to its second, marks the record, then sleeps.
class CustomJob : public ::testing::Test {
  protected:
    temp_dir tmp;
    std::string db, images, reel, fx, record;
    void SetUp() override {
        db = tmp.path("db $(touch pwned) it's; x");
        for (const char *sub : {"", "/SVJ", "/CLIP", "/IMAGES"})
            ASSERT_EQ(mkdir((db + sub).c_str(), 0777), 0);
        images = db + "/IMAGES/";
        reel = db + "/SVJ/in.svj";
        ASSERT_EQ(reel_test::store_reel(reel, reel_test::make_fields(3, 720, 288), 720, 576), "");
        record = tmp.path("record");
        fx = tmp.path("OrvaFX");
        const struct {
            const char *name, *body, *grammar;
        } programs[] = {
            {"rec",
             "for a; do prev=$last; last=$a; printf '%s\\n' \"$a\" >> \"$RECORD\"; done\n"
             "cp \"$prev\" \"$last\"",
             " -v value IN OUT"},
            {"none", "exit 0", " IN OUT"},
            {"slow", "cp \"$1\" \"$2\"\necho >> \"$RECORD\"\nsleep 30", " IN OUT"},
        };
        std::string database;
        for (const auto &p : programs) {
            write_text(tmp.path(p.name), "#!/bin/sh\nRECORD=" + q(record) + "\n" + p.body + "\n",
                       0755);
            database += std::string(p.name) + " : " + tmp.path(p.name) + p.grammar + " ;\n";
        }
        write_text(fx, database + "_END\n");
    }
    std::string custom(const std::string &args) {
        return reel_test::svjtool_path() + " custom -d " + q(db) + " " + args;
    }
};

TEST_F(CustomJob, HostileValueAndDatabasePathReachTheProgramLiterally) {
    const std::string value = "a'b $(touch " + tmp.path("pwned2") + ") ;`x` \"c\"";
    const std::string out = db + "/SVJ/out put.svj";
    auto r = run(custom("-p " + q("-v " + value) + " " + q(fx) + " rec " + q(reel) + " " + q(out)));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("status 0\nframes 3\n"), std::string::npos) << r.out;
    std::string expected;
    for (const char *n : {"1", "2", "3"})
        expected += "-v\na'b\n$(touch\n" + tmp.path("pwned2") + ")\n;`x`\n\"c\"\n" + images +
                    "ex_01." + n + ".tga\n" + images + "im_01." + n + ".tga\n";
    const reel_test::bytes args = reel_test::read_file(record);
    EXPECT_EQ(std::string(args.begin(), args.end()), expected);
    for (const std::string &pwned : {tmp.path("pwned"), tmp.path("pwned2"), std::string("pwned")})
        EXPECT_FALSE(exists(pwned)) << pwned;
    EXPECT_EQ(temporaries(images), "");
    EXPECT_NE(run(reel_test::svjtool_path() + " info " + q(out)).out.find("frames 3"),
              std::string::npos);
}

TEST_F(CustomJob, PictureResultsBecomeAnImageClip) {
    const std::string out = images + "blur";
    auto r = run(custom("-f sgi " + q(fx) + " rec " + q(reel) + " " + q(out)));
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char *n : {"1", "2", "3"})
        EXPECT_TRUE(exists(out + "." + n + ".sgi")) << n;
    EXPECT_TRUE(exists(db + "/CLIP/blur_Img00_Log"));
    EXPECT_EQ(temporaries(images), "");
}

TEST_F(CustomJob, FailuresLeaveNothingBehind) {
    const struct {
        const char *options, *name, *says;
    } cases[] = {
        {"", "none", "Couldn't complete custom effect\n"},
        {"-p '-w 1'", "rec", "Syntax error: parameter '-w' not declared\n"},
        {"", "nosuch", "Couldn't find command name\n"},
    };
    for (const auto &c : cases) {
        auto r = run(custom(std::string(c.options) + " " + q(fx) + " " + c.name + " " + q(reel) +
                            " " + q(db + "/SVJ/o.svj")));
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_EQ(temporaries(images), "") << c.name;
        EXPECT_FALSE(exists(db + "/SVJ/o.svj")) << c.name;
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
    // The effect `program` (type 4) on all three frames into a reel, or
    // with pictures, into pictures named path; null with the message.
    StlnJob *Prepare(const std::string &path, bool pictures, const char *program) {
        auto *e = new ExportData;
        e->path = path;
        e->end = 3;
        e->kind = pictures ? EXPORT_KIND_FX_PICS : EXPORT_KIND_FX_REEL;
        e->format = pictures ? 1 : EXPORT_SVJ;
        e->copy = new WindowData;
        auto *s = new Segment;
        s->last = 2;
        s->fisic = &clip;
        s->next = s->prev = s;
        e->copy->seg_first = e->copy->seg_last = e->copy->seg_current = s;
        e->copy->total = 3;
        FxCommand c;
        c.command = tmp.path(program);
        c.type = 4;
        return StlnPrepare(e, c, 1, 85, images, db + "/", message);
    }
    std::string message;
};

TEST_F(CustomBody, TakenNamesAreSkippedAndStaleOutputsNeverCount) {
    write_text(images + "ex_01.2.tga", "taken");
    write_text(images + "im_01.3.tga", "taken");
    for (const char *n : {"1", "2", "3"})
        write_text(images + "pic." + n + ".tga", "stale");
    StlnJob *job = Prepare(images + "pic", true, "none");
    ASSERT_TRUE(job) << message;
    EXPECT_EQ(job->in_base, images + "ex_02");
    EXPECT_TRUE(exists(images + "ex_02.1.tga")); // reserved
    StlnEffectProcess(job);
    EXPECT_EQ(job->status->load(), FX_NO_RESULT);
    Free_Fake(job, false);
    StlnFreeJob(job);
    EXPECT_EQ(temporaries(images), "ex_01.2.tga im_01.3.tga ");

    job = Prepare(db + "/SVJ/r", false, "none");
    ASSERT_TRUE(job) << message;
    EXPECT_EQ(job->in_base, images + "ex_02");
    EXPECT_EQ(job->out_base, images + "im_02");
    EXPECT_EQ(job->reel, db + "/SVJ/r.svj");
    Free_Fake(job, false);
    StlnFreeJob(job);
    EXPECT_EQ(temporaries(images), "ex_01.2.tga im_01.3.tga ");

    // A program that cannot be found reserves nothing.
    EXPECT_FALSE(Prepare(db + "/SVJ/r", false, "not-there"));
    EXPECT_EQ(message, "Cannot find program:\n'" + tmp.path("not-there") + "'");
    EXPECT_EQ(temporaries(images), "ex_01.2.tga im_01.3.tga ");
}

TEST_F(CustomBody, StoppedJobEndsAtOnceAndLeavesNothing) {
    StlnJob *job = Prepare(db + "/SVJ/r", false, "slow");
    ASSERT_TRUE(job) << message;
    const int id = JobStart(StlnEffectProcess, job);
    ASSERT_GT(id, 0);
    // Stopped while the program of the first frame runs, its result written.
    for (int i = 0; i < 3000 && !exists(record); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(JobStop(id), 0);
    JobJoinAll();
    // Long before the 30 s its program sleeps, even on a busy machine.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(15));
    EXPECT_EQ(job->progress->load(), 0);
    EXPECT_EQ(temporaries(images), "im_01.1.tga ");
    Free_Fake(job, false);
    EXPECT_EQ(temporaries(images), "");
    StlnFreeJob(job);
}

TEST(FxCli, ListsEffectsAndPrintsTheCommandLine) {
    temp_dir tmp;
    const std::string fx = tmp.path("OrvaFX"), tool = reel_test::svjtool_path() + " fx " + q(fx);
    write_text(fx, "blur : convert IN -blur radius OUT ;\nx : p OUT ;\nbad : p -a IN -b ;\n"
                   "rb : /usr/bin/blur -r radius IN OUT ;\n_END\nignored");
    auto r = run("{ " + tool + " 2>/dev/null; }");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "blur\t3\tconvert\t-blur radius \n"
                     "bad\t0\tp\t\n"
                     "rb\t11\t/usr/bin/blur\t-r radius \n");
    EXPECT_EQ(run("{ " + tool + " >/dev/null; }").out,
              "Syntax error: 'IN' not found in 'x' description\n"
              "bad: Syntax error: last item must be 'IN' or 'OUT'\n");
    r = run("{ " + tool + " rb '-r 5' 'in file' \"it's\" 2>/dev/null; }");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "/usr/bin/blur -r '5' 'in file' 'it'\\''s'\n");
    EXPECT_EQ(run(tool + " rb '-q 5' a b").status, 1);
    EXPECT_EQ(run(reel_test::svjtool_path() + " fx " + q(tmp.path("none"))).status, 1);
}

} // namespace
