// Device-file layer of SVJ reels (svj_*), with an in-memory board.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "media/fm_error.h"
#include "media/svj.h"
#include "reel_fixtures.h"

using namespace reel_test;

namespace {

constexpr int W = 720, HF = 576;

// The board side: keeps what is sent, serves a recording in 64512-byte blocks.
class memory_board : public svj_device {
  public:
    bytes sent;
    std::vector<uint32_t> sends;
    bytes recording; // served block by block; the end is FF-filled
    size_t served = 0;
    int fail_send_at = -1; // index of the send that fails

    int host2isp(const unsigned char *data, uint32_t len) override {
        if (int(sends.size()) == fail_send_at) return -1;
        sends.push_back(len);
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

std::vector<bytes> fields(int frames, int seed0 = 0) {
    std::vector<bytes> v;
    for (int k = 0; k < 2 * frames; k++)
        v.push_back(make_field_jpeg(W, HF / 2, seed0 + k));
    return v;
}

void put(bytes &b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; k++)
        b[at + size_t(k)] = (unsigned char)(v >> (24 - 8 * k));
}

// A recording as the board sends it: the bytes of a reel, then FF fill.
bytes synthetic_recording(size_t length, uint32_t table, uint32_t lost) {
    bytes r(length, 0x00);
    r[0] = 0xFF;
    r[1] = 0xD8;
    size_t t = length - 68;
    r[t] = 0xFF, r[t + 1] = 0xE1, r[t + 2] = 0x00, r[t + 3] = 0x42;
    std::memcpy(&r[t + 4], "DVS100", 6);
    put(r, t + 20, W);
    put(r, t + 24, HF);
    put(r, t + 28, 0);
    put(r, t + 32, table);
    put(r, t + 36, 100);
    put(r, t + 40, lost);
    return r;
}

// The blocks a board sends for a recording: FF fill to the block size, and
// a further all-FF block when the last four bytes are not FF yet.
bytes board_stream(const bytes &recording) {
    bytes r = recording;
    r.resize((r.size() + 64511) / 64512 * 64512, 0xFF);
    if (r[r.size() - 1] != 0xFF || r[r.size() - 4] != 0xFF || r[r.size() - 2] != 0xFF ||
        r[r.size() - 3] != 0xFF)
        r.resize(r.size() + 64512, 0xFF);
    return r;
}

class Svj : public ::testing::Test {
  protected:
    void SetUp() override {
        sv_debug = 0;
        name = tmp.path("reel.svj");
    }
    void TearDown() override { sv_debug = 0; }
    void make_reel(int frames) {
        jpegs = fields(frames);
        ASSERT_EQ(store_reel(name, jpegs, W, HF), "");
        ref = ref_build(jpegs, W, HF, false);
        ASSERT_TRUE(read_file(name) == ref.file);
    }
    temp_dir tmp;
    std::string name;
    std::vector<bytes> jpegs;
    ref_reel ref;
};

} // namespace

TEST_F(Svj, OpenAndInfo) {
    make_reel(3);
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(h->name, name.c_str());
    EXPECT_EQ(h->file_size, ref.file.size());
    EXPECT_EQ(h->table_bytes, 48u);
    EXPECT_EQ(h->buffer_size, 129024u);
    EXPECT_EQ(std::memcmp(h->tail, "DVS102", 7), 0);
    EXPECT_EQ(h->table[1].offset1, ref.offsets[3]);
    EXPECT_EQ(h->table[2].size0, ref.fields[4].size());
    EXPECT_EQ(svj_info(h, 0), 0u);
    EXPECT_EQ(svj_info(h, 1), 3u);
    EXPECT_EQ(svj_info(h, 6), uint32_t(W));
    EXPECT_EQ(svj_info(h, 7), uint32_t(HF));
    EXPECT_EQ(svj_info(h, 8), 3u);
    EXPECT_EQ(svj_info(h, 9), 0u);
    EXPECT_EQ(svj_info(h, 2), uint32_t(uint64_t(W) * 2 * HF * 3 / ref.file.size()));
    EXPECT_EQ(svj_header_size(h), ref.header.size());
    EXPECT_EQ(svj_table_offset(h), ref.table);
    testing::internal::CaptureStderr();
    EXPECT_EQ(svj_info(h, 3), 0u);
    EXPECT_EQ(svj_info(h, 0), 0u);
    EXPECT_EQ(svj_info(h, 10), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "svj_info(): Illegal code 3\nsvj_info(): Illegal code 10\n");
    EXPECT_EQ(svj_close(h), 0);
    EXPECT_EQ(svj_close(nullptr), -1);
}

TEST_F(Svj, OpenFailures) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(svj_open(tmp.path("missing.svj").c_str()), nullptr);
    write_file(name, bytes(10, 0));
    EXPECT_EQ(svj_open(name.c_str()), nullptr);
    write_file(name, bytes(64, 0));
    EXPECT_EQ(svj_open(name.c_str()), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("svj_open: Error opening svj file " + tmp.path("missing.svj") +
                       " : No such file or directory\n"),
              std::string::npos);
    EXPECT_NE(err.find("svj_open: Error reading header in " + name), std::string::npos);
    EXPECT_NE(err.find("svj_open: Not svj file " + name + "\n"), std::string::npos);
}

