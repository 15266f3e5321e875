// Work files: round trips through the file and through window records,
// names relative to a database that moves, old versions, and damaged files
// that must give the loader's message and never a crash.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

#include "editing/clip_records.h"
#include "editing/frame_map.h"
#include "editing/segments.h"
#include "editing/work_file.h"
#include "media/clip_log.h"
#include "media/video_globals.h"
#include "platform/fileio.h"
#include "tests/media/reel_fixtures.h"
#include "tests/workfile/file_limit.h"

using namespace reel_test;

namespace {

WorkSegment reel_seg(int first, int last, std::vector<int> map, int period, const char *name) {
    WorkSegment s;
    s.first = first;
    s.last = last;
    s.map = std::move(map);
    s.period = period;
    s.name = name;
    memcpy(s.time, "Mon Dec  7 08:00:00 2026\n", 25);
    s.size = 123456;
    return s;
}

WorkSegment pic_seg(int first, int last, const char *name) {
    WorkSegment s;
    s.first = first;
    s.last = last;
    s.kind = WORK_PICTURES;
    s.pic = {10, 59, 1, 2, 3, 7};
    s.name = name;
    return s;
}

WorkWindow window(const char *title, int master, int slot, std::vector<WorkSegment> segs) {
    WorkWindow w;
    w.width = 180;
    w.height = 144;
    w.master = master;
    w.slot = slot;
    w.title = title;
    w.start = 15000;
    w.segments = std::move(segs);
    int64_t at = 0;
    for (WorkSegment &s : w.segments) {
        s.offset = int(at);
        at += std::abs(int64_t(s.last) - s.first) + 1;
    }
    w.total = int(at);
    w.in = 1;
    w.out = w.total - 2;
    return w;
}

// Faster by 2, slower by 3, a still, a backward range, a picture sequence.
WorkFile sample_work() {
    WorkFile f;
    f.windows.push_back(window(
        "JN(a b)", 1, 0,
        {reel_seg(0, 9, {0}, 2, "a.svj"), reel_seg(5, 16, {0, 0, 0}, 1, "/elsewhere/b.svj")}));
    f.windows.push_back(window("ST5(3->a)", 1, 1, {reel_seg(3, 7, {0}, 0, "a.svj")}));
    f.windows.push_back(window("back", 0, 4, {reel_seg(20, 10, {}, 1, "a.svj")}));
    f.windows.push_back(window("IS(shot)", 0, 999, {pic_seg(0, 49, "shot")}));
    return f;
}

int read_bytes(const temp_dir &tmp, const bytes &b, WorkFile *out) {
    write_file(tmp.path("t.wrk"), b);
    return ReadWorkFile(tmp.path("t.wrk").c_str(), out);
}

} // namespace

TEST(WorkFileTest, RoundTripThroughTheFile) {
    temp_dir tmp;
    const WorkFile f = sample_work();
    const std::string path = tmp.path("w.wrk");
    ASSERT_EQ(WriteWorkFile(path.c_str(), f), 1);
    const bytes written = read_file(path);
    EXPECT_EQ(written, WorkFileBytes(f));
    EXPECT_EQ(std::string(written.begin(), written.begin() + 21),
              std::string("Vek Dulsar Orva 0002\0", 21));
    WorkFile back;
    ASSERT_EQ(ReadWorkFile(path.c_str(), &back), WORK_OK);
    EXPECT_EQ(back.version, 2);
    // Every field the file holds came back: written again, the same bytes.
    EXPECT_EQ(WorkFileBytes(back), written);
    EXPECT_EQ(access((path + ".new").c_str(), F_OK), -1);

    // A selection that matches no window: the header and N = 0.
    first_window = last_window = first_work = nullptr;
    CollectWork(WORK_ALL, nullptr, nullptr, "/db/", &back);
    ASSERT_EQ(WriteWorkFile(path.c_str(), back), 1);
    EXPECT_EQ(read_file(path).size(), 25u);
    back.windows.resize(3);
    EXPECT_EQ(ReadWorkFile(path.c_str(), &back), WORK_OK);
    EXPECT_TRUE(back.windows.empty());
    EXPECT_EQ(back.dropped, 0);
}

