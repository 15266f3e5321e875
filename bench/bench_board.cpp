// bench_board: speed of the board library against the simulated board.
//
//   bench_board [--paced SECONDS]
//
// Starts boardsim (unpaced, --speed 0) in a private directory and prints:
// command batches per second over the socket, data MB/s from host to board,
// grabbed frames per second (unpaced, without and with the VTR steps), and
// for each fault the time the failing call takes to return (timeout 1 s).
// With --paced, also a paced grab (--speed 1, 25 frames per second) of that
// many seconds while the program's log converter builds clip logs on a
// second thread (copies of a 100-frame reel, one after another, for as long
// as the grab lasts), and whether any frame was lost.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <atomic>
#include <unistd.h>
#include <vector>

#include "bench/bench_util.h"
#include "desktop/clip_model.h"
#include "desktop/log_writer.h"
#include "device/sv.h"
#include "media/svj.h"

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

class Sim {
  public:
    Sim(const std::string &dir, std::vector<std::string> extra) {
        sock_ = dir + "/sock";
        mkdir((dir + "/tape").c_str(), 0755);
        std::vector<std::string> args = {std::string(ORVA_BIN_DIR) + "/boardsim/boardsim", sock_,
                                         dir + "/tape"};
        args.insert(args.end(), extra.begin(), extra.end());
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            std::vector<char *> argv;
            for (auto &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        char buf[32];
        ready_ = read(out[0], buf, sizeof buf) > 0;
        close(out[0]);
    }
    ~Sim() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    sv_handle *open() const {
        if (!ready_) return nullptr;
        return sv_open(("SCSI,dev=" + sock_ + ",timeout=1").c_str());
    }

  private:
    std::string sock_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

void batches(const std::string &dir) {
    Sim sim(dir, {"--speed", "0"});
    sv_handle *sv = sim.open();
    if (!sv) return;
    long n = 0;
    const auto t = Clock::now();
    while (since(t) < 2.0) {
        sv_live(sv);
        ++n;
    }
    printf("batches over the socket: %.0f per second\n", n / since(t));
    std::vector<unsigned char> data(64 << 20, 0x5a);
    const auto t2 = Clock::now();
    const int rc = isp_host2isp(sv, data.data(), uint32_t(data.size()));
    sv_live(sv); // the board has taken every record
    printf("data host to board: %.0f MB/s (%s)\n", 64 / since(t2), rc ? "failed" : "ok");
    sv_close(sv);
}

void grabs(const std::string &dir) {
    Sim sim(dir, {"--speed", "0"});
    sv_handle *sv = sim.open();
    if (!sv) return;
    const std::string reel = dir + "/g.svj";
    const int frames = 250;
    auto t = Clock::now();
    int rc = sv_jpeg_record_file(sv, reel.c_str(), 0, frames, 0);
    printf("unpaced grab, no VTR: %d frames, %.1f frames/s (rc %d)\n", frames, frames / since(t),
           rc);
    t = Clock::now();
    rc = sv_jpeg_record_file(sv, reel.c_str(), 0, frames, 0x00000001);
    printf("unpaced grab from 01:00:00:00 (VTR steps included): %.1f frames/s (rc %d)\n",
           frames / since(t), rc);
    sv_close(sv);
}

void faults(const std::string &dir) {
    const char *list[] = {"bad-reply",  "short-reply", "slow=500",        "stall",
                          "disconnect", "short-data",  "disconnect-data", "vtr-error=8",
                          "no-signal",  "data-lost",   "ac-lost"};
    for (const char *f : list) {
        const std::string sub = dir + "/" + f;
        mkdir(sub.c_str(), 0755);
        Sim sim(sub, {"--speed", "0", "--fault", std::string(f) + "@2"});
        sv_handle *sv = sim.open();
        if (!sv) continue;
        sv_live(sv); // batch 1
        const bool data =
            strstr(f, "data") || strstr(f, "signal") || strstr(f, "vtr") || strstr(f, "ac-");
        const auto t = Clock::now();
        int rc;
        if (data) {
            // The library's messages for the failure are not part of the figures.
            fflush(stderr);
            const int saved = dup(2), null = ::open("/dev/null", O_WRONLY);
            dup2(null, 2);
            rc = sv_jpeg_record_file(sv, (sub + "/g.svj").c_str(), 0, 5, 0x00000001);
            dup2(saved, 2);
            close(saved);
            close(null);
        } else {
            rc = sv_live(sv);
        }
        printf("fault %-16s returned %3d after %.2f s\n", f, rc, since(t));
        sv_close(sv);
    }
}

// A reel of moving, detailed pictures for the converter to work on.
bool make_reel(const std::string &path, int frames) {
    return MakeBenchReel(path, frames, [](unsigned char *rgb, int n) {
        for (int y = 0; y < 576; y++)
            for (int x = 0; x < 720; x++) {
                unsigned char *p = rgb + (size_t(y) * 720 + size_t(x)) * 3;
                p[0] = (unsigned char)((x + 3 * n) ^ y);
                p[1] = (unsigned char)(y + 2 * n);
                p[2] = (unsigned char)(((x / 16 + y / 16 + n) % 2) * 200);
            }
    });
}

// The log converter's work on its own thread: each round opens a new copy of
// the reel as a clip and builds its whole log with the converter's passes.
class ConverterLoad {
  public:
    explicit ConverterLoad(const std::string &dir) : dir_(dir) {
        StartBenchDatabase(dir);
        ok_ = make_reel(dir + "/source.svj", 100);
    }
    bool ok() const { return ok_; }
    void start() {
        thread_ = std::thread([this] {
            for (int round = 0; !stop_; ++round) {
                const std::string copy = dir_ + "/SVJ/conv" + std::to_string(round) + ".svj";
                if (link((dir_ + "/source.svj").c_str(), copy.c_str()) != 0) break;
                int status = 0;
                FisicData *f = CreaFisicData(copy.c_str(), 1, &status);
                if (!f) break;
                f->refs = 1;
                AddFirstFisic(f);
                int saw = 0;
                while (!stop_ && ConvertPass(&saw)) {
                }
                f->refs = 0; // done: later passes skip it
                if (f->complete) frames_ += f->frames;
            }
        });
    }
    long stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return frames_;
    }

  private:
    std::string dir_;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<long> frames_{0};
    std::thread thread_;
};

void paced(const std::string &dir, int seconds) {
    const std::string work = dir + "/convert";
    mkdir(work.c_str(), 0755);
    ConverterLoad load(work);
    if (!load.ok()) {
        fprintf(stderr, "bench_board: cannot make the converter's reel\n");
        return;
    }
    Sim sim(dir, {"--speed", "1"});
    sv_handle *sv = sim.open();
    if (!sv) return;
    const int frames = seconds * 25;
    const std::string reel = dir + "/p.svj";
    load.start();
    const auto t = Clock::now();
    const int rc = sv_jpeg_record_file(sv, reel.c_str(), 0, frames, 0);
    const double took = since(t);
    const long converted = load.stop();
    svj_handle *h = svj_open(reel.c_str());
    const int got = h ? int(svj_info(h, 8)) : 0;
    if (h) svj_close(h);
    printf("paced grab of %d frames at 25 fps with the log converter busy (%ld frames of logs "
           "built meanwhile, %.0f frames/s): %d frames in the reel, %d lost, %.1f s (rc %d)\n",
           frames, converted, converted / took, got, frames - got, took, rc);
    sv_close(sv);
}

} // namespace

int main(int argc, char **argv) {
    int paced_s = 0;
    if (argc == 3 && strcmp(argv[1], "--paced") == 0) paced_s = atoi(argv[2]);
    BenchDir dir("bench-board");
    if (dir.path.empty()) return 1;
    batches(dir.path);
    grabs(dir.path);
    faults(dir.path);
    if (paced_s > 0) paced(dir.path, paced_s);
    return 0;
}
