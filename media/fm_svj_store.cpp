// Field store of the svj driver; see fm_format_svj.h.
#include "media/fm_format_svj.h"

#include <csetjmp>
#include <new>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "media/svj_index.h"
#include "media/svj_io.h"
#include "platform/fileio.h"

#include <jerror.h>

using svj_io::read_exact;
using svj_io::read_full;
using svj_io::write_exact;

namespace {

constexpr uint32_t TABLE_STEP = 1024; // table growth, entries
constexpr size_t LOAD_SLACK = 256;    // extra bytes after a loaded JPEG
// A field of the board's largest frame is well below a megabyte: a JPEG
// file larger than this is refused before a buffer is allocated for it.
constexpr uint64_t MAX_JPEG_FILE = 64u << 20;
constexpr size_t FF_PAD = 16;            // of which FF
constexpr size_t EXTRACT_PADDING = 1024; // after an extracted field

int fail(fm_svj_fault *fault, int code, int end_check = 0) {
    if (fault->code == 0) {
        fault->code = code;
        fault->end_check = end_check;
    }
    return 1;
}

// Stores a fault's code in fm_errno (first failure wins); result unchanged.
int report(int result, const fm_svj_fault &fault) {
    if (result != 0) fm_seterrno(fault.code ? fault.code : FM_EUNDEF);
    return result;
}

int grow_table(fm_svj_file *file, uint32_t needed_below) {
    uint64_t capacity = file->capacity;
    while (capacity <= needed_below)
        capacity += TABLE_STEP;
    if (capacity == file->capacity) return 0;
    if (capacity > UINT32_MAX / sizeof(svj_frame_entry)) return 1;
    auto *table =
        static_cast<svj_frame_entry *>(std::calloc(size_t(capacity), sizeof(svj_frame_entry)));
    if (table == nullptr) return 1;
    if (file->table) std::memcpy(table, file->table, file->capacity * sizeof(svj_frame_entry));
    std::free(file->table);
    file->table = table;
    file->capacity = uint32_t(capacity);
    return 0;
}

// The scan of a loaded JPEG (len data bytes, FF bytes after them): index i
// of the first FF DA at i >= 2 with data after it, with the end check (next-to-last byte FF or
// last byte E9). *dqt gets the first FF DB before it, or 2. -1 on failure.
long find_scan(const unsigned char *buf, size_t len, long *dqt, fm_svj_fault *fault) {
    long i = -1, q = -1;
    // A JPEG begins with its 2-byte SOI, so nothing of the scan search may
    // start before index 2 (the field data begins 2 bytes before the FF DA).
    for (size_t k = 2; k + 2 <= len; k++) {
        if (buf[k] != 0xFF) continue;
        if (buf[k + 1] == 0xDA) {
            i = long(k);
            break;
        }
        if (buf[k + 1] == 0xDB && q < 0) q = long(k);
    }
    // Nothing after the FF DA: the final D9 would overwrite the marker.
    if (i < 0 || size_t(i) + 2 >= len) {
        fail(fault, FM_EUNSPEC);
        return -1;
    }
    if (!(buf[len - 2] == 0xFF || buf[len - 1] == 0xE9)) {
        fail(fault, FM_EUNSPEC, 1);
        return -1;
    }
    if (dqt) *dqt = q >= 0 ? q : 2;
    return i;
}

// Header from bytes from .. i-1 of a JPEG: prefix, bytes, FF fill to 4.
// Its length, or 0 when out is too small.
size_t make_header(const unsigned char *buf, long from, long i, unsigned char *out,
                   size_t outsize) {
    size_t body = size_t(i - from);
    if (outsize < SVJ_HEADER_PREFIX_SIZE || body > outsize - SVJ_HEADER_PREFIX_SIZE) return 0;
    size_t len = SVJ_HEADER_PREFIX_SIZE + body;
    size_t full = (len + 3) & ~size_t(3);
    if (full > outsize) return 0;
    std::memcpy(out, svj_header_prefix, SVJ_HEADER_PREFIX_SIZE);
    std::memcpy(out + SVJ_HEADER_PREFIX_SIZE, buf + from, body);
    std::memset(out + len, 0xFF, full - len);
    return full;
}

bool seek_to(int fd, uint64_t offset) {
    return offset <= uint64_t(INT64_MAX) && ::lseek(fd, off_t(offset), SEEK_SET) == off_t(offset);
}

// Header and field (frame, field) read into out; extra bytes of padding
// (zero) after them.
int read_field(fm_svj_file *file, int frame, int field, size_t padding,
               std::vector<unsigned char> *out, fm_svj_fault *fault) {
    if (file == nullptr) return fail(fault, FM_ENULLHANDLE);
    if (frame < 0 || uint32_t(frame) >= file->tail.frames || uint32_t(frame) >= file->capacity)
        return fail(fault, FM_EPAGE);
    if (field != 0 && field != 1) return fail(fault, FM_EUNSPEC);
    uint32_t header = file->tail.header;
    uint32_t offset = svj_entry_offset(file->table[frame], field);
    uint32_t size = svj_entry_size(file->table[frame], field);
    // The sizes come from the file: they must lie in it before anything is
    // allocated for them.
    struct stat st;
    if (::fstat(file->fd, &st) != 0) return fail(fault, FM_EREAD);
    if (uint64_t(header) > uint64_t(st.st_size) || uint64_t(offset) + size > uint64_t(st.st_size))
        return fail(fault, FM_EREAD);
    try {
        out->assign(size_t(header) + size + padding, 0);
    } catch (...) {
        return fail(fault, FM_EMEMORY);
    }
    if (!seek_to(file->fd, 0)) return fail(fault, FM_ESEEK);
    if (!read_exact(file->fd, out->data(), header)) return fail(fault, FM_EREAD);
    if (!seek_to(file->fd, offset)) return fail(fault, FM_ESEEK);
    if (!read_exact(file->fd, out->data() + header, size)) return fail(fault, FM_EREAD);
    return 0;
}

} // namespace

