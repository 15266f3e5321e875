// svjtool scan and import, run as a user runs them: the list of a directory,
// reels made from sequences, image clips logged in the database, field pairs
// byte-identical to `svjtool pack`, and the failures' messages and statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "media/img_jpeg.h"
#include "tests/media/reel_fixtures.h"

namespace {

using reel_test::temp_dir;

using CmdResult = reel_test::run_result;
const auto run = reel_test::run_merged;

const auto svjtool = reel_test::svjtool_path;

std::string q(const std::string &s) {
    return "'" + s + "'";
}

void write_picture(const std::string &name, int w, int h, int seed) {
    std::vector<unsigned char> p(size_t(w) * h * 3);
    for (size_t i = 0; i < p.size(); i++)
        p[i] = (unsigned char)((i / 3 % size_t(w)) + size_t(seed) * 31 + i % 3 * 50);
    ASSERT_EQ(glotojpg(name.c_str(), w, h, p.data(), 95), 1);
}

class ImportCli : public ::testing::Test {
  protected:
    temp_dir tmp;
    std::string db, images;
    void SetUp() override {
        db = tmp.dir();
        images = db + "/IMAGES";
        for (const char *sub : {"/SVJ", "/CLIP", "/IMAGES"})
            ASSERT_EQ(mkdir((db + sub).c_str(), 0777), 0);
    }
};

TEST_F(ImportCli, ScanListsSequencesAndFiles) {
    for (int i = 1; i <= 12; i++)
        write_picture(images + "/a." + std::to_string(i) + ".jpg", 16, 16, i);
    for (int i = 1; i <= 3; i++) {
        char n[64];
        snprintf(n, sizeof n, "/walk.%04d.jpg", i);
        write_picture(images + n, 16, 16, i);
    }
    write_picture(images + "/still.jpg", 16, 16, 0);
    write_picture(images + "/x1234567890.jpg", 16, 16, 0); // ten digits: a plain file
    CmdResult r = run(svjtool() + " scan " + q(images));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "a.[1...12].jpg\t1\t12\n"
                     "still.jpg\t1\t1\n"
                     "walk.[0001...0003].jpg\t1\t3\n"
                     "x1234567890.jpg\t1\t1\n");
    EXPECT_EQ(run(svjtool() + " scan " + q(db + "/none")).status, 1);
}

TEST_F(ImportCli, SequenceIntoReelAndImageClip) {
    for (int i = 1; i <= 6; i++) {
        char n[64];
        snprintf(n, sizeof n, "/walk.%04d.jpg", i);
        write_picture(images + n, 720, 576, i);
    }
    const std::string reel = db + "/SVJ/walk.svj";
    CmdResult r = run(svjtool() + " import -d " + q(db) + " -t 2 " +
                      q(images + "/walk.[0001...0006].jpg") + " " + q(reel));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("status 0\nframes 3\n"), std::string::npos) << r.out;
    CmdResult info = run(svjtool() + " info " + q(reel));
    EXPECT_NE(info.out.find("frames"), std::string::npos);
    EXPECT_NE(info.out.find("3"), std::string::npos) << info.out;
    // The same reel again is not overwritten.
    r = run(svjtool() + " import -d " + q(db) + " " + q(images + "/walk.[0001...0006].jpg") + " " +
            q(reel));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("File exists. Overwrite?"), std::string::npos);
    // Without a reel: an image clip logged in CLIP/.
    r = run(svjtool() + " import -d " + q(db) + " -s 0 -e 4 " +
            q(images + "/walk.[0001...0006].jpg"));
    EXPECT_EQ(r.status, 0) << r.out;
    struct stat st;
    EXPECT_EQ(stat((db + "/CLIP/walk_Img00_Log").c_str(), &st), 0);
    EXPECT_EQ(stat((db + "/CLIP/walk_Img00_Clip_1").c_str(), &st), 0);
}

TEST_F(ImportCli, FailuresSayWhy) {
    for (int i = 1; i <= 2; i++)
        write_picture(images + "/big.000" + std::to_string(i) + ".jpg", 1024, 768, i);
    const std::string seq = q(images + "/big.[0001...0002].jpg");
    CmdResult r = run(svjtool() + " import -d " + q(db) + " " + seq);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("You must write the svj to\nimport non video size images\n"),
              std::string::npos);
    r = run(svjtool() + " import -d " + q(db) + " " + seq + " " + q(db + "/SVJ/big.svj"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Images are not video size.\nDo you want to fit them?\n"),
              std::string::npos);
    r = run(svjtool() + " import -d " + q(db) + " -fit " + seq + " " + q(db + "/SVJ/big.svj"));
    EXPECT_EQ(r.status, 0) << r.out;
    r = run(svjtool() + " import -d " + q(db) + " " + q(images + "/gone.[0001...0002].jpg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error reading first picture\n"), std::string::npos);
    r = run("env -u ORVA_DSK_RECORD " + svjtool() + " import -d " + q(db) + " -remote " +
            q(images + "/rem"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("status 6"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Environment variable\nORVA_DSK_RECORD\nnot found\n"), std::string::npos);
    EXPECT_EQ(run(svjtool() + " import " + seq).status, 2);
}

TEST_F(ImportCli, FieldPairsMatchPack) {
    auto fields = reel_test::make_fields(2, 720, 288);
    std::string pack_args;
    for (int i = 0; i < 2; i++) {
        const std::string f1 = images + "/p_f1.000" + std::to_string(i + 1) + ".jpg";
        const std::string f2 = images + "/p_f2.000" + std::to_string(i + 1) + ".jpg";
        reel_test::write_file(f1, fields[size_t(2 * i)]);
        reel_test::write_file(f2, fields[size_t(2 * i + 1)]);
        pack_args += " " + q(f1) + " " + q(f2);
    }
    const std::string reel = db + "/SVJ/p.svj", ref = db + "/ref.svj";
    CmdResult r = run(svjtool() + " import -d " + q(db) + " -fields " +
                      q(images + "/p_f2.[0001...0002].jpg") + " " + q(reel));
    EXPECT_EQ(r.status, 0) << r.out;
    ASSERT_EQ(run(svjtool() + " pack " + q(ref) + " 720 576" + pack_args).status, 0);
    EXPECT_EQ(reel_test::read_file(reel), reel_test::read_file(ref));
}

} // namespace
