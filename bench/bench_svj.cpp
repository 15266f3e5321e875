// bench_svj: frames per second of the reel decoders and encoder against bare
// libjpeg-turbo loops over the same fields, and a generator of test reels.
//
//   bench_svj --make OUT.svj N [-m MODE]   N frames of moving gradients and
//                                          detail at the video size of MODE
//                                          (0 PAL, 1 NTSC), quality 85
//   bench_svj REEL [-p PASSES]             the figures; each is the best of
//                                          PASSES runs over all frames
//
// The bare loops decode (or encode) exactly the fields our code does, from
// memory, with the same scale, colour space and settings: they are the
// floor the reel code adds to.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include <jpeglib.h>

#include "bench/bench_util.h"
#include "media/fm_format_svj.h"
#include "media/fm_main.h"
#include "media/svjr.h"
#include "media/video_globals.h"

namespace {

using bytes = std::vector<unsigned char>;

// One frame of the test reel: gradients that drift, a moving sinusoidal
// texture, fine detail (a checker of 1-3 pixel cells and noise) and a moving
// bright bar, so every DCT block carries coefficients.
void make_frame(int w, int h, int t, unsigned char *frame) {
    uint32_t rng = 12345u + uint32_t(t) * 7919u;
    for (int y = 0; y < h - h % 2; y++) {
        unsigned char *p = frame + (size_t(y / 2) + size_t(h / 2) * (y % 2)) * size_t(w) * 3;
        for (int x = 0; x < w; x++) {
            rng = rng * 1103515245u + 12345u;
            int noise = int((rng >> 16) & 15) - 8;
            double wave = std::sin((x + 4.0 * t) / 23.0) * std::cos((y - 2.0 * t) / 17.0);
            int checker = (((x + t) / (1 + (y / 64) % 3)) ^ (y / 2)) & 1 ? 24 : -24;
            bool bar = std::abs(((x + 6 * t) % (w + 80)) - w / 2) < 12;
            int r = (x * 255 / w + t) % 256 + int(60 * wave) + noise;
            int g = (y * 255 / h + 2 * t) % 256 + checker + noise;
            int b = 128 + int(100 * wave) - checker / 2 + noise;
            if (bar) r = g = b = 235;
            p[3 * x] = (unsigned char)std::clamp(r, 0, 255);
            p[3 * x + 1] = (unsigned char)std::clamp(g, 0, 255);
            p[3 * x + 2] = (unsigned char)std::clamp(b, 0, 255);
        }
    }
}

int make_reel(const char *name, int frames, int mode) {
    SetVideoMode(mode);
    fm_errno = 0;
    ::unlink(name);
    fm_fileformat *file = fm_create_file("svj", name, VIDEO_SIZEX, VIDEO_SIZEY, 0, 85);
    if (file == nullptr) {
        std::fprintf(stderr, "bench_svj: %s: %s\n", name, fm_errorstr(fm_errno));
        return 1;
    }
    for (int f = 0; f < frames; f++) {
        make_frame(file->width, file->height, f, file->buffer);
        if (fm_write(file, f) != 0) {
            std::fprintf(stderr, "bench_svj: frame %d: %s\n", f, fm_errorstr(fm_errno));
            return 1;
        }
    }
    int result = fm_close(file);
    fm_fileformat_free(file);
    std::printf("wrote %s: %d frames of %d x %d\n", name, frames, VIDEO_SIZEX, VIDEO_SIZEY);
    return result;
}

// The bare decoder: one field from memory at 1/scale into every second line
// of a bottom-up frame, as the display reader lays it out.
struct bare_decoder {
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    std::vector<JSAMPROW> rows;
    bare_decoder() {
        d.err = jpeg_std_error(&err);
        jpeg_create_decompress(&d);
    }
    ~bare_decoder() { jpeg_destroy_decompress(&d); }
    void decode(const bytes &jpeg, int scale, J_COLOR_SPACE space, unsigned char *start, long step,
                int skip) {
        jpeg_mem_src(&d, jpeg.data(), jpeg.size());
        jpeg_read_header(&d, TRUE);
        d.out_color_space = space;
        d.scale_num = 1;
        d.scale_denom = unsigned(scale);
        jpeg_start_decompress(&d);
        rows.resize(d.output_height);
        for (size_t r = 0; r < rows.size(); r++)
            rows[r] = r < size_t(skip) ? start : start + (long(r) - skip) * step;
        while (d.output_scanline < d.output_height)
            jpeg_read_scanlines(&d, rows.data() + d.output_scanline,
                                d.output_height - d.output_scanline);
        jpeg_finish_decompress(&d);
    }
};

// The bare encoder with the reel's field settings.
struct bare_encoder {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    unsigned char *out = nullptr;
    unsigned long size = 0;
    std::vector<JSAMPROW> rows;
    bare_encoder() {
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
    }
    ~bare_encoder() {
        jpeg_destroy_compress(&c);
        std::free(out);
    }
    void encode(const unsigned char *half, int w, int field_rows, int skip,
                const unsigned char *padding) {
        jpeg_mem_dest(&c, &out, &size);
        c.image_width = JDIMENSION(w);
        c.image_height = JDIMENSION(field_rows);
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        c.comp_info[0].h_samp_factor = 2;
        c.comp_info[0].v_samp_factor = 1;
        for (int k = 1; k < 3; k++)
            c.comp_info[k].h_samp_factor = c.comp_info[k].v_samp_factor = 1;
        c.write_JFIF_header = FALSE;
        jpeg_set_quality(&c, 85, TRUE);
        rows.resize(size_t(field_rows));
        for (int r = 0; r < field_rows; r++)
            rows[size_t(r)] = const_cast<unsigned char *>(
                r < skip ? padding : half + size_t(r - skip) * size_t(w) * 3);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height)
            jpeg_write_scanlines(&c, rows.data() + c.next_scanline,
                                 c.image_height - c.next_scanline);
        jpeg_finish_compress(&c);
    }
};

