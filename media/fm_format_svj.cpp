// The "svj" format driver: SVJ reels as frames of packed R, G, B in the
// field-sequential layout (upper field's lines first). A write encodes each
// half of the frame as a baseline 4:2:2 JPEG field in memory and stores it
// through the field store; a read takes each stored field out (reel header
// and field, in memory) and decodes it. Reels stored with 496 lines present
// 486: each stored field carries 5 lines of value 16 before the picture and
// the upper field is stored field 1.
//
// JPEG errors do not end the process: every libjpeg call runs inside a small
// wrapper that keeps its setjmp point, and an error fails that read or write
// with a code in fm_errno (17 on decode, 15 on encode).
#include "media/fm_format_svj.h"
#include "media/video_globals.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <cerrno>
#include <sys/stat.h>

#include "media/fm_main.h"

// Working buffers of one driver state, reused from frame to frame.
struct fm_svj_buffers {
    std::vector<unsigned char> jpeg;    // one field's JPEG data
    std::vector<unsigned char> padding; // a line of value 16
    std::vector<unsigned char> scratch; // a dropped padding line on decode
    std::vector<JSAMPROW> rows;         // row pointers of one field
    // Quantization tables to encode with instead of the quality (a reel that
    // is continued or a frame that is substituted keeps its own tables).
    bool use_tables = false;
    bool table_present[NUM_QUANT_TBLS] = {};
    UINT16 tables[NUM_QUANT_TBLS][DCTSIZE2] = {};
};

namespace {

constexpr int DEFAULT_QUALITY = 50;

// The jump point of one libjpeg operation, reached through client_data.
struct jpeg_guard {
    std::jmp_buf jump;
};

[[noreturn]] void driver_error_exit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    auto *guard = static_cast<jpeg_guard *>(cinfo->client_data);
    if (guard == nullptr) std::abort(); // every libjpeg call runs inside a guard
    std::longjmp(guard->jump, 1);
}

int presented_height(int stored) {
    return stored == NTSC_STORED ? NTSC_PRESENTED : stored;
}
int padding_lines(int stored) {
    return stored == NTSC_STORED ? NTSC_PAD_LINES : 0;
}

// True for a reel of W x Hf that has two fields of at least one line and
// fits the board's frame (so its frame buffer's size fits an int too).
bool size_ok(uint32_t w, uint32_t hf) {
    return w >= 1 && hf >= 2 && w <= SVJ_MAX_WIDTH && hf <= SVJ_MAX_HEIGHT;
}

fm_svj_state *new_state(fm_fileformat *record) {
    auto *state = static_cast<fm_svj_state *>(std::calloc(1, sizeof(fm_svj_state)));
    if (state == nullptr) {
        fm_seterrno(FM_EMEMORY);
        return nullptr;
    }
    state->buffers = new (std::nothrow) fm_svj_buffers;
    if (state->buffers == nullptr) {
        std::free(state);
        fm_seterrno(FM_EMEMORY);
        return nullptr;
    }
    state->record = record;
    jpeg_std_error(&state->error);
    state->error.error_exit = driver_error_exit;
    return state;
}

void free_state(fm_svj_state *state) {
    if (state->decompressor_created) jpeg_destroy_decompress(&state->decompressor);
    if (state->compressor_created) jpeg_destroy_compress(&state->compressor);
    delete state->buffers;
    std::free(state);
}

// Creates the compressor (once). 0, or 1 with 2.
int make_compressor(fm_svj_state *state) {
    if (state->compressor_created) return 0;
    jpeg_guard guard;
    state->compressor.err = &state->error;
    state->compressor.client_data = &guard;
    if (setjmp(guard.jump)) return fm_seterrno(FM_EMEMORY);
    jpeg_create_compress(&state->compressor);
    state->compressor.client_data = &guard; // jpeg_create_compress clears the object
    state->compressor_created = 1;
    state->compressor.client_data = nullptr;
    return 0;
}

// Creates the decompressor (once). 0, or 1 with 2.
int make_decompressor(fm_svj_state *state) {
    if (state->decompressor_created) return 0;
    jpeg_guard guard;
    state->decompressor.err = &state->error;
    state->decompressor.client_data = &guard;
    if (setjmp(guard.jump)) return fm_seterrno(FM_EMEMORY);
    jpeg_create_decompress(&state->decompressor);
    state->decompressor_created = 1;
    state->decompressor.client_data = nullptr;
    return 0;
}

// Makes the working buffers ready for fields of W x Hf. 0, or 1 with 2.
int size_buffers(fm_svj_state *state, int w, int hf) {
    fm_svj_buffers *b = state->buffers;
    try {
        b->padding.assign(size_t(w) * 3, NTSC_PAD_VALUE);
        b->scratch.assign(size_t(w) * 3, 0);
        b->rows.assign(size_t(hf / 2), nullptr);
    } catch (...) {
        return fm_seterrno(FM_EMEMORY);
    }
    return 0;
}