TEST_F(Svj, NameIsBoundedAndTerminated) {
    make_reel(1);
    std::string long_name = tmp.path(std::string(100, 'n') + ".svj");
    write_file(long_name, ref.file);
    svj_handle *h = svj_open(long_name.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(std::strlen(h->name), 63u);
    EXPECT_EQ(std::string(h->name), long_name.substr(0, 63));
    svj_close(h);
    h = svj_create(tmp.path(std::string(80, 'c')).c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(std::strlen(h->name), 63u);
    svj_close(h);
}

TEST_F(Svj, SizeEqualsBytesSent) {
    make_reel(4); // several 64512-byte blocks
    ASSERT_GT(ref.file.size(), 3 * 64512u);
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    int size = svj_size(h, 0, -1);
    EXPECT_EQ(size, int(ref.header.size() + (ref.end - ref.header.size()) + 260));
    memory_board board;
    ASSERT_EQ(svj_host2isp(&board, h, 0, -1), 0);
    EXPECT_EQ(board.sent.size(), size_t(size));
    // The stream is the reel up to the table block prefix's marker.
    EXPECT_TRUE(std::equal(board.sent.begin(), board.sent.end(), ref.file.begin()));
    for (size_t k = 0; k + 1 < board.sends.size(); k++)
        EXPECT_EQ(board.sends[k], 64512u);

    // A middle range: header, the frames' fields with comment blocks, terminator.
    for (int first = 0; first < 4; first++) {
        for (int count = 1; first + count <= 4; count++) {
            memory_board b;
            ASSERT_EQ(svj_host2isp(&b, h, first, count), 0);
            int expect = svj_size(h, first, count);
            ASSERT_EQ(b.sent.size(), size_t(expect));
            bytes want(ref.file.begin(), ref.file.begin() + long(ref.header.size()));
            uint32_t start = ref.offsets[size_t(2 * first)];
            uint32_t last = 2 * (first + count) - 1;
            uint32_t end = ref.offsets[last] + uint32_t(ref.fields[last].size());
            want.insert(want.end(), ref.file.begin() + start, ref.file.begin() + end);
            want.insert(want.end(), ref.file.begin() + ref.end, ref.file.begin() + ref.end + 260);
            EXPECT_TRUE(b.sent == want) << first << " " << count;
        }
    }
    svj_close(h);
}

TEST_F(Svj, SmallReelSendsOnce) {
    jpegs.clear();
    for (int k = 0; k < 4; k++)
        jpegs.push_back(make_field_jpeg(64, 32, k));
    ASSERT_EQ(store_reel(name, jpegs, 64, 64), "");
    ref = ref_build(jpegs, 64, 64, false);
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    memory_board board;
    ASSERT_EQ(svj_host2isp(&board, h, 1, -1), 0);
    ASSERT_EQ(board.sends.size(), 1u);
    EXPECT_EQ(board.sends[0], uint32_t(svj_size(h, 1, -1)));
    board.fail_send_at = 0;
    board.sends.clear();
    EXPECT_EQ(svj_host2isp(&board, h, 0, -1), -1);
    svj_close(h);
}

TEST_F(Svj, BadRanges) {
    make_reel(2);
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    memory_board board;
    testing::internal::CaptureStderr();
    EXPECT_EQ(svj_size(h, 2, 1), -1);
    EXPECT_EQ(svj_size(h, 3, -1), -1);
    EXPECT_EQ(svj_size(h, 0, 3), -1);
    EXPECT_EQ(svj_size(h, 1, 0), -1);
    EXPECT_EQ(svj_size(nullptr, 0, -1), -1);
    EXPECT_EQ(svj_host2isp(&board, h, 2, -1), 18);
    EXPECT_EQ(svj_host2isp(&board, h, -1, 1), 18);
    EXPECT_EQ(svj_host2isp(&board, h, 1, 2), 18);
    EXPECT_EQ(svj_host2isp(&board, h, 0, 0), 18);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("svj_size(): To large start frame\n"), std::string::npos);
    EXPECT_NE(err.find("svj_size(): To large endframe\n"), std::string::npos);
    EXPECT_NE(err.find("svj_host2isp(): First frame 2, max 1\n"), std::string::npos);
    EXPECT_NE(err.find("svj_host2isp(): End frame 2, max 1\n"), std::string::npos);
    EXPECT_TRUE(board.sent.empty());
    EXPECT_EQ(svj_size(h, 1, 1),
              int(ref.header.size() + ref.fields[2].size() + 256 + ref.fields[3].size() + 260));
    svj_close(h);
}

TEST_F(Svj, TraceWithDebugBit) {
    make_reel(1);
    sv_debug = 0x10;
    testing::internal::CaptureStderr();
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    int size = svj_size(h, 0, 1);
    memory_board board;
    svj_host2isp(&board, h, 0, -1);
    svj_close(h);
    std::string err = testing::internal::GetCapturedStderr();
    sv_debug = 0;
    EXPECT_EQ(err.rfind("svj_open: " + name + "\n", 0), 0u);
    EXPECT_NE(err.find(" 0 1\nsvj_size: res = " + std::to_string(size) + "\n"), std::string::npos);
    EXPECT_NE(err.find("svj_host2isp: "), std::string::npos);
    EXPECT_NE(err.find("read("), std::string::npos);
    EXPECT_NE(err.find("lseek("), std::string::npos);
    EXPECT_NE(err.find("svj_close: "), std::string::npos);
    testing::internal::CaptureStderr();
    h = svj_open(name.c_str());
    svj_close(h);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), ""); // silent without the bit
}

