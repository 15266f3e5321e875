// Field store of the svj driver (fm_svj_*).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "media/fm_error.h"
#include "media/fm_format_svj.h"
#include "media/svj.h"
#include "reel_fixtures.h"

using namespace reel_test;

namespace {

class SvjStore : public ::testing::Test {
  protected:
    void SetUp() override { fm_errno = 0; }
    // fm_errno, cleared for the next step.
    static int take_errno() { return std::exchange(fm_errno, 0); }
    // Writes data as the reel and opens it in the field store: 0 when it
    // opens, else the code it was refused with.
    int refusal(const bytes &data) {
        write_file(name, data);
        fm_svj_file *f = fm_svj_file_open(name.c_str(), 0);
        const int code = take_errno();
        if (f) fm_svj_file_close(f);
        return f ? 0 : code ? code : -1;
    }
    temp_dir tmp;
    std::string name = tmp.path("r.svj");
};

// The JPEG with FF fill bytes before its EOI so that the data after FF DA
// has the given length modulo 4.
bytes with_residue(bytes j, int residue) {
    while (int((j.size() - size_t(scan_index(j)) - 2) % 4) != residue)
        j.insert(j.end() - 2, 0xFF);
    return j;
}

} // namespace

TEST_F(SvjStore, ReelIsByteExactAndHeaderPlusFieldDecodes) {
    auto jpegs = make_fields(2, 720, 288);
    fm_svj_file *file = fm_svj_file_create(name.c_str(), 720, 576);
    ASSERT_NE(file, nullptr);
    for (size_t k = 0; k < 4; k++) {
        write_file(tmp.path("in" + std::to_string(k) + ".jpg"), jpegs[k]);
        ASSERT_EQ(k == 3 ? fm_svj_field_write(file, tmp.path("in3.jpg").c_str(), 1, 1)
                         : fm_svj_field_write_mem(file, jpegs[k].data(), jpegs[k].size(),
                                                  int(k / 2), int(k % 2)),
                  0);
    }
    ASSERT_EQ(fm_svj_file_close(file), 0);
    ref_reel ref = ref_build(jpegs, 720, 576, false);
    EXPECT_TRUE(read_file(name) == ref.file);

    file = fm_svj_file_open(name.c_str(), 0);
    ASSERT_NE(file, nullptr);
    for (int k = 0; k < 4; k++) {
        std::string orig = tmp.path("in" + std::to_string(k) + ".jpg"), out = orig + ".svj.jpg";
        ASSERT_EQ(fm_svj_field_extract(file, out.c_str(), k / 2, k % 2), 0);
        std::vector<unsigned char> mem;
        ASSERT_EQ(fm_svj_field_extract_mem(file, k / 2, k % 2, &mem), 0);
        bytes ex = read_file(out);
        ASSERT_EQ(ex.size(), ref.header.size() + ref.fields[size_t(k)].size() + 1024);
        EXPECT_TRUE(std::equal(mem.begin(), mem.end(), ex.begin()));
        ASSERT_TRUE(djpeg_clean(out, out + ".ppm") && djpeg_clean(orig, orig + ".ppm"));
        EXPECT_TRUE(read_file(out + ".ppm") == read_file(orig + ".ppm")) << "field " << k;
    }
    EXPECT_EQ(fm_svj_file_close(file), 0);
    EXPECT_EQ(fm_errno, 0);
}

TEST_F(SvjStore, MagicVariantsAndShortFiles) {
    ASSERT_EQ(store_reel(name, make_fields(1, 64, 32), 64, 64), "");
    bytes file = read_file(name);
    struct {
        const char *magic;
        bool device_opens;
        int store_errno; // 0: the field store opens it
    } cases[] = {
        {"DVS102", true, 0}, {"DVS100", true, 0}, {"DVS1x2", true, 17}, {"DVT102", false, 17}};
    for (const auto &c : cases) {
        std::memcpy(&file[file.size() - 64], c.magic, 6);
        EXPECT_EQ(refusal(file), c.store_errno) << c.magic;
        testing::internal::CaptureStderr();
        svj_handle *h = svj_open(name.c_str());
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(h != nullptr, c.device_opens) << c.magic;
        svj_close(h);
    }
    for (size_t len : {0, 1, 64, 68, 69})
        EXPECT_EQ(refusal(bytes(len, 0xAB)), len == 69 ? 17 : 14) << len;
}