// --- Shared steps ----------------------------------------------------------

int fm_svj_store_begin(fm_svj_file *file, int frame, fm_svj_fault *fault) {
    if (file == nullptr) return fail(fault, FM_ENULLHANDLE);
    file->modified = 1;
    if (frame < 0 || uint32_t(frame) > file->tail.frames) return fail(fault, FM_EPAGE);
    uint32_t frames = uint32_t(frame) + 1;
    file->tail.frames = frames;
    if (file->capacity <= frames && grow_table(file, frames) != 0) return fail(fault, FM_EMEMORY);
    return 0;
}

int fm_svj_store_load(const char *jpegname, unsigned char **buf, size_t *len, fm_svj_fault *fault) {
    *buf = nullptr;
    *len = 0;
    int fd = jpegname ? open_regular(jpegname, O_RDONLY) : -1;
    if (fd < 0) return fail(fault, FM_EOPEN);
    off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
        ::close(fd);
        return fail(fault, FM_ESEEK);
    }
    auto *data = uint64_t(end) <= MAX_JPEG_FILE
                     ? static_cast<unsigned char *>(std::malloc(size_t(end) + LOAD_SLACK))
                     : nullptr;
    if (data == nullptr) {
        ::close(fd);
        return fail(fault, FM_EMEMORY);
    }
    if (!read_exact(fd, data, size_t(end))) {
        std::free(data);
        ::close(fd);
        return fail(fault, FM_EWRITE); // a short read is code 15, as for any short read
    }
    ::close(fd);
    std::memset(data + end, 0xFF, LOAD_SLACK);
    *buf = data;
    *len = size_t(end);
    return 0;
}