TEST(WorkFileTest, NamesRelativeToTheDatabase) {
    const std::tuple<const char *, int, const char *> cases[] = {
        {"/db/SVJ/a.svj", WORK_REEL, "a.svj"},
        {"/db/IMAGES/shot", WORK_PICTURES, "shot"},
        {"/db/IMAGES/shot", WORK_REEL, "/db/IMAGES/shot"}, // other kind's directory
        {"/db/SVJ/sub/a.svj", WORK_REEL, "/db/SVJ/sub/a.svj"},
        {"/db/SVJ/", WORK_REEL, "/db/SVJ/"},
        {"/other/SVJ/a.svj", WORK_REEL, "/other/SVJ/a.svj"},
    };
    for (auto [path, kind, stored] : cases) {
        EXPECT_EQ(WorkRelativeName(path, kind, "/db/"), stored) << path;
        // The database moved as a whole: relative names follow it.
        const std::string moved =
            stored[0] == '/' ? stored : std::string("/new/") + (kind ? "IMAGES/" : "SVJ/") + stored;
        EXPECT_EQ(WorkFullName(stored, kind, "/new/"), moved) << path;
    }
    EXPECT_EQ(WorkRelativeName("/db/SVJ/a.svj", WORK_REEL, nullptr), "/db/SVJ/a.svj");
}

namespace {

// A small list of windows on real files in a temporary database.
struct Desk {
    temp_dir tmp;
    std::string db = tmp.dir() + "/db/";
    std::vector<std::unique_ptr<FisicData>> clips;
    std::vector<WindowData *> wins;

    Desk() {
        mkdir(db.c_str(), 0777);
        mkdir((db + "SVJ").c_str(), 0777);
        mkdir((db + "IMAGES").c_str(), 0777);
        first_window = last_window = first_work = nullptr;
    }
    ~Desk() {
        for (WindowData *w : wins) {
            FreeSegments(w);
            delete w;
        }
        for (auto &c : clips) {
            free(c->path);
            if (c->pic) free(c->pic->pattern);
            delete c->pic;
        }
        first_window = last_window = first_work = nullptr;
    }
    FisicData *reel(const std::string &path, int frames) {
        write_file(path, bytes(100, 1));
        clips.push_back(std::make_unique<FisicData>());
        clips.back()->path = strdup(path.c_str());
        clips.back()->frames = frames;
        return clips.back().get();
    }
    FisicData *pictures(const std::string &base, int frames) {
        clips.push_back(std::make_unique<FisicData>());
        clips.back()->pic = new ImageLogInfo{strdup(base.c_str()), 1, frames, 1, 1, 2, 5};
        clips.back()->frames = frames;
        return clips.back().get();
    }
    // A window of segments {clip, first, last, map, period}, listed at the end.
    WindowData *add(int master, int selected,
                    std::vector<std::tuple<FisicData *, int, int, std::vector<int>, int>> segs) {
        auto *w = new WindowData;
        w->master = master;
        w->selected = selected;
        w->slot = int(wins.size());
        w->width = 180;
        w->height = 144;
        int at = 0;
        for (auto &[clip, first, last, map, period] : segs) {
            auto *s = new Segment;
            s->fisic = clip;
            clip->refs++;
            s->first = first;
            s->last = last;
            s->offset = at;
            at += std::abs(last - first) + 1;
            s->period = period;
            if (!map.empty()) {
                s->map = static_cast<int *>(malloc(map.size() * sizeof(int)));
                memcpy(s->map, map.data(), map.size() * sizeof(int));
                s->map_len = int(map.size());
            }
            RingAppend(w, s);
        }
        w->total = at;
        w->out = at - 1;
        wins.push_back(w);
        PlaceWorkWindow(w);
        return w;
    }
};

std::string title_of(WindowData *w) {
    return "title" + std::to_string(w->slot);
}

bool import_of(WindowData *w, WorkImport *imp) {
    imp->reel = w->slot % 2 == 0;
    imp->name = imp->reel ? "/imports/new.svj" : "/imports/seq";
    imp->pic = {100, 160, 3, 1, 2, 9};
    return true;
}

} // namespace

