// Field store of the svj driver (fm_svj_*), with the fm_errno
// table.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "media/fm_error.h"
#include "media/fm_format_svj.h"
#include "media/svj.h"
#include "reel_fixtures.h"

using namespace reel_test;

namespace {

constexpr int W = 720, HF = 576; // fields of 720 x 288

std::vector<bytes> fields(int frames, int seed0 = 0, int w = W, int h = HF / 2) {
    std::vector<bytes> v;
    for (int k = 0; k < 2 * frames; k++)
        v.push_back(make_field_jpeg(w, h, seed0 + k));
    return v;
}

uint32_t word(const bytes &b, size_t at) {
    return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) |
           b[at + 3];
}

// A state over a file record, as the svj driver keeps it.
struct state_of {
    fm_svj_state state{};
    explicit state_of(fm_svj_file *file, int quality = 50) {
        state.file = file;
        state.quality = quality;
    }
};

class SvjStore : public ::testing::Test {
  protected:
    void SetUp() override { fm_errno = 0; }
    temp_dir tmp;
};

} // namespace

TEST(SvjFmError, CodesAndMessages) {
    EXPECT_STREQ(fm_errorstr(0), "No error");
    EXPECT_STREQ(fm_errorstr(2), "A memory allocation failed");
    EXPECT_STREQ(fm_errorstr(9), "Program: Buffer size missmatch");
    EXPECT_STREQ(fm_errorstr(17), "Format:");
    EXPECT_STREQ(fm_errorstr(21), "File access: Truncate failed");
    EXPECT_STREQ(fm_errorstr(22), "Error code to high to print");
    EXPECT_STREQ(fm_errorstr(-1), "Error code to high to print");
    EXPECT_EQ(FM_EPAGE, 18);
    EXPECT_EQ(FM_ETRUNCATE, 21);
    fm_errno = 0;
    EXPECT_EQ(fm_seterrno(FM_EPAGE), 1);
    EXPECT_EQ(fm_seterrno(FM_EREAD), 1);
    EXPECT_EQ(fm_errno, 18); // the first cause survives
    fm_errno = 0;
}

TEST(SvjFmError, Print) {
    errno = 0;
    testing::internal::CaptureStderr();
    fm_errorprint(12, "reel.svj");
    fm_errorprint(22, nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Error code  12 : File access: Open failed : reel.svj\n"
                   "Error code  22 : Error code to high to print : \n");
    errno = ENOENT;
    testing::internal::CaptureStderr();
    fm_errorprint(12, "x");
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Error code  12 : File access: Open failed : x\nx: No such file or directory\n");
    errno = 0;
}

