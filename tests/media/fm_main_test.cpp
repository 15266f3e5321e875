// The format manager: name matching, the first-failure rule, the record and
// file operations' codes, format identification, fm_convert's field walk and
// fm_converter's number formats.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "media/fm_main.h"
#include "tests/media/fm_test_util.h"
#include "tests/media/reel_fixtures.h"

using fm_test::bytes;

namespace {

using FmMain = fm_test::FmFixture;

TEST_F(FmMain, NamesAndFirstFailure) {
    // Case is ignored, and one underscore.
    std::pair<const char *, int> names[] = {{"SVJ", 0}, {"s_vj", 0}, {"Sv_J", 0},  {"svj_", 0},
                                            {"sv", 1},  {"svjx", 1}, {"s__vj", 1}, {"", 1}};
    for (const auto &n : names) {
        fm_format *f = nullptr;
        EXPECT_EQ(fm_fileformat_find(&f, n.first), n.second) << n.first;
    }
    EXPECT_EQ(fm_fileformat_allocate("tiff"), nullptr);
    EXPECT_EQ(fm_fileformat_free(nullptr), 1);
    EXPECT_EQ(take_errno(), 19); // the first failure keeps its code
    EXPECT_EQ(fm_fileformat_free(nullptr), 1);
    EXPECT_EQ(take_errno(), 4);
    EXPECT_STREQ(fm_errorstr(9), "Program: Buffer size missmatch");
    EXPECT_STREQ(fm_errorstr(22), "Error code to high to print");
}

TEST_F(FmMain, RecordAndFileOperationCodes) {
    std::string reel = dir.path("r.svj");
    ASSERT_EQ(fm_test::write_reel(reel, 64, 48, {fm_test::make_frame(64, 48, 0)}, 75), "");
    fm_test::svj_record file;
    ASSERT_NE(file.file, nullptr);
    std::pair<int (*)(fm_fileformat *), int> only_allocated[] = {
        {[](fm_fileformat *f) { return fm_read(f, 0); }, 10},
        {fm_free_buffer, 8},
        {fm_malloc_buffer, 3}, // size 0
    };
    for (const auto &c : only_allocated) {
        EXPECT_EQ(c.first(file), 1);
        EXPECT_EQ(take_errno(), c.second);
    }
    ASSERT_EQ(fm_rheader(file, reel.c_str()), 0);
    EXPECT_EQ(file->width * 1000 + file->height, 64048);
    EXPECT_EQ(fm_read(file, 0), 1); // no buffer after fm_rheader
    EXPECT_EQ(take_errno(), 8);
    EXPECT_EQ(fm_close(file), 0);
    EXPECT_EQ(fm_open(file, dir.path("none.svj").c_str()), 1);
    EXPECT_EQ(take_errno(), 12);
    EXPECT_STREQ(fm_check(reel.c_str()), "svj"); // identified by content
    EXPECT_STREQ(fm_check(dir.dir().c_str()), "(dir)");
}

// A record of packed R, G, B, with the field-walk words when fields.
struct packed {
    fm_fileformat record{};
    bytes data;
    packed(int w, int h, bool fields) : data(size_t(w) * h * 3) {
        record.width = w;
        record.height = h;
        record.pixel_type = 1;
        for (int c = 0; c < 3; c++)
            record.offset[c] = c, record.step[c] = 3;
        record.size = int(data.size());
        record.buffer = data.data();
        if (fields) {
            record.field_walk[0] = -(3 * w * h / 2);
            record.field_walk[1] = 3 * w * (h - 2) / 2;
        }
    }
};

TEST_F(FmMain, ConvertType1To1) {
    const int w = 5, h = 6;
    packed fields(w, h, true), plain(w, h, false), again(w, h, true);
    fields.data = fm_test::make_frame(w, h, 3);
    fields.record.buffer = fields.data.data();
    plain.record.offset[0] = 2, plain.record.offset[2] = 0; // B, G, R
    ASSERT_EQ(fm_convert(&fields.record, &plain.record), 0);
    for (int y = 0; y < h; y++) {
        const unsigned char *s = fm_test::frame_line(fields.data, w, h, y);
        const unsigned char *d = plain.data.data() + y * w * 3;
        for (int x = 0; x < 3 * w; x += 3)
            EXPECT_TRUE(s[x] == d[x + 2] && s[x + 1] == d[x + 1] && s[x + 2] == d[x]) << y;
    }
    ASSERT_EQ(fm_convert(&plain.record, &again.record), 0);
    EXPECT_EQ(again.data, fields.data);

    packed a(4, 4, false), small(2, 2, false);
    fm_fileformat three = a.record;
    three.pixel_type = 3;
    EXPECT_EQ(fm_convert(&three, &a.record), 1);
    EXPECT_EQ(take_errno(), 5);
    EXPECT_EQ(fm_convert(&small.record, &a.record), 1); // would read past the source
    EXPECT_EQ(take_errno(), 9);
    EXPECT_EQ(fm_convert(&a.record, &small.record), 0);
}

// The svj driver registered again as a single-image format.
TEST_F(FmMain, ConverterNumbersFilesAndFrames) {
    fm_format *svj = nullptr;
    ASSERT_EQ(fm_fileformat_find(&svj, "svj"), 0);
    fm_format one = *svj;
    std::snprintf(one.name, sizeof one.name, "one");
    one.single = 1;
    fm_register_format(&one);
    std::vector<bytes> frames = {fm_test::make_frame(32, 16, 0), fm_test::make_frame(32, 16, 5)};
    ASSERT_EQ(fm_test::write_reel(dir.path("clip007.svj"), 32, 16, {frames[0]}, 95), "");
    ASSERT_EQ(fm_test::write_reel(dir.path("clip008.svj"), 32, 16, {frames[1]}, 95), "");
    fm_fileformat *from = fm_fileformat_allocate("svj"), *to = fm_fileformat_allocate("one");
    auto expect_output = [&](const std::string &name, const bytes &frame) {
        ASSERT_EQ(fm_open(from, dir.path(name).c_str()), 0) << name;
        ASSERT_EQ(fm_read(from, 0), 0) << name;
        EXPECT_LT(fm_test::compare(from->buffer, frame.data(), frame.size()).mean, 5.0) << name;
        fm_close(from);
    };
    // Numbers padded to 3 digits in, 2 out: clip007, clip008.
    std::string from_pattern = dir.path("clip#3.svj"), to_pattern = dir.path("out#2.");
    fm_convert_from src{from, from_pattern.c_str(), '#', 7, 9, 1, 0, 0};
    fm_convert_to dst{to, to_pattern.c_str(), '#', 4, 0, 0};
    ASSERT_EQ(fm_converter(&src, &dst, 0, nullptr), 0) << fm_errorstr(fm_errno);
    expect_output("out04.svj", frames[0]);
    expect_output("out05.svj", frames[1]);

    fm_fileformat_free(from);
    fm_fileformat_free(to);
}

} // namespace
