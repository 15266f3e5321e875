// boardtool: drives the video board from the command line through the board
// library: status, VTR transport, grabbing a reel from tape, and the
// timecode text form, playing a reel out (onto tape with -t), and laying the
// frame the output holds onto tape (edit). The board is the one of
// SCSIVIDEO_CMD, or -d SETUP.
//
// Exit status: 0 done; 2 when a grab ended with code 31 or 22 (the reel is
// kept); 1 otherwise, with the board's message on standard error.
#include "device/sv.h"
#include "media/img_tga.h"
#include "platform/tool_args.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char usage_text[] =
    "usage: boardtool [-d SETUP] status [--repeat N]\n"
    "       boardtool [-d SETUP] vtr stop|play|forward|rewind|pause|goto TC|jog N\n"
    "       boardtool [-d SETUP] grab IN OUT REEL [-q Q]\n"
    "       boardtool [-d SETUP] play REEL [FIRST COUNT] [-t TC]\n"
    "       boardtool [-d SETUP] edit TC COUNT\n"
    "       boardtool [-d SETUP] frame TC OUT.tga\n"
    "       boardtool asc2tc TEXT\n"
    "       boardtool tc2asc WORD\n"
    "       boardtool --help | --version\n";

int usage() {
    fputs(usage_text, stderr);
    return 1;
}

int fail(int code) {
    char buf[128];
    fputs(SvErrorText(code, buf, sizeof buf), stderr);
    return 1;
}

// Frames from a BCD timecode word at a rate.
long frames_of(uint32_t tc, int rate) {
    auto b = [](uint32_t v) { return long((v >> 4) * 10 + (v & 15)); };
    return ((b(tc & 0xff) * 60 + b((tc >> 8) & 0xff)) * 60 + b((tc >> 16) & 0xff)) * rate +
           b(tc >> 24);
}

int status(sv_handle *sv, int repeat) {
    int ok = 0, failed = 0;
    for (int i = 0; i < repeat; ++i) {
        sv_info info{};
        const int rc = sv_status(sv, &info);
        if (rc) {
            ++failed;
            char buf[128];
            fputs(SvErrorText(rc, buf, sizeof buf), stderr);
            continue;
        }
        ++ok;
        char tc[12];
        sv_tc2asc(sv, uint32_t(info.word[3]), tc, sizeof tc);
        printf("size %dx%d sync %d timecode %s vtr-error %d memory %d genlock %d\n", info.word[0],
               info.word[1], info.word[2], tc, info.word[5], info.word[6], info.word[8]);
    }
    printf("ok %d failed %d\n", ok, failed);
    return failed ? 1 : 0;
}

int vtr(sv_handle *sv, const std::vector<std::string> &args) {
    static const struct {
        const char *name;
        int op;
    } ops[] = {{"stop", SV_MASTER_STOP},       {"play", SV_MASTER_PLAY},
               {"forward", SV_MASTER_FORWARD}, {"rewind", SV_MASTER_REWIND},
               {"pause", SV_MASTER_PAUSE},     {"goto", SV_MASTER_GOTO},
               {"jog", SV_MASTER_JOG}};
    if (args.empty()) return usage();
    for (const auto &o : ops) {
        if (args[0] != o.name) continue;
        int arg = 0;
        if (o.op == SV_MASTER_GOTO) {
            uint32_t tc = 0;
            if (args.size() != 2) return usage();
            const int rc = sv_asc2tc(sv, args[1].c_str(), &tc);
            if (rc) return fail(rc);
            arg = int(tc);
        } else if (o.op == SV_MASTER_JOG) {
            if (args.size() != 2) return usage();
            arg = atoi(args[1].c_str());
        } else if (args.size() != 1) {
            return usage();
        }
        const int rc = sv_vtrmaster(sv, o.op, arg);
        return rc ? fail(rc) : 0;
    }
    return usage();
}

int grab(sv_handle *sv, const std::vector<std::string> &args) {
    std::vector<std::string> pos;
    int quality = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-q" && i + 1 < args.size())
            quality = atoi(args[++i].c_str());
        else
            pos.push_back(args[i]);
    }
    if (pos.size() != 3) return usage();
    uint32_t in = 0, out = 0;
    int rc = sv_asc2tc(sv, pos[0].c_str(), &in);
    if (!rc) rc = sv_asc2tc(sv, pos[1].c_str(), &out);
    if (rc) return fail(rc);
    sv_info info{};
    if ((rc = sv_status(sv, &info)) != 0) return fail(rc);
    const int rate = info.word[1] == 486 ? 30 : 25;
    const long count = frames_of(out, rate) - frames_of(in, rate) + 1;
    if (count < 1) {
        fprintf(stderr, "boardtool: OUT is before IN\n");
        return 1;
    }
    if (quality >= 0 && (rc = sv_quality(sv, quality)) != 0) return fail(rc);
    rc = sv_jpeg_record_file(sv, pos[2].c_str(), 0, int(count), in);
    if (rc == 31 || rc == 22) {
        fail(rc);
        return 2;
    }
    return rc ? fail(rc) : 0;
}

