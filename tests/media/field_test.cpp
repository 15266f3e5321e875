// Field-split SVJ writer (svjf_*).
#include <gtest/gtest.h>

#include <regex>

#include "media/field.h"
#include "media/fm_error.h"
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
    // svjf_write's result; its report on stderr goes to err.
    int write(int frame, const bytes &a, const std::string &b) {
        testing::internal::CaptureStderr();
        int result = svjf_write(&record, frame, file_of(a).c_str(), b.c_str());
        err = testing::internal::GetCapturedStderr();
        return result;
    }
    temp_dir tmp;
    int files = 0;
    fm_fileformat record{};
    std::string err;
};

bool report_matches(const std::string &err, const std::string &step, int code) {
    std::regex re(step + ": Error " + std::to_string(code) + " in file field, line [0-9]+\n");
    return std::regex_match(err, re);
}

} // namespace

// With JFIF, its APP0 is stripped: the tables start at the first FF DB.
TEST_F(Svjf, ReelIsByteExactWithAndWithoutJfif) {
    for (bool jfif : {false, true}) {
        auto jpegs = make_fields(2, 720, 288, 10, jfif);
        ASSERT_EQ(jpegs[0][3] == 0xE0, jfif);
        std::string name = tmp.path(jfif ? "jfif.svj" : "plain.svj");
        ASSERT_EQ(svjf_create(name.c_str(), &record, 720, 576), 0);
        for (int f = 0; f < 2; f++)
            ASSERT_EQ(write(f, jpegs[size_t(2 * f)], file_of(jpegs[size_t(2 * f + 1)])), 0) << err;
        ASSERT_EQ(svjf_close(&record), 0);
        EXPECT_TRUE(read_file(name) == ref_build(jpegs, 720, 576, true).file) << jfif;
    }
    EXPECT_EQ(fm_errno, 0);
}

TEST_F(Svjf, FrameOrderAndErrorReports) {
    bytes j = make_field_jpeg(64, 32, 1), bad = j;
    bad[bad.size() - 2] = 0x00;
    std::string a = file_of(j), name = tmp.path("r.svj");
    ASSERT_EQ(svjf_create(name.c_str(), &record, 64, 64), 0);
    ASSERT_EQ(write(0, j, a), 0);
    ASSERT_EQ(write(1, j, a), 0);
    struct {
        int frame;
        std::string field1;
        const char *step;
        int code;
    } cases[] = {
        {3, a, "svjf_loadtmp", 18},
        {2, file_of(bad), "svjf_loadtmp, finding image end", 3},
        {2, tmp.path("missing.jpg"), "svjf_loadtmp", 12},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(write(c.frame, j, c.field1), 1);
        EXPECT_TRUE(report_matches(err, c.step, c.code)) << err;
    }
    // The failed writes moved nothing; frame 2 appends.
    ASSERT_EQ(write(2, j, a), 0);
    ASSERT_EQ(svjf_close(&record), 0);
    EXPECT_TRUE(read_file(name) == ref_build(std::vector<bytes>(6, j), 64, 64, true).file);
    EXPECT_EQ(fm_errno, 0); // the writer reports, it does not set fm_errno
    testing::internal::CaptureStderr();
    EXPECT_EQ(svjf_create(tmp.path("nodir/reel.svj").c_str(), &record, 64, 64), 1);
    EXPECT_TRUE(report_matches(testing::internal::GetCapturedStderr(), "svjf_filecreate", 11));
}