// Saved and loaded again, every window shows the same physical frame at
// every position, and the windows share their clips.
TEST(WorkFileTest, RoundTripThroughWindowRecords) {
    Desk d;
    FisicData *a = d.reel(d.db + "SVJ/a.svj", 40), *b = d.reel(d.tmp.path("b.svj"), 30);
    FisicData *p = d.pictures(d.db + "IMAGES/shot", 50);
    d.add(1, 0, {{a, 0, 9, {0}, 2}, {b, 5, 16, {0, 0, 0}, 1}}); // faster, slower
    d.add(1, 0, {{a, 3, 7, {0}, 0}});                           // still
    d.add(0, 1, {{b, 20, 10, {}, 1}, {p, 4, 0, {0, 0}, 1}});    // backward ranges
    d.add(0, 0, {{p, 0, 49, {}, 1}});
    for (int sel : {WORK_ALL, WORK_MASTER, WORK_SELECTED}) {
        WorkFile f;
        CollectWork(sel, title_of, nullptr, d.db.c_str(), &f);
        const size_t expected[] = {4, 2, 1};
        ASSERT_EQ(f.windows.size(), expected[sel]) << sel;
        const std::string path = d.tmp.path("w.wrk");
        ASSERT_EQ(SaveWork(path.c_str(), sel, title_of, nullptr, d.db.c_str()), 1);
        WorkFile back;
        ASSERT_EQ(ReadWorkFile(path.c_str(), &back), WORK_OK);
        size_t i = 0;
        for (WindowData *w = first_window; w; w = w->next) {
            if (sel == WORK_MASTER && !w->master) continue;
            if (sel == WORK_SELECTED && (!w->selected || w->master)) continue;
            const WorkWindow &ww = back.windows[i++];
            EXPECT_EQ(ww.title, title_of(w));
            std::vector<FisicData *> clips;
            for (const WorkSegment &s : ww.segments) {
                const std::string full = WorkFullName(s.name, s.kind, d.db.c_str());
                FisicData *c = full == a->path ? a : full == b->path ? b : p;
                if (s.kind == WORK_REEL) {
                    EXPECT_EQ(WorkReelState(s, full.c_str()), 0) << full;
                }
                clips.push_back(c);
            }
            const int refs = a->refs;
            WindowData *loaded = MakeWorkWindow(ww, clips.data());
            ASSERT_NE(loaded, nullptr);
            EXPECT_EQ(loaded->total, w->total);
            for (int n = 0; n < w->total; n++) {
                Segment *s1 = nullptr, *s2 = nullptr;
                EXPECT_EQ(FrameCtrl(loaded, n, &s2), FrameCtrl(w, n, &s1)) << n;
                EXPECT_EQ(s1->fisic, s2->fisic);
            }
            EXPECT_GE(int(a->refs), refs);
            FreeSegments(loaded);
            delete loaded;
        }
    }
    // Names inside the database are stored short, others in full.
    WorkFile f;
    CollectWork(WORK_ALL, nullptr, nullptr, d.db.c_str(), &f);
    EXPECT_EQ(f.windows[0].segments[0].name, "a.svj");
    EXPECT_EQ(f.windows[0].segments[1].name, d.tmp.path("b.svj"));
    EXPECT_EQ(f.windows[3].segments[0].name, "shot");
    EXPECT_EQ(f.windows[3].segments[0].pic.tag, 5);
    EXPECT_EQ(f.windows[0].segments[0].size, 100u);
}

TEST(WorkFileTest, WindowBeingProduced) {
    Desk d;
    for (int slot = 0; slot < 2; slot++) {
        auto *w = new WindowData; // a placeholder: no ring
        w->slot = slot;
        w->total = 21;
        d.wins.push_back(w);
        PlaceWorkWindow(w);
    }
    WorkFile f;
    CollectWork(WORK_ALL, nullptr, import_of, "/imports/", &f);
    ASSERT_EQ(f.windows.size(), 2u);
    const WorkSegment &r = f.windows[0].segments.at(0), &s = f.windows[1].segments.at(0);
    EXPECT_EQ(std::tie(r.first, r.last, r.offset, r.kind, r.name, r.size),
              std::make_tuple(0, 20, 0, 0, "/imports/new.svj", 0u));
    EXPECT_TRUE(r.map.empty());
    EXPECT_EQ(std::string(r.time, WORK_TIME_SIZE), std::string(WORK_TIME_SIZE, '\0'));
    EXPECT_EQ(std::tie(s.last, s.kind, s.name, s.pic.first, s.pic.last, s.pic.step, s.pic.tag),
              std::make_tuple(20, 1, "/imports/seq", 100, 160, 3, 9));
    // Without import parameters the placeholder is left out.
    CollectWork(
        WORK_ALL, nullptr, [](WindowData *, WorkImport *) { return false; }, "/", &f);
    EXPECT_TRUE(f.windows.empty());
}

