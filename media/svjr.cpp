// The display reader: decodes SVJ reel frames from memory into the packed,
// bottom-up pixels the drawing layer writes, at full size or reduced by the
// decoder's own DCT scaling (1/4, 1/8), interleaving the two fields. Pixels
// come straight out of libjpeg-turbo's extended colour spaces: B, G, R
// (JCS_EXT_BGR) or X, B, G, R (JCS_EXT_XBGR, whose first byte libjpeg-turbo
// fills as it likes, 0xFF in practice; the drawing layer ignores it).
#include "media/svjr.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <jerror.h>

#include "media/svj_index.h"
#include "media/svj_io.h"
#include "media/video_globals.h"
#include "platform/fileio.h"

namespace {

constexpr uint32_t TABLE_SPARE = 1024; // table entries beyond N
constexpr uint32_t IMAGE_SPARE = 1024; // bytes after a field image's data
constexpr uint32_t LENGTH_WORD = 4;    // the field image's length word
constexpr uint32_t MAX_HEADER = 65536; // a reel header holds tables only
constexpr int PAL_LINES = 576;         // the PAL standard's frame, stored as shown

// NTSC reels at each scale: the scaled stored height, the height shown and
// the padding lines dropped at the top of each field (stored field 1 then
// holds the upper field). Any other scaled height is shown as it is.
struct ntsc_scaled {
    uint32_t stored;
    uint32_t presented;
    int skipped;
};
constexpr ntsc_scaled ntsc_heights[] = {
    {NTSC_STORED, NTSC_PRESENTED, NTSC_PAD_LINES}, // full size
    {NTSC_STORED / 4, NTSC_QUARTER, 2},            // a quarter: 124 -> 120
    {NTSC_STORED / 8, NTSC_QUARTER / 2, 1},        // an eighth: 62 -> 60
};

// The reader's private record, owned by the fm_fileformat it serves.
struct svjr_state {
    fm_fileformat *record = nullptr;
    svjr_file *file = nullptr;
    jpeg_decompress_struct decompressor{};
    int decompressor_created = 0;
    jpeg_compress_struct compressor{}; // never created by the reader
    int compressor_created = 0;
    jpeg_error_mgr error{};
    // The field image: length word, reel header (read once at open), field,
    // spare bytes. Grown to the largest field seen.
    std::vector<unsigned char> image;
    uint32_t header_size = 0;
    uint32_t scaled_height = 0; // Hs
    std::vector<JSAMPROW> rows; // row pointers of one field
};

// The error manager and jump point of one svjr_read, on its stack.
struct svjr_jump {
    jpeg_error_mgr error; // first: the decoder's err points here
    std::jmp_buf jump;
};

// The memory source of a field image.
struct svjr_source {
    jpeg_source_mgr pub;
    unsigned char *image;
    int delivered; // the data was handed over once already
};

const JOCTET fake_eoi[2] = {0xFF, JPEG_EOI};

void source_init(j_decompress_ptr cinfo) {
    reinterpret_cast<svjr_source *>(cinfo->src)->delivered = 0;
}

boolean source_fill(j_decompress_ptr cinfo) {
    auto *src = reinterpret_cast<svjr_source *>(cinfo->src);
    uint32_t length;
    std::memcpy(&length, src->image, sizeof length);
    // The data is handed over whole once; a decoder asking again has run
    // past its end, and gets an end of image rather than the data again.
    if (length == 0 || src->delivered) {
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->pub.next_input_byte = fake_eoi;
        src->pub.bytes_in_buffer = 2;
        return TRUE;
    }
    src->pub.next_input_byte = src->image + LENGTH_WORD;
    src->pub.bytes_in_buffer = length;
    src->delivered = 1;
    return TRUE;
}

void source_skip(j_decompress_ptr cinfo, long num_bytes) {
    if (num_bytes <= 0) return;
    jpeg_source_mgr *src = cinfo->src;
    while (size_t(num_bytes) > src->bytes_in_buffer) {
        num_bytes -= long(src->bytes_in_buffer);
        (*src->fill_input_buffer)(cinfo);
    }
    src->next_input_byte += num_bytes;
    src->bytes_in_buffer -= size_t(num_bytes);
}

void source_term(j_decompress_ptr) {}

void free_file(svjr_file *file) {
    if (file == nullptr) return;
    if (file->fd >= 0) ::close(file->fd);
    std::free(file->table);
    std::free(file);
}

const ntsc_scaled *ntsc_height(uint32_t hs) {
    for (const ntsc_scaled &n : ntsc_heights)
        if (n.stored == hs) return &n;
    return nullptr;
}

// Lines dropped at the top of each field, by the scaled stored height.
int skipped_lines(uint32_t hs) {
    const ntsc_scaled *n = ntsc_height(hs);
    return n ? n->skipped : 0;
}

uint32_t presented(uint32_t hs) {
    const ntsc_scaled *n = ntsc_height(hs);
    return n ? n->presented : hs;
}

// The reel's tail, table and header into a new svjr_file; null on failure.
svjr_file *read_reel(const char *name, int scale, svjr_state *state) {
    auto *file = static_cast<svjr_file *>(std::calloc(1, sizeof(svjr_file)));
    if (file == nullptr) return nullptr;
    file->fd = open_regular(name, O_RDONLY);
    svj_index index;
    if (file->fd < 0 || svj_read_index(file->fd, {SVJ_MAGIC_FIELDS, SVJ_TAIL_SIZE + 1, TABLE_SPARE},
                                       &index) != SVJ_INDEX_OK) {
        free_file(file);
        return nullptr;
    }
    file->file_size = uint32_t(index.file_size);
    file->table = index.table;
    file->capacity = index.capacity;
    file->tail = index.tail;
    const uint32_t w = index.tail.width, hf = index.tail.height, h = index.tail.header;
    bool ok = w >= 1 && hf >= 2 && h >= 2 && h <= MAX_HEADER;
    // The reel must belong to the configured video standard.
    if (ok && VIDEO_SIZEX > 0 && VIDEO_SIZEY > 0)
        ok = w == uint32_t(VIDEO_SIZEX) &&
             !(VIDEO_SIZEY == NTSC_PRESENTED && hf != uint32_t(NTSC_STORED)) &&
             !(VIDEO_SIZEY == PAL_LINES && hf != uint32_t(PAL_LINES));
    if (ok) {
        try {
            state->image.resize(LENGTH_WORD + h + IMAGE_SPARE);
        } catch (...) {
            ok = false;
        }
    }
    if (!ok || !read_at(file->fd, state->image.data() + LENGTH_WORD, h, 0)) {
        free_file(file);
        return nullptr;
    }
    state->header_size = h;
    file->scale = scale;
    file->tail.width = (w + scale - 1) / scale;
    file->tail.height = (hf + scale - 1) / scale;
    return file;
}

void free_state(svjr_state *state) {
    if (state->decompressor_created) jpeg_destroy_decompress(&state->decompressor);
    if (state->compressor_created) jpeg_destroy_compress(&state->compressor);
    free_file(state->file);
    delete state;
}

// Reads stored field `field` of frame into the field image. 0 or 1.
int load_field(svjr_state *state, int frame, int field) {
    const svjr_file *file = state->file;
    const svj_frame_entry &e = file->table[frame];
    const uint32_t offset = svj_entry_offset(e, field), size = svj_entry_size(e, field);
    if (uint64_t(offset) + size > file->file_size) return 1;
    const size_t total = size_t(LENGTH_WORD) + state->header_size + size + IMAGE_SPARE;
    if (state->image.size() < total) {
        try {
            state->image.resize(total);
        } catch (...) {
            return 1;
        }
    }
    unsigned char *data = state->image.data() + LENGTH_WORD + state->header_size;
    if (::pread(file->fd, data, size, offset) != ssize_t(size)) return 1;
    std::memset(data + size, 0, IMAGE_SPARE);
    const uint32_t length = state->header_size + size + IMAGE_SPARE;
    std::memcpy(state->image.data(), &length, sizeof length);
    return 0;
}

// Decodes the field image into every second line of the frame from
// start_row upwards (rows are stored bottom-up); the first `skip` lines go
// to the start row and are overwritten. Holds the jump point: nothing here
// needs a destructor. 0, or 1 (the decoder is then reset for the next read).
int decode_field(svjr_state *state, unsigned char *start_row, int skip, int bytes_per_pixel) {
    j_decompress_ptr d = &state->decompressor;
    const svjr_file *file = state->file;
    const uint32_t ws = file->tail.width;
    const size_t line = size_t(ws) * bytes_per_pixel;
    svjr_jump jump;
    jump.error = state->error;
    jump.error.error_exit = my_error_exit;
    d->err = &jump.error;
    if (setjmp(jump.jump)) {
        jpeg_abort_decompress(d);
        d->err = &state->error;
        return 1;
    }
    jpeg_stdio_src_mem(d, state->image.data());
    jpeg_read_header(d, TRUE);
    d->out_color_space = bytes_per_pixel == 4 ? JCS_EXT_XBGR : JCS_EXT_BGR;
    d->scale_num = 1;
    d->scale_denom = unsigned(file->scale);
    jpeg_calc_output_dimensions(d);
    const size_t field_rows = state->rows.size();
    if (d->output_width != ws || d->output_height != field_rows ||
        d->output_components != bytes_per_pixel) {
        jpeg_abort_decompress(d);
        d->err = &state->error;
        return 1;
    }
    for (size_t r = 0; r < field_rows; r++)
        state->rows[r] = r < size_t(skip) ? start_row : start_row - (r - skip) * 2 * line;
    jpeg_start_decompress(d);
    while (d->output_scanline < d->output_height)
        jpeg_read_scanlines(d, state->rows.data() + d->output_scanline,
                            d->output_height - d->output_scanline);
    jpeg_finish_decompress(d);
    d->err = &state->error;
    return 0;
}

// Creates the decompressor with the reader's error manager. 0 or 1.
int create_decoder(svjr_state *state) {
    svjr_jump jump;
    state->decompressor.err = jpeg_std_error(&state->error);
    jump.error = state->error;
    jump.error.error_exit = my_error_exit;
    state->decompressor.err = &jump.error;
    if (setjmp(jump.jump)) return 1;
    jpeg_create_decompress(&state->decompressor);
    state->decompressor_created = 1;
    state->decompressor.err = &state->error;
    return 0;
}

} // namespace

