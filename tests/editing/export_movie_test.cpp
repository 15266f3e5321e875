// Movies written by svjtool export, read back with ffprobe and ffmpeg: codec,
// size, rate and frame count, silent decoding, and pictures against the
// reel's own decode (uncompressed identical, JPEG close, upright, colours in
// place); a log-size movie; a movie that cannot be created.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <string>

#include "../media/reel_fixtures.h"

using namespace reel_test;

namespace {

std::string q(const std::string &path) {
    return " " + shell_quote(path);
}

// Frame 0 of a movie or picture as raw top-down R, G, B through ffmpeg.
bytes rgb_of(const std::string &file, const std::string &out) {
    run_result r = run_command("ffmpeg -v error -y -i" + q(file) +
                               " -frames:v 1 -f rawvideo -pix_fmt rgb24" + q(out));
    return r.status == 0 ? read_file(out) : bytes{};
}

double psnr(const bytes &a, const bytes &b) {
    if (a.size() != b.size() || a.empty()) return 0;
    double se = 0;
    for (size_t i = 0; i < a.size(); i++)
        se += double(int(a[i]) - int(b[i])) * double(int(a[i]) - int(b[i]));
    return se == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * double(a.size()) / se);
}

// ffprobe's line of the movie's video stream with these entries.
std::string probe(const std::string &movie, const std::string &entries) {
    return run_command("ffprobe -v error -count_frames -show_entries stream=" + entries +
                       " -of csv=p=0" + q(movie))
        .out;
}

// ffmpeg's messages while it decodes the whole movie.
std::string decode_errors(const std::string &movie) {
    run_result r = run_command("ffmpeg -v error -i" + q(movie) + " -f null -");
    return r.status == 0 ? r.err : "status " + std::to_string(r.status) + r.err;
}

class ExportMovie : public ::testing::Test {
  protected:
    void SetUp() override {
        // Fields whose top is red and bottom blue, a white mark at the left.
        std::string jpg = tmp.path("field.jpg");
        ASSERT_EQ(run_command("convert -size 720x288 gradient:red-blue -fill white -draw "
                              "'rectangle 20,10 80,60' -sampling-factor 2x1 -quality 85" +
                              q(jpg))
                      .status,
                  0);
        std::string args = "pack" + q(reel) + " 720 576";
        for (int k = 0; k < 12; k++)
            args += q(jpg);
        ASSERT_EQ(run_svjtool(args).status, 0);
    }
    temp_dir tmp;
    std::string reel = tmp.path("r.svj");
};

TEST_F(ExportMovie, EveryFormatProbesAndDecodes) {
    const struct {
        const char *format, *codec, *tag;
    } cases[] = {
        {"uncompressed", "rawvideo", "raw "},
        {"mvc2", "mpeg4", "mp4v"},
        {"jpeg", "mjpeg", "jpeg"},
        {"qt-uncompressed", "rawvideo", "raw "},
        {"qt-jpeg", "mjpeg", "jpeg"},
    };
    ASSERT_EQ(run_svjtool("decode" + q(reel) + " 0" + q(tmp.path("ref.tga"))).status, 0);
    const bytes ref = rgb_of(tmp.path("ref.tga"), tmp.path("ref.rgb"));
    ASSERT_EQ(ref.size(), 720u * 576 * 3);
    // The reference is upright: red above, blue below.
    EXPECT_GT(ref[0], 200);
    EXPECT_LT(ref[2], 60);
    for (const auto &c : cases) {
        const std::string out = tmp.path(std::string("m_") + c.format), movie = out + ".movie";
        run_result r = run_svjtool(std::string("export -f ") + c.format + q(reel) + q(out));
        ASSERT_EQ(r.status, 0) << c.format << r.err;
        EXPECT_EQ(r.out, "status 0\n");
        EXPECT_EQ(probe(movie, "codec_name,codec_tag_string,width,height,r_frame_rate,"
                               "nb_read_frames"),
                  std::string(c.codec) + "," + c.tag + ",720,576,25/1,6\n")
            << c.format;
        EXPECT_EQ(decode_errors(movie), "") << c.format;
        const bytes got = rgb_of(movie, tmp.path("got.rgb"));
        if (std::string(c.codec) == "rawvideo")
            EXPECT_TRUE(got == ref) << c.format;
        else
            EXPECT_GE(psnr(got, ref), 30.0) << c.format;
    }
}

TEST_F(ExportMovie, LogSizeAndFailures) {
    run_result r = run_svjtool("export -f qt-jpeg -k 3 -e 4" + q(reel) + q(tmp.path("s")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "status 0\n");
    EXPECT_EQ(probe(tmp.path("s.movie"), "codec_name,width,height,nb_read_frames"),
              "mjpeg,180,144,4\n");
    // A directory in the movie's place: status 6, the message, no file.
    ASSERT_EQ(mkdir(tmp.path("d.movie").c_str(), 0777), 0);
    r = run_svjtool("export -y -f qt-jpeg" + q(reel) + q(tmp.path("d.movie")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "status 6\n");
    EXPECT_NE(r.err.find("Error in creating movie"), std::string::npos);
}

TEST_F(ExportMovie, AnUnreadableFrameIsBlackAndTheMovieStillPlays) {
    // Spoil frame 2's first field after its first bytes.
    run_result info = run_svjtool("index" + q(reel));
    const size_t mark = info.out.find("2:0 @ ");
    ASSERT_NE(mark, std::string::npos) << info.out;
    const size_t at = std::stoul(info.out.substr(mark + 6, 8), nullptr, 16) + 16;
    bytes file = read_file(reel);
    ASSERT_GT(file.size(), at + 2000);
    std::fill(file.begin() + long(at), file.begin() + long(at + 2000), 0xFF);
    write_file(reel, file);
    run_result r = run_svjtool("export -f qt-uncompressed" + q(reel) + q(tmp.path("b")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "status 1\n");
    EXPECT_EQ(probe(tmp.path("b.movie"), "nb_read_frames"), "6\n");
    EXPECT_EQ(decode_errors(tmp.path("b.movie")), "");
}

} // namespace
