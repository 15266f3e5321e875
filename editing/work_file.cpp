// Reading and writing work files: the bytes of the format and the checks
// every number read passes before it is used. See work_file.h.
#include "editing/work_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "editing/clip_names.h"
#include "editing/work_legacy.h"
#include "platform/byteorder.h"
#include "platform/fileio.h"
#include "platform/replace_file.h"

namespace {

constexpr char MAGIC[WORK_HEADER_SIZE + 1] = "Vek Dulsar Orva 0002";
constexpr size_t MAGIC_PREFIX = 17; // "Vek Dulsar Orva 0": the magic less its version digits

// Words of the window image that the format uses.
enum {
    W_WIDTH = 0,
    W_HEIGHT = 1,
    W_MASTER = 5,
    W_SLOT = 6,
    W_IN = 9,
    W_OUT = 10,
    W_TOTAL = 11,
    W_START = 13
};
// Words of the segment image.
enum { S_FIRST = 0, S_LAST = 1, S_OFFSET = 2, S_MAPLEN = 3, S_PERIOD = 4, S_MAP = 5 };

#define WORK_MESSAGE_TEXT(code, text) text,
const char *const message_texts[] = {WORK_MESSAGES(WORK_MESSAGE_TEXT)};
#undef WORK_MESSAGE_TEXT
static_assert(sizeof message_texts / sizeof message_texts[0] == WORK_MESSAGE_COUNT);

// Sequential reading of a file of known size through a buffer. `left()` is
// what the file still holds, against which lengths are checked.
class WorkInput {
  public:
    WorkInput(int fd, int64_t size, int64_t at) : fd_(fd), size_(size), pos_(at) {}
    int64_t left() const { return size_ > pos_ ? size_ - pos_ : 0; }
    bool get(void *dst, size_t n) {
        auto *out = static_cast<unsigned char *>(dst);
        while (n > 0) {
            if (have_ == used_ && !fill()) return false;
            size_t k = std::min(n, have_ - used_);
            memcpy(out, buf_.data() + used_, k);
            used_ += k;
            out += k;
            n -= k;
            pos_ += int64_t(k);
        }
        return true;
    }
    bool word(int32_t *v) {
        unsigned char b[4];
        if (!get(b, 4)) return false;
        *v = be32s(b);
        return true;
    }