TEST(WorkFileTest, ListPlacementKeepsMasterWindowsFirst) {
    Desk d;
    FisicData *a = d.reel(d.tmp.path("a.svj"), 10);
    WindowData *d1 = d.add(0, 0, {{a, 0, 1, {}, 1}});
    EXPECT_EQ(FindLastHappy(), nullptr);
    WindowData *m1 = d.add(1, 0, {{a, 0, 1, {}, 1}});
    WindowData *d2 = d.add(0, 0, {{a, 0, 1, {}, 1}});
    WindowData *m2 = d.add(1, 0, {{a, 0, 1, {}, 1}});
    std::vector<WindowData *> order;
    for (WindowData *w = first_window; w; w = w->next)
        order.push_back(w);
    EXPECT_EQ(order, (std::vector<WindowData *>{m1, m2, d1, d2}));
    EXPECT_EQ(FindLastHappy(), m2);
    EXPECT_EQ(first_work, d1);
    EXPECT_EQ(last_window, d2);
}

TEST(WorkFileTest, SegmentsMustStayInsideTheirClip) {
    const std::tuple<WorkSegment, int, bool> cases[] = {
        {reel_seg(0, 9, {}, 1, ""), 10, true},
        {reel_seg(0, 10, {}, 1, ""), 10, false},
        {reel_seg(9, 0, {}, 1, ""), 10, true},
        {reel_seg(10, 0, {}, 1, ""), 10, false},
        {reel_seg(0, 3, {0, 1, 50, 2}, 4, ""), 60, true},
        {reel_seg(0, 3, {0, 1, 50, 2}, 4, ""), 10, false}, // a middle frame escapes
        {reel_seg(0, 9, {0}, 2, ""), 19, true},
        {reel_seg(0, 9, {0}, 2, ""), 18, false},
        {reel_seg(5, 0, {0, -1}, 0, ""), 10, true},
        {reel_seg(9, 4, {0, -1}, 0, ""), 10, false},        // backward, yet past the end
        {reel_seg(0, 2, {0}, INT_MAX, ""), INT_MAX, false}, // leaves 32 bits
        {reel_seg(0, 5, {0, 9}, 0, ""), 10, true},          // entries k mod 2 only
        {reel_seg(0, 0, {0, 99}, 0, ""), 10, true},         // entry 1 never used
    };
    for (auto &[seg, frames, fits] : cases)
        EXPECT_EQ(WorkSegmentFits(seg, frames), fits)
            << seg.first << " " << seg.last << " " << frames;

    // A window one of whose segments does not fit is not made.
    FisicData clip;
    clip.frames = 10;
    WorkWindow w = window("w", 0, 0, {reel_seg(0, 9, {}, 1, ""), reel_seg(0, 10, {}, 1, "")});
    FisicData *clips[] = {&clip, &clip};
    EXPECT_EQ(MakeWorkWindow(w, clips), nullptr);
    EXPECT_EQ(clip.refs, 0);
    w.segments.pop_back();
    WindowData *made = MakeWorkWindow(w, clips);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(clip.refs, 1);
    EXPECT_EQ(made->seg_first->next, made->seg_first);
    FreeSegments(made);
    delete made;
}

// A reel's time text and size at saving, compared when loading; reels of
// 2 GiB or more store the low 32 bits of their size; a database moved as a
// whole still finds its reels.
TEST(WorkFileTest, ReelStampsAndTheLoadReport) {
    Desk d;
    const std::string reel = d.db + "SVJ/r.svj";
    FisicData *c = d.reel(reel, 5);
    ASSERT_EQ(truncate(reel.c_str(), (5LL << 30) + 7), 0);
    d.add(0, 0, {{c, 0, 4, {}, 1}});
    WorkFile f;
    CollectWork(WORK_ALL, nullptr, nullptr, d.db.c_str(), &f);
    const WorkSegment &s = f.windows.at(0).segments.at(0);
    EXPECT_EQ(s.size, (1u << 30) + 7);
    EXPECT_EQ(s.name, "r.svj");
    const std::string moved = d.tmp.path("moved/");
    ASSERT_EQ(rename(d.db.c_str(), moved.c_str()), 0);
    const std::string now = WorkFullName(s.name, s.kind, moved.c_str());
    EXPECT_EQ(WorkReelState(s, now.c_str()), 0);
    write_file(now, bytes(11, 0));
    EXPECT_EQ(WorkReelState(s, now.c_str()), 1);
    unlink(now.c_str());
    EXPECT_EQ(WorkReelState(s, now.c_str()), 2);
    ASSERT_EQ(rename(moved.c_str(), d.db.c_str()), 0);

    EXPECT_STREQ(WorkMessage(WorkLoadReport(true, true, true, false)), "Error reading file");
    EXPECT_STREQ(WorkMessage(WorkLoadReport(false, true, true, false)),
                 "Warning: one or more files\nmay have been changed.\n");
    EXPECT_STREQ(WorkMessage(WorkLoadReport(false, false, true, false)),
                 "Warning: one or more files\nare missing or corrupted.\n");
    EXPECT_EQ(WorkLoadReport(false, false, true, true), WORK_OK);
    EXPECT_STREQ(WorkMessage(WORK_SAVE_ERROR), "Error in saving work");
}