TEST_F(SvjStore, ReelIsByteExactToTheLayout) {
    auto jpegs = fields(3);
    std::string name = tmp.path("r.svj");
    ASSERT_EQ(store_reel(name, jpegs, W, HF), "");
    bytes file = read_file(name);
    ref_reel ref = ref_build(jpegs, W, HF, false);
    ASSERT_EQ(file.size(), ref.file.size());
    EXPECT_TRUE(file == ref.file);

    // The layout read directly from the bytes.
    const unsigned char prefix[10] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 6, 'S', 'V', 'J', 0};
    EXPECT_EQ(std::memcmp(file.data(), prefix, 10), 0);
    uint32_t h = uint32_t(ref.header.size());
    EXPECT_EQ(h % 4, 0u);
    // Tables copied from the field JPEG (bytes 2 .. scan), then FF fill.
    long i = scan_index(jpegs[0]);
    EXPECT_EQ(std::memcmp(file.data() + 10, jpegs[0].data() + 2, size_t(i - 2)), 0);
    for (uint32_t k = 10 + uint32_t(i - 2); k < h; k++)
        EXPECT_EQ(file[k], 0xFF);
    const unsigned char *tail = file.data() + file.size() - 68;
    EXPECT_EQ(tail[0], 0xFF);
    EXPECT_EQ(tail[1], 0xE1);
    EXPECT_EQ(tail[2], 0x00);
    EXPECT_EQ(tail[3], 0x42);
    EXPECT_EQ(std::memcmp(tail + 4, "DVS102\0\0\0\0\0\0\0\0\0\0", 16), 0);
    size_t t = file.size() - 68;
    EXPECT_EQ(word(file, t + 20), uint32_t(W));
    EXPECT_EQ(word(file, t + 24), uint32_t(HF));
    EXPECT_EQ(word(file, t + 28), 3u);
    uint32_t p = word(file, t + 32);
    EXPECT_EQ(word(file, t + 36), h);
    EXPECT_EQ(word(file, t + 40), 0u);
    for (size_t k = 44; k < 68; k++)
        EXPECT_EQ(tail[k], 0);
    EXPECT_EQ(p + 16 * 3 + 68, file.size());
    // Table block prefix before the table.
    size_t tb = p - 20;
    EXPECT_EQ(file[tb], 0xFF);
    EXPECT_EQ(file[tb + 3], 0xE2);
    EXPECT_EQ((file[tb + 4] << 8) | file[tb + 5], 16 + 16 * 3);
    EXPECT_EQ(std::memcmp(&file[tb + 6], "DVSTABLE100\0\0\0", 14), 0);
    // Every field: FF FF FF DA .. FF D9, 4-aligned offset and size; a comment
    // block before every field but the first and after the last.
    uint32_t expect = h;
    for (int f = 0; f < 3; f++) {
        for (int field = 0; field < 2; field++) {
            uint32_t off = word(file, p + 16 * f + 8 * field);
            uint32_t size = word(file, p + 16 * f + 8 * field + 4);
            if (f || field) {
                EXPECT_EQ(file[expect], 0xFF);
                EXPECT_EQ(file[expect + 1], 0xFE);
                EXPECT_EQ(file[expect + 2], 0x00);
                EXPECT_EQ(file[expect + 3], 0xFE);
                for (int k = 4; k < 256; k++)
                    ASSERT_EQ(file[expect + k], 0);
                expect += 256;
            }
            EXPECT_EQ(off, expect);
            EXPECT_EQ(off % 4, 0u);
            EXPECT_EQ(size % 4, 0u);
            EXPECT_EQ(word(file, off), 0xFFFFFFDAu);
            EXPECT_EQ(file[off + size - 2], 0xFF);
            EXPECT_EQ(file[off + size - 1], 0xD9);
            expect = off + size;
        }
    }
    EXPECT_EQ(expect + 256 + 20, p);
    EXPECT_EQ(file[expect], 0xFF);
    EXPECT_EQ(file[expect + 1], 0xFE);
}

TEST_F(SvjStore, HeaderPlusFieldDecodesLikeTheOriginal) {
    auto jpegs = fields(2);
    std::string name = tmp.path("r.svj");
    ASSERT_EQ(store_reel(name, jpegs, W, HF), "");
    fm_svj_file *file = fm_svj_file_open(name.c_str(), 0);
    ASSERT_NE(file, nullptr);
    for (int k = 0; k < 4; k++) {
        std::string orig = tmp.path("orig" + std::to_string(k) + ".jpg");
        std::string out = tmp.path("field" + std::to_string(k) + ".jpg");
        write_file(orig, jpegs[size_t(k)]);
        ASSERT_EQ(fm_svj_field_extract(file, out.c_str(), k / 2, k % 2), 0);
        bytes ex = read_file(out);
        uint32_t h = fm_svj_tail_get(file, SVJ_TAIL_HEADER);
        uint32_t s = svj_entry_size(file->table[k / 2], k % 2);
        ASSERT_EQ(ex.size(), size_t(h) + s + 1024); // header, field, padding
        std::vector<unsigned char> mem;
        ASSERT_EQ(fm_svj_field_extract_mem(file, k / 2, k % 2, &mem), 0);
        ASSERT_EQ(mem.size(), size_t(h) + s);
        EXPECT_TRUE(std::equal(mem.begin(), mem.end(), ex.begin()));
        ASSERT_TRUE(djpeg_clean(out, out + ".ppm"));
        ASSERT_TRUE(djpeg_clean(orig, orig + ".ppm"));
        EXPECT_TRUE(read_file(out + ".ppm") == read_file(orig + ".ppm")) << "field " << k;
        bytes ppm = read_file(out + ".ppm");
        EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + 11), "P6\n720 288\n");
    }
    EXPECT_EQ(fm_svj_file_close(file), 0);
    EXPECT_EQ(fm_errno, 0);
}

