// Device-file layer of SVJ reels; see svj.h.
#include "media/svj.h"
#include "media/svj_index.h"
#include "media/svj_io.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "platform/fileio.h"

int sv_debug = 0;

const unsigned char svj_header_prefix[SVJ_HEADER_PREFIX_SIZE] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00,
                                                                 0x06, 'S',  'V',  'J',  0x00};

void svj_table_decode(const unsigned char *bytes, svj_frame_entry *table, size_t n) {
    for (size_t i = 0; i < n; i++, bytes += SVJ_ENTRY_SIZE) {
        table[i].offset0 = be32(bytes);
        table[i].size0 = be32(bytes + 4);
        table[i].offset1 = be32(bytes + 8);
        table[i].size1 = be32(bytes + 12);
    }
}

void svj_table_encode(const svj_frame_entry *table, unsigned char *bytes, size_t n) {
    for (size_t i = 0; i < n; i++, bytes += SVJ_ENTRY_SIZE) {
        put_be32(bytes, table[i].offset0);
        put_be32(bytes + 4, table[i].size0);
        put_be32(bytes + 8, table[i].offset1);
        put_be32(bytes + 12, table[i].size1);
    }
}

const char *svj_result_text(int result) {
    switch (result) {
#define SVJ_RESULT_TEXT(name, value, text)                                                         \
    case name:                                                                                     \
        return text;
        SVJ_RESULT_LIST(SVJ_RESULT_TEXT)
#undef SVJ_RESULT_TEXT
    }
    return "Unknown svj result";
}

void svj_comment_block(unsigned char *block) {
    std::memset(block, 0, SVJ_COMMENT_SIZE);
    block[0] = 0xFF;
    block[1] = 0xFE;
    block[2] = 0x00;
    block[3] = 0xFE;
}

namespace {

bool tracing() {
    return (sv_debug & SVJ_DEBUG) != 0;
}

// Handles and devices are traced as %x like the board library does.
unsigned addr(const void *p) {
    return unsigned(uintptr_t(p));
}

using svj_io::read_exact;
using svj_io::read_full;
using svj_io::write_exact;

void copy_name(svj_handle *h, const char *name) {
    std::strncpy(h->name, name, sizeof h->name - 1);
    h->name[sizeof h->name - 1] = '\0';
}

void free_handle(svj_handle *h) {
    if (h->fd >= 0) ::close(h->fd);
    std::free(h->table);
    std::free(h->buffer);
    std::free(h);
}

// Frames with a table entry: a handle made by svj_create has no table, even
// after a recording filled its tail.
uint32_t table_frames(const svj_handle *h) {
    return h->table ? h->tail.frames : 0;
}

// Frame range first .. last of a handle, checked against N; end of the last
// field and start of the first within the file. False for a bad table.
bool data_range(const svj_handle *h, int first, long last, uint64_t *start, uint64_t *end) {
    *start = h->table[first].offset0;
    *end = uint64_t(h->table[last].offset1) + h->table[last].size1;
    return *start <= *end && *end <= h->file_size && h->tail.header <= *start;
}

// Prints why svj_open refused a reel.
void open_failure(svj_index_reason reason, uint64_t file_size, const char *name) {
    const int err = errno;
    switch (reason) {
    case SVJ_INDEX_SHORT:
        // Shorter than the 64 bytes of a tail: the tail cannot even be read.
        if (file_size >= SVJ_HANDLE_TAIL_SIZE) break;
        [[fallthrough]];
    case SVJ_INDEX_SEEK:
    case SVJ_INDEX_TAIL_READ:
        std::fprintf(stderr, "svj_open: Error reading header in %s : %s\n", name,
                     std::strerror(err ? err : EIO));
        return;
    case SVJ_INDEX_MEMORY:
        std::fprintf(stderr, "svj_open: Malloc for table failed\n");
        return;
    case SVJ_INDEX_TABLE_SEEK:
        std::fprintf(stderr, "svj_open: Seek for header information failed: %s\n",
                     std::strerror(err));
        return;
    case SVJ_INDEX_TABLE_READ:
        std::fprintf(stderr, "svj_open(): Error reading table information: %s\n",
                     std::strerror(err));
        return;
    default:
        break;
    }
    std::fprintf(stderr, "svj_open: Not svj file %s\n", name);
}

// The messages of svj_create and svj_open when making a handle fails.
struct handle_messages {
    const char *no_handle; // the handle cannot be allocated
    const char *no_file;   // the file cannot be opened: name, reason
    const char *no_buffer; // the transfer buffer cannot be allocated: its size
};
const handle_messages create_messages = {
    "svj_create(): Malloc of svj_handle failed\n",
    "svj_create(): Error creating svj file %s : %s\n",
    "svj_create(): Malloc of buffer failed (%d)\n",
};
const handle_messages open_messages = {
    "svj_open: Malloc of svj_handle failed\n",
    "svj_open: Error opening svj file %s : %s\n",
    "svj_open: Malloc buffer failed (%d)\n",
};

// A zero-filled handle with the name and the open file (created with mode
// 0644 when flags say so); null after the message.
svj_handle *open_handle(const char *name, int flags, const handle_messages &m) {
    auto *h = static_cast<svj_handle *>(std::calloc(1, sizeof(svj_handle)));
    if (h == nullptr) {
        std::fputs(m.no_handle, stderr);
        return nullptr;
    }
    copy_name(h, name);
    h->fd = open_regular(name, flags, 0644);
    if (h->fd < 0) {
        std::fprintf(stderr, m.no_file, name, file_error(errno));
        free_handle(h);
        return nullptr;
    }
    return h;
}

// The handle's transfer buffer; false after the message, with the handle freed.
bool add_buffer(svj_handle *h, const handle_messages &m) {
    h->buffer_size = SVJ_BUFFER_SIZE;
    h->buffer = static_cast<unsigned char *>(std::malloc(h->buffer_size));
    if (h->buffer != nullptr) return true;
    std::fprintf(stderr, m.no_buffer, int(h->buffer_size));
    free_handle(h);
    return false;
}

} // namespace