int fm_svj_store_data(fm_svj_file *file, unsigned char *buf, size_t len, int frame, int field,
                      int header_from_dqt, fm_svj_fault *fault) {
    if (file == nullptr) return fail(fault, FM_ENULLHANDLE);
    if (frame < 0 || uint32_t(frame) >= file->capacity) return fail(fault, FM_EPAGE);
    long dqt = 2;
    long i = find_scan(buf, len, &dqt, fault);
    if (i < 0) return 1;
    // Fill: FF bytes before a final D9, so the data after FF DA is a multiple of 4.
    while ((len - size_t(i) - 2) % 4 != 0) {
        buf[len - 1] = 0xFF;
        len++;
    }
    buf[len - 1] = 0xD9;
    uint64_t at;
    if (frame == 0 && field == 0) {
        size_t room = SVJ_HEADER_PREFIX_SIZE + size_t(i) + 4;
        std::vector<unsigned char> header(room);
        size_t h = make_header(buf, header_from_dqt ? dqt : 2, i, header.data(), room);
        if (!seek_to(file->fd, 0)) return fail(fault, FM_ESEEK);
        if (h == 0 || !write_exact(file->fd, header.data(), h)) return fail(fault, FM_EWRITE);
        file->tail.header = uint32_t(h);
        at = h;
    } else if (field == 0) {
        const svj_frame_entry &e = file->table[frame - 1];
        at = uint64_t(e.offset1) + e.size1;
    } else if (field == 1) {
        const svj_frame_entry &e = file->table[frame];
        at = uint64_t(e.offset0) + e.size0;
    } else {
        return fail(fault, FM_EUNSPEC);
    }
    buf[i - 2] = 0xFF;
    buf[i - 1] = 0xFF;
    const unsigned char *data = buf + (i - 2);
    size_t size = len - size_t(i - 2);
    // Offsets and sizes are 32-bit in the file.
    if (at + SVJ_COMMENT_SIZE + size > UINT32_MAX || !seek_to(file->fd, at))
        return fail(fault, FM_ESEEK);
    if (!(frame == 0 && field == 0)) {
        unsigned char comment[SVJ_COMMENT_SIZE];
        svj_comment_block(comment);
        if (!write_exact(file->fd, comment, sizeof comment)) return fail(fault, FM_EWRITE);
        at += SVJ_COMMENT_SIZE;
    }
    if (!write_exact(file->fd, data, size)) return fail(fault, FM_EWRITE);
    svj_frame_entry &e = file->table[frame];
    if (field == 0) {
        e.offset0 = uint32_t(at);
        e.size0 = uint32_t(size);
    } else {
        e.offset1 = uint32_t(at);
        e.size1 = uint32_t(size);
    }
    return 0;
}

int fm_svj_store_tail(fm_svj_file *file, int fd, fm_svj_fault *fault) {
    if (file == nullptr) return fail(fault, FM_ENULLHANDLE);
    uint32_t frames = file->tail.frames;
    if (frames > file->capacity) return fail(fault, FM_EUNSPEC);
    // E: end of the last field; a reel without frames ends at its header.
    uint64_t end = file->tail.header;
    if (frames > 0) {
        const svj_frame_entry &e = file->table[frames - 1];
        end = uint64_t(e.offset1) + e.size1;
    }
    unsigned char comment[SVJ_COMMENT_SIZE];
    svj_comment_block(comment);
    if (!seek_to(fd, end)) return fail(fault, FM_ESEEK);
    if (!write_exact(fd, comment, sizeof comment)) return fail(fault, FM_EWRITE);

    unsigned char *prefix = file->table_prefix;
    std::memset(prefix, 0, SVJ_TABLE_PREFIX_SIZE);
    prefix[0] = prefix[1] = prefix[2] = 0xFF;
    prefix[3] = 0xE2;
    put_be16(prefix + 4, uint16_t((16 + 16 * uint64_t(frames)) & 0xFFFF));
    std::memcpy(prefix + 6, "DVSTABLE100", 12); // with its NUL; two zero bytes follow
    if (!seek_to(fd, end + SVJ_COMMENT_SIZE)) return fail(fault, FM_ESEEK);
    if (!write_exact(fd, prefix, SVJ_TABLE_PREFIX_SIZE)) return fail(fault, FM_EWRITE);

    off_t table_at = ::lseek(fd, 0, SEEK_CUR);
    if (table_at < 0 || uint64_t(table_at) > UINT32_MAX) return fail(fault, FM_ESEEK);
    std::vector<unsigned char> bytes(size_t(frames) * SVJ_ENTRY_SIZE);
    svj_table_encode(file->table, bytes.data(), frames);
    if (!write_exact(fd, bytes.data(), bytes.size())) return fail(fault, FM_EWRITE);

    std::memcpy(file->tail.magic, "DVS102", 7); // other magic bytes kept as read
    file->tail.table = uint32_t(table_at);
    unsigned char tail[SVJ_TAIL_SIZE];
    svj_tail_encode(file->tail, tail);
    if (!write_exact(fd, tail, SVJ_TAIL_SIZE)) return fail(fault, FM_EWRITE);

    off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0 || ::ftruncate(fd, at) != 0) return fail(fault, FM_ETRUNCATE);
    return 0;
}