TEST(WorkFileTest, MarksSlotsAndOffsetsAreSettledOnReading) {
    temp_dir tmp;
    WorkFile f;
    f.windows.push_back(
        window("a", 1, 1000, {reel_seg(0, 9, {}, 1, "a"), reel_seg(3, 1, {}, 1, "a")}));
    f.windows.push_back(window("b", 7, -7, {reel_seg(0, 4, {}, 1, "a")}));
    f.windows[0].in = -5;
    f.windows[0].out = 1000000;
    f.windows[0].total = 3;
    f.windows[0].segments[1].offset = -44;
    f.windows[1].in = 77;
    WorkFile back;
    ASSERT_EQ(read_bytes(tmp, WorkFileBytes(f), &back), WORK_OK);
    const WorkWindow &a = back.windows[0], &b = back.windows[1];
    EXPECT_EQ(std::tie(a.in, a.out, a.total, a.slot, a.master), std::make_tuple(0, 12, 13, -1, 1));
    EXPECT_EQ(a.segments[1].offset, 10);
    EXPECT_EQ(std::tie(b.in, b.slot, b.master), std::make_tuple(4, -1, 1));
}

namespace {

// An old file: header (version 1) or none (version 0), one window of the
// given segments {first, last, S, R}.
bytes legacy_file(int version, std::vector<std::array<int, 4>> segs) {
    bytes b;
    if (version == 1) {
        const char magic[] = "Vek Dulsar Orva 0001";
        b.assign(magic, magic + 21);
    }
    auto word = [&](int v) {
        b.resize(b.size() + 4);
        put32(b, b.size() - 4, uint32_t(v));
    };
    word(1);
    word(int(segs.size()));
    for (int k = 0; k < 42; k++)
        word(k == 0 ? 180 : k == 1 ? 144 : 0);
    word(4);
    b.insert(b.end(), {'o', 'l', 'd', 0});
    for (auto [first, last, skip, repeat] : segs) {
        for (int v : {first, last, 0, skip, repeat, 0, 0, 0, 0})
            word(v);
        b.push_back(0);
        word(5);
        b.insert(b.end(), {'a', '.', 's', 'v', 'j', 0});
        b.insert(b.end(), 26, 0);
        word(0);
    }
    return b;
}

} // namespace

TEST(WorkFileTest, HeaderVersions) {
    temp_dir tmp;
    bytes good = WorkFileBytes(sample_work());
    WorkFile f;
    for (const char *digits : {"0003", "0000", "00x2"}) {
        bytes b = good;
        memcpy(&b[16], digits, 4);
        EXPECT_EQ(read_bytes(tmp, b, &f), WORK_UNKNOWN_VERSION) << digits;
        EXPECT_TRUE(f.windows.empty());
    }
    // Without the 17 bytes the file is read from its start as version 0:
    // here its first word is far above 1000 windows.
    bytes b = good;
    b[0] = 'v';
    EXPECT_EQ(read_bytes(tmp, b, &f), WORK_READ_ERROR);
    EXPECT_EQ(f.version, 0);
    write_file(tmp.path("h"), bytes{'V', 'e', 'k'});
    Fd fd(open(tmp.path("h").c_str(), O_RDONLY));
    bool present = true;
    EXPECT_EQ(ReadWorkHeader(fd.fd, &present), 0);
    EXPECT_FALSE(present);
    EXPECT_EQ(lseek(fd.fd, 0, SEEK_CUR), 0);
    EXPECT_EQ(ReadWorkFile(tmp.path("missing").c_str(), &f), WORK_UNABLE_TO_OPEN);
    EXPECT_EQ(ReadWorkFile(tmp.dir().c_str(), &f), WORK_UNABLE_TO_OPEN);
}

