// svjtool scan and import, run as a user runs them: the list of a directory,
// reels made from sequences, image clips logged in the database, field pairs
// byte-identical to `svjtool pack`, and the failures' messages and statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/import/import_util.h"
#include "tests/media/reel_fixtures.h"

namespace {

using reel_test::temp_dir;

const auto q = reel_test::shell_quote;

class ImportCli : public ::testing::Test {
  protected:
    temp_dir tmp;
    std::string db = tmp.dir(), images = db + "/IMAGES";
    void SetUp() override {
        for (const char *sub : {"/SVJ", "/CLIP", "/IMAGES"})
            ASSERT_EQ(mkdir((db + sub).c_str(), 0777), 0);
    }
    // svjtool import -d DB with these arguments.
    reel_test::run_result import(const std::string &args) {
        return reel_test::run_merged(reel_test::svjtool_path() + " import -d " + q(db) + " " +
                                     args);
    }
};

TEST_F(ImportCli, ScanListsSequencesAndFiles) {
    for (int i = 1; i <= 12; i++)
        import_test::write_jpeg(images + "/a." + std::to_string(i) + ".jpg", 16, 16, i);
    import_test::sequence(images, "walk", 3, 16, 16);
    import_test::write_jpeg(images + "/still.jpg", 16, 16, 0);
    // Ten digits make a plain file, with or without a dot before them.
    for (const char *plain : {"/x1234567890.jpg", "/y.1234567890.jpg"})
        import_test::write_jpeg(images + plain, 16, 16, 0);
    auto r = reel_test::run_svjtool("scan " + q(images));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "a.[1...12].jpg\t1\t12\n"
                     "still.jpg\t1\t1\n"
                     "walk.[0001...0003].jpg\t1\t3\n"
                     "x1234567890.jpg\t1\t1\n"
                     "y.1234567890.jpg\t1\t1\n");
    EXPECT_EQ(reel_test::run_svjtool("scan " + q(db + "/none")).status, 1);
}

TEST_F(ImportCli, SequenceIntoReelAndImageClip) {
    import_test::sequence(images, "walk", 6);
    const std::string reel = db + "/SVJ/walk.svj", seq = q(images + "/walk.[0001...0006].jpg");
    auto r = import("-t 2 " + seq + " " + q(reel));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("status 0\nframes 3\n"), std::string::npos) << r.out;
    EXPECT_NE(reel_test::run_svjtool("info " + q(reel)).out.find("frames 3"), std::string::npos);
    // The same reel again is not overwritten.
    r = import(seq + " " + q(reel));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("File exists. Overwrite?"), std::string::npos);
    // Without a reel: an image clip logged in CLIP/.
    r = import("-s 0 -e 4 " + seq);
    EXPECT_EQ(r.status, 0) << r.out;
    struct stat st;
    for (const char *file : {"/CLIP/walk_Img00_Log", "/CLIP/walk_Img00_Clip_1"})
        EXPECT_EQ(stat((db + file).c_str(), &st), 0) << file;
}

TEST_F(ImportCli, FailuresSayWhy) {
    import_test::sequence(images, "big", 2, 1024, 768);
    const std::string seq = q(images + "/big.[0001...0002].jpg"), reel = q(db + "/SVJ/big.svj");
    const struct {
        std::string args;
        int status;
        const char *says, *also;
    } cases[] = {
        {seq, 1, "You must write the svj to\nimport non video size images\n", ""},
        {seq + " " + reel, 1, "Images are not video size.\nDo you want to fit them?\n", ""},
        {"-fit " + seq + " " + reel, 0, "status 0\n", ""},
        {q(images + "/gone.[0001...0002].jpg"), 1, "Error reading first picture\n", ""},
        {q(images + "/bad.name"), 1, "Error importing pictures\n", ""},
        {"-remote " + q(images + "/rem"), 1, "Environment variable\nORVA_DSK_RECORD\nnot found\n",
         "status 6\n"},
    };
    reel_test::ScopedEnv no_record("ORVA_DSK_RECORD", nullptr);
    for (const auto &c : cases) {
        const auto r = import(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << ": " << r.out;
        EXPECT_NE(r.out.find(c.also), std::string::npos) << c.args << ": " << r.out;
    }
    EXPECT_EQ(reel_test::run_svjtool("import " + seq).status, 2);
}

TEST_F(ImportCli, FieldPairsMatchPack) {
    auto fields = reel_test::make_fields(2, 720, 288);
    std::string pack_args;
    for (size_t i = 0; i < fields.size(); i++) {
        const std::string f = images + "/p_f" + std::to_string(i % 2 + 1) + ".000" +
                              std::to_string(i / 2 + 1) + ".jpg";
        reel_test::write_file(f, fields[i]);
        pack_args += " " + q(f);
    }
    const std::string reel = db + "/SVJ/p.svj", ref = db + "/ref.svj";
    auto r = import("-fields " + q(images + "/p_f2.[0001...0002].jpg") + " " + q(reel));
    EXPECT_EQ(r.status, 0) << r.out;
    ASSERT_EQ(reel_test::run_svjtool("pack " + q(ref) + " 720 576" + pack_args).status, 0);
    EXPECT_EQ(reel_test::read_file(reel), reel_test::read_file(ref));
}

} // namespace