// --- Reel files -------------------------------------------------------------

fm_svj_file *fm_svj_file_new(int fd, int width, int height) {
    auto *file = static_cast<fm_svj_file *>(std::calloc(1, sizeof(fm_svj_file)));
    if (file != nullptr) {
        file->fd = fd;
        file->table =
            static_cast<svj_frame_entry *>(std::calloc(TABLE_STEP, sizeof(svj_frame_entry)));
    }
    if (file == nullptr || file->table == nullptr) {
        std::free(file);
        ::close(fd);
        return nullptr;
    }
    file->capacity = TABLE_STEP;
    file->tail.width = uint32_t(width);
    file->tail.height = uint32_t(height);
    file->tail.frames = 0;
    return file;
}

void fm_svj_file_free(fm_svj_file *file) {
    if (file->fd >= 0) ::close(file->fd);
    std::free(file->table);
    std::free(file);
}

fm_svj_file *fm_svj_file_create(const char *name, int width, int height) {
    int fd = name ? open_regular(name, O_RDWR | O_CREAT, 0644) : -1;
    if (fd < 0) {
        fm_seterrno(FM_ECREATE);
        return nullptr;
    }
    fm_svj_file *file = fm_svj_file_new(fd, width, height);
    if (file == nullptr) {
        fm_seterrno(FM_EMEMORY);
        return nullptr;
    }
    struct stat st;
    if (::fstat(file->fd, &st) == 0 && uint64_t(st.st_size) <= UINT32_MAX)
        file->file_size = uint32_t(st.st_size);
    return file;
}

namespace {

// The field store's code for each reason the index reader refuses a reel.
int open_code(svj_index_reason reason) {
    switch (reason) {
    case SVJ_INDEX_SEEK:
    case SVJ_INDEX_TABLE_SEEK:
        return FM_ESEEK;
    case SVJ_INDEX_SHORT:
    case SVJ_INDEX_TAIL_READ:
    case SVJ_INDEX_TABLE_READ:
        return FM_EREAD;
    case SVJ_INDEX_MAGIC:
    case SVJ_INDEX_PICTURE:
        return FM_EFORMAT;
    case SVJ_INDEX_MEMORY:
        return FM_EMEMORY;
    default: // too large for a reel, or a table that does not fit
        return FM_EOPEN;
    }
}

} // namespace

fm_svj_file *fm_svj_file_open(const char *name, int update) {
    int fd = name ? open_regular(name, update ? O_RDWR : O_RDONLY) : -1;
    if (fd < 0) {
        fm_seterrno(FM_EOPEN);
        return nullptr;
    }
    svj_index index;
    const svj_index_reason reason =
        svj_read_index(fd, {SVJ_MAGIC_FIELDS, SVJ_TAIL_SIZE + 1, TABLE_STEP}, &index);
    if (reason != SVJ_INDEX_OK) {
        ::close(fd);
        fm_seterrno(open_code(reason));
        return nullptr;
    }
    auto *file = static_cast<fm_svj_file *>(std::calloc(1, sizeof(fm_svj_file)));
    if (file == nullptr) {
        ::close(fd);
        std::free(index.table);
        fm_seterrno(FM_EMEMORY);
        return nullptr;
    }
    file->fd = fd;
    file->file_size = uint32_t(index.file_size);
    file->capacity = index.capacity;
    file->table = index.table;
    file->tail = index.tail;
    return file;
}