void jpeg_stdio_src_mem(j_decompress_ptr cinfo, unsigned char *image) {
    if (cinfo->src == nullptr)
        cinfo->src = static_cast<jpeg_source_mgr *>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(svjr_source)));
    auto *src = reinterpret_cast<svjr_source *>(cinfo->src);
    src->pub.init_source = source_init;
    src->pub.fill_input_buffer = source_fill;
    src->pub.skip_input_data = source_skip;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = source_term;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    src->image = image;
    src->delivered = 0;
}

void my_error_exit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<svjr_jump *>(cinfo->err)->jump, 1);
}

fm_fileformat *svjr_open(const char *name, int scale, int fourbytes, int allocbuffer) {
    if (name == nullptr || (scale != 1 && scale != 4 && scale != 8)) return nullptr;
    auto *record = static_cast<fm_fileformat *>(std::calloc(1, sizeof(fm_fileformat)));
    auto *state = new (std::nothrow) svjr_state;
    if (record == nullptr || state == nullptr) {
        std::free(record);
        delete state;
        return nullptr;
    }
    state->record = record;
    state->file = read_reel(name, scale, state);
    if (state->file == nullptr) {
        free_state(state);
        std::free(record);
        return nullptr;
    }
    svjr_file *file = state->file;
    file->fourbytes = fourbytes ? 1 : 0;
    const int b = fourbytes ? 4 : 3;
    const uint32_t ws = file->tail.width;
    const uint32_t hs = file->tail.height;
    state->scaled_height = hs;
    record->width = int(ws);
    record->height = int(presented(hs));
    record->frames = int(file->tail.frames);
    record->size = record->width * record->height * b;
    record->pixel_type = 1;
    for (int c = 0; c < 3; c++) {
        record->offset[c] = c;
        record->step[c] = 3;
    }
    record->state = state;
    bool ok = true;
    try {
        state->rows.resize(hs / 2);
    } catch (...) {
        ok = false;
    }
    if (ok && allocbuffer) {
        record->buffer = static_cast<unsigned char *>(std::malloc(size_t(record->size)));
        ok = record->buffer != nullptr;
    }
    if (ok) ok = create_decoder(state) == 0;
    if (!ok) {
        std::free(record->buffer);
        free_state(state);
        std::free(record);
        return nullptr;
    }
    return record;
}

