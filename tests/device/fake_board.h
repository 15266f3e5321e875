// A small stand-in for the board in the device tests: it listens on a
// SOCK_SEQPACKET socket in a private directory, answers every command batch
// through a test-supplied function, serves data-channel read requests from a
// byte stream and keeps what it received, and can misbehave once on request.
#pragma once

#include "tests/media/reel_fixtures.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace device_test {

using reel_test::bytes;

struct Command {
    uint32_t word, arg;
};

// Misbehaviours, each used for the next batch only.
enum class Fault {
    none,
    wrong_sequence,
    stale_then_right,
    no_reply,
    close,
    short_reply,
    long_reply
};

class FakeBoard {
  public:
    FakeBoard();
    ~FakeBoard();
    // Setup text that reaches this board.
    std::string setup(const std::string &extra = "") const;
    const std::string &socket_path() const { return path_; }

    // Answers one command: status (0 done) and value. Default: status 0, the
    // value of `values` for queries (keyed by the word without bit 31), else 0.
    std::function<void(const Command &, uint32_t *status, uint32_t *value)> answer;
    void set_value(uint32_t word, uint32_t value);
    void fault_next(Fault f);
    void set_version(uint32_t v) { version_ = v; }
    // Stream served to data-channel reads, record by record.
    void serve_data(const bytes &stream, int delay_ms = 0);

    std::vector<std::vector<Command>> batches() { return locked(batches_); }
    std::vector<uint32_t> sequences() { return locked(sequences_); }
    std::vector<bytes> data_records() { return locked(data_); }
    std::vector<uint32_t> read_requests() { return locked(requests_); }
    int records_seen() const { return records_; }

  private:
    // A copy of what the serving thread collects.
    template <class T> T locked(const T &v) {
        std::lock_guard<std::mutex> l(m_);
        return v;
    }
    void run();
    void serve(int fd);
    std::string dir_, path_;
    int listen_fd_ = -1;
    std::atomic<bool> quit_{false};
    std::atomic<int> records_{0};
    std::thread thread_;
    std::mutex m_;
    std::vector<std::pair<uint32_t, uint32_t>> values_;
    Fault fault_ = Fault::none;
    uint32_t version_ = 11;
    bytes stream_;
    size_t stream_at_ = 0;
    int delay_ms_ = 0;
    std::vector<std::vector<Command>> batches_;
    std::vector<uint32_t> sequences_;
    std::vector<bytes> data_;
    std::vector<uint32_t> requests_;
};

} // namespace device_test
