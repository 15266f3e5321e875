// bench_vtrpanel: the play-reel copy and the VTR panel's transport.
//
//   bench_vtrpanel
//
// Prints (1) the throughput of BuildPlayReel turning the demo database's
// longest reel around (every frame, backwards) beside `cp` of the same
// reel, best of three each, with the ratio; and (2) the time from a
// transport button's action (pause / forward, alternating) to its command
// standing in the simulated board's log, over 40 presses: median and worst.
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "device/sv.h"
#include "editing/clip_records.h"
#include "editing/play_reel.h"
#include "media/fm_main.h"
#include "media/video_globals.h"
#include "vtr/vtr_panel.h"

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

long long file_size(const std::string &p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0 ? (long long)st.st_size : -1;
}

int log_lines(const std::string &p) {
    std::ifstream in(p);
    std::string l;
    int n = 0;
    while (std::getline(in, l))
        ++n;
    return n;
}

void play_reel_bench(const std::string &demo) {
    const std::string src = demo + "/SVJ/bouncing_ball.svj";
    FisicData clip;
    clip.path = const_cast<char *>(src.c_str());
    fm_fileformat *f = fm_fileformat_allocate("svj");
    int frames = 0;
    if (f && fm_rheader(f, src.c_str()) == 0) {
        frames = f->frames;
        fm_close(f);
    }
    if (f) fm_fileformat_free(f);
    if (frames <= 0) {
        fprintf(stderr, "cannot read %s\n", src.c_str());
        return;
    }
    PlayJob job;
    job.clip = &clip;
    job.start = frames - 1;
    job.end = 0;
    job.output = demo + "/SVJ/bench_play.svj";
    const std::string copy = demo + "/SVJ/bench_copy.svj";
    double best_build = 1e9, best_cp = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto t = Clock::now();
        if (!BuildPlayReel(&job, 1, 1)) {
            fprintf(stderr, "BuildPlayReel failed\n");
            return;
        }
        best_build = std::min(best_build, since(t));
        t = Clock::now();
        if (system(("cp '" + src + "' '" + copy + "'").c_str()) != 0) return;
        best_cp = std::min(best_cp, since(t));
    }
    const double mb = double(file_size(src)) / 1e6;
    printf("play reel: %d frames, %.1f MB: BuildPlayReel %.1f MB/s (%.3f s), cp %.1f MB/s "
           "(%.3f s), ratio %.2f\n",
           frames, mb, mb / best_build, best_build, mb / best_cp, best_cp, best_cp / best_build);
    clip.path = nullptr;
}

void transport_bench(const BenchDir &dir) {
    const std::string sock = dir.path + "/sock", log = dir.path + "/log";
    mkdir((dir.path + "/tape").c_str(), 0755);
    int out[2];
    if (pipe(out) != 0) return;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        execl((std::string(ORVA_BIN_DIR) + "/boardsim/boardsim").c_str(), "boardsim", sock.c_str(),
              (dir.path + "/tape").c_str(), "--log", log.c_str(), (char *)nullptr);
        _exit(127);
    }
    close(out[1]);
    char buf[32];
    const bool ready = read(out[0], buf, sizeof buf) > 0;
    close(out[0]);
    const std::string setup = "SCSI,dev=" + sock;
    sv_handle *sv = ready ? sv_open(setup.c_str()) : nullptr;
    if (sv) {
        vtr_board = sv;
        std::vector<double> ms;
        for (int i = 0; i < 40; ++i) {
            const int before = log_lines(log);
            const auto t = Clock::now();
            const int sent = (i % 2) ? VtrForward() : VtrPause();
            // The command stands in the board's log once the board has taken it.
            while (sent && log_lines(log) <= before && since(t) < 2) {
            }
            if (!sent) fprintf(stderr, "press %d not sent\n", i);
            ms.push_back(since(t) * 1000);
        }
        std::sort(ms.begin(), ms.end());
        printf("transport button to board: median %.2f ms, worst %.2f ms over %zu presses\n",
               ms[ms.size() / 2], ms.back(), ms.size());
        vtr_board = nullptr;
        sv_close(sv);
    } else {
        fprintf(stderr, "boardsim did not start\n");
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

} // namespace

int main() {
    SetVideoMode(0);
    fm_initialize(nullptr);
    BenchDir dir("bench_vtrpanel");
    if (dir.path.empty()) return 1;
    const std::string demo = MakeDemo(dir);
    if (demo.empty()) return 1;
    play_reel_bench(demo);
    transport_bench(dir);
    return 0;
}