// The buffer rows of one field: the first or the second half of the frame.
const unsigned char *half_start(const fm_fileformat *record, const unsigned char *buffer,
                                int second) {
    return buffer + (second ? size_t(record->height / 2) * 3 * record->width : 0);
}

// Which half of the frame stored field `field` holds: 496-line reels keep
// the upper field (first half) in stored field 1.
int half_of_field(int hf, int field) {
    return hf == NTSC_STORED ? (field == 0) : (field == 1);
}

// Decodes one field (a complete JPEG in data) into the given half of the
// frame. 0, or 1 with 17 (wrong size or a JPEG error).
int decode_field(fm_svj_state *state, const std::vector<unsigned char> &data, unsigned char *half) {
    fm_svj_buffers *b = state->buffers;
    j_decompress_ptr d = &state->decompressor;
    const fm_svj_file *file = state->file;
    const uint32_t w = file->tail.width, hf = file->tail.height;
    const int skip = padding_lines(int(hf));
    const size_t line = size_t(w) * 3;
    for (size_t r = 0; r < b->rows.size(); r++)
        b->rows[r] = r < size_t(skip) ? b->scratch.data() : half + (r - skip) * line;

    jpeg_guard guard;
    d->client_data = &guard;
    if (setjmp(guard.jump)) {
        jpeg_abort_decompress(d);
        return fm_seterrno(FM_EFORMAT);
    }
    jpeg_mem_src(d, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(d, TRUE);
    if (d->image_width != w || d->image_height != hf / 2 || d->num_components != 3) {
        jpeg_abort_decompress(d);
        return fm_seterrno(FM_EFORMAT);
    }
    d->out_color_space = JCS_RGB;
    jpeg_start_decompress(d);
    while (d->output_scanline < d->output_height)
        jpeg_read_scanlines(d, b->rows.data() + d->output_scanline,
                            d->output_height - d->output_scanline);
    jpeg_finish_decompress(d);
    d->client_data = nullptr;
    return 0;
}

// Encodes one half of the frame as a field into b->jpeg: W x Hf/2, 4:2:2,
// no JFIF marker, baseline tables of the quality (or the kept tables), the
// padding lines first. 0, or 1 with 15.
int encode_field(fm_svj_state *state, const unsigned char *half) {
    fm_svj_buffers *b = state->buffers;
    j_compress_ptr c = &state->compressor;
    const fm_svj_file *file = state->file;
    const uint32_t w = file->tail.width, hf = file->tail.height;
    const int skip = padding_lines(int(hf));
    const size_t line = size_t(w) * 3;
    for (size_t r = 0; r < b->rows.size(); r++)
        b->rows[r] = r < size_t(skip) ? b->padding.data()
                                      : const_cast<unsigned char *>(half) + (r - skip) * line;

    jpeg_guard guard;
    c->client_data = &guard;
    if (setjmp(guard.jump)) {
        jpeg_abort_compress(c);
        return fm_seterrno(FM_EWRITE);
    }
    fm_svj_jpeg_vector_dest(c, &b->jpeg);
    c->image_width = w;
    c->image_height = hf / 2;
    c->input_components = 3;
    c->in_color_space = JCS_RGB;
    jpeg_set_defaults(c);
    c->comp_info[0].h_samp_factor = 2;
    c->comp_info[0].v_samp_factor = 1;
    for (int k = 1; k < 3; k++) {
        c->comp_info[k].h_samp_factor = 1;
        c->comp_info[k].v_samp_factor = 1;
    }
    c->write_JFIF_header = FALSE;
    if (b->use_tables) {
        for (int t = 0; t < NUM_QUANT_TBLS; t++) {
            if (!b->table_present[t] || c->quant_tbl_ptrs[t] == nullptr) continue;
            std::memcpy(c->quant_tbl_ptrs[t]->quantval, b->tables[t], sizeof b->tables[t]);
        }
    } else {
        jpeg_set_quality(c, state->quality, TRUE);
    }
    jpeg_start_compress(c, TRUE);
    while (c->next_scanline < c->image_height)
        jpeg_write_scanlines(c, b->rows.data() + c->next_scanline,
                             c->image_height - c->next_scanline);
    jpeg_finish_compress(c);
    c->client_data = nullptr;
    return 0;
}

// Keeps the quantization tables of stored field 0 of frame for later
// encodes. 0, or 1 with the field store's codes or 17.
int keep_tables(fm_svj_state *state, int frame) {
    fm_svj_buffers *b = state->buffers;
    if (make_decompressor(state) != 0) return 1;
    if (fm_svj_field_extract_mem(state->file, frame, 0, &b->jpeg) != 0) return 1;
    j_decompress_ptr d = &state->decompressor;
    const uint32_t w = state->file->tail.width, hf = state->file->tail.height;
    jpeg_guard guard;
    d->client_data = &guard;
    if (setjmp(guard.jump)) {
        jpeg_abort_decompress(d);
        return fm_seterrno(FM_EFORMAT);
    }
    jpeg_mem_src(d, b->jpeg.data(), static_cast<unsigned long>(b->jpeg.size()));
    jpeg_read_header(d, TRUE);
    int result = 0;
    if (d->image_width != w || d->image_height != hf / 2 || d->num_components != 3) {
        result = fm_seterrno(FM_EFORMAT);
    } else {
        for (int t = 0; t < NUM_QUANT_TBLS; t++) {
            b->table_present[t] = d->quant_tbl_ptrs[t] != nullptr;
            if (b->table_present[t])
                std::memcpy(b->tables[t], d->quant_tbl_ptrs[t]->quantval, sizeof b->tables[t]);
        }
        b->use_tables = true;
    }
    jpeg_abort_decompress(d);
    d->client_data = nullptr;
    return result;
}

// Encodes and stores both fields of a frame from buffer.
int store_frame(fm_svj_state *state, int frame, const unsigned char *buffer) {
    const fm_fileformat *record = state->record;
    const int hf = int(state->file->tail.height);
    for (int pass = 0; pass < 2; pass++) {
        const unsigned char *half = half_start(record, buffer, half_of_field(hf, pass));
        if (encode_field(state, half) != 0) return 1;
        const std::vector<unsigned char> &jpeg = state->buffers->jpeg;
        if (fm_svj_field_write_mem(state->file, jpeg.data(), jpeg.size(), frame, pass) != 0)
            return 1;
    }
    state->record->frames = int(state->file->tail.frames);
    return 0;
}

// --- Callbacks ---------------------------------------------------------------

void *svj_driver_create(const char *name, fm_fileformat *record, int width, int height, int,
                        int quality) {
    if (record == nullptr || name == nullptr) {
        fm_seterrno(FM_ENULLFF);
        return nullptr;
    }
    const int hf = StoredHeight(height);
    if (!size_ok(uint32_t(width), uint32_t(hf)) || width < 1 || height < 2) {
        fm_seterrno(FM_EFORMAT);
        return nullptr;
    }
    fm_svj_state *state = new_state(record);
    if (state == nullptr) return nullptr;
    struct stat st;
    bool exists = ::stat(name, &st) == 0;
    if (!exists && errno != ENOENT) {
        fm_seterrno(FM_ESTAT);
        free_state(state);
        return nullptr;
    }
    // An existing reel is continued: later writes append to it. An empty file
    // (a name reserved for this reel) is written from the start.
    bool existing = exists && S_ISREG(st.st_mode) && st.st_size > 0;
    state->file = existing ? fm_svj_file_open(name, 1) : fm_svj_file_create(name, width, hf);
    if (state->file == nullptr) {
        free_state(state);
        return nullptr;
    }
    if (state->file->tail.width != uint32_t(width) || state->file->tail.height != uint32_t(hf)) {
        fm_seterrno(FM_EFORMAT);
        fm_svj_file_close(state->file);
        free_state(state);
        return nullptr;
    }
    fm_svj_fill_record(record, width, height, int(state->file->tail.frames));
    if (quality >= 1) {
        state->quality = quality;
    } else if (const char *env = std::getenv("JFIF_QUALITY")) {
        state->quality = std::atoi(env);
    } else {
        state->quality = DEFAULT_QUALITY;
    }
    // New fields of a continued reel must use the tables of the reel's
    // header, which every field of the reel is decoded with.
    if (make_compressor(state) != 0 || size_buffers(state, width, hf) != 0 ||
        (state->file->tail.frames > 0 && keep_tables(state, 0) != 0)) {
        fm_svj_file_close(state->file);
        free_state(state);
        return nullptr;
    }
    return state;
}

void *svj_driver_open(const char *name, fm_fileformat *record) {
    if (record == nullptr || name == nullptr) {
        fm_seterrno(FM_ENULLFF);
        return nullptr;
    }
    fm_svj_state *state = new_state(record);
    if (state == nullptr) return nullptr;
    state->file = fm_svj_file_open(name, 0);
    if (state->file == nullptr) {
        free_state(state);
        return nullptr;
    }
    const uint32_t w = state->file->tail.width, hf = state->file->tail.height;
    if (!size_ok(w, hf)) {
        fm_seterrno(FM_EFORMAT);
        fm_svj_file_close(state->file);
        free_state(state);
        return nullptr;
    }
    fm_svj_fill_record(record, int(w), presented_height(int(hf)), int(state->file->tail.frames));
    if (make_decompressor(state) != 0 || size_buffers(state, int(w), int(hf)) != 0) {
        fm_svj_file_close(state->file);
        free_state(state);
        return nullptr;
    }
    return state;
}

int svj_driver_close(void *opaque) {
    if (opaque == nullptr) return fm_seterrno(FM_ENULLHANDLE);
    auto *state = static_cast<fm_svj_state *>(opaque);
    int result = fm_svj_file_close(state->file);
    free_state(state);
    return result;
}

int svj_driver_read(void *opaque, int frame, unsigned char *buffer, int size) {
    if (opaque == nullptr) return fm_seterrno(FM_ENULLHANDLE);
    auto *state = static_cast<fm_svj_state *>(opaque);
    if (buffer == nullptr) return fm_seterrno(FM_EBUFNULL);
    if (size < state->record->size) return fm_seterrno(FM_EBUFSIZE);
    if (make_decompressor(state) != 0) return 1;
    const int hf = int(state->file->tail.height);
    for (int pass = 0; pass < 2; pass++) {
        // Pass 0 fills the first half (the upper field).
        int field = hf == NTSC_STORED ? 1 - pass : pass;
        if (fm_svj_field_extract_mem(state->file, frame, field, &state->buffers->jpeg) != 0)
            return 1;
        unsigned char *half = const_cast<unsigned char *>(half_start(state->record, buffer, pass));
        if (decode_field(state, state->buffers->jpeg, half) != 0) return 1;
    }
    return 0;
}

int svj_driver_write(void *opaque, int frame, unsigned char *buffer, int size) {
    if (opaque == nullptr) return fm_seterrno(FM_ENULLHANDLE);
    auto *state = static_cast<fm_svj_state *>(opaque);
    if (buffer == nullptr) return fm_seterrno(FM_EBUFNULL);
    if (size != state->record->size) return fm_seterrno(FM_EBUFSIZE);
    if (!state->compressor_created) return fm_seterrno(FM_EMODE); // opened for reading
    return store_frame(state, frame, buffer);
}

const char *svj_driver_check(fm_format *format, const char *, const char *extension,
                             const unsigned char *bytes, int count) {
    bool svj_extension = extension != nullptr && std::strncmp(extension, "svj", 3) == 0;
    if ((count < 0 || count > 9) && bytes != nullptr &&
        std::memcmp(bytes, svj_header_prefix, SVJ_HEADER_PREFIX_SIZE) == 0)
        return format->name;
    if (count >= 3)
        return bytes != nullptr && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF &&
                       svj_extension
                   ? format->name
                   : nullptr;
    return svj_extension ? format->name : nullptr;
}

const fm_format svj_driver = {
    .next = nullptr,
    .name = "svj",
    .extension = "svj",
    .single = 0,
    .create = svj_driver_create,
    .open = svj_driver_open,
    .close = svj_driver_close,
    .write = svj_driver_write,
    .read = svj_driver_read,
    .check = svj_driver_check,
};

} // namespace