int fm_svj_file_close(fm_svj_file *file) {
    if (file == nullptr) return fm_seterrno(FM_ENULLHANDLE);
    fm_svj_fault fault{};
    int result = file->modified ? fm_svj_store_tail(file, file->fd, &fault) : 0;
    fm_svj_file_free(file);
    return report(result, fault);
}

// --- Fields ---------------------------------------------------------------

int fm_svj_field_write(fm_svj_file *file, const char *jpegname, int frame, int field) {
    fm_svj_fault fault{};
    if (fm_svj_store_begin(file, frame, &fault) != 0) return report(1, fault);
    unsigned char *buf;
    size_t len;
    if (fm_svj_store_load(jpegname, &buf, &len, &fault) != 0) return report(1, fault);
    int result = fm_svj_store_data(file, buf, len, frame, field, 0, &fault);
    std::free(buf);
    return report(result, fault);
}

int fm_svj_field_write_mem(fm_svj_file *file, const unsigned char *jpeg, size_t len, int frame,
                           int field) {
    fm_svj_fault fault{};
    if (fm_svj_store_begin(file, frame, &fault) != 0) return report(1, fault);
    if (jpeg == nullptr && len != 0) return fm_seterrno(FM_EBUFNULL);
    auto *buf = static_cast<unsigned char *>(std::malloc(len + LOAD_SLACK));
    if (buf == nullptr) return fm_seterrno(FM_EMEMORY);
    if (len) std::memcpy(buf, jpeg, len);
    std::memset(buf + len, 0xFF, LOAD_SLACK);
    int result = fm_svj_store_data(file, buf, len, frame, field, 0, &fault);
    std::free(buf);
    return report(result, fault);
}

int fm_svj_field_extract(fm_svj_file *file, const char *outname, int frame, int field) {
    fm_svj_fault fault{};
    std::vector<unsigned char> data;
    if (read_field(file, frame, field, EXTRACT_PADDING, &data, &fault) != 0)
        return report(1, fault);
    // Truncated only once the name is known to be a regular file.
    int fd = outname ? open_regular(outname, O_WRONLY | O_CREAT, 0644) : -1;
    if (fd < 0) return fm_seterrno(FM_ECREATE);
    bool ok = ::ftruncate(fd, 0) == 0 && write_exact(fd, data.data(), data.size());
    ::close(fd);
    return ok ? 0 : fm_seterrno(FM_EWRITE);
}

int fm_svj_field_extract_mem(fm_svj_file *file, int frame, int field,
                             std::vector<unsigned char> *out) {
    fm_svj_fault fault{};
    if (out == nullptr) return fm_seterrno(FM_EBUFNULL);
    return report(read_field(file, frame, field, 0, out, &fault), fault);
}

// --- Headers --------------------------------------------------------------

int fm_svj_header_build_mem(const unsigned char *jpeg, size_t len, unsigned char *out,
                            int outsize) {
    if (jpeg == nullptr || out == nullptr || outsize <= 0) return 0;
    std::vector<unsigned char> buf(len + FF_PAD, 0xFF);
    if (len) std::memcpy(buf.data(), jpeg, len);
    fm_svj_fault fault{};
    long i = find_scan(buf.data(), len, nullptr, &fault);
    if (i < 0) return 0;
    return int(make_header(buf.data(), 2, i, out, size_t(outsize)));
}