svj_handle *svj_create(const char *name) {
    if (tracing()) std::fprintf(stderr, "svj_create: %s\n", name ? name : "(null)");
    if (name == nullptr) return nullptr;
    svj_handle *h = open_handle(name, O_RDWR | O_CREAT, create_messages);
    return h && add_buffer(h, create_messages) ? h : nullptr;
}

svj_handle *svj_open(const char *name) {
    if (tracing()) std::fprintf(stderr, "svj_open: %s\n", name ? name : "(null)");
    if (name == nullptr) return nullptr;
    svj_handle *h = open_handle(name, O_RDONLY, open_messages);
    if (h == nullptr) return nullptr;
    svj_index index;
    const svj_index_reason reason =
        svj_read_index(h->fd, {SVJ_MAGIC_DEVICE, SVJ_TAIL_SIZE, 0}, &index);
    if (reason != SVJ_INDEX_OK) {
        open_failure(reason, index.file_size, name);
        free_handle(h);
        return nullptr;
    }
    h->file_size = uint32_t(index.file_size);
    h->tail = index.tail;
    h->table = index.table;
    h->table_bytes = index.tail.frames * SVJ_ENTRY_SIZE;
    return add_buffer(h, open_messages) ? h : nullptr;
}

uint32_t svj_info(svj_handle *h, int code) {
    if (h == nullptr) return 0;
    switch (code) {
    case 0:
        return 0;
    case 1:
    case 8:
        return h->tail.frames;
    case 2: {
        if (h->file_size == 0) return 0;
        uint64_t raw = uint64_t(h->tail.width) * 2 * h->tail.height * h->tail.frames;
        return uint32_t(raw / h->file_size);
    }
    case 6:
        return h->tail.width;
    case 7:
        return h->tail.height;
    case 9:
        return h->tail.lost_ac;
    default:
        std::fprintf(stderr, "svj_info(): Illegal code %d\n", code);
        return 0;
    }
}

