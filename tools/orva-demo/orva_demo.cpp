// orva-demo: makes a ready demo database for trying the program: the list
// file "OrvaDB", the four database directories, and a few PAL reels of
// moving, detailed pictures with the frame number burnt in, written through
// the format manager's SVJ driver. One reel is named like a grabbed reel, so
// its clip windows show tape timecode from frame 15000.
//
//   orva-demo DIR        makes DIR (which must not hold a database yet)
//   orva-demo --help     prints the usage
//
// An empty DIR or one that looks like an option is refused with exit status 2.
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/fm_main.h"
#include "media/video_globals.h"
#include "platform/fileio.h"
#include "platform/tool_args.h"

namespace {

const int W = 720, H = 576;

struct Picture {
    std::vector<unsigned char> rgb = std::vector<unsigned char>(size_t(W) * H * 3);
    void set(int x, int y, int r, int g, int b) {
        if (x < 0 || y < 0 || x >= W || y >= H) return;
        unsigned char *p = &rgb[(size_t(y) * W + x) * 3];
        p[0] = (unsigned char)r;
        p[1] = (unsigned char)g;
        p[2] = (unsigned char)b;
    }
    void box(int x0, int y0, int w, int h, int r, int g, int b) {
        for (int y = y0; y < y0 + h; y++)
            for (int x = x0; x < x0 + w; x++)
                set(x, y, r, g, b);
    }
};

// 5 x 7 digits and a few letters for the burnt-in texts.
const char *glyph(char c) {
    switch (c) {
    case '0':
        return "01110100011001110101110011000101110";
    case '1':
        return "00100011000010000100001000010001110";
    case '2':
        return "01110100010000100010001000100011111";
    case '3':
        return "11111000100010000010000011000101110";
    case '4':
        return "00010001100101010010111110001000010";
    case '5':
        return "11111100001111000001000011000101110";
    case '6':
        return "00110010001000011110100011000101110";
    case '7':
        return "11111000010001000100010000100001000";
    case '8':
        return "01110100011000101110100011000101110";
    case '9':
        return "01110100011000101111000010001001100";
    case ':':
        return "00000011000110000000011000110000000";
    default:
        return nullptr;
    }
}

void text(Picture &p, int x, int y, int scale, const std::string &s) {
    const int w = int(s.size()) * 6 * scale + scale * 2, h = 9 * scale;
    p.box(x - scale, y - scale, w, h, 0, 0, 0);
    for (size_t i = 0; i < s.size(); i++) {
        const char *g = glyph(s[i]);
        if (!g) continue;
        for (int r = 0; r < 7; r++)
            for (int c = 0; c < 5; c++)
                if (g[r * 5 + c] == '1')
                    p.box(x + int(i) * 6 * scale + c * scale, y + r * scale, scale, scale, 255, 255,
                          255);
    }
}

// Moving colour bars with a fine zone plate below them.
void bars(Picture &p, int n) {
    static const int colours[8][3] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235},
                                      {16, 235, 16},   {235, 16, 235}, {235, 16, 16},
                                      {16, 16, 235},   {16, 16, 16}};
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            if (y < H * 2 / 3) {
                const int *c = colours[((x + n * 4) % W) * 8 / W];
                p.set(x, y, c[0], c[1], c[2]);
            } else {
                double dx = x - W / 2.0, dy = y - H * 5 / 6.0;
                int v = int(128 + 100 * std::sin((dx * dx + dy * dy) / 900.0 + n * 0.2));
                p.set(x, y, v, v, v);
            }
        }
}

// Diagonal gradients sliding against each other, with a checker of detail.
void sweep(Picture &p, int n) {
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            int r = (x + 3 * n) % 256, g = (y + 2 * n) % 256, b = (x + y + n) / 5 % 256;
            if (((x + n) / 16 + y / 16) % 2) r = 255 - r;
            p.set(x, y, r, g, b);
        }
}

// A ball bouncing over a floor of stripes.
void ball(Picture &p, int n) {
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            int stripe = ((x + y / 2) / 24) % 2;
            p.set(x, y, 40 + 30 * stripe, 60 + y / 6, 120 + 40 * stripe);
        }
    double t = n * 0.06;
    int cx = int(W / 2 + (W / 2 - 80) * std::sin(t * 0.7));
    int cy = int(H - 80 - (H - 200) * std::fabs(std::sin(t)));
    for (int y = -60; y <= 60; y++)
        for (int x = -60; x <= 60; x++)
            if (x * x + y * y <= 3600) {
                int shade = 255 - (x + y + 120) / 2;
                p.set(cx + x, cy + y, shade, shade / 3, 40);
            }
}