void fm_svj_fill_record(fm_fileformat *record, int width, int height, int frames) {
    record->width = width;
    record->height = height;
    record->frames = frames;
    record->pixel_type = 1;
    for (int c = 0; c < 3; c++) {
        record->offset[c] = c;
        record->step[c] = 3;
    }
    record->size = 3 * width * height;
    record->field_walk[0] = -(3 * width * height / 2);
    record->field_walk[1] = 3 * width * (height - 2) / 2;
}

int fm_svj_register(void) {
    fm_register_format(&svj_driver);
    return 0;
}

int fm_svj_frame_substitute(const char *name, int frame, unsigned char *buffer) {
    if (buffer == nullptr) return fm_seterrno(FM_EBUFNULL);
    fm_fileformat record{};
    fm_svj_state *state = new_state(&record);
    if (state == nullptr) return 1;
    state->file = fm_svj_file_open(name, 1);
    if (state->file == nullptr) {
        free_state(state);
        return fm_seterrno(FM_EOPEN);
    }
    const uint32_t w = state->file->tail.width, hf = state->file->tail.height;
    const uint32_t frames = state->file->tail.frames;
    int result = 0;
    if (!size_ok(w, hf)) {
        result = fm_seterrno(FM_EFORMAT);
    } else if (frame < 0 || uint32_t(frame) + 1 != frames) {
        // Storing a frame makes it the reel's last: any later frame would be
        // lost, so only the last frame is replaced.
        result = fm_seterrno(FM_EPAGE);
    } else {
        fm_svj_fill_record(&record, int(w), presented_height(int(hf)), int(frames));
        result = make_compressor(state) != 0 || size_buffers(state, int(w), int(hf)) != 0 ||
                 keep_tables(state, frame) != 0 || store_frame(state, frame, buffer) != 0;
    }
    if (fm_svj_file_close(state->file) != 0) result = 1;
    free_state(state);
    return result;
}
