// Play reels: the merge of backward stretches into jobs, the copy of fields
// in play order byte for byte, the check of field positions against the
// frame table, and the relink of segments to the new reels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "editing/clip_records.h"
#include "editing/play_reel.h"
#include "editing/segments.h"
#include "media/fm_format_svj.h"
#include "media/fm_main.h"
#include "media/video_globals.h"
#include "tests/media/reel_fixtures.h"

namespace {

using reel_test::bytes;
using reel_test::temp_dir;

// A reel's header area and the bytes of each field, read through the field store.
struct ReelBytes {
    uint32_t header = 0;
    bytes head;
    std::vector<std::array<bytes, 2>> fields;
};

ReelBytes Read(const std::string &name) {
    ReelBytes r;
    const bytes all = reel_test::read_file(name);
    fm_svj_file *f = fm_svj_file_open(name.c_str(), 0);
    if (!f) return r;
    r.header = f->tail.header;
    r.head.assign(all.begin(), all.begin() + r.header);
    for (uint32_t i = 0; i < f->tail.frames; ++i) {
        const svj_frame_entry &e = f->table[i];
        r.fields.push_back({bytes(all.begin() + e.offset0, all.begin() + e.offset0 + e.size0),
                            bytes(all.begin() + e.offset1, all.begin() + e.offset1 + e.size1)});
    }
    fm_svj_file_close(f);
    return r;
}

class PlayReelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetVideoMode(0);
        fm_initialize(nullptr);
        src = dir.path("tape.svj");
        ASSERT_EQ(reel_test::store_reel(src, reel_test::make_fields(12, 64, 32), 64, 32), "");
        clip.path = strdup(src.c_str());
        clip.frames = 12;
        play_jobs.clear();
    }
    void TearDown() override {
        free(clip.path);
        play_jobs.clear();
        fm_deinitialize();
    }
    // A job over frames start..end of the clip, remapped by map and period.
    void job(PlayJob &j, int start, int end, std::vector<int> map = {}, int period = 1) {
        j.clip = &clip;
        j.start = start;
        j.end = end;
        j.map_len = int(map.size());
        j.map = std::move(map);
        j.period = period;
    }
    temp_dir dir;
    std::string src;
    FisicData clip;
};

TEST_F(PlayReelTest, FieldsAreCopiedInPlayOrder) {
    const ReelBytes in = Read(src);
    ASSERT_EQ(in.fields.size(), 12u);
    const struct {
        int start, end;
        std::vector<int> map;
        int period, invert;
        std::vector<int> want; // source frames
        bool swapped;
    } cases[] = {
        {9, 5, {}, 1, 0, {9, 8, 7, 6, 5}, false},
        {9, 5, {}, 1, 1, {9, 8, 7, 6, 5}, true},         // backwards with "Invert fields"
        {2, 7, {0, 0}, 1, 1, {2, 2, 3, 3, 4, 4}, false}, // Slower 2 forwards keeps its fields
        {0, 3, {0}, 2, 0, {0, 2, 4, 6}, false},          // Faster 2
        {11, 11, {}, 1, 0, {11}, false},
    };
    for (const auto &c : cases) {
        PlayJob j;
        job(j, c.start, c.end, c.map, c.period);
        j.output = PlayReelName(&clip);
        ASSERT_FALSE(j.output.empty());
        EXPECT_EQ(BuildPlayReel(&j, 0, c.invert), 0) << "the name is taken: no overwrite";
        ASSERT_EQ(BuildPlayReel(&j, 1, c.invert), 1) << c.start;
        const ReelBytes out = Read(j.output);
        EXPECT_EQ(out.head, in.head);
        ASSERT_EQ(out.fields.size(), c.want.size()) << c.start;
        for (size_t k = 0; k < c.want.size(); ++k) {
            const auto &s = in.fields[size_t(c.want[k])];
            EXPECT_EQ(out.fields[k][0], s[c.swapped ? 1 : 0]) << c.start << " frame " << k;
            EXPECT_EQ(out.fields[k][1], s[c.swapped ? 0 : 1]) << c.start << " frame " << k;
        }
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path("tape_Play05.svj")));
}

