// The worktool command-line tool: its output, exit statuses and messages,
// and a copy killed while it writes, which must leave the old file or the
// whole new one.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "editing/work_file.h"
#include "tests/media/reel_fixtures.h"

using namespace reel_test;

namespace {

std::string tool() {
    return tool_path("worktool");
}

run_result run(const std::string &args) {
    return run_tool("worktool", args);
}

std::string q(const std::string &path) {
    return " '" + path + "'";
}

WorkWindow one_window(const char *title, int master, int map_len) {
    WorkWindow w;
    w.width = 180;
    w.height = 144;
    w.master = master;
    w.slot = 2;
    w.title = title;
    WorkSegment s;
    s.last = map_len > 0 ? map_len - 1 : 9;
    s.map.assign(size_t(map_len), 0);
    for (int k = 0; k < map_len; k++)
        s.map[size_t(k)] = k / 2;
    s.name = "a.svj";
    memcpy(s.time, "Mon Dec  7 08:00:00 2026\n", 25);
    s.size = 77;
    w.segments.push_back(s);
    WorkSegment p;
    p.first = 3;
    p.last = 0;
    p.kind = WORK_PICTURES;
    p.pic = {1, 40, 1, 2, 1, 12};
    p.name = "/abs/shot";
    p.offset = s.last + 1;
    w.segments.push_back(p);
    w.total = s.last + 5;
    w.out = w.total - 1;
    return w;
}

} // namespace

TEST(WorkTool, Arguments) {
    const std::pair<std::string, int> cases[] = {
        {"", 2},       {"-h", 0},       {"--help", 0}, {"info", 2},
        {"copy a", 2}, {"info a b", 2}, {"frob x", 2},
    };
    for (auto &[args, status] : cases) {
        run_result r = run(args);
        EXPECT_EQ(r.status, status) << args;
        EXPECT_NE((status ? r.err : r.out).find("usage: worktool"), std::string::npos) << args;
    }
}