int fm_svj_header_build(const char *jpegname, unsigned char *out, int outsize) {
    fm_svj_fault fault{};
    unsigned char *buf;
    size_t len;
    if (fm_svj_store_load(jpegname, &buf, &len, &fault) != 0) return 0;
    int h = fm_svj_header_build_mem(buf, len, out, outsize);
    std::free(buf);
    return h;
}

namespace {

struct header_encoder {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    std::jmp_buf jump;
    std::vector<unsigned char> data;
    std::vector<unsigned char> line;
};

[[noreturn]] void header_error_exit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    auto *enc = static_cast<header_encoder *>(cinfo->client_data);
    std::longjmp(enc->jump, 1);
}

struct vector_dest {
    jpeg_destination_mgr pub;
    std::vector<unsigned char> *out;
};

void vector_grow(j_compress_ptr cinfo, size_t to) {
    auto *dest = reinterpret_cast<vector_dest *>(cinfo->dest);
    size_t used = dest->out->size() - dest->pub.free_in_buffer;
    bool grown = true;
    try {
        dest->out->resize(to);
    } catch (...) {
        grown = false;
    }
    if (!grown) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
    }
    dest->pub.next_output_byte = dest->out->data() + used;
    dest->pub.free_in_buffer = dest->out->size() - used;
}

void vector_init(j_compress_ptr cinfo) {
    auto *dest = reinterpret_cast<vector_dest *>(cinfo->dest);
    dest->out->clear();
    dest->pub.free_in_buffer = 0;
    vector_grow(cinfo, 65536);
}

boolean vector_empty(j_compress_ptr cinfo) {
    auto *dest = reinterpret_cast<vector_dest *>(cinfo->dest);
    dest->pub.free_in_buffer = 0; // the whole buffer is used
    vector_grow(cinfo, dest->out->size() * 2);
    return TRUE;
}

void vector_term(j_compress_ptr cinfo) {
    auto *dest = reinterpret_cast<vector_dest *>(cinfo->dest);
    dest->out->resize(dest->out->size() - dest->pub.free_in_buffer);
}

} // namespace

void fm_svj_jpeg_vector_dest(j_compress_ptr cinfo, std::vector<unsigned char> *out) {
    if (cinfo->dest == nullptr)
        cinfo->dest = static_cast<jpeg_destination_mgr *>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(vector_dest)));
    auto *dest = reinterpret_cast<vector_dest *>(cinfo->dest);
    dest->pub.init_destination = vector_init;
    dest->pub.empty_output_buffer = vector_empty;
    dest->pub.term_destination = vector_term;
    dest->out = out;
}

int fm_svj_header(fm_svj_state *state, unsigned char *out, int outsize) {
    if (state == nullptr || state->file == nullptr) return 0;
    // JPEG data passes through memory, not a temporary file.
    auto *enc = new (std::nothrow) header_encoder;
    if (enc == nullptr) return 0;
    enc->cinfo.err = jpeg_std_error(&enc->jerr);
    enc->jerr.error_exit = header_error_exit;
    enc->cinfo.client_data = enc;
    if (setjmp(enc->jump)) {
        jpeg_destroy_compress(&enc->cinfo);
        delete enc;
        return 0;
    }
    jpeg_create_compress(&enc->cinfo);
    enc->cinfo.client_data = enc;
    fm_svj_jpeg_vector_dest(&enc->cinfo, &enc->data);
    enc->cinfo.image_width = state->file->tail.width;
    enc->cinfo.image_height = state->file->tail.height / 2;
    enc->cinfo.input_components = 3;
    enc->cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&enc->cinfo);
    enc->cinfo.comp_info[0].h_samp_factor = 2;
    enc->cinfo.comp_info[0].v_samp_factor = 1;
    for (int c = 1; c < 3; c++) {
        enc->cinfo.comp_info[c].h_samp_factor = 1;
        enc->cinfo.comp_info[c].v_samp_factor = 1;
    }
    enc->cinfo.write_JFIF_header = FALSE;
    jpeg_set_quality(&enc->cinfo, state->quality, TRUE);
    jpeg_start_compress(&enc->cinfo, TRUE); // checks the dimensions
    bool have_line = true;
    try {
        enc->line.assign(size_t(enc->cinfo.image_width) * 3, 0);
    } catch (...) {
        have_line = false;
    }
    if (!have_line) std::longjmp(enc->jump, 1);
    // One written line completes the image.
    enc->cinfo.next_scanline = enc->cinfo.image_height - 1;
    JSAMPROW row = enc->line.data();
    jpeg_write_scanlines(&enc->cinfo, &row, 1);
    jpeg_finish_compress(&enc->cinfo);
    jpeg_destroy_compress(&enc->cinfo);
    int h = fm_svj_header_build_mem(enc->data.data(), enc->data.size(), out, outsize);
    delete enc;
    return h;
}

