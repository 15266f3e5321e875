// boardsim as a child process in a private directory, for the tests that
// drive the simulated board.
#pragma once

#include "media/svj.h"
#include "tests/media/reel_fixtures.h"

#include <csignal>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace board_test {

using reel_test::temp_dir;

inline const std::string kBin = ORVA_BIN_DIR;

inline bool exists(const std::string &p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0;
}

// How often `what` occurs in text.
inline size_t count_of(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The frame count of a reel, -1 when it is no reel.
inline int frames_of(const std::string &reel) {
    svj_handle *h = svj_open(reel.c_str());
    if (!h) return -1;
    const int n = int(svj_info(h, 8));
    svj_close(h);
    return n;
}

// boardsim as a child process, ready when it returns.
class Sim {
  public:
    Sim(const temp_dir &dir, std::vector<std::string> extra) : dir_(dir) {
        mkdir(dir.path("tape").c_str(), 0755);
        std::vector<std::string> args = {kBin + "/boardsim/boardsim",
                                         dir.path("sock"),
                                         dir.path("tape"),
                                         "--speed",
                                         "0",
                                         "--log",
                                         dir.path("log")};
        args.insert(args.end(), extra.begin(), extra.end());
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            std::vector<char *> argv;
            for (auto &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        char buf[64] = {};
        const ssize_t n = read(out[0], buf, sizeof buf - 1);
        ready_ = n > 0 && std::string(buf, size_t(n)) == "boardsim: ready\n";
        close(out[0]);
    }
    ~Sim() { stop(); }
    int stop() {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }
    bool ready() const { return ready_; }
    std::string tool(const std::string &args) const {
        return "SCSIVIDEO_CMD=SCSI,dev=" + dir_.path("sock") + ",timeout=1 " + kBin +
               "/tools/boardtool " + args;
    }
    std::string log() const {
        std::ifstream in(dir_.path("log"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // How many times the log holds `what`.
    size_t count(const std::string &what) const { return count_of(log(), what); }
    // The VTR lines of the log ("VTR play 01:00:00:00"), from line `from` on.
    std::vector<std::string> vtr(size_t from = 0) const {
        std::ifstream in(dir_.path("log"));
        std::vector<std::string> out;
        std::string line;
        for (size_t i = 0; std::getline(in, line); ++i)
            if (i >= from && line.rfind("VTR ", 0) == 0) out.push_back(line);
        return out;
    }
    // How many lines the log holds.
    size_t lines() const {
        std::ifstream in(dir_.path("log"));
        size_t n = 0;
        std::string line;
        while (std::getline(in, line))
            ++n;
        return n;
    }

  private:
    const temp_dir &dir_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

} // namespace board_test
