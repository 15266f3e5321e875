// Field-split SVJ writer (svjf_*).
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

#include "media/field.h"
#include "media/fm_error.h"
#include "media/fm_format_svj.h"
#include "media/svj.h"
#include "reel_fixtures.h"

using namespace reel_test;

namespace {

class Svjf : public ::testing::Test {
  protected:
    void SetUp() override { fm_errno = 0; }
    // Writes the JPEGs to files and packs them frame by frame; the stderr text.
    std::string pack(const std::string &name, const std::vector<bytes> &jpegs, int w, int h,
                     int *result) {
        fm_fileformat record{};
        testing::internal::CaptureStderr();
        *result = svjf_create(name.c_str(), &record, w, h);
        for (size_t f = 0; *result == 0 && 2 * f < jpegs.size(); f++) {
            std::string a = tmp.path("in" + std::to_string(2 * f) + ".jpg");
            std::string b = tmp.path("in" + std::to_string(2 * f + 1) + ".jpg");
            write_file(a, jpegs[2 * f]);
            write_file(b, jpegs[2 * f + 1]);
            *result = svjf_write(&record, int(f), a.c_str(), b.c_str());
        }
        if (record.state != nullptr && svjf_close(&record) != 0) *result = 1;
        return testing::internal::GetCapturedStderr();
    }
    temp_dir tmp;
};

bool report_matches(const std::string &err, const std::string &step, int code) {
    std::regex re(step + ": Error " + std::to_string(code) + " in file field, line [0-9]+\n");
    return std::regex_match(err, re);
}

} // namespace