void line(const char *what, int frames, double seconds) {
    std::printf("%-34s %8.1f fps\n", what, frames / seconds);
}

int run_bench(const char *reel, int passes) {
    VIDEO_SIZEX = VIDEO_SIZEY = 0; // any reel size
    fm_errno = 0;
    fm_svj_file *store = fm_svj_file_open(reel, 0);
    if (store == nullptr) {
        std::fprintf(stderr, "bench_svj: %s: %s\n", reel, fm_errorstr(fm_errno));
        return 1;
    }
    const int n = int(store->tail.frames);
    const int w = int(store->tail.width), hf = int(store->tail.height);
    std::vector<bytes> fields(size_t(n) * 2);
    for (int f = 0; f < n; f++)
        for (int k = 0; k < 2; k++)
            if (fm_svj_field_extract_mem(store, f, k, &fields[size_t(f) * 2 + k]) != 0) {
                std::fprintf(stderr, "bench_svj: frame %d: %s\n", f, fm_errorstr(fm_errno));
                return 1;
            }
    fm_svj_file_close(store);
    std::printf("reel %s: %d frames of %d x %d stored, best of %d passes\n", reel, n, w, hf,
                passes);
    const bool ntsc = hf == 496;

    // Display reader against the bare decoder, 4-byte pixels.
    for (int scale : {1, 4, 8}) {
        fm_fileformat *record = svjr_open(reel, scale, 1, 0);
        if (record == nullptr) {
            std::fprintf(stderr, "bench_svj: svjr_open %s failed\n", reel);
            return 1;
        }
        bytes image(size_t(record->size));
        const int skip = ntsc ? (scale == 1 ? 5 : scale == 4 ? 2 : 1) : 0;
        const long row = long(record->width) * 4;
        bare_decoder bare;
        double ours = 1e30, floor = 1e30;
        for (int p = 0; p < passes; p++) {
            ours = std::min(ours, seconds_of([&] {
                                for (int f = 0; f < n; f++)
                                    if (svjr_read(record, image.data(), f) != 0) std::abort();
                            }));
            floor =
                std::min(floor, seconds_of([&] {
                             for (int f = 0; f < n; f++)
                                 for (int k = 0; k < 2; k++) {
                                     int field = ntsc ? 1 - k : k;
                                     bare.decode(fields[size_t(f) * 2 + field], scale, JCS_EXT_XBGR,
                                                 image.data() + (record->height - k - 1) * row,
                                                 -2 * row, skip);
                                 }
                         }));
        }
        char what[64];
        std::snprintf(what, sizeof what, "svjr_read 1/%d", scale);
        line(what, n, ours);
        std::snprintf(what, sizeof what, "bare decode 1/%d (XBGR)", scale);
        line(what, n, floor);
        std::printf("%-34s %8.3f\n", "  ratio ours/bare (speed)", floor / ours);
        svjr_close(record->state);
        std::free(record);
    }

    // The driver's read: RGB, field-sequential.
    fm_initialize(nullptr);
    fm_fileformat *file = fm_fileformat_allocate("svj");
    if (file == nullptr || fm_open(file, reel) != 0) {
        std::fprintf(stderr, "bench_svj: fm_open %s: %s\n", reel, fm_errorstr(fm_errno));
        return 1;
    }
    const int h = file->height;
    const size_t frame_bytes = size_t(file->size);
    const int keep = std::min(n, 25); // frames kept decoded for the write figures
    std::vector<bytes> decoded(static_cast<size_t>(keep));
    double read_s = best_of(passes, [&] {
        for (int f = 0; f < n; f++) {
            if (fm_read(file, f) != 0) std::abort();
            if (f < keep) decoded[size_t(f)].assign(file->buffer, file->buffer + frame_bytes);
        }
    });
    bare_decoder bare_rgb;
    bytes scratch(frame_bytes + size_t(w) * 3 * 8);
    double bare_read_s = best_of(passes, [&] {
        for (int f = 0; f < n; f++)
            for (int k = 0; k < 2; k++) {
                int field = ntsc ? 1 - k : k;
                bare_rgb.decode(fields[size_t(f) * 2 + field], 1, JCS_RGB,
                                scratch.data() + size_t(k) * (h / 2) * w * 3, long(w) * 3, 0);
            }
    });
    line("fm_read (RGB)", n, read_s);
    line("bare decode 1/1 (RGB)", n, bare_read_s);
    std::printf("%-34s %8.3f\n", "  ratio ours/bare (speed)", bare_read_s / read_s);
    fm_close(file);

    // The driver's write at quality 85 against the bare encoder.
    char out[] = "/tmp/bench_svj_XXXXXX";
    int fd = ::mkstemp(out);
    if (fd < 0) return 1;
    ::close(fd);
    fm_fileformat shape{};
    shape.width = w;
    shape.height = h;
    double write_s = best_of(passes, [&] {
        ::unlink(out);
        if (fm_create(file, out, &shape, 85) != 0) std::abort();
        for (int f = 0; f < n; f++) {
            std::memcpy(file->buffer, decoded[size_t(f % keep)].data(), frame_bytes);
            if (fm_write(file, f) != 0) std::abort();
        }
        fm_close(file);
    });
    ::unlink(out);
    bare_encoder enc;
    bytes padding(size_t(w) * 3, 16);
    const int skip = ntsc ? 5 : 0;
    double bare_write_s = best_of(passes, [&] {
        for (int f = 0; f < n; f++) {
            const unsigned char *frame = decoded[size_t(f % keep)].data();
            for (int k = 0; k < 2; k++) {
                int half = ntsc ? 1 - k : k;
                enc.encode(frame + size_t(half) * (h / 2) * w * 3, w, hf / 2, skip, padding.data());
            }
        }
    });
    line("fm_write q85", n, write_s);
    line("bare encode q85", n, bare_write_s);
    std::printf("%-34s %8.3f\n", "  ratio ours/bare (speed)", bare_write_s / write_s);
    fm_fileformat_free(file);
    fm_deinitialize();
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--make") == 0) {
        int frames = std::atoi(argv[3]);
        int mode = argc >= 6 && std::strcmp(argv[4], "-m") == 0 ? std::atoi(argv[5]) : 0;
        if (frames < 1) {
            std::fprintf(stderr, "bench_svj: bad frame count %s\n", argv[3]);
            return 1;
        }
        fm_initialize(nullptr);
        int result = make_reel(argv[2], frames, mode);
        fm_deinitialize();
        return result;
    }
    if (argc == 2 || (argc == 4 && std::strcmp(argv[2], "-p") == 0)) {
        int passes = argc == 4 ? std::max(1, std::atoi(argv[3])) : 3;
        return run_bench(argv[1], passes);
    }
    std::fprintf(stderr, "usage: bench_svj --make OUT.svj N [-m MODE]\n"
                         "       bench_svj REEL [-p PASSES]\n");
    return 1;
}
