// The simulated board's player: the reel stream and uncompressed frames
// the host sends, shown on the output and laid onto tape during an edit.
#include "boardsim/board.h"

namespace boardsim {

void Board::data(const uint8_t *p, size_t n) {
    if (uyvy_want_) {
        uyvy_.insert(uyvy_.end(), p, p + std::min<size_t>(n, uyvy_want_ - uyvy_.size()));
        if (uyvy_.size() >= uyvy_want_) finish_uncompressed();
        return;
    }
    if (!playing_) return;
    play_.insert(play_.end(), p, p + n);
    static const uint8_t comment[4] = {0xFF, 0xFE, 0x00, 0xFE};
    static const uint8_t table[4] = {0xFF, 0xFF, 0xFF, 0xE2};
    const size_t from =
        play_.size() > n + SVJ_TERMINATOR_SIZE ? play_.size() - n - SVJ_TERMINATOR_SIZE : 0;
    for (size_t i = from; i + SVJ_TERMINATOR_SIZE <= play_.size(); ++i) {
        if (memcmp(&play_[i], comment, 4) != 0 ||
            memcmp(&play_[i + SVJ_COMMENT_SIZE], table, 4) != 0)
            continue;
        play_.resize(i);
        playing_ = false;
        finish_play();
        return;
    }
}

void Board::finish_play() {
    static const uint8_t scan[4] = {0xFF, 0xFF, 0xFF, 0xDA};
    std::vector<size_t> starts;
    for (size_t i = 0; i + 4 <= play_.size(); ++i)
        if (memcmp(&play_[i], scan, 4) == 0) starts.push_back(i);
    if (starts.size() < 2) return;
    const size_t header = starts[0];
    std::vector<std::vector<uint8_t>> fields;
    for (size_t k = 0; k < starts.size(); ++k) {
        size_t end = k + 1 < starts.size() ? starts[k + 1] : play_.size();
        // A field ends at its EOI; fill may follow before the next one.
        while (end > starts[k] + 4 && !(play_[end - 2] == 0xFF && play_[end - 1] == 0xD9))
            --end;
        std::vector<uint8_t> f(play_.begin(), play_.begin() + long(header));
        f.insert(f.end(), play_.begin() + long(starts[k]), play_.begin() + long(end));
        fields.push_back(std::move(f));
    }
    const int frames = int(fields.size() / 2);
    uint32_t first = 0, last = 0;
    strip_of_field(fields.front(), &first, width_, pad_);
    strip_of_field(fields[size_t(frames - 1) * 2], &last, width_, pad_);
    log_.line("OUT %d %s %s", frames, tc_text(first).c_str(), tc_text(last).c_str());
    // The last frame stays on the output.
    shown_ = {fields[size_t(frames - 1) * 2], fields[size_t(frames - 1) * 2 + 1]};
    shown_pages_.clear();
    live_ = false;
    if (!save_state_) return;
    const int64_t count = std::min<int64_t>(
        frames, params_[key(5, SV_P5_COUNT)] ? params_[key(5, SV_P5_COUNT)] : frames);
    lay_edit(count, [&fields](int64_t i) { return &fields[size_t(i) * 2]; });
}

void Board::finish_uncompressed() {
    Frame fr = black_frame();
    auto clamp = [](int c) { return uint8_t(c < 0 ? 0 : c > 255 ? 255 : c); };
    const size_t row = size_t(width_) * 2;
    for (int y = 0; y < height_; ++y) {
        const size_t at = device_row(y) * row;
        if (at + row > uyvy_.size()) continue;
        for (int x = 0; x + 1 < width_; x += 2) {
            const uint8_t *s = &uyvy_[at + size_t(x) * 2];
            const int u = s[0] - 128, v = s[2] - 128;
            for (int k = 0; k < 2; ++k) {
                const int l = (s[1 + 2 * k] - 16) * 298;
                uint8_t *d = &fr.rgb[(size_t(y) * width_ + x + k) * 3];
                d[0] = clamp((l + 409 * v + 128) >> 8);
                d[1] = clamp((l - 100 * u - 208 * v + 128) >> 8);
                d[2] = clamp((l + 516 * u + 128) >> 8);
            }
        }
    }
    uyvy_want_ = 0;
    uyvy_.clear();
    uint32_t tc = 0;
    const bool strip = read_strip(fr, &tc);
    log_.line("DISPLAY host %dx%d %s", width_, height_, strip ? tc_text(tc).c_str() : "no-strip");
    shown_ = frame_fields(fr);
    shown_pages_.clear();
    live_ = false;
    if (save_state_) edit_from_output();
}

} // namespace boardsim