TEST_F(Svjf, ReelIsByteExactAndEqualsFieldStore) {
    std::vector<bytes> jpegs;
    for (int k = 0; k < 6; k++)
        jpegs.push_back(make_field_jpeg(720, 288, 10 + k));
    std::string a = tmp.path("a.svj"), b = tmp.path("b.svj");
    int result;
    EXPECT_EQ(pack(a, jpegs, 720, 576, &result), "");
    ASSERT_EQ(result, 0);
    bytes file = read_file(a);
    EXPECT_TRUE(file == ref_build(jpegs, 720, 576, true).file);
    // Without a JFIF segment the tables start at byte 2: both writers agree.
    ASSERT_EQ(store_reel(b, jpegs, 720, 576), "");
    EXPECT_TRUE(file == read_file(b));
    EXPECT_EQ(fm_errno, 0);
    struct stat st;
    ASSERT_EQ(stat(a.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
}

TEST_F(Svjf, RecordIsFilledAsByTheDriver) {
    fm_fileformat record{};
    std::string name = tmp.path("r.svj");
    ASSERT_EQ(svjf_create(name.c_str(), &record, 720, 486), 0);
    EXPECT_EQ(record.width, 720);
    EXPECT_EQ(record.height, 486); // used as given
    EXPECT_EQ(record.frames, 0);
    EXPECT_EQ(record.pixel_type, 1);
    EXPECT_EQ(record.offset[0], 0);
    EXPECT_EQ(record.offset[1], 1);
    EXPECT_EQ(record.offset[2], 2);
    EXPECT_EQ(record.step[0], 3);
    EXPECT_EQ(record.step[2], 3);
    EXPECT_EQ(record.size, 3 * 720 * 486);
    EXPECT_EQ(record.field_walk[0], -(3 * 720 * 486 / 2));
    EXPECT_EQ(record.field_walk[1], 3 * 720 * (486 - 2) / 2);
    ASSERT_NE(record.state, nullptr);
    auto *handle = static_cast<svjf_handle *>(record.state);
    EXPECT_EQ(handle->record, &record);
    EXPECT_EQ(fm_svj_height(handle->file), 486u);
    EXPECT_EQ(handle->file->capacity, 1024u);
    EXPECT_EQ(svjf_close(&record), 0);
    EXPECT_EQ(record.state, nullptr);
    EXPECT_EQ(read_file(name).size(), 0u); // nothing stored, nothing written
}

TEST_F(Svjf, JfifApp0IsStripped) {
    std::vector<bytes> jpegs;
    for (int k = 0; k < 4; k++)
        jpegs.push_back(make_field_jpeg(720, 288, k, true));
    ASSERT_EQ(jpegs[0][2], 0xFF);
    ASSERT_EQ(jpegs[0][3], 0xE0); // JFIF APP0 first
    std::string name = tmp.path("jfif.svj");
    int result;
    EXPECT_EQ(pack(name, jpegs, 720, 576, &result), "");
    ASSERT_EQ(result, 0);
    bytes file = read_file(name);
    const unsigned char start[12] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 6, 'S', 'V', 'J', 0, 0xFF, 0xDB};
    EXPECT_EQ(std::memcmp(file.data(), start, 12), 0);
    EXPECT_TRUE(file == ref_build(jpegs, 720, 576, true).file);
    // Header + every field decodes as a complete JPEG, like the original.
    fm_svj_file *reel = fm_svj_file_open(name.c_str(), 0);
    ASSERT_NE(reel, nullptr);
    for (int k = 0; k < 4; k++) {
        std::vector<unsigned char> one;
        ASSERT_EQ(fm_svj_field_extract_mem(reel, k / 2, k % 2, &one), 0);
        std::string out = tmp.path("f" + std::to_string(k) + ".jpg");
        std::string orig = tmp.path("o" + std::to_string(k) + ".jpg");
        write_file(out, one);
        write_file(orig, jpegs[size_t(k)]);
        ASSERT_TRUE(djpeg_clean(out, out + ".ppm"));
        ASSERT_TRUE(djpeg_clean(orig, orig + ".ppm"));
        EXPECT_TRUE(read_file(out + ".ppm") == read_file(orig + ".ppm"));
    }
    fm_svj_file_close(reel);
}

TEST_F(Svjf, NoQuantizationTableCopiesFromByte2) {
    // A comment, then the scan: everything from byte 2 goes into the header.
    bytes j = {0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x04, 0xAA, 0xBB, 0xFF,
               0xDA, 0x00, 0x02, 0x11, 0x22, 0x33, 0xFF, 0xD9};
    std::string name = tmp.path("nodqt.svj");
    int result;
    EXPECT_EQ(pack(name, {j, j}, 16, 16, &result), "");
    ASSERT_EQ(result, 0);
    bytes file = read_file(name);
    const unsigned char header[16] = {0xFF, 0xD8, 0xFF, 0xE0, 0,    6,    'S',  'V',
                                      'J',  0,    0xFF, 0xFE, 0x00, 0x04, 0xAA, 0xBB};
    EXPECT_EQ(std::memcmp(file.data(), header, 16), 0); // already 4-aligned: no fill
    const unsigned char field[12] = {0xFF, 0xFF, 0xFF, 0xDA, 0x00, 0x02,
                                     0x11, 0x22, 0x33, 0xFF, 0xFF, 0xD9};
    EXPECT_EQ(std::memcmp(file.data() + 16, field, 12), 0);
    EXPECT_TRUE(file == ref_build({j, j}, 16, 16, true).file);
}

TEST_F(Svjf, FrameOrder) {
    bytes j = make_field_jpeg(64, 32, 1);
    std::string a = tmp.path("a.jpg");
    write_file(a, j);
    std::string name = tmp.path("r.svj");
    fm_fileformat record{};
    ASSERT_EQ(svjf_create(name.c_str(), &record, 64, 64), 0);
    ASSERT_EQ(svjf_write(&record, 0, a.c_str(), a.c_str()), 0);
    ASSERT_EQ(svjf_write(&record, 1, a.c_str(), a.c_str()), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(svjf_write(&record, 3, a.c_str(), a.c_str()), 1);
    EXPECT_TRUE(report_matches(testing::internal::GetCapturedStderr(), "svjf_loadtmp", 18));
    // The failed write moved nothing; frame 2 appends.
    ASSERT_EQ(svjf_write(&record, 2, a.c_str(), a.c_str()), 0);
    EXPECT_EQ(record.frames, 3);
    ASSERT_EQ(svjf_close(&record), 0);
    EXPECT_TRUE(read_file(name) == ref_build(std::vector<bytes>(6, j), 64, 64, true).file);
    EXPECT_EQ(fm_errno, 0); // the writer reports, it does not set fm_errno
}

TEST_F(Svjf, ErrorReports) {
    bytes j = make_field_jpeg(64, 32, 1);
    std::string good = tmp.path("good.jpg");
    write_file(good, j);
    bytes bad = j;
    bad[bad.size() - 2] = 0x00;
    std::string badname = tmp.path("bad.jpg");
    write_file(badname, bad);
    bytes noscan = {0xFF, 0xD8, 0xFF, 0xDA}; // a scan marker with nothing after it
    std::string noscanname = tmp.path("noscan.jpg");
    write_file(noscanname, noscan);

    std::string name = tmp.path("r.svj");
    fm_fileformat record{};
    ASSERT_EQ(svjf_create(name.c_str(), &record, 64, 64), 0);
    struct {
        const char *f1;
        const char *step;
        int code;
    } cases[] = {
        {"bad", "svjf_loadtmp, finding image end", 3},
        {"noscan", "svjf_loadtmp", 3},
        {"missing", "svjf_loadtmp", 12},
    };
    for (auto &c : cases) {
        std::string f1 = std::string(c.f1) == "bad"      ? badname
                         : std::string(c.f1) == "noscan" ? noscanname
                                                         : tmp.path("missing.jpg");
        testing::internal::CaptureStderr();
        EXPECT_EQ(svjf_write(&record, 0, good.c_str(), f1.c_str()), 1);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(report_matches(err, c.step, c.code)) << err;
    }
    EXPECT_EQ(svjf_close(&record), 0);

    // stat failing for another reason than a missing name: 20.
    std::string file = tmp.path("plain");
    write_file(file, bytes(4, 0));
    fm_fileformat r2{};
    testing::internal::CaptureStderr();
    EXPECT_EQ(svjf_create((file + "/reel.svj").c_str(), &r2, 64, 64), 1);
    EXPECT_TRUE(report_matches(testing::internal::GetCapturedStderr(), "svjf_create", 20));
    // A missing directory: the open fails, 11.
    testing::internal::CaptureStderr();
    EXPECT_EQ(svjf_create(tmp.path("nodir/reel.svj").c_str(), &r2, 64, 64), 1);
    EXPECT_TRUE(report_matches(testing::internal::GetCapturedStderr(), "svjf_filecreate", 11));
    EXPECT_EQ(r2.state, nullptr);
    EXPECT_EQ(fm_errno, 0);
}
