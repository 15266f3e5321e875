// svjtool effect: renders a transition between two clips at the video size,
// through the same body the program's background effect job runs, here in
// the foreground.
#include <dlfcn.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "editing/clip_records.h"
#include "editing/effects.h"
#include "editing/export.h"
#include "media/fm_main.h"
#include "media/video_globals.h"
#include "platform/sem.h"
#include "tools/svjtool/sources.h"

namespace {

const char *effect_usage = "usage: svjtool effect EFFECT N A AFIRST B BFIRST OUT\n";

struct named_effect {
    const char *name;
    EffectFunc function;
};
const named_effect builtin_effects[] = {
    {"softcut", SoftcutEffect}, {"wipe-lr", WipeLREffect}, {"wipe-rl", WipeRLEffect},
    {"wipe-tb", WipeTBEffect},  {"wipe-bt", WipeBTEffect},
};

// A built-in effect by name, or the effect of a plug-in file (ending ".so").
EffectFunc find_effect(const char *name) {
    for (const named_effect &e : builtin_effects)
        if (std::strcmp(name, e.name) == 0) return e.function;
    const size_t len = std::strlen(name);
    if (len < 4 || std::strcmp(name + len - 3, ".so") != 0) return nullptr;
    // A plug-in named without a directory is looked for in the current one.
    std::string path = std::strchr(name, '/') ? name : std::string("./") + name;
    void *h = dlopen(path.c_str(), RTLD_NOW);
    if (!h) {
        std::fprintf(stderr, "svjtool: %s\n", dlerror());
        return nullptr;
    }
    return reinterpret_cast<EffectFunc>(dlsym(h, "orvaUserEffect"));
}

bool parse_count(const char *text, int min, int *value) {
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < min || v > INT_MAX / 2) return false;
    *value = int(v);
    return true;
}

// Picture size of a clip's first frame, -1 x -1 when unreadable.
void clip_size(const FisicData *f, int *w, int *h) {
    *w = *h = -1;
    if (f->path) {
        fm_fileformat *file = fm_fileformat_allocate("svj");
        if (file && fm_rheader(file, f->path) == 0) {
            *w = file->width;
            *h = file->height;
            fm_close(file);
        }
        fm_fileformat_free(file);
        return;
    }
    ImgHeaderFunc header = nullptr;
    GetFunctions(f->pic->ext, nullptr, &header, nullptr);
    if (header && header(PicFrameFile(f, 0).c_str(), w, h) != 1) *w = *h = -1;
}

FisicData *open_clip(const char *text) {
    FisicData *f = sequence_clip(text);
    return f ? f : reel_clip(text);
}

} // namespace

int cmd_effect(int argc, char **argv) {
    if (argc != 7) {
        std::fputs(effect_usage, stderr);
        return 2;
    }
    int n = 0, afirst = 0, bfirst = 0;
    if (!parse_count(argv[1], 1, &n) || !parse_count(argv[3], 0, &afirst) ||
        !parse_count(argv[5], 0, &bfirst)) {
        std::fprintf(stderr, "svjtool: N must be 1 or more, AFIRST and BFIRST 0 or more\n%s",
                     effect_usage);
        return 2;
    }
    EffectFunc effect = find_effect(argv[0]);
    if (!effect) {
        std::fprintf(stderr, "svjtool: unknown effect %s\n%s", argv[0], effect_usage);
        return 2;
    }
    SetVideoMode(0);
    fm_initialize(nullptr);
    SemInit();
    int result = 0;
    FisicData *a = open_clip(argv[2]), *b = open_clip(argv[4]);
    int wa, ha, wb, hb;
    if (!a || !b) {
        std::fprintf(stderr, "svjtool: %s is neither a readable SVJ reel nor a picture sequence\n",
                     a ? argv[4] : argv[2]);
        result = 1;
    } else if ((long long)afirst + n > a->frames || (long long)bfirst + n > b->frames) {
        std::fprintf(stderr, "Not enough frames to do effect.\nCheck in and out markers.\n");
        result = 1;
    } else if (clip_size(a, &wa, &ha), clip_size(b, &wb, &hb), wa != wb || ha != hb) {
        std::fprintf(stderr, "The clips have different sizes.\n");
        result = 1;
    } else {
        EffectData d;
        Segment sa, sb;
        sa.first = 0;
        sa.last = a->frames - 1;
        sa.fisic = a;
        sb.first = 0;
        sb.last = b->frames - 1;
        sb.fisic = b;
        SetEffectSource(d.a, &sa, afirst, 1);
        SetEffectSource(d.b, &sb, bfirst, 1);
        d.out = argv[6];
        d.n = d.length = n;
        d.first = 0;
        if (RenderEffectPiece(d, effect) != 1) {
            std::fprintf(stderr, "Error creating effect.\n");
            result = 1;
        }
    }
    if (a) free_clip(a);
    if (b) free_clip(b);
    fm_deinitialize();
    SemRemove();
    return result;
}
