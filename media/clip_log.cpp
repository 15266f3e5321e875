// Clip log headers and part tables: encoding, decoding and the checks every
// number read from a log passes before it is used. See clip_log.h.
#include "media/clip_log.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/byteorder.h"
#include "platform/fileio.h"

namespace {

// Offsets of the header words.
enum : size_t {
    H_PARTS = 0,
    H_COMPLETE = 4,
    H_WIDTH = 8,
    H_HEIGHT = 12,
    H_FRAMES = 16,
    H_DATE = 20,
    H_SIZE = 46,
    H_RECORD = 50, // seven words; word 0 is the pattern's place in memory, unused on disk
    H_LENGTH = 78,
    H_PATTERN = 82,
};

} // namespace

std::vector<unsigned char> clip_log_header_bytes(const ClipLogHeader &h) {
    std::vector<unsigned char> b(CLIP_LOG_COMMON_SIZE, 0);
    put_be32(&b[H_PARTS], uint32_t(h.parts));
    put_be32(&b[H_COMPLETE], uint32_t(h.complete));
    put_be32(&b[H_WIDTH], uint32_t(h.width));
    put_be32(&b[H_HEIGHT], uint32_t(h.height));
    put_be32(&b[H_FRAMES], uint32_t(h.frames));
    memcpy(&b[H_DATE], h.date, CLIP_LOG_DATE_SIZE);
    put_be32(&b[H_SIZE], uint32_t(h.reel_size));
    if (!h.picture) return b;
    const size_t len = h.pattern.size() + 1;
    b.resize(H_PATTERN + len, 0);
    const int words[6] = {h.first, h.last, h.step, h.ext, h.style, h.tag};
    for (size_t i = 0; i < 6; i++)
        put_be32(&b[H_RECORD + 4 + 4 * i], uint32_t(words[i]));
    put_be32(&b[H_LENGTH], uint32_t(len));
    memcpy(&b[H_PATTERN], h.pattern.c_str(), len);
    return b;
}

bool clip_log_write_header(const char *path, const ClipLogHeader &h) {
    // A pattern that readers would refuse is not written.
    if (h.picture && (h.pattern.empty() || h.pattern.size() + 1 > CLIP_LOG_MAX_PATTERN)) {
        errno = EINVAL;
        return false;
    }
    const std::vector<unsigned char> b = clip_log_header_bytes(h);
    return replace_file(path, b.data(), b.size());
}

bool clip_log_read_header(const char *path, ClipLogHeader &h, bool picture) {
    Fd fd(open_regular(path, O_RDONLY));
    if (fd.fd < 0) return false;
    unsigned char b[H_PATTERN];
    if (!read_at(fd.fd, b, picture ? size_t(H_PATTERN) : size_t(CLIP_LOG_COMMON_SIZE), 0))
        return false;
    ClipLogHeader r;
    r.parts = be32s(&b[H_PARTS]);
    r.complete = be32s(&b[H_COMPLETE]);
    r.width = be32s(&b[H_WIDTH]);
    r.height = be32s(&b[H_HEIGHT]);
    r.frames = be32s(&b[H_FRAMES]);
    memcpy(r.date, &b[H_DATE], CLIP_LOG_DATE_SIZE);
    r.reel_size = be32s(&b[H_SIZE]);
    if (picture) {
        const uint32_t len = be32(&b[H_LENGTH]);
        if (len < 1 || len > CLIP_LOG_MAX_PATTERN) return false;
        std::vector<char> pattern(len);
        if (!read_at(fd.fd, pattern.data(), len, H_PATTERN)) return false;
        r.picture = true;
        r.pattern.assign(pattern.data(), strnlen(pattern.data(), len));
        int *const words[6] = {&r.first, &r.last, &r.step, &r.ext, &r.style, &r.tag};
        for (size_t i = 0; i < 6; i++)
            *words[i] = be32s(&b[H_RECORD + 4 + 4 * i]);
    }
    h = std::move(r);
    return true;
}

bool clip_log_counts_valid(const ClipLogHeader &h) {
    return h.parts >= 1 && h.parts <= CLIP_LOG_MAX_PARTS && h.complete >= 0 &&
           h.complete <= h.parts && h.frames > 0 && h.parts <= h.frames;
}

int LogPartsFor(int frames) {
    const int64_t p = (int64_t(frames) + 20) / 20;
    return p <= 0 ? 1 : (p >= 5 ? 4 : int(p));
}

int FramesInPart(int frames, int parts, int k) {
    if (parts < 1 || k < 1 || k > parts || frames < k) return 0;
    return (frames - k) / parts + 1;
}

int clip_log_table_entries(int frames, int parts) {
    return parts < 1 || frames < 0 ? 0 : frames / parts + 1;
}

bool clip_log_read_tables(const char *path, int count, std::vector<int> &sizes,
                          std::vector<int> &offsets) {
    if (count < 0) return false;
    Fd f(open_regular(path, O_RDONLY));
    if (f.fd < 0) return false;
    struct stat st {};
    if (fstat(f.fd, &st) != 0 || st.st_size < 4) return false;
    unsigned char word[4];
    if (!read_at(f.fd, word, 4, st.st_size - 4)) return false;
    const uint32_t n = be32(word);
    // The tables (8 bytes an entry) and the count must fit in the file, and
    // they must cover every frame of the part.
    if (n == 0 || n < uint32_t(count) || uint64_t(n) * 8 + 4 > uint64_t(st.st_size)) return false;
    const int64_t tables = int64_t(st.st_size) - int64_t(n) * 8 - 4;
    std::vector<unsigned char> raw(size_t(n) * 8);
    if (!read_at(f.fd, raw.data(), raw.size(), off_t(tables))) return false;
    std::vector<int> s(n), o(n);
    for (size_t i = 0; i < n; i++) {
        s[i] = be32s(&raw[4 * i]);
        o[i] = be32s(&raw[4 * (n + i)]);
    }
    for (size_t i = 0; i < size_t(count); i++)
        if (s[i] <= 0 || o[i] < 0 || int64_t(o[i]) + s[i] > tables) return false;
    sizes = std::move(s);
    offsets = std::move(o);
    return true;
}

std::vector<unsigned char> clip_log_tables_bytes(const std::vector<int> &sizes,
                                                 const std::vector<int> &offsets) {
    const size_t n = sizes.size();
    std::vector<unsigned char> b(n * 8 + 4);
    for (size_t i = 0; i < n; i++) {
        put_be32(&b[4 * i], uint32_t(sizes[i]));
        put_be32(&b[4 * (n + i)], uint32_t(i < offsets.size() ? offsets[i] : 0));
    }
    put_be32(&b[n * 8], uint32_t(n));
    return b;
}

ClipLogPartWriter::ClipLogPartWriter(const char *path, int entries) : file_(path) {
    if (entries < 1) {
        ok_ = false;
        return;
    }
    sizes_.assign(size_t(entries), 0);
    offsets_.assign(size_t(entries), 0);
}

bool ClipLogPartWriter::add(const void *jpeg, size_t n) {
    if (!ok() || used_ >= sizes_.size() || n == 0 || end_ + int64_t(n) > INT_MAX) {
        ok_ = false;
        return false;
    }
    if (!file_.write(jpeg, n)) return false;
    sizes_[used_] = int(n);
    offsets_[used_] = int(end_);
    used_++;
    end_ += int64_t(n);
    return true;
}

bool ClipLogPartWriter::commit() {
    if (!ok()) return false;
    const std::vector<unsigned char> tail = clip_log_tables_bytes(sizes_, offsets_);
    return file_.write(tail.data(), tail.size()) && file_.commit();
}
