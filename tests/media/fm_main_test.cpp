// The format manager: registry and name matching, message table, the
// first-failure rule, the record and file operations' codes, format
// identification, fm_convert's field walk and fm_converter's number formats
// and list mode.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "media/fm_main.h"
#include "tests/media/fm_test_util.h"
#include "tests/media/reel_fixtures.h"

using fm_test::bytes;

namespace {

class FmMain : public ::testing::Test {
  protected:
    void SetUp() override { fm_errno = 0; }
    fm_test::registry registry;
    reel_test::temp_dir dir;
};

TEST_F(FmMain, MessageTable) {
    EXPECT_STREQ(fm_errorstr(0), "No error");
    EXPECT_STREQ(fm_errorstr(9), "Program: Buffer size missmatch");
    EXPECT_STREQ(fm_errorstr(21), "File access: Truncate failed");
    EXPECT_STREQ(fm_errorstr(22), "Error code to high to print");
}

TEST_F(FmMain, NamesMatchIgnoringCaseAndOneUnderscore) {
    for (const char *name : {"svj", "SVJ", "s_vj", "Sv_J", "_svj", "svj_"}) {
        fm_format *f = nullptr;
        EXPECT_EQ(fm_fileformat_find(&f, name), 0) << name;
        EXPECT_NE(f, nullptr);
    }
    for (const char *name : {"sv", "svjx", "s__vj", "", "jvs"}) {
        fm_format *f = nullptr;
        EXPECT_EQ(fm_fileformat_find(&f, name), 1) << name;
    }
    fm_fileformat *file = fm_fileformat_allocate("SVJ");
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(file->format->extension, "svj");
    EXPECT_EQ(file->state, nullptr);
    EXPECT_EQ(fm_fileformat_free(file), 0);
    EXPECT_EQ(fm_fileformat_allocate("tiff"), nullptr);
    EXPECT_EQ(fm_errno, 19);
}

TEST_F(FmMain, FirstFailureKeepsItsCode) {
    EXPECT_EQ(fm_fileformat_allocate("tiff"), nullptr);
    EXPECT_EQ(fm_fileformat_free(nullptr), 1);
    EXPECT_EQ(fm_read(nullptr, 0), 1);
    EXPECT_EQ(fm_errno, 19);
    fm_errno = 0;
    EXPECT_EQ(fm_fileformat_free(nullptr), 1);
    EXPECT_EQ(fm_errno, 4);
}

TEST_F(FmMain, RecordAndFileOperationCodes) {
    std::string reel = dir.path("r.svj");
    ASSERT_EQ(fm_test::write_reel(reel, 64, 48, {fm_test::make_frame(64, 48, 0)}, 75), "");
    fm_fileformat *file = fm_fileformat_allocate("svj");
    ASSERT_NE(file, nullptr);
    struct {
        int (*op)(fm_fileformat *);
        int code;
    } only_allocated[] = {
        {[](fm_fileformat *f) { return fm_read(f, 0); }, 10},
        {[](fm_fileformat *f) { return fm_write(f, 0); }, 10},
        {fm_close, 10},
        {fm_free_buffer, 8},
        {fm_malloc_buffer, 3}, // size 0
    };
    for (const auto &c : only_allocated) {
        fm_errno = 0;
        EXPECT_EQ(c.op(file), 1);
        EXPECT_EQ(fm_errno, c.code);
    }
    fm_errno = 0;
    ASSERT_EQ(fm_rheader(file, reel.c_str()), 0);
    EXPECT_EQ(file->width, 64);
    EXPECT_EQ(file->height, 48);
    EXPECT_EQ(file->frames, 1);
    EXPECT_EQ(file->buffer, nullptr);
    EXPECT_EQ(fm_read(file, 0), 1);
    EXPECT_EQ(fm_errno, 8);
    EXPECT_EQ(fm_close(file), 0);
    fm_errno = 0;
    EXPECT_EQ(fm_open(file, dir.path("none.svj").c_str()), 1);
    EXPECT_EQ(fm_errno, 12);
    fm_errno = 0;
    file->format = nullptr;
    EXPECT_EQ(fm_open(file, reel.c_str()), 1);
    EXPECT_EQ(fm_errno, 19);
    fm_fileformat_free(file);
    fm_errno = 0;
    EXPECT_EQ(fm_create(nullptr, "x", nullptr, 0), 1);
    EXPECT_EQ(fm_errno, 4);
}

TEST_F(FmMain, MissingCallbackGives7) {
    fm_format *raw = fm_register("nocall");
    fm_fileformat *file = fm_fileformat_allocate("nocall");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->format, raw);
    EXPECT_EQ(fm_open(file, "x"), 1);
    EXPECT_EQ(fm_errno, 7);
    fm_fileformat_free(file);
}