TEST_F(Svj, RecordingReproducesTheReel) {
    make_reel(3);
    memory_board board;
    board.recording = board_stream(ref.file);
    std::string rec = tmp.path("rec.svj");
    svj_handle *h = svj_create(rec.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(svj_isp2host(&board, h, 3), 0);
    EXPECT_EQ(std::memcmp(h->tail, "DVS102", 7), 0);
    EXPECT_EQ(svj_frames(h), 3u);
    // The created handle has no table: ranges over it are refused.
    testing::internal::CaptureStderr();
    EXPECT_EQ(svj_size(h, 0, -1), -1);
    EXPECT_EQ(svj_host2isp(&board, h, 0, -1), 18);
    testing::internal::GetCapturedStderr();
    svj_close(h);
    EXPECT_TRUE(read_file(rec) == ref.file);
    h = svj_open(rec.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(svj_info(h, 8), 3u);
    svj_close(h);
}

TEST_F(Svj, RecordingOverAnExistingFile) {
    make_reel(1);
    std::string rec = tmp.path("rec.svj");
    write_file(rec, bytes(3 * 64512 + 17, 0x55)); // longer: created without truncation
    memory_board board;
    board.recording = board_stream(ref.file);
    svj_handle *h = svj_create(rec.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(svj_isp2host(&board, h, 1), 0);
    svj_close(h);
    EXPECT_TRUE(read_file(rec) == ref.file);
}

TEST_F(Svj, RecordingTailPlacement) {
    // Tails ending at every interesting place of the last block.
    for (size_t length : {size_t(200), size_t(64512 + 4), size_t(64512 + 60), size_t(64512 + 63),
                          size_t(64512 + 64), size_t(64512 + 65), size_t(64512 + 66),
                          size_t(2 * 64512), size_t(2 * 64512 - 2), size_t(3 * 64512 + 32)}) {
        bytes r = synthetic_recording(length, uint32_t(length - 68 - 16), 0);
        memory_board board;
        board.recording = board_stream(r);
        std::string rec = tmp.path("rec" + std::to_string(length));
        svj_handle *h = svj_create(rec.c_str());
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(svj_isp2host(&board, h, 1), 0) << length;
        EXPECT_EQ(std::memcmp(h->tail, "DVS100", 6), 0) << length;
        EXPECT_EQ(svj_table_offset(h), length - 68 - 16) << length;
        svj_close(h);
        EXPECT_TRUE(read_file(rec) == r) << length;
    }
}

TEST_F(Svj, RecordingFailures) {
    std::string rec = tmp.path("rec.svj");
    struct {
        bytes recording;
        int result;
        const char *message;
    } cases[] = {
        {synthetic_recording(1000, 2000, 0), 9,
         "svj_isp2host: Data lost during compression 2000 1000\n"},
        {synthetic_recording(1000, 800, 7), 31,
         "svj_isp2host: AC components lost during compression 7\n"},
        {bytes(100, 0x00), 9, "svj_isp2host: Not SCSIVideo JPEG file\n"},
        {bytes(), 20, "svj_isp2host: Error during SCSI transport 1\n"},
        {bytes(64512, 0x00), 20, "svj_isp2host: Error during SCSI transport 2\n"},
        {bytes{0xFF, 0xD8, 0x00, 0x01}, 9, "svj_isp2host: Couldn't find DVS id\n"},
    };
    cases[2].recording[0] = 0xFF; // FF 00: not an SOI
    cases[4].recording[0] = 0xFF, cases[4].recording[1] = 0xD8;
    for (auto &c : cases) {
        memory_board board;
        board.recording = c.recording;
        svj_handle *h = svj_create(rec.c_str());
        ASSERT_NE(h, nullptr);
        testing::internal::CaptureStderr();
        EXPECT_EQ(svj_isp2host(&board, h, 1), c.result) << c.message;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        svj_close(h);
        unlink(rec.c_str());
    }
    // A DVS id missing where the tail should begin.
    bytes r = synthetic_recording(5000, 4000, 0);
    r[5000 - 64] = 'X';
    memory_board board;
    board.recording = r;
    svj_handle *h = svj_create(rec.c_str());
    testing::internal::CaptureStderr();
    EXPECT_EQ(svj_isp2host(&board, h, 1), 9);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "svj_isp2host: Couldn't find DVS id\n");
    svj_close(h);
}

TEST_F(Svj, CreateFailure) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(svj_create(tmp.path("no/such/dir.svj").c_str()), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("svj_create(): Error creating svj file "),
              std::string::npos);
}

TEST_F(Svj, Indexate) {
    jpegs.clear();
    for (int k = 0; k < 4; k++)
        jpegs.push_back(make_field_jpeg(64, 32, k));
    ASSERT_EQ(store_reel(name, jpegs, 64, 64), "");
    ref = ref_build(jpegs, 64, 64, false);
    testing::internal::CaptureStdout();
    EXPECT_EQ(svj_indexate(name.c_str(), 1), 0);
    std::string out = testing::internal::GetCapturedStdout();
    std::string want;
    char line[80];
    for (int n = 0; n < 4; n++) {
        std::snprintf(line, sizeof line, "Found field start %5d:%d @ %08x\n", n / 2, n % 2,
                      ref.offsets[size_t(n)] + 4);
        want += line;
        std::snprintf(line, sizeof line, "                  %5d:%d   %08x\n", n / 2, n % 2,
                      unsigned(ref.fields[size_t(n)].size() - 4));
        want += line;
    }
    want += "End of file reached: marker\n";
    EXPECT_EQ(out, want);
    testing::internal::CaptureStdout();
    EXPECT_EQ(svj_indexate(name.c_str(), 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    // Without a table block the scan ends at the end of the file.
    bytes cut(ref.file.begin(), ref.file.begin() + ref.offsets[1]);
    write_file(name, cut);
    testing::internal::CaptureStdout();
    svj_indexate(name.c_str(), 1);
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Found field start     0:0"), std::string::npos);
    EXPECT_NE(out.find("End of file reached: read\n"), std::string::npos);
}

TEST_F(Svj, IndexateManyFields) {
    // More than the working table's first 1000 frames.
    bytes j = make_field_jpeg(16, 8, 1);
    std::vector<bytes> many(2 * 1100, j);
    ASSERT_EQ(store_reel(name, many, 16, 16), "");
    testing::internal::CaptureStdout();
    svj_indexate(name.c_str(), 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Found field start  1099:1"), std::string::npos);
    EXPECT_NE(out.find("End of file reached: marker\n"), std::string::npos);
}

TEST_F(Svj, DumpSize) {
    // A 720 x 576 reel whose field 0 is 41472 bytes prints 10.00 for it.
    bytes j = make_field_jpeg(720, 288, 2, false, 10);
    long i = scan_index(j);
    ASSERT_LT(j.size() - size_t(i) + 2, 41472u);
    while (j.size() - size_t(i) + 2 < 41472)
        j.insert(j.end() - 2, 0xFF);
    ASSERT_EQ(store_reel(name, {j, make_field_jpeg(720, 288, 3)}, 720, 576), "");
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->table[0].size0, 41472u);
    std::string dump = tmp.path("sizes.txt");
    EXPECT_EQ(svj_dumpsize(h, dump.c_str()), 0);
    bytes text = read_file(dump);
    std::string s(text.begin(), text.end());
    uint64_t r1 = uint64_t(720) * 576 * 100 / h->table[0].size1;
    char want[100];
    std::snprintf(want, sizeof want, "0 0.0\n0 10.00\n0 %d.%02d\n", int(r1 / 100), int(r1 % 100));
    EXPECT_EQ(s, want);
    testing::internal::CaptureStderr();
    EXPECT_EQ(svj_dumpsize(h, tmp.path("no/dir/x").c_str()), 8);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "svj_dumpsize: Couldn't create dump file " + tmp.path("no/dir/x") + "\n");
    svj_close(h);
}

TEST_F(Svj, CorruptTableIsRefusedByTransfers) {
    make_reel(2);
    bytes b = ref.file;
    put(b, ref.table + 16 + 12, 0x7FFFFFF0); // size of field (1,1)
    write_file(name, b);
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    memory_board board;
    testing::internal::CaptureStderr();
    EXPECT_EQ(svj_size(h, 0, -1), -1);
    EXPECT_EQ(svj_host2isp(&board, h, 0, -1), 12);
    EXPECT_GT(svj_size(h, 0, 1), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(board.sent.empty());
    std::string dump = tmp.path("sizes.txt");
    put(b, ref.table + 4, 0); // a zero size does not divide by zero
    write_file(name, b);
    svj_close(h);
    h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(svj_dumpsize(h, dump.c_str()), 0);
    bytes text = read_file(dump);
    EXPECT_EQ(std::string(text.begin(), text.begin() + 12), "0 0.0\n0 0.00");
    svj_close(h);
}
