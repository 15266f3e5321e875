// Field-split SVJ writer (svjf_*).
#include <gtest/gtest.h>

#include <regex>

#include "media/field.h"
#include "media/fm_error.h"
#include "media/fm_format_svj.h"
#include "reel_fixtures.h"

using namespace reel_test;

namespace {

class Svjf : public ::testing::Test {
  protected:
    void SetUp() override { fm_errno = 0; }
    std::string file_of(const bytes &jpeg) {
        std::string name = tmp.path("in" + std::to_string(files++) + ".jpg");
        write_file(name, jpeg);
        return name;
    }
    // svjf_write's result and its report on stderr.
    int write(fm_fileformat *record, int frame, const std::string &a, const std::string &b,
              std::string *err) {
        testing::internal::CaptureStderr();
        int result = svjf_write(record, frame, a.c_str(), b.c_str());
        *err = testing::internal::GetCapturedStderr();
        return result;
    }
    temp_dir tmp;
    int files = 0;
};

bool report_matches(const std::string &err, const std::string &step, int code) {
    std::regex re(step + ": Error " + std::to_string(code) + " in file field, line [0-9]+\n");
    return std::regex_match(err, re);
}

} // namespace

TEST_F(Svjf, ReelIsByteExactAndFieldsDecode) {
    for (bool jfif : {false, true}) {
        SCOPED_TRACE(jfif ? "JFIF" : "no JFIF");
        auto jpegs = make_fields(2, 720, 288, 10, jfif);
        std::string name = tmp.path(jfif ? "jfif.svj" : "plain.svj");
        fm_fileformat record{};
        ASSERT_EQ(svjf_create(name.c_str(), &record, 720, 576), 0);
        std::string err;
        for (int f = 0; f < 2; f++)
            ASSERT_EQ(write(&record, f, file_of(jpegs[size_t(2 * f)]),
                            file_of(jpegs[size_t(2 * f + 1)]), &err),
                      0)
                << err;
        ASSERT_EQ(svjf_close(&record), 0);
        bytes file = read_file(name);
        // With JFIF, its APP0 is stripped: the tables start at the first FF DB.
        EXPECT_EQ(jpegs[0][3] == 0xE0, jfif);
        EXPECT_EQ(get32(file, 8) & 0xFFFF, 0xFFDBu);
        EXPECT_TRUE(file == ref_build(jpegs, 720, 576, true).file);
        if (!jfif) { // both writers agree
            ASSERT_EQ(store_reel(tmp.path("store.svj"), jpegs, 720, 576), "");
            EXPECT_TRUE(file == read_file(tmp.path("store.svj")));
            continue;
        }
        // Header + every field decodes as a complete JPEG, like the original.
        fm_svj_file *reel = fm_svj_file_open(name.c_str(), 0);
        ASSERT_NE(reel, nullptr);
        for (int k = 0; k < 4; k++) {
            std::vector<unsigned char> one;
            ASSERT_EQ(fm_svj_field_extract_mem(reel, k / 2, k % 2, &one), 0);
            std::string out = file_of(one), orig = file_of(jpegs[size_t(k)]);
            ASSERT_TRUE(djpeg_clean(out, out + ".ppm"));
            ASSERT_TRUE(djpeg_clean(orig, orig + ".ppm"));
            EXPECT_TRUE(read_file(out + ".ppm") == read_file(orig + ".ppm")) << k;
        }
        fm_svj_file_close(reel);
    }
    EXPECT_EQ(fm_errno, 0);
}

TEST_F(Svjf, FrameOrderAndErrorReports) {
    bytes j = make_field_jpeg(64, 32, 1), bad = j;
    bad[bad.size() - 2] = 0x00;
    std::string a = file_of(j), name = tmp.path("r.svj"), err;
    fm_fileformat record{};
    ASSERT_EQ(svjf_create(name.c_str(), &record, 64, 64), 0);
    ASSERT_EQ(write(&record, 0, a, a, &err), 0);
    ASSERT_EQ(write(&record, 1, a, a, &err), 0);
    struct {
        int frame;
        std::string field1;
        const char *step;
        int code;
    } cases[] = {
        {3, a, "svjf_loadtmp", 18},
        {2, file_of(bad), "svjf_loadtmp, finding image end", 3},
        {2, file_of({0xFF, 0xD8, 0xFF, 0xDA}), "svjf_loadtmp", 3},
        {2, tmp.path("missing.jpg"), "svjf_loadtmp", 12},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(write(&record, c.frame, a, c.field1, &err), 1);
        EXPECT_TRUE(report_matches(err, c.step, c.code)) << err;
    }
    // The failed writes moved nothing; frame 2 appends.
    ASSERT_EQ(write(&record, 2, a, a, &err), 0);
    ASSERT_EQ(svjf_close(&record), 0);
    EXPECT_TRUE(read_file(name) == ref_build(std::vector<bytes>(6, j), 64, 64, true).file);
    EXPECT_EQ(fm_errno, 0); // the writer reports, it does not set fm_errno

    testing::internal::CaptureStderr();
    EXPECT_EQ(svjf_create(tmp.path("nodir/reel.svj").c_str(), &record, 64, 64), 1);
    EXPECT_TRUE(report_matches(testing::internal::GetCapturedStderr(), "svjf_filecreate", 11));
    EXPECT_EQ(record.state, nullptr);
}