// Every strict prefix of a work gives a message, never a crash, and keeps
// only whole windows.
TEST(WorkFileTest, EveryTruncationGivesTheMessage) {
    temp_dir tmp;
    const bytes full = WorkFileBytes(sample_work());
    for (size_t n = 0; n < full.size(); n++) {
        WorkFile f;
        const int rc = read_bytes(tmp, bytes(full.begin(), full.begin() + long(n)), &f);
        EXPECT_NE(rc, WORK_OK) << n;
        EXPECT_LT(f.windows.size(), 4u) << n;
        if (rc == WORK_READ_ERROR && n > 29) {
            EXPECT_GT(f.dropped, 0) << n;
        }
    }
}

// Damaged numbers in the last window of two: it is dropped with "Error
// reading file", the first stays.
TEST(WorkFileTest, BadNumbersDropTheirWindow) {
    temp_dir tmp;
    WorkFile two;
    two.windows.push_back(window("first", 0, 0, {reel_seg(0, 4, {}, 1, "a.svj")}));
    two.windows.push_back(window("ab", 0, 1, {reel_seg(0, 4, {0, 1}, 2, "a.svj")}));
    two.windows[1].segments[0].kind = WORK_PICTURES;
    two.windows[1].segments[0].pic = {0, 9, 1, 0, 0, 1};
    const bytes good = WorkFileBytes(two);
    WorkFile last;
    last.windows.push_back(two.windows[1]);
    const size_t e = good.size() - (WorkFileBytes(last).size() - 29); // entry of the last window
    const size_t title = e + 172, seg = title + 3, map = seg + 36, kind = map + 8, pic = kind + 1,
                 name = pic + 28;
    struct Case {
        const char *what;
        size_t at;
        int64_t value; // a word, or a byte when byte is set
        bool byte;
    };
    const Case cases[] = {
        {"count 0", 29, 0, false},
        {"count beyond the file", 29, 1 << 28, false},
        {"count negative", 29, -1, false},
        {"title length 0", e + 168, 0, false},
        {"title length beyond the file", e + 168, 1 << 30, false},
        {"title without NUL", title + 2, 'x', true},
        {"first negative", seg, -1, false},
        {"map beyond the file", seg + 12, 1 << 29, false},
        {"kind 2", kind, 2, true},
        {"picture first negative", pic + 4, -1, false},
        {"picture last below first", pic + 8, -1, false},
        {"step 0", pic + 12, 0, false},
        {"extension 6", pic + 16, 6, false},
        {"style 4", pic + 20, 4, false},
        {"style negative", pic + 20, -1, false},
        {"name length negative", name, -1, false},
        {"name length beyond the file", name, 1 << 30, false},
        {"name without NUL", name + 4 + 5, 'x', true},
        {"window grows past 2^31 frames", 0, 0, false},
    };
    WorkFile f;
    ASSERT_EQ(read_bytes(tmp, good, &f), WORK_OK);
    ASSERT_EQ(f.windows.size(), 2u);
    // The window grows past 2^31 - 1 frames: two segments of 2^31 - 1 each.
    WorkFile big;
    big.windows.push_back(two.windows[0]);
    big.windows.push_back(window(
        "ab", 0, 1, {reel_seg(0, INT_MAX - 1, {}, 1, "a"), reel_seg(0, INT_MAX - 1, {}, 1, "a")}));
    for (const Case &c : cases) {
        bytes b = c.at ? good : WorkFileBytes(big);
        if (c.byte)
            b.at(c.at) = (unsigned char)c.value;
        else if (c.at)
            put32(b, c.at, uint32_t(c.value));
        EXPECT_EQ(read_bytes(tmp, b, &f), WORK_READ_ERROR) << c.what;
        ASSERT_EQ(f.windows.size(), 1u) << c.what;
        EXPECT_EQ(f.windows[0].title, "first") << c.what;
        EXPECT_EQ(f.dropped, 1) << c.what;
        // A length beyond the file sizes no allocation: read again in a
        // child, whose memory must stay small.
        if (std::string(c.what).find("beyond the file") == std::string::npos) continue;
        const child_result r = run_in_child([&] {
            WorkFile g;
            return ReadWorkFile(tmp.path("t.wrk").c_str(), &g) == WORK_READ_ERROR ? 0 : 1;
        });
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_LT(r.rss_growth, 64LL << 20) << c.what;
    }
    // The window count.
    const std::pair<int, int> counts[] = {{1001, WORK_READ_ERROR}, {0, WORK_OK}, {-5, WORK_OK}};
    for (auto [n, rc] : counts) {
        bytes b = good;
        put32(b, 21, uint32_t(n));
        EXPECT_EQ(read_bytes(tmp, b, &f), rc) << n;
        EXPECT_TRUE(f.windows.empty());
    }
    bytes b = good;
    put32(b, 21, 900); // the count table runs past the end
    EXPECT_EQ(read_bytes(tmp, b, &f), WORK_UNABLE_TO_OPEN);
}

