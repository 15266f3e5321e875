// A display reader (svjr) on one reel that stays open while the frames read
// come from the same clip, and is closed when replaced or destroyed.
#pragma once

#include <cstdlib>

#include "editing/clip_records.h"
#include "media/fm_main.h"
#include "media/svjr.h"

struct ReelReader {
    fm_fileformat *rec = nullptr;
    const FisicData *fisic = nullptr;
    ReelReader() = default;
    ReelReader(const ReelReader &) = delete;
    ReelReader &operator=(const ReelReader &) = delete;
    ~ReelReader() { close(); }
    void close() {
        if (rec) {
            svjr_close(rec->state);
            std::free(rec);
        }
        rec = nullptr;
        fisic = nullptr;
    }
    // Opens f's reel at a scale (1 full, 4 quarter) and pixel size (fourbytes
    // 1: 4 bytes a pixel); true at once when it is already open.
    bool open(const FisicData *f, int scale = 1, int fourbytes = 0) {
        if (f == fisic && rec) return true;
        close();
        rec = svjr_open(f->path, scale, fourbytes, 0);
        fisic = rec ? f : nullptr;
        return rec != nullptr;
    }
};