int play(sv_handle *sv, const std::vector<std::string> &args) {
    std::vector<std::string> pos;
    uint32_t tc = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-t" && i + 1 < args.size()) {
            const int rc = sv_asc2tc(sv, args[++i].c_str(), &tc);
            if (rc) return fail(rc);
        } else {
            pos.push_back(args[i]);
        }
    }
    if (pos.size() != 1 && pos.size() != 3) return usage();
    const int first = pos.size() == 3 ? atoi(pos[1].c_str()) : 0;
    const int count = pos.size() == 3 ? atoi(pos[2].c_str()) : -1;
    const int rc = sv_jpeg_display_file(sv, pos[0].c_str(), first, count, tc);
    return rc ? fail(rc) : 0;
}

// Records what the output shows (a held frame) COUNT times onto tape at TC.
int edit(sv_handle *sv, const std::vector<std::string> &args) {
    if (args.size() != 2) return usage();
    uint32_t tc = 0;
    int rc = sv_asc2tc(sv, args[0].c_str(), &tc);
    if (rc) return fail(rc);
    char *end = nullptr;
    const long count = strtol(args[1].c_str(), &end, 10);
    if (*end || end == args[1].c_str() || count < 1 || count > 100000) return usage();
    rc = sv_vtredit(sv, tc, int(count));
    return rc ? fail(rc) : 0;
}

// Grabs the uncompressed frame at a tape position into a Targa picture.
int frame(sv_handle *sv, const std::vector<std::string> &args) {
    if (args.size() != 2) return usage();
    uint32_t tc = 0;
    int rc = sv_asc2tc(sv, args[0].c_str(), &tc);
    if (rc) return fail(rc);
    sv_info info{};
    if ((rc = sv_status(sv, &info)) != 0) return fail(rc);
    const int64_t w = info.word[0], h = info.word[1];
    if (w < 2 || h < 2 || w > 4096 || h > 4096) return fail(6);
    if ((rc = sv_vtrmaster(sv, SV_MASTER_GOTO, int(tc))) != 0) return fail(rc);
    std::vector<unsigned char> uyvy(size_t(w * h * 2));
    int gw = 0, gh = 0;
    rc = sv_record(sv, uyvy.data(), int(uyvy.size()), &gw, &gh, 0, 1, 0);
    if (rc) return fail(rc);
    // The device frame (UYVY rows, one field's lines after the other's:
    // PAL upper field first; NTSC lower field first, each half of 248 rows
    // starting with 5 padding rows) to the program's bottom-up B, G, R lines.
    std::vector<unsigned char> bgr(size_t(w * h * 3));
    auto clamp = [](int v) { return (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v); };
    const bool ntsc = h == 486;
    for (int64_t y = 0; y < h; ++y) {
        const int64_t row = ntsc ? 5 + y / 2 + (y % 2 ? 0 : 248) : y / 2 + (y % 2 ? h / 2 : 0);
        if (row >= h) continue; // beyond what a transfer of w x h x 2 bytes holds
        const unsigned char *src = &uyvy[size_t(row * w * 2)];
        unsigned char *dst = &bgr[size_t((h - 1 - y) * w * 3)];
        for (int64_t x = 0; x < w; ++x) {
            const int u = src[(x / 2) * 4] - 128, v = src[(x / 2) * 4 + 2] - 128;
            const int yy = (src[(x / 2) * 4 + 1 + (x & 1) * 2] - 16) * 298;
            dst[x * 3 + 2] = clamp((yy + 409 * v + 128) >> 8);
            dst[x * 3 + 1] = clamp((yy - 100 * u - 208 * v + 128) >> 8);
            dst[x * 3] = clamp((yy + 516 * u + 128) >> 8);
        }
    }
    if (glototga(args[1].c_str(), int(w), int(h), bgr.data()) != 1) return fail(8);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (AnswerHelpOrVersion(argc, argv, "boardtool", usage_text)) return 0;
    const char *setup = nullptr;
    int i = 1;
    if (i + 1 < argc && strcmp(argv[i], "-d") == 0) {
        setup = argv[i + 1];
        i += 2;
    }
    if (i >= argc) return usage();
    const std::string verb = argv[i++];
    std::vector<std::string> args(argv + i, argv + argc);
    if (verb == "asc2tc") {
        uint32_t tc = 0;
        if (args.size() != 1) return usage();
        const int rc = sv_asc2tc(nullptr, args[0].c_str(), &tc);
        if (rc) return fail(rc);
        printf("0x%08x\n", tc);
        return 0;
    }
    if (verb == "tc2asc") {
        if (args.size() != 1) return usage();
        char text[12];
        sv_tc2asc(nullptr, uint32_t(strtoul(args[0].c_str(), nullptr, 0)), text, sizeof text);
        printf("%s\n", text);
        return 0;
    }
    if (verb != "status" && verb != "vtr" && verb != "grab" && verb != "play" && verb != "frame" &&
        verb != "edit")
        return usage();
    sv_handle *sv = sv_open(setup);
    if (!sv) {
        fprintf(stderr, "boardtool: no board\n");
        return 1;
    }
    int rc;
    if (verb == "status") {
        int repeat = 1;
        if (args.size() == 2 && args[0] == "--repeat")
            repeat = atoi(args[1].c_str());
        else if (!args.empty()) {
            sv_close(sv);
            return usage();
        }
        rc = status(sv, repeat < 1 ? 1 : repeat);
    } else if (verb == "vtr") {
        rc = vtr(sv, args);
    } else if (verb == "grab") {
        rc = grab(sv, args);
    } else if (verb == "frame") {
        rc = frame(sv, args);
    } else if (verb == "edit") {
        rc = edit(sv, args);
    } else {
        rc = play(sv, args);
    }
    sv_close(sv);
    return rc;
}
