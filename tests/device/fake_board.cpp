// The device tests' stand-in board (see fake_board.h).
#include "tests/device/fake_board.h"

#include "device/sv_protocol.h"
#include "platform/byteorder.h"

#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace device_test {

FakeBoard::FakeBoard() {
    char tmpl[] = "/tmp/orva-board-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
    dir_ = tmpl;
    path_ = dir_ + "/board";
    listen_fd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    strcpy(addr.sun_path, path_.c_str());
    if (bind(listen_fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        listen(listen_fd_, 4) != 0)
        throw std::runtime_error("bind");
    thread_ = std::thread([this] { run(); });
}

FakeBoard::~FakeBoard() {
    quit_ = true;
    thread_.join();
    close(listen_fd_);
    unlink(path_.c_str());
    rmdir(dir_.c_str());
}

std::string FakeBoard::setup(const std::string &extra) const {
    return "SCSI,dev=" + path_ + extra;
}

void FakeBoard::set_value(uint32_t word, uint32_t value) {
    std::lock_guard<std::mutex> l(m_);
    for (auto &v : values_)
        if (v.first == word) {
            v.second = value;
            return;
        }
    values_.push_back({word, value});
}

void FakeBoard::fault_next(Fault f) {
    std::lock_guard<std::mutex> l(m_);
    fault_ = f;
}

void FakeBoard::serve_data(const bytes &stream, int delay_ms) {
    std::lock_guard<std::mutex> l(m_);
    stream_ = stream;
    stream_at_ = 0;
    delay_ms_ = delay_ms;
}

void FakeBoard::run() {
    while (!quit_) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        serve(fd);
        close(fd);
    }
}

void FakeBoard::serve(int fd) {
    bytes rec(SV_CHUNK_BYTES + 16);
    while (!quit_) {
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, 50);
        if (r == 0) continue;
        if (r < 0) return;
        const ssize_t n = recv(fd, rec.data(), rec.size(), 0);
        if (n <= 0) return;
        ++records_;
        if (n == SV_READ_REQUEST_BYTES && be32(rec.data()) == SV_READ_REQUEST) {
            const uint32_t want = be32(rec.data() + 4);
            bytes out;
            int delay;
            {
                std::lock_guard<std::mutex> l(m_);
                requests_.push_back(want);
                const size_t left = stream_.size() - stream_at_;
                const size_t take = std::min<size_t>(want, left);
                out.assign(stream_.begin() + long(stream_at_),
                           stream_.begin() + long(stream_at_ + take));
                stream_at_ += take;
                delay = delay_ms_;
            }
            if (delay) usleep(useconds_t(delay) * 1000);
            if (send(fd, out.data(), out.size(), MSG_NOSIGNAL) < 0) return;
            continue;
        }
        if (n != SV_BATCH_BYTES) {
            std::lock_guard<std::mutex> l(m_);
            data_.emplace_back(rec.begin(), rec.begin() + n);
            continue;
        }
        std::vector<Command> cmds;
        const uint32_t count = be32(rec.data() + 4);
        const uint32_t seq = be32(rec.data() + 12);
        bytes reply(SV_BATCH_BYTES, 0);
        Fault f;
        {
            std::lock_guard<std::mutex> l(m_);
            f = fault_;
            fault_ = Fault::none;
        }
        for (uint32_t i = 0; i < count && i < uint32_t(SV_MAX_COMMANDS); ++i) {
            Command c{be32(rec.data() + 4 * (SV_W_FIRST_PAIR + 2 * i)),
                      be32(rec.data() + 4 * (SV_W_FIRST_PAIR + 2 * i + 1))};
            cmds.push_back(c);
            uint32_t status = 0, value = 0;
            if (answer) {
                answer(c, &status, &value);
            } else if (c.word & SV_QUERY) {
                std::lock_guard<std::mutex> l(m_);
                for (auto &v : values_)
                    if (v.first == (c.word & ~SV_QUERY)) value = v.second;
            }
            put_be32(reply.data() + 4 * (SV_W_FIRST_PAIR + 2 * i), status);
            put_be32(reply.data() + 4 * (SV_W_FIRST_PAIR + 2 * i + 1), value);
        }
        {
            std::lock_guard<std::mutex> l(m_);
            batches_.push_back(cmds);
            sequences_.push_back(seq);
        }
        put_be32(reply.data(), version_);
        put_be32(reply.data() + 4, count);
        put_be32(reply.data() + 12, seq);
        switch (f) {
        case Fault::none:
            break;
        case Fault::wrong_sequence:
            put_be32(reply.data() + 12, seq + 7);
            break;
        case Fault::stale_then_right: {
            bytes stale = reply;
            put_be32(stale.data() + 12, seq - 1);
            put_be32(stale.data() + 4 * (SV_W_FIRST_PAIR + 1), 0xdead);
            send(fd, stale.data(), stale.size(), MSG_NOSIGNAL);
            break;
        }
        case Fault::no_reply:
            continue;
        case Fault::close:
            return;
        case Fault::short_reply:
            reply.resize(100);
            break;
        case Fault::long_reply:
            reply.resize(SV_BATCH_BYTES + 4, 0);
            break;
        }
        if (send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) return;
    }
}

} // namespace device_test