int svj_size(svj_handle *h, int first, int count) {
    if (tracing()) std::fprintf(stderr, "svj_size: %x %d %d\n", addr(h), first, count);
    if (h == nullptr) return -1;
    long frames = long(table_frames(h));
    // Frame N has no entry: the start frame must lie in 0 .. N-1.
    if (first < 0 || first >= frames) {
        std::fprintf(stderr, "svj_size(): To large start frame\n");
        return -1;
    }
    long last = count == -1 ? frames - 1 : long(first) + count - 1;
    if (last < first || last > frames - 1) {
        std::fprintf(stderr, "svj_size(): To large endframe\n");
        return -1;
    }
    uint64_t start, end;
    if (!data_range(h, first, last, &start, &end)) {
        std::fprintf(stderr, "svj_size(): Frame table outside the file %s\n", h->name);
        return -1;
    }
    uint64_t res = h->tail.header + (end - start) + SVJ_TERMINATOR_SIZE;
    if (res > uint64_t(INT_MAX)) return -1;
    if (tracing()) std::fprintf(stderr, "svj_size: res = %d\n", int(res));
    return int(res);
}

int svj_close(svj_handle *h) {
    if (tracing()) std::fprintf(stderr, "svj_close: %x\n", addr(h));
    if (h == nullptr) return -1;
    free_handle(h);
    return 0;
}

int svj_host2isp(svj_device *device, svj_handle *h, int first, int count) {
    if (tracing())
        std::fprintf(stderr, "svj_host2isp: %x %x %d %d\n", addr(device), addr(h), first, count);
    if (h == nullptr || device == nullptr) return SVJ_EDEVICE;
    long frames = long(table_frames(h));
    if (first < 0 || first >= frames) {
        std::fprintf(stderr, "svj_host2isp(): First frame %d, max %ld\n", first, frames - 1);
        return SVJ_ERANGE;
    }
    long last = count == -1 ? frames - 1 : long(first) + count - 1;
    if (last < first || last > frames - 1) {
        std::fprintf(stderr, "svj_host2isp(): End frame %ld, max %ld\n", last, frames - 1);
        return SVJ_ERANGE;
    }
    uint64_t start, end;
    uint32_t header = h->tail.header;
    if (!data_range(h, first, last, &start, &end) || header > SVJ_BLOCK) {
        std::fprintf(stderr, "svj_host2isp(): Frame table outside the file %s\n", h->name);
        return SVJ_EREAD;
    }
    unsigned char *buf = h->buffer;
    if (::lseek(h->fd, 0, SEEK_SET) != 0) {
        std::fprintf(stderr, "svj_host2isp(): Seek to 0 failed: %s\n", std::strerror(errno));
        return SVJ_ESEEK;
    }
    if (!read_exact(h->fd, buf, header)) {
        std::fprintf(stderr, "svj_host2isp(): Read JFIF header failed: %s\n", std::strerror(errno));
        return SVJ_EREAD;
    }
    if (::lseek(h->fd, off_t(start), SEEK_SET) != off_t(start)) {
        std::fprintf(stderr, "svj_host2isp(): Seek to datastart failed: %s\n",
                     std::strerror(errno));
        return SVJ_ESEEK;
    }
    uint64_t remain = end - start;
    uint32_t now = uint32_t(remain < SVJ_BLOCK - header ? remain : SVJ_BLOCK - header);
    if (tracing()) std::fprintf(stderr, "read(%x, %x, %x)\n", h->fd, addr(buf + header), now);
    if (!read_exact(h->fd, buf + header, now)) {
        std::fprintf(stderr, "svj_host2isp(): Read 1 failed @ 0: %s\n", std::strerror(errno));
        return SVJ_EREAD;
    }
    if (tracing())
        std::fprintf(stderr, "lseek(%x, 0, SEEK_CUR) = %x\n", h->fd,
                     unsigned(::lseek(h->fd, 0, SEEK_CUR)));
    remain -= now;
    uint32_t buffered = header + now;
    if (remain > 0) {
        if (device->host2isp(buf, SVJ_BLOCK) != 0) return SVJ_EDEVICE;
        while (remain >= SVJ_BLOCK) {
            unsigned at = unsigned(::lseek(h->fd, 0, SEEK_CUR));
            if (!read_exact(h->fd, buf, SVJ_BLOCK)) {
                std::fprintf(stderr, "svj_host2isp(): Read 2 failed @ %x :%s\n", at,
                             std::strerror(errno));
                return SVJ_EREAD;
            }
            if (device->host2isp(buf, SVJ_BLOCK) != 0) return SVJ_EDEVICE;
            remain -= SVJ_BLOCK;
        }
        unsigned at = unsigned(::lseek(h->fd, 0, SEEK_CUR));
        if (!read_exact(h->fd, buf, size_t(remain))) {
            std::fprintf(stderr, "svj_host2isp(): Read 3 failed @ %x : %s\n", at,
                         std::strerror(errno));
            return SVJ_EREAD;
        }
        buffered = uint32_t(remain);
    }
    // Terminator: a comment block and the start of a table block.
    svj_comment_block(buf + buffered);
    std::memset(buf + buffered + SVJ_COMMENT_SIZE, 0xFF, 3);
    buf[buffered + SVJ_COMMENT_SIZE + 3] = 0xE2;
    if (device->host2isp(buf, buffered + SVJ_TERMINATOR_SIZE) != 0) return SVJ_EDEVICE;
    return SVJ_OK;
}

