// Device-file layer of SVJ reels (svj_*), with an in-memory board.
#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>

#include "media/svj.h"
#include "reel_fixtures.h"

using namespace reel_test;

namespace {

constexpr uint32_t BLOCK = 64512;

// The board side: keeps what is sent, serves a recording block by block.
struct memory_board : svj_device {
    bytes sent, recording;
    size_t served = 0;
    int host2isp(const unsigned char *data, uint32_t len) override {
        sent.insert(sent.end(), data, data + len);
        return 0;
    }
    int isp2host(unsigned char *block, uint32_t len) override {
        if (served >= recording.size()) return -1;
        for (uint32_t k = 0; k < len; k++)
            block[k] = served + k < recording.size() ? recording[served + k] : 0xFF;
        served += len;
        return 0;
    }
};

// The blocks a board sends for a recording: FF fill to the block size, and
// a further all-FF block when the last four bytes are not FF yet.
bytes board_stream(bytes r) {
    r.resize((r.size() + BLOCK - 1) / BLOCK * BLOCK, 0xFF);
    if (get32(r, r.size() - 4) != 0xFFFFFFFFu) r.resize(r.size() + BLOCK, 0xFF);
    return r;
}

// A recording of the given length ending in a DVS100 tail with P and lost AC.
bytes synthetic_recording(size_t length, uint32_t table, uint32_t lost) {
    bytes r(length - 68, 0x00), tail = make_tail({720, 576, 0, table, 100, lost}, "DVS100");
    r[0] = 0xFF, r[1] = 0xD8;
    r.insert(r.end(), tail.begin(), tail.end());
    return r;
}

class Svj : public ::testing::Test {
  protected:
    void make_reel(int frames) {
        jpegs = make_fields(frames, 720, 288);
        ASSERT_EQ(store_reel(name, jpegs, 720, 576), "");
        ref = ref_build(jpegs, 720, 576, false);
    }
    // Receives a board stream into a new file at path; svj_isp2host's result.
    int receive(const bytes &stream, const std::string &path) {
        memory_board board;
        board.recording = stream;
        svj_handle *h = svj_create(path.c_str());
        int result = h ? svj_isp2host(&board, h, 1) : -100;
        svj_close(h);
        return result;
    }
    temp_dir tmp;
    std::string name = tmp.path("reel.svj");
    std::vector<bytes> jpegs;
    ref_reel ref;
};

} // namespace