int svjr_read(fm_fileformat *record, unsigned char *buffer, int frame) {
    if (record == nullptr || record->state == nullptr || buffer == nullptr) return 1;
    auto *state = static_cast<svjr_state *>(record->state);
    const svjr_file *file = state->file;
    if (frame < 0 || frame >= record->frames) return 1;
    const int b = file->fourbytes ? 4 : 3;
    const int skip = skipped_lines(state->scaled_height);
    const int first_field = skip > 0 ? 1 : 0;
    const size_t line = size_t(record->width) * b;
    // The last kept line of each field must land inside the frame.
    const long kept = long(state->rows.size()) - skip;
    if (kept < 1 || 1 + 2 * (kept - 1) >= record->height) return 1;
    for (int pass = 0; pass < 2; pass++) {
        int field = pass == 0 ? first_field : 1 - first_field;
        if (load_field(state, frame, field) != 0) return 1;
        unsigned char *start_row = buffer + size_t(record->height - pass - 1) * line;
        if (decode_field(state, start_row, skip, b) != 0) return 1;
    }
    return 0;
}

int svjr_close(void *opaque) {
    if (opaque == nullptr) return 0;
    auto *state = static_cast<svjr_state *>(opaque);
    if (state->record != nullptr) state->record->state = nullptr;
    free_state(state);
    return 0;
}