// A failed save leaves the old file and no temporary: a write stopped by a
// file size limit (SIGXFSZ ignored, as the program and worktool do) and a
// directory that does not exist.
TEST(WorkFileTest, FailedSaveKeepsTheOldFile) {
    temp_dir tmp;
    const std::string path = tmp.path("w.wrk");
    const bytes old(100, 'o');
    write_file(path, old);
    WorkFile big;
    for (int i = 0; i < 50; i++)
        big.windows.push_back(
            window("w", 0, i, {reel_seg(0, 999, std::vector<int>(1000, 0), 1, "a")}));
    EXPECT_EQ(UnderFileLimit(4096, [&] { return WriteWorkFile(path.c_str(), big); }), 0);
    EXPECT_EQ(read_file(path), old);
    EXPECT_EQ(access((path + ".new").c_str(), F_OK), -1);
    EXPECT_EQ(WriteWorkFile(tmp.path("no/such/dir.wrk").c_str(), big), 0);
    EXPECT_EQ(WriteWorkFile(tmp.dir().c_str(), big), 0); // a directory is not replaced
}

TEST(WorkFileTest, ImageLogHeader) {
    temp_dir tmp;
    SetVideoMode(0);
    mkdir(tmp.path("CLIP").c_str(), 0777);
    const std::string log = tmp.path("CLIP/shot_Img07_Log");
    const std::string dir = tmp.dir() + "/";
    struct Case {
        int parts, complete, width, height, frames, result; // parts 0: no log
    };
    const Case cases[] = {
        {3, 3, 180, 144, 50, 3}, {3, 2, 180, 144, 50, 0}, {3, 3, 180, 120, 50, 0},
        {5, 5, 180, 144, 50, 0}, {2, 2, 180, 144, 0, 0},  {0, 0, 180, 144, 50, 0},
    };
    for (const Case &c : cases) {
        ClipLogHeader h;
        h.parts = c.parts;
        h.complete = c.complete;
        h.width = c.width;
        h.height = c.height;
        h.frames = c.frames;
        if (c.parts) {
            ASSERT_TRUE(clip_log_write_header(log.c_str(), h));
        } else {
            unlink(log.c_str());
        }
        FisicData clip;
        FillWorkPictureClip(&clip, pic_seg(0, 4, "shot"), tmp.path("IMAGES/shot"));
        EXPECT_EQ(clip.frames, 50);
        EXPECT_EQ(std::tie(clip.width, clip.height), std::make_tuple(180, 144));
        clip.dir = const_cast<char *>(dir.c_str());
        EXPECT_EQ(ReadImageLogHeader(&clip), c.result) << c.parts << " " << c.complete;
        if (c.result) {
            EXPECT_EQ(clip.parts, c.parts);
        }
        free(clip.pic->pattern);
        delete clip.pic;
    }
}