// A tape picture: grey ramp, moving bar and the tape timecode.
void tape(Picture &p, int n) {
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            int v = x * 255 / W;
            if (std::abs(x - (n * 7) % W) < 12) v = 255 - v;
            p.set(x, y, v, v, (v + y / 3) % 256);
        }
    int f = 15000 + n, s = f / 25;
    char tc[32];
    snprintf(tc, sizeof tc, "%02d:%02d:%02d:%02d", s / 3600 % 24, s / 60 % 60, s % 60, f % 25);
    text(p, 160, 80, 6, tc);
}

struct Reel {
    const char *name;
    int frames;
    void (*draw)(Picture &, int);
};

bool write_reel(const std::string &path, const Reel &reel) {
    fm_fileformat *f = fm_create_file("svj", path.c_str(), W, H, reel.frames, 0);
    if (!f) {
        fm_errorprint(fm_errno, path.c_str());
        return false;
    }
    Picture p;
    bool ok = true;
    for (int n = 0; n < reel.frames && ok; n++) {
        reel.draw(p, n);
        text(p, 40, H - 100, 6, std::to_string(n + 1));
        // Field-sequential: picture line y goes to row y/2 + (H/2)(y mod 2).
        for (int y = 0; y < H; y++)
            memcpy(f->buffer + (size_t(y / 2) + size_t(H / 2) * (y % 2)) * W * 3,
                   &p.rgb[size_t(y) * W * 3], size_t(W) * 3);
        ok = fm_write(f, n) == 0;
        if (!ok) fm_errorprint(fm_errno, path.c_str());
    }
    ok = fm_close(f) == 0 && ok;
    fm_fileformat_free(f);
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    static const char usage[] = "usage: orva-demo DIR\n"
                                "  makes a demo clip database in DIR (created when missing;\n"
                                "  it must not hold a database yet). A DIR that begins with\n"
                                "  '-' is written ./-NAME.\n"
                                "       orva-demo --help | --version\n";
    if (AnswerHelpOrVersion(argc, argv, "orva-demo", usage)) return 0;
    if (argc != 2) {
        fputs(usage, stderr);
        return 2;
    }
    // An empty path would put the database into "/", and an option given by
    // mistake would become a folder of that name.
    if (!argv[1][0]) {
        fprintf(stderr, "orva-demo: the directory name is empty (orva-demo --help for usage)\n");
        return 2;
    }
    if (argv[1][0] == '-') {
        fprintf(stderr, "orva-demo: unknown option %s (orva-demo --help for usage)\n", argv[1]);
        return 2;
    }
    std::string dir = argv[1];
    if (dir.back() != '/') dir += '/';
    struct stat st {};
    if (stat((dir + "OrvaDB").c_str(), &st) == 0) {
        fprintf(stderr, "orva-demo: %sOrvaDB exists already\n", dir.c_str());
        return 1;
    }
    mkdir(dir.c_str(), 0777);
    char abs[4096];
    if (!realpath(dir.c_str(), abs)) {
        perror(dir.c_str());
        return 1;
    }
    dir = std::string(abs) + "/";
    for (const char *sub : {"SVJ", "CLIP", "WORK", "IMAGES"})
        if (mkdir((dir + sub).c_str(), 0777) != 0 && errno != EEXIST) {
            perror((dir + sub).c_str());
            return 1;
        }
    SetVideoMode(0);
    fm_initialize(nullptr);
    const Reel reels[] = {{"colour_bars.svj", 150, bars},
                          {"gradient_sweep.svj", 250, sweep},
                          {"bouncing_ball.svj", 200, ball},
                          {"tape_3a98_3b60_85.svj", 120, tape}};
    for (const Reel &r : reels) {
        printf("orva-demo: %s (%d frames)\n", r.name, r.frames);
        fflush(stdout);
        if (!write_reel(dir + "SVJ/" + r.name, r)) return 1;
    }
    fm_deinitialize();
    // The list file goes last: a database without it is not one yet.
    FILE *db = fopen_regular((dir + "OrvaDB").c_str(), "w");
    if (!db || fprintf(db, "\nDATABASE Demo\nPATH %s\n", dir.c_str()) < 0 || fclose(db) != 0) {
        perror((dir + "OrvaDB").c_str());
        return 1;
    }
    printf("orva-demo: database \"Demo\" ready in %s\n", dir.c_str());
    return 0;
}
