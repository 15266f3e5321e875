// boardsim: the video board as a separate program, for running the desktop
// and the tools without the hardware.
//
// It listens on a Unix-domain SOCK_SEQPACKET socket and answers the board
// library's records one at a time: command batches (parameter groups,
// actions, the VTR), and data-channel read requests, which the recorder
// answers with the reel byte stream of a grab. The VTR plays a tape kept in a
// directory: TAPEDIR/edits lists what was laid onto it ("hh:mm:ss:ff COUNT
// FILE" per edit, later lines covering earlier ones); every other position
// shows a generated picture whose strip carries its timecode.
//
// This file holds the command line and the connection loop; the board
// itself is declared in board.h.
#include "boardsim/board.h"
#include "boardsim/picture.h"
#include "device/sv_protocol.h"
#include "media/fm_format_svj.h"
#include "media/svj.h"
#include "media/video_globals.h"
#include "platform/byteorder.h"
#include "platform/fileio.h"
#include "platform/tool_args.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace boardsim;

namespace {

volatile sig_atomic_t g_quit = 0;
void on_term(int) {
    g_quit = 1;
}

const char usage_text[] = "usage: boardsim SOCKET TAPEDIR [--standard pal|ntsc] [--speed X] "
                          "[--preroll S] [--buffer MB] [--version N] [--no-memory] [--no-genlock] "
                          "[--log FILE] [--fault KIND[@N]]...\n"
                          "       boardsim --help | --version\n";

int usage() {
    fputs(usage_text, stderr);
    return 2;
}

bool parse_fault(const std::string &spec, Fault *f) {
    std::string s = spec;
    const size_t at = s.find('@');
    if (at != std::string::npos) {
        f->at = atol(s.c_str() + at + 1);
        if (f->at < 1) return false;
        s = s.substr(0, at);
    }
    const size_t eq = s.find('=');
    if (eq != std::string::npos) {
        f->arg = atol(s.c_str() + eq + 1);
        s = s.substr(0, eq);
    }
    static const char *kinds[] = {
        "bad-reply",       "short-reply", "slow",      "stall",     "disconnect", "short-data",
        "disconnect-data", "vtr-error",   "no-signal", "data-lost", "ac-lost"};
    f->kind = s;
    return std::find_if(std::begin(kinds), std::end(kinds),
                        [&s](const char *k) { return s == k; }) != std::end(kinds);
}

} // namespace

int main(int argc, char **argv) {
    // Alone, --version prints the program's version; followed by a number
    // it sets the version number the simulated board reports.
    if (AnswerHelpOrVersion(argc, argv, "boardsim", usage_text)) return 0;
    Options o;
    std::vector<std::string> pos;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        const char *v = nullptr;
        if (a == "--standard") {
            if (!(v = next())) return usage();
            o.ntsc = strcmp(v, "ntsc") == 0;
            if (!o.ntsc && strcmp(v, "pal") != 0) return usage();
        } else if (a == "--speed") {
            if (!(v = next())) return usage();
            o.speed = atof(v);
            if (o.speed < 0 || o.speed > 1000) return usage();
        } else if (a == "--preroll") {
            if (!(v = next())) return usage();
            o.preroll = atoi(v);
            if (o.preroll < 0 || o.preroll > 60) return usage();
        } else if (a == "--buffer") {
            if (!(v = next())) return usage();
            o.buffer_mb = atol(v);
            if (o.buffer_mb < 1 || o.buffer_mb > 4096) return usage();
        } else if (a == "--version") {
            if (!(v = next())) return usage();
            o.version = atoi(v);
        } else if (a == "--no-memory") {
            o.memory = false;
        } else if (a == "--no-genlock") {
            o.genlock = false;
        } else if (a == "--log") {
            if (!(v = next())) return usage();
            o.log = v;
        } else if (a == "--fault") {
            Fault f;
            if (!(v = next()) || !parse_fault(v, &f)) return usage();
            o.faults.push_back(f);
        } else if (!a.empty() && a[0] == '-') {
            return usage();
        } else {
            pos.push_back(a);
        }
    }
    if (pos.size() != 2) return usage();
    o.socket = pos[0];
    o.tapedir = pos[1];
    struct stat st {};
    if (stat(o.tapedir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        fprintf(stderr, "boardsim: %s is not a directory\n", o.tapedir.c_str());
        return 1;
    }

    signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = on_term;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    const int lfd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (o.socket.size() >= sizeof addr.sun_path) {
        fprintf(stderr, "boardsim: socket path too long\n");
        return 1;
    }
    strcpy(addr.sun_path, o.socket.c_str());
    unlink(o.socket.c_str());
    if (bind(lfd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(lfd, 8) != 0) {
        perror("boardsim: socket");
        return 1;
    }
    Board board(o);
    printf("boardsim: ready\n");
    fflush(stdout);

    std::vector<int> conns;
    std::vector<uint8_t> rec(SV_CHUNK_BYTES + 16);
    while (!g_quit) {
        std::vector<pollfd> p;
        p.push_back({lfd, POLLIN, 0});
        for (int c : conns)
            p.push_back({c, POLLIN, 0});
        if (poll(p.data(), p.size(), 200) <= 0) continue;
        if (p[0].revents & POLLIN) {
            const int c = accept4(lfd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                conns.push_back(c);
                board.log().line("CONNECT");
                // Who connected: the peer's process, user and group.
                ucred cred{};
                socklen_t len = sizeof cred;
                if (getsockopt(c, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0)
                    board.log().line("PEER pid %d uid %u gid %u connections %zu", int(cred.pid),
                                     unsigned(cred.uid), unsigned(cred.gid), conns.size());
            }
        }
        for (size_t i = 1; i < p.size(); ++i) {
            if (!p[i].revents) continue;
            const int c = p[i].fd;
            const ssize_t n = (p[i].revents & POLLIN) ? recv(c, rec.data(), rec.size(), 0) : 0;
            bool close_after = n <= 0;
            if (n == SV_READ_REQUEST_BYTES && be32(rec.data()) == SV_READ_REQUEST) {
                const auto out = board.read_request(be32(rec.data() + 4), &close_after);
                if (!close_after) send(c, out.data(), out.size(), MSG_NOSIGNAL);
            } else if (n == SV_BATCH_BYTES) {
                const auto out = board.batch(rec.data(), &close_after);
                if (!close_after && !out.empty()) send(c, out.data(), out.size(), MSG_NOSIGNAL);
            } else if (n > SV_BATCH_BYTES) {
                board.data(rec.data(), size_t(n));
            }
            if (close_after) {
                board.log().line("CLOSE");
                close(c);
                conns.erase(std::find(conns.begin(), conns.end(), c));
            }
        }
    }
    for (int c : conns) {
        board.log().line("CLOSE");
        close(c);
    }
    close(lfd);
    unlink(o.socket.c_str());
    return 0;
}
