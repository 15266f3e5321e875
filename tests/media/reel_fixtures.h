// Test helpers for the SVJ reel layers: JPEG field fixtures made with
// libjpeg-turbo in memory, an independent reference of the reel layout,
// files in a private temporary directory, and shell runs (djpeg, tools).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/byteorder.h"

namespace reel_test {

using bytes = std::vector<unsigned char>;

// A baseline 4:2:2 (2x1, 1x1, 1x1) JPEG of a w x h picture made from seed;
// with jfif, a JFIF APP0 segment precedes the tables; progressive makes it a
// progressive JPEG instead.
bytes make_field_jpeg(int w, int h, int seed, bool jfif = false, int quality = 75,
                      bool progressive = false);
// The JPEG with its frame header (SOF0 or SOF2) claiming w x h; empty when
// it has no such header.
bytes claim_size(bytes jpeg, int w, int h);
// 2 * frames fields of w x h, seeds seed0, seed0 + 1, ...
std::vector<bytes> make_fields(int frames, int w, int h, int seed0 = 0, bool jfif = false);

// A private directory under /tmp, removed with its files at destruction.
class temp_dir {
  public:
    temp_dir();
    ~temp_dir();
    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    const std::string &dir() const { return dir_; }

  private:
    std::string dir_;
};

// Sets (or with null unsets) an environment variable for a scope.
struct ScopedEnv {
    std::string name, old;
    bool had;
    ScopedEnv(const char *n, const char *v) : name(n), had(getenv(n) != nullptr) {
        if (had) old = getenv(n);
        v ? setenv(n, v, 1) : unsetenv(n);
    }
    ~ScopedEnv() { had ? setenv(name.c_str(), old.c_str(), 1) : unsetenv(name.c_str()); }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;
};

bytes read_file(const std::string &name);
void write_file(const std::string &name, const bytes &data);
// Big-endian words in a byte vector.
inline uint32_t get32(const bytes &b, size_t at) {
    return be32(&b[at]);
}
inline void put32(bytes &b, size_t at, uint32_t v) {
    put_be32(&b[at], v);
}

// Index of the first FF DA at index >= 2, or -1.
long scan_index(const bytes &jpeg);

// The reel layout computed independently of the writers under test.
struct ref_reel {
    bytes header;
    std::vector<bytes> fields;     // stored fields, frame-major (f0 field0, f0 field1, f1 ...)
    bytes file;                    // whole reel
    std::vector<uint32_t> offsets; // offset of each stored field
    uint32_t end = 0;              // end of the last field (E)
    uint32_t table = 0;            // P
};
// from_dqt: header from the first FF DB before the scan (field-split writer).
ref_reel ref_build(const std::vector<bytes> &jpegs, uint32_t w, uint32_t hf, bool from_dqt);

// Writes the fields (pairs per frame) through the field store; "" on
// success, else a description.
std::string store_reel(const std::string &name, const std::vector<bytes> &jpegs, int w, int hf);

// The words of a reel tail, for files made of a tail alone.
struct tail_words {
    uint32_t w, hf, n, p, h, lost = 0;
};
// The 68 bytes of a tail with these words and magic.
bytes make_tail(tail_words t, const char *magic = "DVS102");
// Makes name a file of size bytes that ends in a "DVS102" tail with t's
// words. Sparse: only the tail is written, the rest is a hole; otherwise
// every byte before the tail is written (0x55).
void write_tail_file(const std::string &name, uint64_t size, tail_words t, bool sparse);

// Runs fn in a child process that is killed after `seconds` (so a call that
// would wait forever fails instead of hanging the suite). status: fn's
// result (0..255), or -1 when the child was killed or crashed; rss_growth:
// how far the child's peak resident size rose during fn, in bytes.
struct child_result {
    int status;
    long long rss_growth;
};
child_result run_in_child(const std::function<int()> &fn, unsigned seconds = 20);

// Runs djpeg on a file; true when it exits 0 without any message. The PPM
// output goes to ppm_out when given.
bool djpeg_clean(const std::string &jpeg_file, const std::string &ppm_out = "");

// Runs a command through the shell; its exit status, standard output and
// standard error.
struct run_result {
    int status;
    std::string out, err;
};
run_result run_command(const std::string &command);
// The same with standard error joined to standard output, in the order they
// were written (err stays empty).
run_result run_merged(const std::string &command);

// The built tool program `name` (tools/NAME), and a run of it with these
// arguments; svjtool's likewise.
std::string tool_path(const std::string &name);
run_result run_tool(const std::string &name, const std::string &args);
inline std::string svjtool_path() {
    return tool_path("svjtool");
}
inline run_result run_svjtool(const std::string &args) {
    return run_tool("svjtool", args);
}

// s in single quotes for the shell, any quote in it escaped.
std::string shell_quote(const std::string &s);

} // namespace reel_test