TEST_F(SvjStore, FileWriteEqualsMemoryWrite) {
    auto jpegs = fields(1);
    std::string a = tmp.path("a.svj"), b = tmp.path("b.svj");
    ASSERT_EQ(store_reel(a, jpegs, W, HF), "");
    fm_svj_file *file = fm_svj_file_create(b.c_str(), W, HF);
    ASSERT_NE(file, nullptr);
    for (int k = 0; k < 2; k++) {
        std::string j = tmp.path("f" + std::to_string(k) + ".jpg");
        write_file(j, jpegs[size_t(k)]);
        ASSERT_EQ(fm_svj_field_write(file, j.c_str(), 0, k), 0);
    }
    ASSERT_EQ(fm_svj_file_close(file), 0);
    EXPECT_TRUE(read_file(a) == read_file(b));
    struct stat st;
    ASSERT_EQ(stat(b.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777 & ~0022u, 0644u & ~0022u);
}

TEST_F(SvjStore, MagicVariants) {
    auto jpegs = fields(1);
    std::string name = tmp.path("r.svj");
    ASSERT_EQ(store_reel(name, jpegs, W, HF), "");
    bytes file = read_file(name);
    size_t magic = file.size() - 68 + 4;
    // DVS100 (board-written) opens in both layers.
    std::memcpy(&file[magic], "DVS100", 6);
    write_file(name, file);
    fm_svj_file *f = fm_svj_file_open(name.c_str(), 0);
    ASSERT_NE(f, nullptr);
    fm_svj_file_close(f);
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    svj_close(h);
    // DVS1x: the device layer takes it, the field store refuses it with 17.
    std::memcpy(&file[magic], "DVS1x2", 6);
    write_file(name, file);
    h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    svj_close(h);
    EXPECT_EQ(fm_svj_file_open(name.c_str(), 0), nullptr);
    EXPECT_EQ(fm_errno, 17);
    // Something else: refused by both.
    fm_errno = 0;
    std::memcpy(&file[magic], "DVT102", 6);
    write_file(name, file);
    testing::internal::CaptureStderr();
    EXPECT_EQ(svj_open(name.c_str()), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("svj_open: Not svj file"),
              std::string::npos);
    EXPECT_EQ(fm_svj_file_open(name.c_str(), 0), nullptr);
    EXPECT_EQ(fm_errno, 17);
}

TEST_F(SvjStore, ShortFiles) {
    std::string name = tmp.path("short.svj");
    for (size_t len : {0, 1, 64, 68}) {
        fm_errno = 0;
        write_file(name, bytes(len, 0xAB));
        EXPECT_EQ(fm_svj_file_open(name.c_str(), 0), nullptr) << len;
        EXPECT_EQ(fm_errno, 14) << len;
    }
    fm_errno = 0;
    write_file(name, bytes(69, 0xAB));
    EXPECT_EQ(fm_svj_file_open(name.c_str(), 0), nullptr);
    EXPECT_EQ(fm_errno, 17);
    fm_errno = 0;
    EXPECT_EQ(fm_svj_file_open(tmp.path("missing.svj").c_str(), 0), nullptr);
    EXPECT_EQ(fm_errno, 12);
}

TEST_F(SvjStore, RewritingFrame2Of10LeavesThreeFrames) {
    auto jpegs = fields(10);
    std::string name = tmp.path("r.svj");
    ASSERT_EQ(store_reel(name, jpegs, W, HF), "");
    // Spare magic bytes and reserved bytes are kept as read.
    bytes before = read_file(name);
    size_t t = before.size() - 68;
    before[t + 4 + 10] = 0x5A;
    before[t + 44] = 0x11;
    before[t + 67] = 0x22;
    write_file(name, before);

    fm_svj_file *file = fm_svj_file_open(name.c_str(), 1);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(fm_svj_frames(file), 10u);
    EXPECT_EQ(file->capacity, 10u + 1024u);
    auto fresh = fields(1, 100);
    ASSERT_EQ(fm_svj_field_write_mem(file, fresh[0].data(), fresh[0].size(), 2, 0), 0);
    ASSERT_EQ(fm_svj_field_write_mem(file, fresh[1].data(), fresh[1].size(), 2, 1), 0);
    EXPECT_EQ(fm_svj_frames(file), 3u);
    ASSERT_EQ(fm_svj_file_close(file), 0);

    std::vector<bytes> expect(jpegs.begin(), jpegs.begin() + 4);
    expect.push_back(fresh[0]);
    expect.push_back(fresh[1]);
    ref_reel ref = ref_build(expect, W, HF, false);
    bytes after = read_file(name);
    ASSERT_EQ(after.size(), ref.file.size());
    ref.file[ref.file.size() - 68 + 14] = 0x5A;
    ref.file[ref.file.size() - 68 + 44] = 0x11;
    ref.file[ref.file.size() - 1] = 0x22;
    EXPECT_TRUE(after == ref.file);
}

TEST_F(SvjStore, FramesBeyondNAndBadFields) {
    auto jpegs = fields(2);
    std::string name = tmp.path("r.svj");
    ASSERT_EQ(store_reel(name, jpegs, W, HF), "");
    fm_svj_file *file = fm_svj_file_open(name.c_str(), 1);
    ASSERT_NE(file, nullptr);
    std::string out = tmp.path("x.jpg");
    EXPECT_EQ(fm_svj_field_extract(file, out.c_str(), 2, 0), 1);
    EXPECT_EQ(fm_errno, 18);
    fm_errno = 0;
    EXPECT_EQ(fm_svj_field_extract(file, out.c_str(), -1, 0), 1);
    EXPECT_EQ(fm_errno, 18);
    fm_errno = 0;
    EXPECT_EQ(fm_svj_field_extract(file, out.c_str(), 1, 2), 1);
    EXPECT_EQ(fm_errno, 3);
    fm_errno = 0;
    EXPECT_EQ(access(out.c_str(), F_OK), -1);
    // Writing frame 3 of a 2-frame reel: 18, and the first cause survives.
    EXPECT_EQ(fm_svj_field_write_mem(file, jpegs[0].data(), jpegs[0].size(), 3, 0), 1);
    EXPECT_EQ(fm_errno, 18);
    EXPECT_EQ(fm_svj_field_write_mem(file, jpegs[0].data(), jpegs[0].size(), 1, 2), 1);
    EXPECT_EQ(fm_errno, 18);
    fm_errno = 0;
    EXPECT_EQ(fm_svj_field_write_mem(file, jpegs[0].data(), jpegs[0].size(), 1, 2), 1);
    EXPECT_EQ(fm_errno, 3);
    fm_errno = 0;
    EXPECT_EQ(fm_svj_field_write(file, tmp.path("missing.jpg").c_str(), 1, 0), 1);
    EXPECT_EQ(fm_errno, 12);
    fm_errno = 0;
    // Writing frame 2 (= N) appends.
    ASSERT_EQ(fm_svj_field_write_mem(file, jpegs[0].data(), jpegs[0].size(), 2, 0), 0);
    ASSERT_EQ(fm_svj_field_write_mem(file, jpegs[1].data(), jpegs[1].size(), 2, 1), 0);
    EXPECT_EQ(fm_svj_frames(file), 3u);
    ASSERT_EQ(fm_svj_file_close(file), 0);
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(svj_info(h, 8), 3u);
    svj_close(h);
}

namespace {
// A JPEG whose data after FF DA has the given length modulo 4 and whose last
// two bytes are replaced by end (FF fill bytes before EOI are valid JPEG).
bytes with_residue(const bytes &jpeg, int residue) {
    bytes j = jpeg;
    long i = scan_index(j);
    while (int((j.size() - size_t(i) - 2) % 4) != residue)
        j.insert(j.end() - 2, 0xFF);
    return j;
}
} // namespace

TEST_F(SvjStore, FillAndNoFill) {
    bytes base = make_field_jpeg(64, 32, 5);
    for (int residue = 0; residue < 4; residue++) {
        bytes j = with_residue(base, residue);
        std::string name = tmp.path("fill" + std::to_string(residue) + ".svj");
        ASSERT_EQ(store_reel(name, {j, j}, 64, 64), "");
        fm_svj_file *file = fm_svj_file_open(name.c_str(), 0);
        ASSERT_NE(file, nullptr);
        long i = scan_index(j);
        size_t n = j.size() - size_t(i) - 2;
        uint32_t size = file->table[0].size0;
        EXPECT_EQ(size, 4 + n + (4 - n % 4) % 4) << residue;
        if (residue == 0) {
            EXPECT_EQ(size, j.size() - size_t(i) + 2); // no fill
        }
        bytes file_bytes = read_file(name);
        EXPECT_TRUE(file_bytes == ref_build({j, j}, 64, 64, false).file);
        fm_svj_file_close(file);
    }
    // No fill, and a final E9 accepted by the end check: still written as D9.
    bytes j = with_residue(base, 0);
    j[j.size() - 2] = 0x00;
    j[j.size() - 1] = 0xE9;
    std::string name = tmp.path("e9.svj");
    ASSERT_EQ(store_reel(name, {j, j}, 64, 64), "");
    bytes file = read_file(name);
    fm_svj_file *f = fm_svj_file_open(name.c_str(), 0);
    ASSERT_NE(f, nullptr);
    uint32_t end = f->table[0].offset0 + f->table[0].size0;
    EXPECT_EQ(f->table[0].size0, j.size() - size_t(scan_index(j)) + 2);
    EXPECT_EQ(file[end - 2], 0x00);
    EXPECT_EQ(file[end - 1], 0xD9);
    fm_svj_file_close(f);
}

TEST_F(SvjStore, EndCheck) {
    bytes j = make_field_jpeg(64, 32, 7);
    std::string name = tmp.path("r.svj");
    fm_svj_file *file = fm_svj_file_create(name.c_str(), 64, 64);
    ASSERT_NE(file, nullptr);
    bytes bad = j;
    bad[bad.size() - 2] = 0x00; // next-to-last not FF, last not E9
    EXPECT_EQ(fm_svj_field_write_mem(file, bad.data(), bad.size(), 0, 0), 1);
    EXPECT_EQ(fm_errno, 3);
    fm_errno = 0;
    bytes noscan = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x02, 0xFF, 0xD9};
    EXPECT_EQ(fm_svj_field_write_mem(file, noscan.data(), noscan.size(), 0, 0), 1);
    EXPECT_EQ(fm_errno, 3);
    fm_errno = 0;
    // Found by fuzzing: nothing after the FF DA (the final D9 would replace it).
    bytes empty_scan = {0x41, 0x06, 0xFF, 0xDA};
    EXPECT_EQ(fm_svj_field_write_mem(file, empty_scan.data(), empty_scan.size(), 0, 0), 1);
    EXPECT_EQ(fm_errno, 3);
    fm_errno = 0;
    unsigned char hdr[64];
    EXPECT_EQ(fm_svj_header_build_mem(empty_scan.data(), empty_scan.size(), hdr, sizeof hdr), 0);
    bytes tiny = {0xFF, 0xDA};
    EXPECT_EQ(fm_svj_field_write_mem(file, tiny.data(), tiny.size(), 0, 0), 1);
    EXPECT_EQ(fm_errno, 3);
    fm_errno = 0;
    EXPECT_EQ(fm_svj_field_write_mem(file, nullptr, 0, 0, 0), 1);
    EXPECT_EQ(fm_errno, 3);
    fm_errno = 0;
    ASSERT_EQ(fm_svj_field_write_mem(file, j.data(), j.size(), 0, 0), 0);
    ASSERT_EQ(fm_svj_field_write_mem(file, j.data(), j.size(), 0, 1), 0);
    EXPECT_EQ(fm_svj_file_close(file), 0);
    EXPECT_TRUE(read_file(name) == ref_build({j, j}, 64, 64, false).file);
}

