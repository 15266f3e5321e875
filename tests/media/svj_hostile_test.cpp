// Hostile files against every reel layer: names that are not regular files,
// tails whose sizes are consistent but absurd, and JPEG headers that claim a
// huge picture. Each call runs in a child process that is killed when it
// waits, and whose peak memory is measured.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include <fcntl.h>
#include <unistd.h>

#include "media/field.h"
#include "media/fm_format_svj.h"
#include "media/fm_main.h"
#include "media/svj.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "platform/cl_compress.h"
#include "tests/media/fm_test_util.h"
#include "tests/media/reel_fixtures.h"

using namespace reel_test;

namespace {

constexpr long long MiB = 1 << 20;

class SvjHostile : public fm_test::AnySizeFixture {
  protected:
    void SetUp() override {
        AnySizeFixture::SetUp();
        ASSERT_EQ(store_reel(reel, make_fields(1, 64, 32), 64, 64), "");
    }
    // Runs a check in a child whose messages are dropped; it must hold, and
    // raise the child's peak memory by less than `limit`.
    void holds(const std::string &what, const std::function<bool()> &check) {
        const child_result r = run_in_child([&] {
            if (!std::freopen("/dev/null", "w", stderr)) return 3;
            if (!std::freopen("/dev/null", "w", stdout)) return 3;
            return check() ? 0 : 1;
        });
        EXPECT_EQ(r.status, 0) << what;
        EXPECT_LT(r.rss_growth, limit) << what;
    }
    long long limit = 8 * MiB;
    const temp_dir &tmp = dir;
    std::string reel = tmp.path("good.svj");
};

// fm_open or fm_rheader of name through the driver: 0 or 1, fm_errno set.
int driver_open(const std::string &name, bool header_only) {
    fm_test::svj_record file;
    int result = header_only ? fm_rheader(file, name.c_str()) : fm_open(file, name.c_str());
    if (result == 0) fm_close(file);
    return result;
}

bool svjr_opens(const std::string &name) {
    return fm_test::reader(name, 1, 1).record != nullptr;
}

// Opens the field store of reel (for writing when `writing`) and runs step
// on it: true when the step fails with `code`.
bool store_refuses(const std::string &reel, int writing, int code,
                   const std::function<int(fm_svj_file *)> &step) {
    fm_svj_file *file = fm_svj_file_open(reel.c_str(), writing);
    const bool refused = file && step(file) == 1 && fm_errno == code;
    fm_svj_file_close(file);
    return refused;
}

bool svj_opens(const std::string &name) {
    svj_handle *h = svj_open(name.c_str());
    svj_close(h);
    return h != nullptr;
}

} // namespace

// A FIFO (no writer), a directory and a device named as a reel, a field, a
// dump or an output are refused at once: nothing waits for a writer or
// reads an endless device.
TEST_F(SvjHostile, NotRegularFilesAreRefusedAtOnce) {
    const std::string fifo = tmp.path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string good = reel;
    struct call {
        const char *what;
        std::function<bool(const std::string &)> refused;
    } calls[] = {
        {"svj_open", [](const std::string &n) { return !svj_opens(n); }},
        {"svj_create", [](const std::string &n) { return svj_create(n.c_str()) == nullptr; }},
        {"svjr_open", [](const std::string &n) { return !svjr_opens(n); }},
        {"fm_open", [](const std::string &n) { return driver_open(n, false) == 1; }},
        {"fm_rheader", [](const std::string &n) { return driver_open(n, true) == 1; }},
        {"fm_svj_file_open",
         [](const std::string &n) { return fm_svj_file_open(n.c_str(), 1) == nullptr; }},
        {"svjf_create",
         [](const std::string &n) {
             fm_fileformat record{};
             return svjf_create(n.c_str(), &record, 64, 64) == 1;
         }},
        {"svj_indexate", [](const std::string &n) { return svj_indexate(n.c_str(), 1) == 0; }},
        {"svj_dumpsize",
         [good](const std::string &n) {
             svj_handle *h = svj_open(good.c_str());
             const int result = svj_dumpsize(h, n.c_str());
             svj_close(h);
             return h != nullptr && result == SVJ_EDUMP;
         }},
        {"fm_check",
         [](const std::string &n) {
             const char *answer = fm_check(n.c_str());
             return answer &&
                    (std::string(answer) == "[open_error]" || std::string(answer) == "(dir)");
         }},
        {"field write",
         [good](const std::string &n) {
             return store_refuses(good, 0, FM_EOPEN, [&](fm_svj_file *f) {
                 return fm_svj_field_write(f, n.c_str(), 1, 0);
             });
         }},
        {"field extract",
         [good](const std::string &n) {
             return store_refuses(good, 0, FM_ECREATE, [&](fm_svj_file *f) {
                 return fm_svj_field_extract(f, n.c_str(), 0, 0);
             });
         }},
    };
    for (const std::string &name : {fifo, tmp.dir(), std::string("/dev/zero")})
        for (const call &c : calls)
            holds(c.what + (" " + name), [&] { return c.refused(name); });
    // The good reel itself passes the same calls that read it.
    holds("good reel", [&] { return svj_opens(good) && svjr_opens(good); });
}

