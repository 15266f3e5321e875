// The reel index reader; see svj_index.h.
#include "media/svj_index.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "media/svj_io.h"
#include "platform/byteorder.h"
#include "platform/fileio.h"

namespace {

// The table is read in pieces of this many entries, so reading it costs no
// second buffer of the table's size.
constexpr size_t TABLE_PIECE = 1024;

// Every frame takes two fields of at least SVJ_MIN_FIELD_SIZE bytes and the
// two comment blocks that follow them before the table.
constexpr uint64_t MIN_FRAME_BYTES = 2 * (SVJ_MIN_FIELD_SIZE + SVJ_COMMENT_SIZE);

// The table, the tail and the header lie in the file; the frames fit between
// header and table; the table holds data (a table in a hole of a sparse file
// would be megabytes of zeros read for nothing).
bool layout_fits(int fd, const svj_tail &t, uint64_t file_size) {
    const uint64_t table_end = uint64_t(t.table) + uint64_t(t.frames) * SVJ_ENTRY_SIZE;
    if (table_end + SVJ_TAIL_SIZE > file_size || t.header > t.table) return false;
    if (uint64_t(t.frames) * MIN_FRAME_BYTES > uint64_t(t.table - t.header)) return false;
    if (t.frames > 0) {
        // A file system without holes reports the end of the file.
        const off_t hole = ::lseek(fd, off_t(t.table), SEEK_HOLE);
        if (hole >= 0 && uint64_t(hole) < table_end) return false;
    }
    return true;
}

svj_index_reason read_table(int fd, const svj_tail &t, svj_frame_entry *table) {
    if (::lseek(fd, off_t(t.table), SEEK_SET) != off_t(t.table)) return SVJ_INDEX_TABLE_SEEK;
    unsigned char bytes[TABLE_PIECE * SVJ_ENTRY_SIZE];
    for (size_t done = 0; done < t.frames;) {
        const size_t n = t.frames - done < TABLE_PIECE ? t.frames - done : TABLE_PIECE;
        if (!svj_io::read_exact(fd, bytes, n * SVJ_ENTRY_SIZE)) return SVJ_INDEX_TABLE_READ;
        svj_table_decode(bytes, table + done, n);
        done += n;
    }
    return SVJ_INDEX_OK;
}

} // namespace

void svj_tail_decode(const unsigned char *bytes, svj_tail *tail) {
    // The offsets count from the marker, which these bytes do not hold.
    auto at = [bytes](uint32_t offset) { return bytes + (offset - SVJ_TAIL_MARKER); };
    std::memcpy(tail->magic, at(SVJ_TAIL_MAGIC), sizeof tail->magic);
    tail->width = be32(at(SVJ_TAIL_WIDTH));
    tail->height = be32(at(SVJ_TAIL_HEIGHT));
    tail->frames = be32(at(SVJ_TAIL_FRAMES));
    tail->table = be32(at(SVJ_TAIL_TABLE));
    tail->header = be32(at(SVJ_TAIL_HEADER));
    tail->lost_ac = be32(at(SVJ_TAIL_LOST));
    std::memcpy(tail->reserved, at(SVJ_TAIL_RESERVED), sizeof tail->reserved);
}

void svj_tail_encode(const svj_tail &tail, unsigned char *bytes) {
    bytes[0] = 0xFF;
    bytes[1] = 0xE1;
    put_be16(bytes + 2, SVJ_TAIL_SIZE - 2);
    std::memcpy(bytes + SVJ_TAIL_MAGIC, tail.magic, sizeof tail.magic);
    put_be32(bytes + SVJ_TAIL_WIDTH, tail.width);
    put_be32(bytes + SVJ_TAIL_HEIGHT, tail.height);
    put_be32(bytes + SVJ_TAIL_FRAMES, tail.frames);
    put_be32(bytes + SVJ_TAIL_TABLE, tail.table);
    put_be32(bytes + SVJ_TAIL_HEADER, tail.header);
    put_be32(bytes + SVJ_TAIL_LOST, tail.lost_ac);
    std::memcpy(bytes + SVJ_TAIL_RESERVED, tail.reserved, sizeof tail.reserved);
}

svj_index_reason svj_read_index(int fd, const svj_index_rules &rules, svj_index *index) {
    *index = svj_index{};
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0) return SVJ_INDEX_SEEK;
    index->file_size = uint64_t(end);
    if (index->file_size < rules.min_size || index->file_size < SVJ_TAIL_SIZE) {
        errno = EINVAL;
        return SVJ_INDEX_SHORT;
    }
    // Offsets are 32-bit: a larger file is no reel.
    if (index->file_size > UINT32_MAX) return SVJ_INDEX_TOO_LARGE;
    unsigned char bytes[SVJ_TAIL_SIZE];
    errno = 0;
    if (!read_at(fd, bytes, SVJ_TAIL_SIZE, end - off_t(SVJ_TAIL_SIZE))) {
        if (errno == 0) errno = EIO;
        return SVJ_INDEX_TAIL_READ;
    }
    svj_tail_decode(bytes + SVJ_TAIL_MARKER, &index->tail);
    const svj_tail &t = index->tail;
    if (std::memcmp(t.magic, rules.magic, std::strlen(rules.magic)) != 0) return SVJ_INDEX_MAGIC;
    if (!layout_fits(fd, t, index->file_size)) return SVJ_INDEX_LAYOUT;
    if (t.width > SVJ_MAX_WIDTH || t.height > SVJ_MAX_HEIGHT) return SVJ_INDEX_PICTURE;

    // N is below 2^28 here (the table lies in a file of at most 4 GiB).
    const uint64_t capacity = uint64_t(t.frames) + rules.spare_entries;
    auto *table = static_cast<svj_frame_entry *>(
        std::calloc(size_t(capacity ? capacity : 1), sizeof(svj_frame_entry)));
    if (table == nullptr) return SVJ_INDEX_MEMORY;
    const svj_index_reason reason = read_table(fd, t, table);
    if (reason != SVJ_INDEX_OK) {
        const int err = errno;
        std::free(table);
        errno = err;
        return reason;
    }
    index->table = table;
    index->capacity = uint32_t(capacity);
    return SVJ_INDEX_OK;
}