TEST_F(FmMain, CheckIdentifiesFiles) {
    std::string reel = dir.path("r.svj");
    ASSERT_EQ(fm_test::write_reel(reel, 64, 48, {fm_test::make_frame(64, 48, 0)}, 75), "");
    std::string copy = dir.path("r.dat");
    reel_test::write_file(copy, reel_test::read_file(reel));
    std::string other = dir.path("x.svj");
    reel_test::write_file(other,
                          bytes{0xFF, 0xD8, 0xFF, 0xDB, 0, 0x43, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    std::string text = dir.path("note.txt");
    reel_test::write_file(text, bytes(32, 'a'));
    EXPECT_STREQ(fm_check(reel.c_str()), "svj");
    EXPECT_STREQ(fm_check(copy.c_str()), "svj");
    EXPECT_STREQ(fm_check(other.c_str()), "svj");
    EXPECT_EQ(fm_check(text.c_str()), nullptr);
    EXPECT_STREQ(fm_check(dir.dir().c_str()), "(dir)");
    EXPECT_STREQ(fm_check(dir.path("missing").c_str()), "[open_error]");
}

// A record of packed R, G, B with the given field-walk words.
struct packed {
    fm_fileformat record{};
    bytes data;
    packed(int w, int h, bool fields) : data(size_t(w) * h * 3) {
        record.width = w;
        record.height = h;
        record.pixel_type = 1;
        for (int c = 0; c < 3; c++) {
            record.offset[c] = c;
            record.step[c] = 3;
        }
        record.size = int(data.size());
        record.buffer = data.data();
        if (fields) {
            record.field_walk[0] = -(3 * w * h / 2);
            record.field_walk[1] = 3 * w * (h - 2) / 2;
        }
    }
};

TEST_F(FmMain, ConvertWalksFieldsInPictureLineOrder) {
    const int w = 5, h = 6;
    packed fields(w, h, true), plain(w, h, false);
    fields.data = fm_test::make_frame(w, h, 3);
    fields.record.buffer = fields.data.data();
    // Other component order on the destination: B, G, R.
    plain.record.offset[0] = 2;
    plain.record.offset[2] = 0;
    ASSERT_EQ(fm_convert(&fields.record, &plain.record), 0);
    for (int y = 0; y < h; y++) {
        const unsigned char *src = fm_test::frame_line(fields.data, w, h, y);
        for (int x = 0; x < w; x++) {
            const unsigned char *d = plain.data.data() + (size_t(y) * w + x) * 3;
            EXPECT_EQ(d[2], src[3 * x]);
            EXPECT_EQ(d[1], src[3 * x + 1]);
            EXPECT_EQ(d[0], src[3 * x + 2]);
        }
    }
    // And back: the field-sequential frame again.
    packed again(w, h, true);
    plain.record.offset[0] = 2;
    ASSERT_EQ(fm_convert(&plain.record, &again.record), 0);
    EXPECT_EQ(again.data, fields.data);
}

TEST_F(FmMain, ConvertRefusals) {
    packed a(4, 4, false), b(4, 4, false);
    a.record.pixel_type = 0;
    EXPECT_EQ(fm_convert(&a.record, &b.record), 1);
    EXPECT_EQ(fm_errno, 5);
    fm_errno = 0;
    a.record.pixel_type = 3;
    EXPECT_EQ(fm_convert(&a.record, &b.record), 1);
    EXPECT_EQ(fm_errno, 5);
    fm_errno = 0;
    a.record.pixel_type = 1;
    a.record.option[1] = 1;
    EXPECT_EQ(fm_convert(&a.record, &b.record), 1);
    EXPECT_EQ(fm_errno, 3);
    fm_errno = 0;
    a.record.option[1] = 0;
    a.record.depth[0] = 16;
    EXPECT_EQ(fm_convert(&a.record, &b.record), 1);
    EXPECT_EQ(fm_errno, 3);
    fm_errno = 0;
    a.record.depth[0] = 0;
    b.record.buffer = nullptr;
    EXPECT_EQ(fm_convert(&a.record, &b.record), 1);
    EXPECT_EQ(fm_errno, 8);
    fm_errno = 0;
    EXPECT_EQ(fm_convert(nullptr, &b.record), 1);
    EXPECT_EQ(fm_errno, 4);
    fm_errno = 0;
    // A destination larger than the source would read past it.
    packed small(2, 2, false), large(4, 4, false);
    EXPECT_EQ(fm_convert(&small.record, &large.record), 1);
    EXPECT_EQ(fm_errno, 9);
    fm_errno = 0;
    EXPECT_EQ(fm_convert(&large.record, &small.record), 0);
}

// A single-image test format: each file holds one raw packed R, G, B frame
// after a 4-byte width and height.
struct raw_state {
    fm_fileformat *record;
    std::string name;
};
void *raw_create(const char *name, fm_fileformat *record, int w, int h, int, int) {
    record->width = w;
    record->height = h;
    record->frames = 1;
    record->pixel_type = 1;
    for (int c = 0; c < 3; c++) {
        record->offset[c] = c;
        record->step[c] = 3;
    }
    record->size = 3 * w * h;
    return new raw_state{record, name};
}
int raw_close(void *state) {
    delete static_cast<raw_state *>(state);
    return 0;
}
int raw_write(void *state, int, unsigned char *buffer, int size) {
    auto *s = static_cast<raw_state *>(state);
    bytes out(4 + size_t(size), 0);
    out[0] = uint8_t(s->record->width);
    out[1] = uint8_t(s->record->height);
    memcpy(out.data() + 4, buffer, size_t(size));
    reel_test::write_file(s->name, out);
    return 0;
}

TEST_F(FmMain, ConverterNumbersFilesAndFrames) {
    fm_format *raw = fm_register("raw");
    std::snprintf(raw->extension, sizeof raw->extension, "raw");
    raw->single = 1;
    fm_callback(raw, FM_CB_CREATE, raw_create);
    fm_callback(raw, FM_CB_CLOSE, raw_close);
    fm_callback(raw, FM_CB_WRITE, raw_write);
    std::vector<bytes> frames = {fm_test::make_frame(32, 16, 0), fm_test::make_frame(32, 16, 5)};
    ASSERT_EQ(fm_test::write_reel(dir.path("clip007.svj"), 32, 16, {frames[0]}, 95), "");
    ASSERT_EQ(fm_test::write_reel(dir.path("clip8.svj"), 32, 16, {frames[1]}, 95), "");
    ASSERT_EQ(fm_test::write_reel(dir.path("clip008.svj"), 32, 16, {frames[1]}, 95), "");

    fm_fileformat *from = fm_fileformat_allocate("svj");
    fm_fileformat *to = fm_fileformat_allocate("raw");
    std::string from_pattern = dir.path("clip#3.svj"), to_pattern = dir.path("out#2.");
    fm_convert_from src{from, from_pattern.c_str(), '#', 7, 9, 1, 0, 0};
    fm_convert_to dst{to, to_pattern.c_str(), '#', 4, 0, 0};
    ASSERT_EQ(fm_converter(&src, &dst, 0, nullptr), 0) << fm_errorstr(fm_errno);
    for (int k = 0; k < 2; k++) {
        bytes out = reel_test::read_file(dir.path("out0" + std::to_string(4 + k) + ".raw"));
        ASSERT_EQ(out.size(), 4 + frames[k].size());
        // The raw format has no field-walk words: its frames are in picture-line order.
        bytes want = fm_test::picture_order(frames[k], 32, 16);
        EXPECT_LT(fm_test::compare(out.data() + 4, want.data(), want.size()).mean, 3.0);
    }

    // List mode: a name alone is frame 0 of that file.
    std::string list = dir.path("clip8.svj") + "\n" + dir.path("clip007.svj") + " 0 1\n";
    std::string to2 = dir.path("list#.");
    fm_convert_to dst2{to, to2.c_str(), '#', 0, 0, 0};
    fm_convert_from none{from, nullptr, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(fm_converter(&none, &dst2, FM_CONVERT_LIST, list.c_str()), 0);
    bytes first = reel_test::read_file(dir.path("list0.raw"));
    ASSERT_EQ(first.size(), 4 + frames[1].size());
    bytes want = fm_test::picture_order(frames[1], 32, 16);
    EXPECT_LT(fm_test::compare(first.data() + 4, want.data(), want.size()).mean, 3.0);
    EXPECT_EQ(reel_test::read_file(dir.path("list1.raw")).size(), 4 + frames[0].size());

    std::string bad = dir.path("clip8.svj") + " zero\n";
    EXPECT_EQ(fm_converter(&none, &dst2, FM_CONVERT_LIST, bad.c_str()), 1);

    // A target larger than the source is refused with 17.
    fm_errno = 0;
    fm_convert_to big{to, to2.c_str(), '#', 0, 64, 64};
    EXPECT_EQ(fm_converter(&none, &big, FM_CONVERT_LIST, list.c_str()), 1);
    EXPECT_EQ(fm_errno, 17);
    fm_fileformat_free(from);
    fm_fileformat_free(to);
}

TEST_F(FmMain, ConverterIntoOneReel) {
    std::vector<bytes> frames = {fm_test::make_frame(48, 32, 0), fm_test::make_frame(48, 32, 4),
                                 fm_test::make_frame(48, 32, 8)};
    ASSERT_EQ(fm_test::write_reel(dir.path("a1.svj"), 48, 32, {frames[0], frames[1]}, 95), "");
    ASSERT_EQ(fm_test::write_reel(dir.path("a2.svj"), 48, 32, {frames[2]}, 95), "");
    fm_fileformat *from = fm_fileformat_allocate("svj");
    fm_fileformat *to = fm_fileformat_allocate("svj");
    std::string pattern = dir.path("a#.svj"), out = dir.path("all.svj");
    fm_convert_from src{from, pattern.c_str(), '#', 1, 3, 1, 0, 0};
    fm_convert_to dst{to, out.c_str(), '#', 0, 0, 0};
    ASSERT_EQ(fm_converter(&src, &dst, 0, nullptr), 0) << fm_errorstr(fm_errno);
    ASSERT_EQ(fm_open(from, out.c_str()), 0);
    ASSERT_EQ(from->frames, 3);
    for (int f = 0; f < 3; f++) {
        ASSERT_EQ(fm_read(from, f), 0);
        EXPECT_LT(fm_test::compare(from->buffer, frames[f].data(), frames[f].size()).mean, 3.0);
    }
    fm_close(from);
    fm_fileformat_free(from);
    fm_fileformat_free(to);
}

} // namespace