int svj_isp2host(svj_device *device, svj_handle *h, int frames) {
    if (tracing()) std::fprintf(stderr, "svj_isp2host: %x %x %d\n", addr(device), addr(h), frames);
    if (h == nullptr) return -1;
    // The buffer holds the previous block and the latest one, so that a tail
    // split across the last two blocks can be assembled.
    unsigned char *prev = h->buffer, *cur = h->buffer + SVJ_BLOCK;
    if (device == nullptr || device->isp2host(cur, SVJ_BLOCK) != 0) {
        std::fprintf(stderr, "svj_isp2host: Error during SCSI transport 1\n");
        return SVJ_ETRANSPORT;
    }
    if (!write_exact(h->fd, cur, SVJ_BLOCK)) {
        std::fprintf(stderr, "svj_isp2host: write 1: %s\n", std::strerror(errno));
        return SVJ_EWRITE;
    }
    if (cur[0] != 0xFF || cur[1] != 0xD8) {
        std::fprintf(stderr, "svj_isp2host: Not SCSIVideo JPEG file\n");
        return SVJ_ENOTREC;
    }
    uint64_t blocks = 1;
    bool write_failed = false;
    auto all_ff = [](const unsigned char *p) {
        return p[0] == 0xFF && p[1] == 0xFF && p[2] == 0xFF && p[3] == 0xFF;
    };
    while (!all_ff(cur + SVJ_BLOCK - 4)) {
        std::memcpy(prev, cur, SVJ_BLOCK);
        if (device->isp2host(cur, SVJ_BLOCK) != 0) {
            std::fprintf(stderr, "svj_isp2host: Error during SCSI transport 2\n");
            return SVJ_ETRANSPORT;
        }
        if (!write_exact(h->fd, cur, SVJ_BLOCK)) {
            std::fprintf(stderr, "svj_isp2host: Error write 2: %s\n", std::strerror(errno));
            write_failed = true;
        }
        blocks++;
    }
    if (write_failed) return SVJ_EWRITE;
    // Skip the FF fill backwards; the byte before it ends the 64-byte tail,
    // which may begin in the block before the last.
    unsigned char *base = blocks >= 2 ? prev : cur;
    long have = blocks >= 2 ? long(2 * SVJ_BLOCK) : long(SVJ_BLOCK);
    long idx = have - 1;
    while (idx >= 0 && base[idx] == 0xFF)
        idx--;
    if (idx < long(SVJ_HANDLE_TAIL_SIZE) - 1 ||
        std::memcmp(base + idx - (SVJ_HANDLE_TAIL_SIZE - 1), "DVS", 3) != 0) {
        std::fprintf(stderr, "svj_isp2host: Couldn't find DVS id\n");
        return SVJ_ENOTREC;
    }
    uint64_t bytes = (blocks - uint64_t(have / SVJ_BLOCK)) * SVJ_BLOCK + uint64_t(idx) + 1;
    if (::ftruncate(h->fd, off_t(bytes)) != 0) {
        std::fprintf(stderr, "svj_isp2host: truncate : %s\n", std::strerror(errno));
        return SVJ_ETRUNCATE;
    }
    svj_tail_decode(base + idx - (SVJ_HANDLE_TAIL_SIZE - 1), &h->tail);
    h->file_size = uint32_t(bytes);
    if (h->tail.table > bytes) {
        std::fprintf(stderr, "svj_isp2host: Data lost during compression %d %d\n",
                     int(h->tail.table), int(bytes));
        return SVJ_ENOTREC;
    }
    if (h->tail.lost_ac != 0) {
        std::fprintf(stderr, "svj_isp2host: AC components lost during compression %d\n",
                     int(h->tail.lost_ac));
        return SVJ_EACLOST;
    }
    return SVJ_OK;
}