TEST_F(SvjStore, HeaderBuild) {
    bytes j = make_field_jpeg(720, 288, 1, false, 50);
    std::string name = tmp.path("f.jpg");
    write_file(name, j);
    bytes ref = ref_header(j, false);
    unsigned char out[4096];
    EXPECT_EQ(fm_svj_header_build(name.c_str(), out, sizeof out), int(ref.size()));
    EXPECT_EQ(std::memcmp(out, ref.data(), ref.size()), 0);
    EXPECT_EQ(fm_svj_header_build(name.c_str(), out, int(ref.size())), int(ref.size()));
    EXPECT_EQ(fm_svj_header_build(name.c_str(), out, int(ref.size()) - 1), 0);
    EXPECT_EQ(fm_svj_header_build(name.c_str(), out, 9), 0);
    EXPECT_EQ(fm_svj_header_build(tmp.path("missing.jpg").c_str(), out, sizeof out), 0);
    bytes noscan = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x02, 0xFF, 0xD9};
    write_file(name, noscan);
    EXPECT_EQ(fm_svj_header_build(name.c_str(), out, sizeof out), 0);

    // The header of a reel's settings equals that of a field encoded with
    // them, and depends on the quality.
    std::string reel = tmp.path("r.svj");
    fm_svj_file *file = fm_svj_file_create(reel.c_str(), 720, 576);
    ASSERT_NE(file, nullptr);
    state_of s(file, 50);
    unsigned char hdr[4096];
    int h = fm_svj_header(&s.state, hdr, sizeof hdr);
    ASSERT_EQ(h, int(ref.size()));
    EXPECT_EQ(std::memcmp(hdr, ref.data(), ref.size()), 0);
    s.state.quality = 85;
    h = fm_svj_header(&s.state, hdr, sizeof hdr);
    bytes ref85 = ref_header(make_field_jpeg(720, 288, 1, false, 85), false);
    ASSERT_EQ(h, int(ref85.size()));
    EXPECT_EQ(std::memcmp(hdr, ref85.data(), ref85.size()), 0);
    EXPECT_NE(std::memcmp(hdr, ref.data(), ref.size()), 0);
    EXPECT_EQ(fm_svj_header(&s.state, hdr, 20), 0);
    // A reel of impossible size gives 0 (the library's message is printed).
    fm_svj_tail_set(file, SVJ_TAIL_WIDTH, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(fm_svj_header(&s.state, hdr, sizeof hdr), 0);
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
    EXPECT_EQ(fm_svj_file_close(file), 0); // not modified: nothing written
    EXPECT_EQ(read_file(reel).size(), 0u);
}

