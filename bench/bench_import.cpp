// Speed of import on one core: a 720 x 576 JPEG sequence into a reel at
// quality 85 against a bare libjpeg-turbo loop doing the least the same work
// needs (decode the picture, encode its two fields), JPEG field pairs into a
// reel, and a PAL H.264 movie into a reel against the ffmpeg program
// transcoding the same movie to motion JPEG on one thread.
//
//   taskset -c 0 bench_import [--frames N]
//
// Makes its fixtures in a private directory under $TMPDIR (or /tmp); the
// movie is made with the ffmpeg program.
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "bench/bench_util.h"
#include "editing/import.h"
#include "media/fm_main.h"
#include "media/img_jpeg.h"
#include "media/video_globals.h"
#include "platform/sem.h"

namespace {

using Clock = std::chrono::steady_clock;
const int W = 720, H = 576;

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// A detailed moving picture, 3-byte display image.
void draw(std::vector<unsigned char> &p, int n) {
    p.resize(size_t(W) * H * 3);
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            unsigned char *q = &p[(size_t(y) * W + x) * 3];
            int r = (x + 3 * n) % 256, g = (y + 2 * n) % 256,
                b = int(128 + 100 * std::sin((x * x + y * y + n * 500) / 3000.0));
            if (((x + n) / 16 + y / 16) % 2) r = 255 - r;
            q[0] = (unsigned char)b;
            q[1] = (unsigned char)g;
            q[2] = (unsigned char)r;
        }
}

// The bare loop: decode each file to RGB, encode both fields at 85.
double bare_loop(const std::string &dir, int frames) {
    std::vector<unsigned char> rgb(size_t(W) * H * 3), field(size_t(W) * H / 2 * 3);
    const auto t = Clock::now();
    for (int i = 1; i <= frames; i++) {
        char name[64];
        snprintf(name, sizeof name, "/seq.%04d.jpg", i);
        FILE *f = fopen((dir + name).c_str(), "rb");
        if (!f) return -1;
        jpeg_decompress_struct d;
        jpeg_error_mgr e;
        d.err = jpeg_std_error(&e);
        jpeg_create_decompress(&d);
        jpeg_stdio_src(&d, f);
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_RGB;
        jpeg_start_decompress(&d);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = rgb.data() + size_t(d.output_scanline) * W * 3;
            jpeg_read_scanlines(&d, &row, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        fclose(f);
        for (int k = 0; k < 2; k++) {
            for (int y = 0; y < H / 2; y++)
                memcpy(&field[size_t(y) * W * 3], &rgb[size_t(2 * y + k) * W * 3], size_t(W) * 3);
            EncodeJpeg422(field.data(), W, H / 2, 85);
        }
    }
    return seconds_since(t);
}

double run_import(const std::string &source, const std::string &reel, const std::string &db,
                  int fields, int frames, int *status) {
    ImportData d;
    d.start = 1;
    d.end = frames;
    d.quality = 85;
    std::string message;
    const int rc = ImportPrepare(source, reel, db, 0, fields, d, message);
    if (rc == PREPARE_FIT) ImportSetFit(d);
    if (rc == PREPARE_ERROR) {
        fprintf(stderr, "%s", message.c_str());
        return -1;
    }
    const auto t = Clock::now();
    ImportWrite(&d);
    const double s = seconds_since(t);
    *status = d.status->load();
    return s;
}

} // namespace

int main(int argc, char **argv) {
    int frames = 250;
    for (int i = 1; i + 1 < argc; i++)
        if (!strcmp(argv[i], "--frames")) frames = atoi(argv[++i]);
    if (frames < 1 || frames > 9999) frames = 250;
    BenchDir dir("orva-bench-import");
    if (dir.path.empty()) return 1;
    const std::string db = dir.path + "/";
    for (const char *sub : {"SVJ", "CLIP", "IMAGES"})
        mkdir((db + sub).c_str(), 0777);
    SetVideoMode(0);
    fm_initialize(nullptr);
    if (SemInit() != 0) return 1;
    const std::string images = db + "IMAGES";

    std::vector<unsigned char> pic;
    for (int i = 1; i <= frames; i++) {
        draw(pic, i);
        char name[64];
        snprintf(name, sizeof name, "/seq.%04d.jpg", i);
        glotojpg((images + name).c_str(), W, H, pic.data(), 90);
        // The two fields of the same picture as a field pair.
        std::vector<unsigned char> f(size_t(W) * H / 2 * 3);
        for (int k = 0; k < 2; k++) {
            // Display images are bottom-up: field k takes every other row.
            for (int y = 0; y < H / 2; y++)
                memcpy(&f[size_t(y) * W * 3], &pic[size_t(2 * y + k) * W * 3], size_t(W) * 3);
            snprintf(name, sizeof name, "/pair_f%d.%04d.jpg", k + 1, i);
            glotojpg((images + name).c_str(), W, H / 2, f.data(), 85);
        }
    }

    int status = 0;
    char seq[64];
    snprintf(seq, sizeof seq, "/seq.[0001...%04d].jpg", frames);
    const double t_seq = run_import(images + seq, db + "SVJ/seq.svj", db, 0, frames, &status);
    const double t_bare = bare_loop(images, frames);
    printf("sequence into reel: %d frames in %.3f s = %.1f frames/s (status %d)\n", frames, t_seq,
           frames / t_seq, status);
    printf("bare libjpeg-turbo loop: %.3f s = %.1f frames/s; import/bare = %.2f\n", t_bare,
           frames / t_bare, t_bare / t_seq);

    snprintf(seq, sizeof seq, "/pair_f1.[0001...%04d].jpg", frames);
    const double t_pairs = run_import(images + seq, db + "SVJ/pairs.svj", db, 1, frames, &status);
    printf("field pairs into reel: %.3f s = %.1f pairs/s (status %d)\n", t_pairs, frames / t_pairs,
           status);

    const std::string movie = db + "IMAGES/movie.mp4";
    const std::string make = "ffmpeg -nostdin -loglevel error -y -framerate 25 -i '" + images +
                             "/seq.%04d.jpg' -c:v libx264 -pix_fmt yuv420p '" + movie + "'";
    if (system(make.c_str()) != 0) {
        fprintf(stderr, "ffmpeg could not make the movie\n");
        return 1;
    }
    const double t_movie = run_import(movie, db + "SVJ/movie.svj", db, 0, frames, &status);
    const std::string ref = "ffmpeg -nostdin -loglevel error -y -threads 1 -i '" + movie +
                            "' -c:v mjpeg '" + db + "out.mov'";
    const auto t = Clock::now();
    if (system(ref.c_str()) != 0) return 1;
    const double t_ffmpeg = seconds_since(t);
    printf("H.264 movie into reel: %.3f s = %.1f frames/s (status %d)\n", t_movie, frames / t_movie,
           status);
    printf("ffmpeg -threads 1 to motion JPEG: %.3f s = %.1f frames/s; import/ffmpeg = %.2f\n",
           t_ffmpeg, frames / t_ffmpeg, t_ffmpeg / t_movie);
    SemRemove();
    return 0;
}