TEST(WorkTool, InfoAndTheLoadersMessages) {
    temp_dir tmp;
    WorkFile f;
    f.windows.push_back(one_window("JN(a b)", 1, 4));
    const std::string good = tmp.path("good.wrk");
    ASSERT_EQ(WriteWorkFile(good.c_str(), f), 1);
    run_result r = run("info" + q(good));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "version 2\nwindows 1\n"
                     "window 1: \"JN(a b)\" master slot 2 size 180x144 in 0 out 7 total 8 start 0 "
                     "segments 2\n"
                     "  segment 1: frames 0..3 at 0, map 4 period 1, reel \"a.svj\" time "
                     "\"Mon Dec  7 08:00:00 2026\" size 77\n"
                     "  segment 2: frames 3..0 at 4, plain, pictures \"/abs/shot\" numbers 1..40 "
                     "step 1 ext 2 style 1 tag 12\n");
    EXPECT_EQ(r.err, "");

    bytes b = WorkFileBytes(f);
    const std::pair<std::string, std::string> bad[] = {
        {"missing.wrk", "Unable to open file"},
        {"version.wrk", "Unknown work file version"},
        {"many.wrk", "Error reading file"},
    };
    memcpy(&b[16], "0009", 4);
    write_file(tmp.path("version.wrk"), b);
    b = WorkFileBytes(f);
    put32(b, 21, 1001);
    write_file(tmp.path("many.wrk"), b);
    for (auto &[name, message] : bad) {
        r = run("info" + q(tmp.path(name)));
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.err, message + "\n") << name;
    }
    // A damaged second window: the first is listed, then the message.
    f.windows.push_back(one_window("two", 0, 0));
    b = WorkFileBytes(f);
    b.resize(b.size() - 3);
    write_file(tmp.path("cut.wrk"), b);
    r = run("info" + q(tmp.path("cut.wrk")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error reading file\n");
    EXPECT_NE(r.out.find("windows 1\nwindow 1: \"JN(a b)\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("dropped 1\n"), std::string::npos) << r.out;
}

TEST(WorkTool, CopyWritesVersionTwo) {
    temp_dir tmp;
    // A version 1 file: a plain segment relabelled, whose words 3 and 4 (map
    // length 0, period 1) read as skip 0, repeat 1: a still.
    WorkFile plain;
    plain.windows.push_back(one_window("t", 0, 0));
    plain.windows[0].segments.resize(1);
    bytes old = WorkFileBytes(plain);
    memcpy(&old[16], "0001", 4);
    write_file(tmp.path("v1.wrk"), old);
    const std::string out = tmp.path("v2.wrk");
    run_result r = run("copy" + q(tmp.path("v1.wrk")) + q(out));
    ASSERT_EQ(r.status, 0) << r.err;
    WorkFile f;
    ASSERT_EQ(ReadWorkFile(out.c_str(), &f), WORK_OK);
    EXPECT_EQ(f.version, 2);
    ASSERT_EQ(f.windows.size(), 1u);
    EXPECT_EQ(f.windows[0].segments.at(0).map, std::vector<int>{0});
    EXPECT_EQ(f.windows[0].total, 10);

    // Failures: the loader's message for the input, the save message for
    // the output; OUT is left as it was.
    write_file(out, bytes{'k', 'e', 'e', 'p'});
    r = run("copy" + q(tmp.path("none.wrk")) + q(out));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unable to open file\n");
    for (const std::string &target : {tmp.path("no/dir.wrk"), tmp.dir()}) {
        r = run("copy" + q(tmp.path("v1.wrk")) + q(target));
        EXPECT_EQ(r.status, 1) << target;
        EXPECT_EQ(r.err, "Error in saving work\n") << target;
    }
    EXPECT_EQ(read_file(out), (bytes{'k', 'e', 'e', 'p'}));
    // A file size limit fails the write, not the process.
    r = run_command("ulimit -f 8; " + tool() + " copy" + q(tmp.path("v1.wrk")) + q(out) +
                    " 2>/dev/null; echo $?");
    EXPECT_EQ(r.out, "0\n"); // the small copy fits
    WorkFile big;
    for (int i = 0; i < 10; i++)
        big.windows.push_back(one_window("w", 0, 2000));
    ASSERT_EQ(WriteWorkFile(tmp.path("big.wrk").c_str(), big), 1);
    write_file(out, bytes{'k', 'e', 'e', 'p'});
    r = run_command("ulimit -f 8; " + tool() + " copy" + q(tmp.path("big.wrk")) + q(out) +
                    "; echo $?");
    EXPECT_EQ(r.out, "1\n");
    EXPECT_EQ(r.err, "Error in saving work\n");
    EXPECT_EQ(read_file(out), (bytes{'k', 'e', 'e', 'p'}));
}

// A copy killed at any moment leaves the target as the old file, byte for
// byte, or as the complete new one.
// A copy of a 1000-window work (about 8 MB) killed 40 times, at once,
// within 10 ms or later, up to past the end of an uninterrupted copy: the
// target is always the old file byte for byte or the complete new one.
TEST(WorkTool, CopyKilledWhileWriting) {
    temp_dir tmp;
    WorkFile big;
    for (int i = 0; i < 1000; i++)
        big.windows.push_back(one_window("w", i % 2, 2000));
    const std::string in = tmp.path("in.wrk"), out = tmp.path("out.wrk");
    ASSERT_EQ(WriteWorkFile(in.c_str(), big), 1);
    const bytes fresh = read_file(in);
    const bytes old = WorkFileBytes(WorkFile{});
    const std::string exe = tool();
    char *argv[] = {const_cast<char *>(exe.c_str()), const_cast<char *>("copy"),
                    const_cast<char *>(in.c_str()), const_cast<char *>(out.c_str()), nullptr};
    // One uninterrupted copy sets the range of the later kills: on a busy
    // machine it takes far longer than on an idle one.
    write_file(out, old);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t full_pid = -1;
    ASSERT_EQ(posix_spawn(&full_pid, exe.c_str(), nullptr, nullptr, argv, environ), 0);
    int full_status = 0;
    ASSERT_EQ(waitpid(full_pid, &full_status, 0), full_pid);
    const long full_us = long(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    ASSERT_EQ(read_file(out), fresh);
    const long step_us = std::max(9500L, full_us / 10);
    int saw_old = 0, saw_new = 0, lost = 0;
    for (int k = 0; k < 40; k++) {
        // 0 to 10 ms in steps of 0.5 ms, then on to 200 ms or to about
        // twice the uninterrupted copy, whichever is longer.
        const long delay_us = k < 20 ? k * 500L : 10000L + (k - 20) * step_us;
        write_file(out, old);
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ), 0);
        usleep(useconds_t(delay_us));
        kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        const bytes now = read_file(out);
        if (now == old) {
            saw_old++;
        } else if (now == fresh) {
            saw_new++;
        } else {
            lost++;
            ADD_FAILURE() << "killed after " << delay_us << " us: a target of " << now.size()
                          << " bytes is neither the old file nor the new one";
        }
    }
    printf("worktool copy (%ld us) killed 40 times: old %d, new %d, lost %d\n", full_us, saw_old,
           saw_new, lost);
    EXPECT_GT(saw_old, 0);
    EXPECT_GT(saw_new, 0);
}