// Tails whose table, frame count or picture size are consistent with the
// file's size but absurd are refused by every layer before the table is
// allocated; the board's largest frame still opens.
TEST_F(SvjHostile, AbsurdTailsAreRefusedWithoutAllocating) {
    const uint64_t max = 0xFFFFFFFFu;
    const uint32_t many = 4000000; // a 64 MB table
    struct {
        const char *what;
        uint64_t size;
        tail_words tail;
        bool sparse;
        int store_code; // 0: every layer opens it
    } cases[] = {
        {"table in a hole",
         max,
         {720, 576, many, uint32_t(max - 68 - 16ull * many), 100},
         true,
         FM_EOPEN},
        {"more frames than data",
         2 * MiB,
         {720, 576, 100000, uint32_t(2 * MiB - 68 - 1600000), 100},
         false,
         FM_EOPEN},
        {"huge picture", 4096, {65500, 65500, 0, 4096 - 68, 100}, false, FM_EFORMAT},
        {"wider than the board", 4096, {961, 576, 0, 4096 - 68, 100}, false, FM_EFORMAT},
        {"taller than the board", 4096, {720, 577, 0, 4096 - 68, 100}, false, FM_EFORMAT},
        {"over 4 GiB", max + 69, {720, 576, 0, uint32_t(max - 68), 100}, true, FM_EOPEN},
        {"the board's largest frame", 4096, {960, 576, 0, 4096 - 68, 100}, false, 0},
    };
    const std::string name = tmp.path("absurd.svj");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        write_tail_file(name, c.size, c.tail, c.sparse);
        const bool opens = c.store_code == 0;
        holds("svj_open", [&] { return svj_opens(name) == opens; });
        holds("fm_svj_file_open", [&] {
            fm_svj_file *file = fm_svj_file_open(name.c_str(), 0);
            fm_svj_file_close(file);
            return (file != nullptr) == opens && fm_errno == c.store_code;
        });
        holds("svjr_open", [&] { return svjr_opens(name) == opens; });
        holds("fm_rheader", [&] { return (driver_open(name, true) == 0) == opens; });
    }
    std::remove(name.c_str());

    // A field file of 1 GiB (a hole) is refused before it is read.
    const std::string jpeg = tmp.path("huge.jpg");
    write_tail_file(jpeg, 1ull << 30, {0, 0, 0, 0, 0}, true);
    holds("fm_svj_field_write", [&] {
        return store_refuses(reel, 1, FM_EMEMORY, [&](fm_svj_file *f) {
            return fm_svj_field_write(f, jpeg.c_str(), 1, 0);
        });
    });
}

// A JPEG whose frame header claims a picture other than the one expected
// fails in every decoder before the decoder allocates for it: a
// progressive header of 8192 x 4096 would make libjpeg fill 134 MB of
// coefficients, and one of 65500 x 65500 fails as quickly.
TEST_F(SvjHostile, JpegHeadersClaimingHugePicturesFailAtOnce) {
    limit = 16 * MiB;
    for (auto [w, h] : {std::pair{8192, 4096}, {65500, 65500}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        const bytes jpeg = claim_size(make_field_jpeg(64, 32, 4, false, 75, true), w, h);
        ASSERT_FALSE(jpeg.empty());
        std::string name = tmp.path("claims.svj");
        ASSERT_EQ(store_reel(name, {jpeg, jpeg}, 64, 64), "");

        holds("clDecompressImage", [&] {
            std::vector<unsigned char> pixels(64 * 32 * 3);
            return clDecompressImage(CL_JPEG, 64, 32, CL_RGB, int(jpeg.size()), jpeg.data(),
                                     pixels.data()) == -1;
        });
        holds("svjr_read", [&] {
            fm_test::reader r(name, 1, 1);
            int result = 0;
            return r.record && (r.read(0, &result), result == 1);
        });
        holds("fm_read", [&] {
            fm_test::svj_record file;
            if (fm_open(file, name.c_str()) != 0) return false;
            fm_errno = 0;
            const bool failed = fm_read(file, 0) == 1 && fm_errno == FM_EFORMAT;
            fm_close(file);
            return failed;
        });
    }
}