int svj_indexate(const char *name, int verbose) {
    int fd = name ? open_regular(name, O_RDONLY) : -1;
    if (fd < 0) {
        std::fprintf(stderr, "svj_indexate: Error opening %s : %s\n", name ? name : "(null)",
                     name ? file_error(errno) : std::strerror(ENOENT));
        return 0;
    }
    struct field_pos {
        uint32_t start, size;
    };
    std::vector<field_pos> fields(2 * 1000); // working table: 1000 frames, doubled when full
    std::vector<unsigned char> piece(32768);
    uint32_t reg = 0, count = 0;
    long n = 0; // fields started
    bool marker = false;
    while (!marker) {
        long got = read_full(fd, piece.data(), piece.size());
        if (got <= 0) break;
        for (long k = 0; k < got; k++) {
            reg = (reg << 8) | piece[size_t(k)];
            count++;
            if (reg == 0xFFFFFFDAu) {
                if (size_t(n) >= fields.size()) fields.resize(fields.size() * 2);
                fields[size_t(n)] = {count, 0};
                if (verbose)
                    std::printf("Found field start %5ld:%ld @ %08x\n", n / 2, n % 2, count);
                n++;
            } else if ((reg & 0xFFFF) == 0xFFD9 && n > 0) {
                field_pos &f = fields[size_t(n - 1)];
                f.size = count - f.start;
                if (verbose)
                    std::printf("                  %5ld:%ld   %08x\n", (n - 1) / 2, (n - 1) % 2,
                                f.size);
            } else if (reg == 0xFFFFFFE2u) {
                marker = true;
                break;
            }
        }
    }
    if (verbose)
        std::printf(marker ? "End of file reached: marker\n" : "End of file reached: read\n");
    std::fflush(stdout);
    ::close(fd);
    return 0;
}

int svj_dumpsize(svj_handle *h, const char *dumpname) {
    if (h == nullptr) return -1;
    FILE *out = dumpname ? fopen_regular(dumpname, "w") : nullptr;
    if (out == nullptr) {
        std::fprintf(stderr, "svj_dumpsize: Couldn't create dump file %s\n",
                     dumpname ? dumpname : "(null)");
        return SVJ_EDUMP;
    }
    std::fprintf(out, "0 0.0\n");
    uint64_t pixels100 = uint64_t(h->tail.width) * h->tail.height * 100;
    uint32_t frames = table_frames(h);
    for (uint32_t f = 0; f < frames; f++) {
        for (int field = 0; field < 2; field++) {
            uint32_t size = svj_entry_size(h->table[f], field);
            uint64_t r = size ? pixels100 / size : 0; // a zero size (bad table) gives 0.00
            std::fprintf(out, "%d %d.%02d\n", int(f), int(r / 100), int(r % 100));
        }
    }
    std::fclose(out);
    return SVJ_OK;
}