// Old files (version 1 with its header, version 0 without): skip and repeat
// factors become maps, window frame k of a segment showing source frame
// (k div R) x S from `first` in its direction; written again, version 2.
TEST(WorkFileTest, OldVersionsLoad) {
    temp_dir tmp;
    const std::vector<std::array<int, 4>> segs = {
        {0, 9, 2, 1},  {0, 9, 1, 2},  {0, 8, 3, 2}, {20, 11, 2, 1},
        {30, 3, 3, 4}, {5, 7, 1, 10}, {4, 4, 5, 5}, {100, 160, 7, 3},
    };
    WorkFile f, again;
    ASSERT_EQ(read_bytes(tmp, legacy_file(0, segs), &f), WORK_OK);
    EXPECT_EQ(f.version, 0);
    ASSERT_EQ(read_bytes(tmp, legacy_file(1, segs), &f), WORK_OK);
    EXPECT_EQ(f.version, 1);
    ASSERT_EQ(f.windows.size(), 1u);
    EXPECT_EQ(f.windows[0].title, "old");
    EXPECT_EQ(f.windows[0].segments.back().name, "a.svj");
    ASSERT_EQ(read_bytes(tmp, WorkFileBytes(f), &again), WORK_OK);
    EXPECT_EQ(again.version, 2);
    EXPECT_EQ(WorkFileBytes(again), WorkFileBytes(f));
    for (size_t j = 0; j < segs.size(); j++) {
        const auto [first, last, skip, repeat] = segs[j];
        const WorkSegment &w = f.windows[0].segments.at(j);
        Segment s;
        s.first = w.first;
        s.last = w.last;
        s.period = w.period;
        s.map = w.map.empty() ? nullptr : const_cast<int *>(w.map.data());
        s.map_len = int(w.map.size());
        const int dir = last >= first ? 1 : -1;
        for (int k = 0; k <= std::abs(last - first); k++)
            EXPECT_EQ(PlayCtrl(&s, k), first + dir * (k / repeat) * skip) << j << " " << k;
        EXPECT_LE(w.map.size(), size_t(std::abs(last - first) + 1)) << j;
    }
    // Long repeats ask for long maps: a small file gets a few of them only.
    const std::array<int, 4> slow = {0, 1 << 20, 1, 1 << 16};
    EXPECT_EQ(read_bytes(tmp, legacy_file(1, std::vector(10, slow)), &f), WORK_OK);
    for (const auto &bad : {std::vector(40, slow),
                            {{0, 9, 2, 1 << 17}},
                            {{0, 9, -1, 1}},
                            {{0, 9, 2, 0}},
                            {{0, INT_MAX, INT_MAX, 1}}})
        EXPECT_EQ(read_bytes(tmp, legacy_file(1, bad), &f), WORK_READ_ERROR) << bad[0][3];
}

namespace {

std::map<std::string, FisicData *> known_clips;
std::vector<std::string> shown;

FisicData *clip_for(const WorkSegment &, const std::string &path, bool *missing) {
    *missing = path.find("gone") != std::string::npos;
    auto it = known_clips.find(path);
    return it == known_clips.end() ? nullptr : it->second;
}

void show(WindowData *, const std::string &title) {
    shown.push_back(title);
}

} // namespace

// Loading makes the windows in order: one whose clip cannot be had is
// discarded, and a window with a missing reel goes to the desktop, selected,
// at the first free slot, while the windows after it keep their places.
TEST(WorkFileTest, LoadingMakesTheWindows) {
    Desk d;
    FisicData *a = d.reel(d.db + "SVJ/a.svj", 40), *g = d.reel(d.db + "SVJ/gone.svj", 40);
    known_clips = {{a->path, a}, {g->path, g}};
    WorkFile f;
    d.add(1, 0, {{a, 0, 9, {}, 1}});
    d.add(1, 0, {{a, 0, 39, {}, 1}, {g, 5, 0, {}, 1}});
    d.add(0, 0, {{a, 0, 50, {}, 1}}); // beyond its clip
    d.add(1, 0, {{a, 2, 3, {}, 1}});
    CollectWork(WORK_ALL, title_of, nullptr, d.db.c_str(), &f);
    f.windows.push_back(f.windows[0]);
    f.windows.back().segments[0].name = "unknown.svj";
    unlink(g->path);
    write_file(a->path, bytes(3, 0)); // changed since the save
    first_window = last_window = first_work = nullptr;
    shown.clear();
    const WorkLoadResult r = LoadWorkWindows(f, WORK_OK, d.db.c_str(), clip_for, show);
    EXPECT_TRUE(r.read_error);
    EXPECT_TRUE(r.changed);
    EXPECT_TRUE(r.missing);
    EXPECT_EQ(r.master_windows, 2);
    EXPECT_EQ(shown, (std::vector<std::string>{"title0", "title1", "title3"}));
    std::vector<std::tuple<int, int, int>> placed; // master, slot, selected
    for (WindowData *w = first_window; w; w = w->next) {
        placed.emplace_back(w->master, w->slot, w->selected);
        d.wins.push_back(w);
    }
    EXPECT_EQ(placed, (std::vector<std::tuple<int, int, int>>{{1, 0, 0}, {1, 3, 0}, {0, -1, 1}}));
    EXPECT_EQ(g->refs, 2); // the saved window and the loaded one
    EXPECT_EQ(LoadWorkWindows(f, WORK_UNKNOWN_VERSION, d.db.c_str(), clip_for, show).master_windows,
              0);
    known_clips.clear();
}