TEST_F(SvjStore, RawWritersAndLengthWordOf4095Frames) {
    // A writer of Parts 3.3 / 3.5: header, fields with comment blocks, table, tail.
    bytes j = make_field_jpeg(32, 16, 3);
    bytes header = ref_header(j, false), field = ref_field(j);
    std::string name = tmp.path("big.svj");
    fm_svj_file *file = fm_svj_file_create(name.c_str(), 32, 32);
    ASSERT_NE(file, nullptr);
    state_of s(file);
    fm_svj_set_initsize(&s.state, uint32_t(header.size()));
    EXPECT_EQ(fm_svj_initsize(&s.state), header.size());
    bytes comment(256, 0);
    comment[0] = 0xFF, comment[1] = 0xFE, comment[3] = 0xFE;
    bytes body = header;
    const int frames = 4095;
    for (int f = 0; f < frames; f++) {
        ASSERT_EQ(fm_svj_malloc_table(&s.state, f), 0);
        for (int field_no = 0; field_no < 2; field_no++) {
            uint32_t at = uint32_t(body.size());
            body.insert(body.end(), field.begin(), field.end());
            body.insert(body.end(), comment.begin(), comment.end());
            ASSERT_EQ(fm_svj_set_table(&s.state, f, field_no, at, uint32_t(field.size())), 16 * f);
        }
    }
    EXPECT_GE(file->capacity, uint32_t(frames));
    EXPECT_EQ(fm_svj_offset(&s.state, 1, 1), fm_svj_offset(&s.state, 1, 0) + field.size() + 256);
    EXPECT_EQ(fm_svj_size(&s.state, 4094, 7), field.size()); // any non-zero field is field 1
    EXPECT_EQ(fm_svj_offset(&s.state, 1 << 20, 0), 0u);
    EXPECT_EQ(fm_svj_set_table(&s.state, -1, 0, 0, 0), -1);
    fm_errno = 0;
    ASSERT_EQ(write(file->fd, body.data(), body.size()), ssize_t(body.size()));
    ASSERT_EQ(fm_svj_write_tail(&s.state, file->fd, frames), 0);
    ASSERT_EQ(fm_svj_file_close(file), 0);

    bytes reel = read_file(name);
    std::vector<bytes> jpegs(2 * frames, j);
    ref_reel ref = ref_build(jpegs, 32, 32, false);
    ASSERT_EQ(reel.size(), ref.file.size());
    EXPECT_TRUE(reel == ref.file);
    size_t prefix = ref.table - 20;
    EXPECT_EQ(reel[prefix + 4], 0); // 16 + 16 x 4095 = 65536: low 16 bits 0
    EXPECT_EQ(reel[prefix + 5], 0);
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(svj_info(h, 8), 4095u);
    svj_close(h);
    fm_svj_file *again = fm_svj_file_open(name.c_str(), 0);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(fm_svj_frames(again), 4095u);
    EXPECT_EQ(again->table[4094].offset1, ref.offsets[8189]);
    fm_svj_file_close(again);
}