// --- Table and tail -------------------------------------------------------

int fm_svj_write_tail(fm_svj_state *state, int fd, int frames) {
    if (state == nullptr || state->file == nullptr) return fm_seterrno(FM_ENULLHANDLE);
    if (frames < 0) return fm_seterrno(FM_EUNSPEC);
    state->file->tail.frames = uint32_t(frames);
    fm_svj_fault fault{};
    return report(fm_svj_store_tail(state->file, fd, &fault), fault);
}

namespace {
const svj_frame_entry *entry(fm_svj_state *state, int frame) {
    if (state == nullptr || state->file == nullptr || frame < 0 ||
        uint32_t(frame) >= state->file->capacity)
        return nullptr;
    return &state->file->table[frame];
}
} // namespace

uint32_t fm_svj_offset(fm_svj_state *state, int frame, int field) {
    const svj_frame_entry *e = entry(state, frame);
    return e ? svj_entry_offset(*e, field == 0 ? 0 : 1) : 0;
}

uint32_t fm_svj_size(fm_svj_state *state, int frame, int field) {
    const svj_frame_entry *e = entry(state, frame);
    return e ? svj_entry_size(*e, field == 0 ? 0 : 1) : 0;
}

int fm_svj_set_table(fm_svj_state *state, int frame, int field, uint32_t offset, uint32_t size) {
    auto *e = const_cast<svj_frame_entry *>(entry(state, frame));
    if (e == nullptr) {
        fm_seterrno(FM_EUNSPEC);
        return -1;
    }
    if (field == 0) {
        e->offset0 = offset;
        e->size0 = size;
    } else {
        e->offset1 = offset;
        e->size1 = size;
    }
    return 16 * frame;
}

uint32_t fm_svj_initsize(fm_svj_state *state) {
    if (state == nullptr || state->file == nullptr) return 0;
    return state->file->tail.header;
}

void fm_svj_set_initsize(fm_svj_state *state, uint32_t size) {
    if (state == nullptr || state->file == nullptr) return;
    state->file->tail.header = size;
}

int fm_svj_malloc_table(fm_svj_state *state, int frames) {
    if (state == nullptr || state->file == nullptr) return fm_seterrno(FM_ENULLHANDLE);
    if (frames < 0 || uint32_t(frames) < state->file->capacity) return 0;
    return grow_table(state->file, uint32_t(frames)) == 0 ? 0 : fm_seterrno(FM_EMEMORY);
}

long fm_svj_data_read(fm_svj_state *state, uint32_t offset, uint32_t size, unsigned char *buf) {
    if (state == nullptr || state->file == nullptr || buf == nullptr) {
        fm_seterrno(FM_ENULLHANDLE);
        return -1;
    }
    int fd = state->file->fd;
    off_t saved = ::lseek(fd, 0, SEEK_CUR);
    if (saved < 0 || !seek_to(fd, offset)) {
        fm_seterrno(FM_ESEEK);
        return -1;
    }
    long got = read_full(fd, buf, size);
    ::lseek(fd, saved, SEEK_SET);
    if (got < 0) fm_seterrno(FM_EREAD);
    return got;
}