  private:
    bool fill() {
        ssize_t r;
        do
            r = read(fd_, buf_.data(), buf_.size());
        while (r < 0 && errno == EINTR);
        if (r <= 0) return false;
        have_ = size_t(r);
        used_ = 0;
        return true;
    }
    int fd_;
    int64_t size_, pos_;
    std::vector<unsigned char> buf_ = std::vector<unsigned char>(1 << 16);
    size_t have_ = 0, used_ = 0;
};

int64_t span(const WorkSegment &s) {
    return s.last >= s.first ? int64_t(s.last) - s.first : int64_t(s.first) - s.last;
}

// Reads the segments of one window. False at the first failure. Maps made
// from old files' factors draw on *budget (entries), so that a small file
// cannot ask for a large memory.
bool read_segments(WorkInput &in, int version, int count, WorkWindow &w, int64_t *budget) {
    w.segments.reserve(size_t(count));
    for (int j = 0; j < count; j++) {
        unsigned char img[4 * WORK_SEGMENT_WORDS];
        if (!in.get(img, sizeof img)) return false;
        WorkSegment s;
        s.first = be32s(img + 4 * S_FIRST);
        s.last = be32s(img + 4 * S_LAST);
        s.offset = be32s(img + 4 * S_OFFSET);
        if (s.first < 0) return false;
        if (version == 2) {
            const int32_t p = be32s(img + 4 * S_MAPLEN);
            s.period = be32s(img + 4 * S_PERIOD);
            if (p >= 1) {
                if (4 * int64_t(p) > in.left()) return false;
                std::vector<unsigned char> raw(4 * size_t(p));
                if (!in.get(raw.data(), raw.size())) return false;
                s.map.resize(size_t(p));
                for (size_t k = 0; k < s.map.size(); k++)
                    s.map[k] = be32s(&raw[4 * k]);
            }
        } else if (!LegacyToMap(&s, be32s(img + 4 * S_MAPLEN), be32s(img + 4 * S_PERIOD)) ||
                   (*budget -= int64_t(s.map.size())) < 0) {
            return false;
        }
        unsigned char kind;
        if (!in.get(&kind, 1) || kind > WORK_PICTURES) return false;
        s.kind = kind;
        if (kind == WORK_PICTURES) {
            unsigned char rec[4 * WORK_PICTURE_WORDS];
            if (!in.get(rec, sizeof rec)) return false;
            WorkPictures &p = s.pic;
            p.first = be32s(rec + 4);
            p.last = be32s(rec + 8);
            p.step = be32s(rec + 12);
            p.ext = be32s(rec + 16);
            p.style = be32s(rec + 20);
            p.tag = be32s(rec + 24);
            if (p.first < 0 || p.step < 1 || p.last < p.first || p.ext < 0 ||
                p.ext >= WORK_EXTENSIONS || p.style < 0 || p.style >= WORK_STYLES)
                return false;
        }
        int32_t k;
        if (!in.word(&k) || k < 0 || int64_t(k) + 1 > in.left()) return false;
        s.name.resize(size_t(k) + 1);
        if (!in.get(s.name.data(), s.name.size()) || s.name.back() != 0) return false;
        s.name.resize(strlen(s.name.c_str()));
        if (kind == WORK_REEL) {
            unsigned char sz[4];
            if (!in.get(s.time, WORK_TIME_SIZE) || !in.get(sz, 4)) return false;
            s.size = be32(sz);
        }
        w.segments.push_back(std::move(s));
    }
    return true;
}

// Offsets and total from the segments, marks inside the window, a slot in
// range. False when the window would pass 2^31 - 1 frames.
bool settle_window(WorkWindow &w) {
    int64_t at = 0;
    for (WorkSegment &s : w.segments) {
        s.offset = int(at);
        at += span(s) + 1;
        if (at > INT_MAX) return false;
    }
    w.total = int(at);
    w.in = std::clamp(w.in, 0, w.total - 1);
    w.out = std::clamp(w.out, 0, w.total - 1);
    if (w.slot < 0 || w.slot > WORK_MAX_SLOT) w.slot = -1;
    w.master = w.master ? 1 : 0;
    return true;
}

// Reads one window entry. False when it is skipped or discarded.
bool read_window(WorkInput &in, int version, int count, WorkWindow &w, int64_t *budget) {
    unsigned char img[4 * WORK_WINDOW_WORDS];
    if (!in.get(img, sizeof img)) return false;
    w.width = be32s(img + 4 * W_WIDTH);
    w.height = be32s(img + 4 * W_HEIGHT);
    w.master = be32s(img + 4 * W_MASTER);
    w.slot = be32s(img + 4 * W_SLOT);
    w.in = be32s(img + 4 * W_IN);
    w.out = be32s(img + 4 * W_OUT);
    w.total = be32s(img + 4 * W_TOTAL);
    w.start = be32s(img + 4 * W_START);
    int32_t len;
    if (!in.word(&len) || len < 1 || len > in.left()) return false;
    std::string title(size_t(len), '\0');
    if (!in.get(title.data(), title.size()) || title.back() != 0) return false;
    w.title = title.c_str();
    if (count < 1 || int64_t(count) * 4 * WORK_SEGMENT_WORDS > in.left()) return false;
    return read_segments(in, version, count, w, budget) && settle_window(w);
}

} // namespace

const char *WorkMessage(int code) {
    return code >= 0 && code < WORK_MESSAGE_COUNT ? message_texts[code] : "";
}

int WriteWorkHeader(int fd) {
    return write_all(fd, MAGIC, WORK_HEADER_SIZE) ? 1 : 0;
}