TEST_F(Svj, InfoAndSizeEqualBytesSent) {
    make_reel(4); // several blocks
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(svj_info(h, 1) * 10000 + svj_info(h, 6), 40720u);
    EXPECT_EQ(svj_info(h, 2), uint32_t(uint64_t(720) * 2 * 576 * 4 / ref.file.size()));
    EXPECT_EQ(h->tail.table, ref.table);
    // Header, the frames' fields with comment blocks, the closing comment
    // block and the table block's marker.
    for (auto r : {std::pair<int, int>{0, -1}, {1, 2}, {3, 1}}) {
        const int first = r.first, n = r.second < 0 ? 4 : r.second;
        memory_board b;
        ASSERT_EQ(svj_host2isp(&b, h, first, r.second), 0);
        EXPECT_EQ(b.sent.size(), size_t(svj_size(h, first, r.second)));
        bytes want(ref.file.begin(), ref.file.begin() + long(ref.header.size()));
        size_t last = size_t(2 * (first + n) - 1);
        want.insert(want.end(), ref.file.begin() + ref.offsets[size_t(2 * first)],
                    ref.file.begin() + ref.offsets[last] + long(ref.fields[last].size()));
        want.insert(want.end(), ref.file.begin() + ref.end, ref.file.begin() + ref.end + 260);
        EXPECT_TRUE(b.sent == want) << first;
    }
    testing::internal::CaptureStderr();
    for (auto r : {std::pair<int, int>{4, 1}, {0, 5}, {-1, 1}}) {
        memory_board b;
        EXPECT_EQ(svj_size(h, r.first, r.second), -1) << r.first << " " << r.second;
        EXPECT_EQ(svj_host2isp(&b, h, r.first, r.second), 18) << r.first << " " << r.second;
    }
    EXPECT_EQ(svj_close(h), 0);

    // A field size beyond the file: the whole range is refused, the first
    // frame still sent; a zero size does not divide by zero in the dump.
    put32(ref.file, ref.table + 60, 0x7FFFFFF0); // the last field
    put32(ref.file, ref.table + 4, 0);
    write_file(name, ref.file);
    h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    memory_board board;
    EXPECT_EQ(svj_host2isp(&board, h, 0, -1), 12);
    EXPECT_GT(svj_size(h, 0, 1), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(board.sent.empty());
    std::string dump = tmp.path("sizes.txt");
    EXPECT_EQ(svj_dumpsize(h, dump.c_str()), 0);
    bytes text = read_file(dump);
    EXPECT_EQ(std::string(text.begin(), text.begin() + 12), "0 0.0\n0 0.00");
    svj_close(h);
}

TEST_F(Svj, RecordingReproducesTheReel) {
    make_reel(3);
    std::string rec = tmp.path("rec.svj");
    write_file(rec, bytes(4 * BLOCK, 0x55)); // a longer file is overwritten
    ASSERT_EQ(receive(board_stream(ref.file), rec), 0);
    EXPECT_TRUE(read_file(rec) == ref.file);
    // Tails ending at every interesting place of the last block.
    for (size_t length : {200u, BLOCK + 4, BLOCK + 63, BLOCK + 64, BLOCK + 65, BLOCK + 66,
                          2 * BLOCK - 2, 2 * BLOCK, 3 * BLOCK + 32}) {
        bytes r = synthetic_recording(length, uint32_t(length - 84), 0);
        EXPECT_EQ(receive(board_stream(r), rec), 0) << length;
        EXPECT_TRUE(read_file(rec) == r) << length;
    }
    struct {
        bytes recording;
        int result;
        const char *message;
    } failures[] = {
        {synthetic_recording(1000, 2000, 0), 9,
         "svj_isp2host: Data lost during compression 2000 1000\n"},
        {synthetic_recording(1000, 800, 7), 31,
         "svj_isp2host: AC components lost during compression 7\n"},
        {bytes{0xFF, 0x00, 0x00}, 9, "svj_isp2host: Not SCSIVideo JPEG file\n"},
    };
    for (auto &c : failures) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(receive(c.recording, tmp.path(std::to_string(c.result))), c.result);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    }
}

// Files too short for a tail: below 64 bytes the tail cannot be read, from
// 64 bytes on the file is no reel; 68 bytes of a "DVS1" tail describe an
// empty reel.
TEST_F(Svj, ShortFilesAndTheirMessages) {
    const bytes tail = make_tail({0, 0, 0, 0, 0}, "DVS1");
    struct {
        bytes file;
        const char *message; // null: opens
    } cases[] = {
        {bytes(10, 0x41), "svj_open: Error reading header in %s : Invalid argument\n"},
        {bytes(64, 0x41), "svj_open: Not svj file %s\n"},
        {bytes(tail.begin() + 1, tail.end()), "svj_open: Not svj file %s\n"},
        {tail, nullptr},
    };
    for (const auto &c : cases) {
        write_file(name, c.file);
        testing::internal::CaptureStderr();
        svj_handle *h = svj_open(name.c_str());
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(h != nullptr, c.message == nullptr) << c.file.size();
        if (h) {
            EXPECT_EQ(svj_info(h, 8), 0u);
        }
        char want[256] = "";
        if (c.message) std::snprintf(want, sizeof want, c.message, name.c_str());
        EXPECT_EQ(err, want) << c.file.size();
        svj_close(h);
    }
}
