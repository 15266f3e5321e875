// The svjtool command-line tool.
#include <gtest/gtest.h>

#include <unistd.h>

#include "media/svj.h"
#include "reel_fixtures.h"

using namespace reel_test;

namespace {

std::string tool() {
    for (std::string p : {std::string(ORVA_BIN_DIR) + "/tools/svjtool",
                          std::string(ORVA_BIN_DIR) + "/tools/svjtool/svjtool",
                          std::string(ORVA_BIN_DIR) + "/svjtool"})
        if (access(p.c_str(), X_OK) == 0) return p;
    return "svjtool-not-built";
}

class SvjTool : public ::testing::Test {
  protected:
    run_result run(const std::string &args) { return run_command(tool() + " " + args); }
    // Packs frames of 720 x 288 fields; returns the JPEGs.
    std::vector<bytes> pack(const std::string &reel, int frames, bool jfif = false) {
        std::vector<bytes> jpegs;
        std::string args = "pack '" + reel + "' 720 576";
        for (int k = 0; k < 2 * frames; k++) {
            jpegs.push_back(make_field_jpeg(720, 288, 20 + k, jfif));
            std::string f = tmp.path("f" + std::to_string(k) + ".jpg");
            write_file(f, jpegs.back());
            args += " '" + f + "'";
        }
        run_result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return jpegs;
    }
    temp_dir tmp;
};

} // namespace

TEST_F(SvjTool, PackAndInfo) {
    std::string reel = tmp.path("r.svj");
    auto jpegs = pack(reel, 3, true);
    ref_reel ref = ref_build(jpegs, 720, 576, true);
    EXPECT_TRUE(read_file(reel) == ref.file);
    run_result r = run("info '" + reel + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string want = "magic DVS102\nwidth 720\nheight 576\nframes 3\nheader " +
                       std::to_string(ref.header.size()) + "\ntable " + std::to_string(ref.table) +
                       "\nlost 0\nratio " +
                       std::to_string(uint64_t(720) * 2 * 576 * 3 / ref.file.size()) + "\n";
    EXPECT_EQ(r.out, want);
}

TEST_F(SvjTool, IndexSizesField) {
    std::string reel = tmp.path("r.svj");
    auto jpegs = pack(reel, 2);
    ref_reel ref = ref_build(jpegs, 720, 576, true);
    run_result r = run("index '" + reel + "'");
    ASSERT_EQ(r.status, 0);
    char line[80];
    std::snprintf(line, sizeof line, "Found field start %5d:%d @ %08x\n", 1, 1, ref.offsets[3] + 4);
    EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("End of file reached: marker\n"), std::string::npos);

    std::string sizes = tmp.path("sizes.txt");
    r = run("sizes '" + reel + "' '" + sizes + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    bytes text = read_file(sizes);
    std::string s(text.begin(), text.end());
    EXPECT_EQ(s.rfind("0 0.0\n0 ", 0), 0u);
    EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 5);

    std::string out = tmp.path("field.jpg");
    r = run("field '" + reel + "' 1 0 '" + out + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    bytes f = read_file(out);
    bytes want = ref.header;
    want.insert(want.end(), ref.fields[2].begin(), ref.fields[2].end());
    ASSERT_EQ(f.size(), want.size() + 1024);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), f.begin()));
    EXPECT_TRUE(djpeg_clean(out));
}

TEST_F(SvjTool, Errors) {
    run_result r = run("");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("usage: svjtool"), std::string::npos);
    EXPECT_EQ(r.out, "");
    r = run("help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("pack OUT W H F0 F1 [F0 F1 ...]"), std::string::npos);
    r = run("frobnicate x");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("unknown command frobnicate"), std::string::npos);
    r = run("info");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("usage: svjtool info REEL"), std::string::npos);
    r = run("info '" + tmp.path("missing.svj") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot open"), std::string::npos);
    EXPECT_EQ(r.out, "");
    r = run("index '" + tmp.path("missing.svj") + "'");
    EXPECT_EQ(r.status, 1);

    std::string junk = tmp.path("junk.svj");
    write_file(junk, bytes(500, 0x41));
    for (const char *cmd : {"info", "sizes"}) {
        r = run(std::string(cmd) + " '" + junk + "' '" + tmp.path("o") + "'");
        if (std::string(cmd) == "info") r = run("info '" + junk + "'");
        EXPECT_EQ(r.status, 1) << cmd;
        EXPECT_NE(r.err.find("svj_open: Not svj file"), std::string::npos) << cmd;
    }
    r = run("field '" + junk + "' 0 0 '" + tmp.path("o.jpg") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Format:"), std::string::npos) << r.err;

    std::string reel = tmp.path("r.svj");
    pack(reel, 1);
    r = run("field '" + reel + "' 1 0 '" + tmp.path("o.jpg") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Format: Illegal page"), std::string::npos) << r.err;
    r = run("field '" + reel + "' 0 2 '" + tmp.path("o.jpg") + "'");
    EXPECT_EQ(r.status, 1);
    r = run("field '" + reel + "' x 0 '" + tmp.path("o.jpg") + "'");
    EXPECT_EQ(r.status, 1);

    std::string a = tmp.path("a.jpg");
    write_file(a, make_field_jpeg(64, 32, 1));
    r = run("pack '" + tmp.path("p.svj") + "' 64 64 '" + a + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("usage"), std::string::npos);
    r = run("pack '" + tmp.path("p.svj") + "' 64 64 '" + a + "' '" + a + "' '" + a + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("pairs"), std::string::npos);
    r = run("pack '" + tmp.path("p.svj") + "' 0 64 '" + a + "' '" + a + "'");
    EXPECT_EQ(r.status, 1);
    r = run("pack '" + tmp.path("p.svj") + "' 64 64 '" + a + "' '" + tmp.path("nope.jpg") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("svjf_loadtmp: Error 12 in file field"), std::string::npos) << r.err;
}

TEST_F(SvjTool, TruncatedReelIsRefused) {
    std::string reel = tmp.path("r.svj");
    pack(reel, 2);
    bytes b = read_file(reel);
    b.resize(b.size() - 30);
    write_file(reel, b);
    for (const char *cmd : {"info", "index"}) {
        run_result r = run(std::string(cmd) + " '" + reel + "'");
        if (std::string(cmd) == "info") {
            EXPECT_EQ(r.status, 1);
        } else {
            EXPECT_EQ(r.status, 0); // the scan only reports what it finds
        }
    }
    run_result r = run("field '" + reel + "' 0 0 '" + tmp.path("o.jpg") + "'");
    EXPECT_EQ(r.status, 1);
}