int ReadWorkHeader(int fd, bool *present) {
    char b[WORK_HEADER_SIZE];
    size_t got = 0;
    while (got < sizeof b) {
        ssize_t r = read(fd, b + got, sizeof b - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += size_t(r);
    }
    if (got == sizeof b && memcmp(b, MAGIC, MAGIC_PREFIX) == 0) {
        if (present) *present = true;
        int v = 0;
        for (size_t i = MAGIC_PREFIX; i < sizeof b && b[i] >= '0' && b[i] <= '9'; i++)
            v = v * 10 + (b[i] - '0');
        return v;
    }
    if (present) *present = false;
    lseek(fd, 0, SEEK_SET);
    return 0;
}

int ReadWorkFd(int fd, WorkFile *work) {
    *work = WorkFile{};
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return WORK_UNABLE_TO_OPEN;
    bool present = false;
    const int version = ReadWorkHeader(fd, &present);
    if (present ? (version != 1 && version != 2) : version != 0) return WORK_UNKNOWN_VERSION;
    work->version = version;
    const off_t at = lseek(fd, 0, SEEK_CUR);
    if (at < 0) return WORK_UNABLE_TO_OPEN;
    WorkInput in(fd, st.st_size, at);
    int32_t n;
    if (!in.word(&n)) return WORK_UNABLE_TO_OPEN;
    if (n < 1) return WORK_OK;
    if (n > WORK_MAX_WINDOWS) return WORK_READ_ERROR;
    std::vector<unsigned char> raw(4 * size_t(n));
    if (!in.get(raw.data(), raw.size())) return WORK_UNABLE_TO_OPEN;
    // Old files' maps: 16 entries per byte of the file and a million more.
    int64_t budget = int64_t(st.st_size) * 16 + (1 << 20);
    for (int i = 0; i < n; i++) {
        WorkWindow w;
        if (read_window(in, version, be32s(&raw[4 * size_t(i)]), w, &budget))
            work->windows.push_back(std::move(w));
        else
            work->dropped++;
    }
    return work->dropped ? WORK_READ_ERROR : WORK_OK;
}

int ReadWorkFile(const char *path, WorkFile *work) {
    *work = WorkFile{};
    Fd fd(path ? open_regular(path, O_RDONLY) : -1);
    if (fd.fd < 0) return WORK_UNABLE_TO_OPEN;
    return ReadWorkFd(fd.fd, work);
}

namespace {

const char *kind_subdir(int kind) {
    return ClipDbSubdirNames[kind == WORK_PICTURES ? 3 : 0];
}

// Appends big-endian words and bytes to a buffer.
struct WorkOutput {
    std::vector<unsigned char> &b;
    void word(int64_t v) {
        const size_t at = b.size();
        b.resize(at + 4);
        put_be32(&b[at], uint32_t(v));
    }
    void bytes(const void *p, size_t n) {
        const auto *c = static_cast<const unsigned char *>(p);
        b.insert(b.end(), c, c + n);
    }
};

void put_window(WorkOutput &out, const WorkWindow &w) {
    int32_t img[WORK_WINDOW_WORDS] = {};
    img[W_WIDTH] = w.width;
    img[W_HEIGHT] = w.height;
    img[W_MASTER] = w.master;
    img[W_SLOT] = w.slot;
    img[W_IN] = w.in;
    img[W_OUT] = w.out;
    img[W_TOTAL] = w.total;
    img[W_START] = w.start;
    for (int32_t v : img)
        out.word(v);
    out.word(int64_t(w.title.size()) + 1);
    out.bytes(w.title.c_str(), w.title.size() + 1);
}

void put_segment(WorkOutput &out, const WorkSegment &s) {
    const int32_t img[WORK_SEGMENT_WORDS] = {
        s.first, s.last, s.offset, int32_t(s.map.size()), s.period, s.map.empty() ? 0 : 1, 0, 0, 0};
    for (int32_t v : img)
        out.word(v);
    for (int v : s.map)
        out.word(v);
    const unsigned char kind = s.kind == WORK_PICTURES ? 1 : 0;
    out.bytes(&kind, 1);
    if (kind) {
        const WorkPictures &p = s.pic;
        for (int32_t v : {0, p.first, p.last, p.step, p.ext, p.style, p.tag})
            out.word(v);
    }
    out.word(int64_t(s.name.size()));
    out.bytes(s.name.c_str(), s.name.size() + 1);
    if (!kind) {
        out.bytes(s.time, WORK_TIME_SIZE);
        out.word(s.size);
    }
}

} // namespace

std::vector<unsigned char> WorkFileBytes(const WorkFile &work) {
    std::vector<unsigned char> b(MAGIC, MAGIC + WORK_HEADER_SIZE);
    WorkOutput out{b};
    out.word(int64_t(work.windows.size()));
    for (const WorkWindow &w : work.windows)
        out.word(int64_t(w.segments.size()));
    for (const WorkWindow &w : work.windows) {
        put_window(out, w);
        for (const WorkSegment &s : w.segments)
            put_segment(out, s);
    }
    return b;
}

int WriteWorkFile(const char *path, const WorkFile &work) {
    ReplacingFile file(path);
    if (!file.ok() || !WriteWorkHeader(file.fd())) return 0;
    // The rest in pieces of about a megabyte, so that memory stays small.
    std::vector<unsigned char> b;
    b.reserve(1 << 20);
    WorkOutput out{b};
    auto flush = [&](bool always) {
        if (!always && b.size() < (1u << 20)) return true;
        const bool ok = file.write(b.data(), b.size());
        b.clear();
        return ok;
    };
    out.word(int64_t(work.windows.size()));
    for (const WorkWindow &w : work.windows)
        out.word(int64_t(w.segments.size()));
    for (const WorkWindow &w : work.windows) {
        put_window(out, w);
        for (const WorkSegment &s : w.segments) {
            put_segment(out, s);
            if (!flush(false)) return 0;
        }
        if (!flush(false)) return 0;
    }
    return flush(true) && file.commit() ? 1 : 0;
}

std::string WorkRelativeName(const char *path, int kind, const char *db_dir) {
    if (!path) return "";
    const std::string p = path;
    if (!db_dir) return p;
    const std::string prefix = std::string(db_dir) + kind_subdir(kind);
    if (p.size() > prefix.size() && p.compare(0, prefix.size(), prefix) == 0 &&
        p.find('/', prefix.size()) == std::string::npos)
        return p.substr(prefix.size());
    return p;
}

std::string WorkFullName(const std::string &name, int kind, const char *db_dir) {
    if (!name.empty() && name[0] == '/') return name;
    return std::string(db_dir ? db_dir : "") + kind_subdir(kind) + name;
}