TEST_F(SvjStore, EmptyReelPutsTableAfterHeader) {
    bytes j = make_field_jpeg(32, 16, 3);
    bytes header = ref_header(j, false);
    std::string name = tmp.path("empty.svj");
    fm_svj_file *file = fm_svj_file_create(name.c_str(), 32, 32);
    ASSERT_NE(file, nullptr);
    state_of s(file);
    fm_svj_set_initsize(&s.state, uint32_t(header.size()));
    ASSERT_EQ(write(file->fd, header.data(), header.size()), ssize_t(header.size()));
    ASSERT_EQ(fm_svj_write_tail(&s.state, file->fd, 0), 0);
    ASSERT_EQ(fm_svj_file_close(file), 0);
    bytes reel = read_file(name);
    ASSERT_EQ(reel.size(), header.size() + 256 + 20 + 68);
    EXPECT_EQ(reel[header.size()], 0xFF);
    EXPECT_EQ(reel[header.size() + 1], 0xFE);
    size_t prefix = header.size() + 256;
    EXPECT_EQ(reel[prefix + 3], 0xE2);
    EXPECT_EQ(reel[prefix + 5], 16);
    EXPECT_EQ(word(reel, reel.size() - 68 + 32), prefix + 20); // P
    EXPECT_EQ(word(reel, reel.size() - 68 + 28), 0u);          // N
    svj_handle *h = svj_open(name.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(svj_info(h, 8), 0u);
    testing::internal::CaptureStderr();
    EXPECT_EQ(svj_size(h, 0, -1), -1);
    testing::internal::GetCapturedStderr();
    svj_close(h);
    fm_svj_file *again = fm_svj_file_open(name.c_str(), 0);
    ASSERT_NE(again, nullptr);
    std::vector<unsigned char> out;
    EXPECT_EQ(fm_svj_field_extract_mem(again, 0, 0, &out), 1);
    EXPECT_EQ(fm_errno, 18);
    fm_svj_file_close(again);
}

TEST_F(SvjStore, DataReadRestoresPosition) {
    auto jpegs = fields(1);
    std::string name = tmp.path("r.svj");
    ASSERT_EQ(store_reel(name, jpegs, W, HF), "");
    fm_svj_file *file = fm_svj_file_open(name.c_str(), 0);
    ASSERT_NE(file, nullptr);
    state_of s(file);
    ASSERT_EQ(lseek(file->fd, 123, SEEK_SET), 123);
    unsigned char buf[10];
    EXPECT_EQ(fm_svj_data_read(&s.state, 0, 10, buf), 10);
    EXPECT_EQ(std::memcmp(buf, "\xFF\xD8\xFF\xE0\x00\x06SVJ\x00", 10), 0);
    EXPECT_EQ(lseek(file->fd, 0, SEEK_CUR), 123);
    bytes reel = read_file(name);
    EXPECT_EQ(fm_svj_data_read(&s.state, uint32_t(reel.size() - 4), 10, buf), 4);
    fm_svj_file_close(file);
}

TEST_F(SvjStore, CorruptTailsAreRefused) {
    auto jpegs = fields(2, 0, 64, 32);
    std::string name = tmp.path("r.svj");
    ASSERT_EQ(store_reel(name, jpegs, 64, 64), "");
    bytes good = read_file(name);
    size_t t = good.size() - 68;
    auto put = [](bytes &b, size_t at, uint32_t v) {
        for (int k = 0; k < 4; k++)
            b[at + size_t(k)] = (unsigned char)(v >> (24 - 8 * k));
    };
    struct change {
        size_t at;
        uint32_t value;
    } changes[] = {
        {t + 28, 0xFFFFFFFFu},            // N huge
        {t + 28, 3},                      // N one too many: the table would run into the tail
        {t + 32, 0xFFFFFFF0u},            // P beyond the file
        {t + 32, uint32_t(t)},            // P at the tail
        {t + 36, word(good, t + 32) + 4}, // H beyond P
    };
    for (const change &c : changes) {
        bytes b = good;
        put(b, c.at, c.value);
        write_file(name, b);
        fm_errno = 0;
        EXPECT_EQ(fm_svj_file_open(name.c_str(), 0), nullptr) << c.at - t;
        EXPECT_EQ(fm_errno, 12) << c.at - t;
        testing::internal::CaptureStderr();
        EXPECT_EQ(svj_open(name.c_str()), nullptr) << c.at - t;
        EXPECT_NE(testing::internal::GetCapturedStderr().find("svj_open: Not svj file"),
                  std::string::npos);
    }
    // Truncated reels: the tail is gone (magic) or the table no longer fits.
    for (size_t cut : {size_t(1), size_t(4), size_t(68), good.size() / 2, good.size() - 100}) {
        bytes b(good.begin(), good.end() - long(cut));
        write_file(name, b);
        fm_errno = 0;
        testing::internal::CaptureStderr();
        EXPECT_EQ(fm_svj_file_open(name.c_str(), 0), nullptr) << cut;
        EXPECT_EQ(svj_open(name.c_str()), nullptr) << cut;
        testing::internal::GetCapturedStderr();
        EXPECT_NE(fm_errno, 0);
    }
    // Table entries pointing outside the file: the reel opens, the field
    // cannot be read (14), nothing is allocated for it.
    bytes b = good;
    uint32_t p = word(good, t + 32);
    put(b, p + 4, 0x7FFFFFFF); // size of field (0,0)
    put(b, p + 8, 0xFFFFFF00); // offset of field (0,1)
    write_file(name, b);
    fm_errno = 0;
    fm_svj_file *file = fm_svj_file_open(name.c_str(), 0);
    ASSERT_NE(file, nullptr);
    std::vector<unsigned char> out;
    EXPECT_EQ(fm_svj_field_extract_mem(file, 0, 0, &out), 1);
    EXPECT_EQ(fm_errno, 14);
    fm_errno = 0;
    EXPECT_EQ(fm_svj_field_extract_mem(file, 0, 1, &out), 1);
    EXPECT_EQ(fm_errno, 14);
    fm_errno = 0;
    EXPECT_EQ(fm_svj_field_extract_mem(file, 1, 1, &out), 0);
    fm_svj_file_close(file);
}

TEST_F(SvjStore, CloseWithoutWritesLeavesFileAlone) {
    auto jpegs = fields(1);
    std::string name = tmp.path("r.svj");
    ASSERT_EQ(store_reel(name, jpegs, W, HF), "");
    bytes before = read_file(name);
    fm_svj_file *file = fm_svj_file_open(name.c_str(), 1);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(fm_svj_file_close(file), 0);
    EXPECT_TRUE(read_file(name) == before);
    EXPECT_EQ(fm_svj_file_close(nullptr), 1);
    EXPECT_EQ(fm_errno, 10);
}
