// The timecode strip the simulated board draws on every picture it makes,
// read back from decoded pictures by the tests.
#pragma once

#include "media/svjr.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace board_test {

// The word in the strip of one RGB row (three bytes a pixel, left to
// right): a lit start cell, 32 bit cells and a dark end cell, each 16
// pixels wide from x = 88. 0xdeadbeef when the row holds no strip.
inline uint32_t strip_word(const unsigned char *row) {
    auto green = [row](int cell) { return row[(88 + 16 * cell + 8) * 3 + 1]; };
    if (green(0) < 128 || green(33) >= 128) return 0xdeadbeef;
    uint32_t w = 0;
    for (int b = 0; b < 32; ++b)
        if (green(b + 1) >= 128) w |= 1u << b;
    return w;
}

// The timecode word in the strip of a 720x576 Targa picture (rows
// bottom-up, the strip on picture line 48); 0xdeadbeef for anything else.
inline uint32_t tga_strip(const std::vector<unsigned char> &px) {
    if (px.size() != 18u + 720u * 576u * 3u) return 0xdeadbeef;
    return strip_word(&px[18 + size_t(576 - 1 - 48) * 720 * 3]);
}

// The timecode word in the strip of every frame of a reel as the display
// reader decodes it (bottom-up B, G, R rows; the strip on picture line 48).
inline std::vector<uint32_t> decoded_strips(const std::string &reel) {
    std::vector<uint32_t> words;
    fm_fileformat *r = svjr_open(reel.c_str(), 1, 0, 1);
    if (r == nullptr) return words;
    for (int k = 0; k < r->frames; ++k) {
        if (svjr_read(r, r->buffer, k) != 0) {
            words.push_back(0xdeadbeef);
            continue;
        }
        words.push_back(strip_word(r->buffer + size_t(r->height - 1 - 48) * r->width * 3));
    }
    svjr_close(r->state);
    std::free(r->buffer);
    std::free(r);
    return words;
}

} // namespace board_test