TEST_F(PlayReelTest, FieldsReachingIntoTheTableAreRefused) {
    // The last field made to run into the 256 bytes before the frame table.
    bytes all = reel_test::read_file(src);
    fm_svj_file *f = fm_svj_file_open(src.c_str(), 0);
    ASSERT_NE(f, nullptr);
    const uint32_t table = f->tail.table, off1 = f->table[11].offset1;
    fm_svj_file_close(f);
    const size_t entry = table + 16 * 11 + 12; // size of field 1 of frame 11
    reel_test::put32(all, entry, table - off1 - 100);
    reel_test::write_file(src, all);
    const struct { int start, end, ok; } cases[] = {{10, 0, 1}, {11, 0, 0}, {11, 11, 0}};
    for (const auto &c : cases) {
        PlayJob j;
        job(j, c.start, c.end);
        j.output = dir.path("out.svj");
        EXPECT_EQ(BuildPlayReel(&j, 1, 0), c.ok) << c.start;
    }
}

Segment *Seg(int first, int last, FisicData *f, std::vector<int> map = {}, int period = 1) {
    auto *s = new Segment{first, last, 0, int(map.size()), period};
    s->fisic = f;
    s->map = CopyTable(map.data(), s->map_len);
    return s;
}

TEST_F(PlayReelTest, BackwardStretchesShareJobsAndMappedOnesDoNot) {
    FisicData other;
    std::vector<Segment *> segs = {Seg(100, 51, &clip),        Seg(80, 20, &clip),
                                   Seg(10, 5, &clip),          Seg(30, 25, &other),
                                   Seg(60, 40, &clip, {0, 0}), Seg(60, 40, &clip, {0}, 2),
                                   Seg(58, 45, &clip)};
    for (Segment *s : segs)
        AddInvertProcess(s, nullptr, nullptr);
    const std::vector<std::array<int, 2>> want = {{100, 20}, {10, 5}, {30, 25}, {60, 40}, {60, 40}};
    ASSERT_EQ(play_jobs.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(play_jobs[i]->start, want[i][0]) << i;
        EXPECT_EQ(play_jobs[i]->end, want[i][1]) << i;
    }
    EXPECT_EQ(play_jobs[3]->map, (std::vector<int>{0, 0}));
    EXPECT_EQ(play_jobs[4]->period, 2);
    for (Segment *s : segs) {
        free(s->map);
        delete s;
    }
}

TEST_F(PlayReelTest, RelinkPointsCoveredSegmentsAtTheNewReel) {
    FisicData fresh;
    std::vector<Segment *> ring = {Seg(100, 51, &clip), Seg(80, 20, &clip),
                                   Seg(60, 40, &clip, {0, 0}), Seg(60, 40, &clip, {0}, 2),
                                   Seg(5, 9, &clip)};
    for (size_t i = 0; i < ring.size(); ++i) {
        ring[i]->next = ring[(i + 1) % ring.size()];
        ring[(i + 1) % ring.size()]->prev = ring[i];
    }
    clip.refs = int(ring.size());
    WindowData w;
    w.seg_first = ring[0];
    w.seg_last = ring.back();

    PlayJob backward, slower;
    job(backward, 100, 20);
    job(slower, 60, 40, {0, 0});
    EXPECT_EQ(RelinkToPlayReel(&w, &backward, &fresh), 2);
    EXPECT_EQ(RelinkToPlayReel(&w, &slower, &fresh), 1);

    const struct {
        int first, last;
        FisicData *clip;
        bool mapped;
    } want[] = {{0, 49, &fresh, false},
                {20, 80, &fresh, false},
                {0, 20, &fresh, false},
                {60, 40, &clip, true}, // Faster 2 on the same frames stays
                {5, 9, &clip, false}};
    for (size_t i = 0; i < ring.size(); ++i) {
        EXPECT_EQ(ring[i]->first, want[i].first) << i;
        EXPECT_EQ(ring[i]->last, want[i].last) << i;
        EXPECT_EQ(ring[i]->fisic, want[i].clip) << i;
        EXPECT_EQ(ring[i]->map != nullptr, want[i].mapped) << i;
    }
    EXPECT_EQ(clip.refs.load(), 2);
    EXPECT_EQ(fresh.refs.load(), 3);
    w.seg_first = w.seg_last = nullptr;
    for (Segment *s : ring) {
        free(s->map);
        delete s;
    }
}

} // namespace