// Rewriting frame 1 of 3 leaves two frames; frame N appends; frames beyond
// N, bad field numbers and missing files are refused.
TEST_F(SvjStore, RewriteAppendAndFramesBeyondN) {
    auto jpegs = make_fields(3, 64, 32), fresh = make_fields(1, 64, 32, 100);
    ASSERT_EQ(store_reel(name, jpegs, 64, 64), "");
    fm_svj_file *file = fm_svj_file_open(name.c_str(), 1);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->tail.frames, 3u);
    for (int field = 0; field < 2; field++) {
        const bytes &j = fresh[size_t(field)];
        ASSERT_EQ(fm_svj_field_write_mem(file, j.data(), j.size(), 1, field), 0);
    }
    EXPECT_EQ(file->tail.frames, 2u);
    const bytes &j = jpegs[0];
    std::string out = tmp.path("x.jpg");
    struct {
        int frame, field, extract_errno, write_errno; // -1: no write
    } cases[] = {{2, 0, 18, -1}, {3, 0, 18, 18}, {-1, 0, 18, 18}, {1, 2, 3, 3}};
    for (const auto &c : cases) {
        EXPECT_EQ(fm_svj_field_extract(file, out.c_str(), c.frame, c.field), 1);
        EXPECT_EQ(take_errno(), c.extract_errno) << c.frame << ":" << c.field;
        if (c.write_errno < 0) continue;
        EXPECT_EQ(fm_svj_field_write_mem(file, j.data(), j.size(), c.frame, c.field), 1);
        EXPECT_EQ(take_errno(), c.write_errno) << c.frame << ":" << c.field;
    }
    EXPECT_EQ(fm_svj_field_write(file, tmp.path("missing.jpg").c_str(), 2, 0), 1);
    EXPECT_EQ(take_errno(), 12);
    ASSERT_EQ(fm_svj_field_write_mem(file, j.data(), j.size(), 2, 0), 0);
    ASSERT_EQ(fm_svj_field_write_mem(file, j.data(), j.size(), 2, 1), 0);
    ASSERT_EQ(fm_svj_file_close(file), 0);
    std::vector<bytes> want = {jpegs[0], jpegs[1], fresh[0], fresh[1], j, j};
    EXPECT_TRUE(read_file(name) == ref_build(want, 64, 64, false).file);
}

TEST_F(SvjStore, FillNoFillAndEndCheck) {
    bytes base = make_field_jpeg(64, 32, 5);
    for (int residue = 0; residue < 4; residue++) {
        bytes j = with_residue(base, residue);
        ASSERT_EQ(store_reel(name, {j, j}, 64, 64), "");
        EXPECT_TRUE(read_file(name) == ref_build({j, j}, 64, 64, false).file) << residue;
    }
    // No fill, and a final E9 accepted by the end check: written as D9.
    bytes e9 = with_residue(base, 0);
    e9[e9.size() - 2] = 0x00, e9[e9.size() - 1] = 0xE9;
    ASSERT_EQ(store_reel(name, {e9, e9}, 64, 64), "");
    bytes reel = read_file(name), field(e9.begin() + scan_index(e9) + 2, e9.end());
    field.back() = 0xD9;
    EXPECT_TRUE(std::search(reel.begin(), reel.end(), field.begin(), field.end()) != reel.end());

    bytes bad = base;
    bad[bad.size() - 2] = 0x00; // next-to-last not FF, last not E9
    const bytes refused[] = {
        bad,
        {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x02, 0xFF, 0xD9}, // no scan
        {0x41, 0x06, 0xFF, 0xDA},                         // nothing after FF DA (found by fuzzing)
        {},
    };
    fm_svj_file *file = fm_svj_file_create(name.c_str(), 64, 64);
    ASSERT_NE(file, nullptr);
    for (const bytes &j : refused) {
        EXPECT_EQ(fm_svj_field_write_mem(file, j.empty() ? nullptr : j.data(), j.size(), 0, 0), 1);
        EXPECT_EQ(take_errno(), 3) << j.size();
    }
    EXPECT_EQ(fm_svj_file_close(file), 0);
}

TEST_F(SvjStore, LengthWordOf4095Frames) {
    // 16 + 16 x 4095 = 65536: the length word keeps the low 16 bits, 0.
    std::vector<bytes> jpegs(2 * 4095, make_field_jpeg(16, 8, 3));
    ASSERT_EQ(store_reel(name, jpegs, 16, 16), "");
    ref_reel ref = ref_build(jpegs, 16, 16, false);
    EXPECT_EQ(get32(ref.file, ref.table - 18), 0xFFE20000u);
    EXPECT_TRUE(read_file(name) == ref.file);
    // The index scan goes on past its working table's first 1000 frames.
    testing::internal::CaptureStdout();
    svj_indexate(name.c_str(), 1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Found field start  4094:1"),
              std::string::npos);
}

TEST_F(SvjStore, CorruptAndTruncatedReelsAreRefused) {
    ASSERT_EQ(store_reel(name, make_fields(2, 64, 32), 64, 64), "");
    const bytes good = read_file(name);
    const size_t t = good.size() - 68, p = get32(good, t + 32);
    struct {
        size_t at;
        uint32_t value;
    } changes[] = {
        {t + 28, 0xFFFFFFFFu},     // N huge
        {t + 28, 3},               // N one too many: P + 16N + 68 > size
        {t + 32, 0xFFFFFFF0u},     // P beyond the file
        {t + 32, uint32_t(t)},     // P at the tail
        {t + 36, uint32_t(p + 4)}, // H beyond P
    };
    for (const auto &c : changes) {
        bytes b = good;
        put32(b, c.at, c.value);
        EXPECT_EQ(refusal(b), 12) << c.at - t;
    }
    for (size_t cut : {size_t(1), size_t(68), good.size() / 2, good.size() - 100})
        EXPECT_GT(refusal(bytes(good.begin(), good.end() - long(cut))), 0) << cut;
}
