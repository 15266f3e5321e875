// The simulated tape: the edits listed in the tape directory, the picture
// and JPEG fields of any position, device (UYVY) frames, and edits laid
// from what the output shows.
#include "boardsim/board.h"

namespace boardsim {

void Board::edit_from_output() {
    int64_t count = params_[key(5, SV_P5_COUNT)];
    if (count < 1 || count > kMaxEditFrames) count = 1;
    if (live_) {
        shown_.assign(2, {});
        fields_at(position(), edits(), &shown_[0], &shown_[1]);
        live_ = false;
    }
    if (shown_pages_.empty()) {
        if (shown_.size() != 2) shown_ = frame_fields(black_frame());
        lay_edit(count, [this](int64_t) { return shown_.data(); });
        return;
    }
    std::vector<std::vector<uint8_t>> pages;
    const auto list = edits();
    for (uint32_t pg : shown_pages_) {
        std::vector<uint8_t> f0, f1;
        fields_at(page_frame(pg), list, &f0, &f1);
        pages.push_back(std::move(f0));
        pages.push_back(std::move(f1));
    }
    const int64_t n = int64_t(shown_pages_.size());
    lay_edit(count, [&pages, n](int64_t i) { return &pages[size_t(std::min(i, n - 1)) * 2]; });
}

Frame Board::black_frame() const {
    Frame f;
    f.width = width_;
    f.height = height_;
    f.rgb.assign(size_t(width_) * size_t(height_) * 3, 0);
    return f;
}

std::vector<std::vector<uint8_t>> Board::frame_fields(const Frame &fr) {
    const int q = int(params_[key(7, SV_P7_QUALITY)]);
    return {encode_field(fr, pad_ ? 1 : 0, q, pad_), encode_field(fr, pad_ ? 0 : 1, q, pad_)};
}

int64_t Board::page_frame(uint32_t page) const {
    auto it = pages_.find(page);
    return it == pages_.end() ? 0 : it->second;
}

size_t Board::device_row(int y) const {
    const int half = stored_height_ / 2;
    if (pad_) return size_t(pad_ + y / 2 + (y % 2 ? 0 : half));
    return size_t(y / 2 + (y % 2 ? half : 0));
}

Frame Board::tape_frame(int64_t pos, const std::vector<Edit> &list) {
    for (auto e = list.rbegin(); e != list.rend(); ++e) {
        if (pos < e->in || pos >= e->in + e->count) continue;
        std::vector<uint8_t> f0, f1;
        Frame fr = black_frame();
        if (reel_fields(tape_ + "/" + e->file, int(pos - e->in), &f0, &f1) &&
            fields_to_frame(f0, f1, &fr))
            return fr;
    }
    return unrecorded_frame(width_, height_, tape_name_, tc_of(pos));
}

bool Board::fields_to_frame(const std::vector<uint8_t> &f0, const std::vector<uint8_t> &f1,
                            Frame *fr) const {
    Frame a, b;
    a.width = b.width = width_;
    if (!decode_field_lines(f0, &a) || !decode_field_lines(f1, &b)) return false;
    // Stored field 0 holds the even lines (NTSC: the odd ones).
    for (int y = 0; y < height_; ++y) {
        const Frame &src = (y % 2 == 0) == (pad_ == 0) ? a : b;
        const int line = pad_ + y / 2;
        if (line >= src.height) continue;
        memcpy(&fr->rgb[size_t(y) * width_ * 3], &src.rgb[size_t(line) * width_ * 3],
               size_t(width_) * 3);
    }
    return true;
}

std::vector<uint8_t> Board::device_frame(const Frame &fr) const {
    const size_t row = size_t(width_) * 2;
    std::vector<uint8_t> out(row * size_t(stored_height_));
    for (size_t i = 0; i + 1 < out.size(); i += 2) { // padding: black
        out[i] = 128;
        out[i + 1] = 16;
    }
    auto Y = [](const uint8_t *c) {
        return uint8_t(16 + (66 * c[0] + 129 * c[1] + 25 * c[2]) / 256);
    };
    for (int y = 0; y < height_; ++y) {
        uint8_t *d = &out[device_row(y) * row];
        for (int x = 0; x + 1 < width_; x += 2) {
            const uint8_t *a = &fr.rgb[(size_t(y) * width_ + x) * 3], *b = a + 3;
            const int r = (a[0] + b[0]) / 2, g = (a[1] + b[1]) / 2, bl = (a[2] + b[2]) / 2;
            d[x * 2] = uint8_t(128 + (-38 * r - 74 * g + 112 * bl) / 256);
            d[x * 2 + 1] = Y(a);
            d[x * 2 + 2] = uint8_t(128 + (112 * r - 94 * g - 18 * bl) / 256);
            d[x * 2 + 3] = Y(b);
        }
    }
    return out;
}

std::vector<Edit> Board::edits() {
    std::vector<Edit> list;
    std::ifstream in(tape_ + "/edits");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string tc, file;
        long long count = 0;
        uint32_t w = 0;
        if (!(ls >> tc >> count >> file) || !parse_tc(tc, &w) || count <= 0 ||
            file.find('/') != std::string::npos)
            continue;
        list.push_back({frames_of(w), count, file});
    }
    return list;
}

bool Board::fields_at(int64_t pos, const std::vector<Edit> &list, std::vector<uint8_t> *f0,
                      std::vector<uint8_t> *f1) {
    for (auto e = list.rbegin(); e != list.rend(); ++e) {
        if (pos < e->in || pos >= e->in + e->count) continue;
        if (reel_fields(tape_ + "/" + e->file, int(pos - e->in), f0, f1)) return true;
    }
    const Frame fr = unrecorded_frame(width_, height_, tape_name_, tc_of(pos));
    const int q = int(params_[key(7, SV_P7_QUALITY)]);
    *f0 = encode_field(fr, pad_ ? 1 : 0, q, pad_);
    *f1 = encode_field(fr, pad_ ? 0 : 1, q, pad_);
    return true;
}

bool Board::reel_fields(const std::string &name, int k, std::vector<uint8_t> *f0,
                        std::vector<uint8_t> *f1) {
    svj_handle *h = svj_open(name.c_str());
    if (!h) return false;
    bool ok = k >= 0 && uint32_t(k) < svj_info(h, 8) && h->tail.header <= h->file_size;
    auto read_at = [h](uint64_t off, uint64_t len, std::vector<uint8_t> *out) {
        if (off + len > h->file_size) return false;
        const size_t at = out->size();
        out->resize(at + len);
        return pread(h->fd, out->data() + at, len, off_t(off)) == ssize_t(len);
    };
    if (ok) {
        const svj_frame_entry &e = h->table[k];
        f0->clear();
        f1->clear();
        ok = read_at(0, h->tail.header, f0) && read_at(e.offset0, e.size0, f0) &&
             read_at(0, h->tail.header, f1) && read_at(e.offset1, e.size1, f1);
    }
    svj_close(h);
    return ok;
}

} // namespace boardsim
