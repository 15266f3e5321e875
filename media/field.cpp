// Field-split SVJ writer; see field.h.
#include "media/field.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "media/fm_format_svj.h"

namespace {

// Prints a failure of a step with the line of this file where it was seen.
#define SVJF_ERROR(step, code) svjf_report(step, code, __LINE__)

int svjf_report(const char *step, int code, int line) {
    std::fprintf(stderr, "%s: Error %d in file %s, line %d\n", step, code, "field", line);
    return 1;
}

void free_file(fm_svj_file *file) {
    if (file == nullptr) return;
    if (file->fd >= 0) ::close(file->fd);
    std::free(file->table);
    std::free(file);
}

// Opens the reel write-only (creating it with mode 0666) and allocates the
// file record with a table of 1024 entries.
fm_svj_file *svjf_filecreate(const char *name, int width, int height) {
    auto *file = static_cast<fm_svj_file *>(std::calloc(1, sizeof(fm_svj_file)));
    if (file == nullptr) {
        SVJF_ERROR("svjf_filecreate", FM_EMEMORY);
        return nullptr;
    }
    struct stat st;
    bool existed = ::stat(name, &st) == 0;
    file->fd = ::open(name, O_WRONLY | O_CREAT, 0666);
    if (file->fd < 0) {
        SVJF_ERROR("svjf_filecreate", FM_ECREATE);
        free_file(file);
        return nullptr;
    }
    if (!existed) ::fchmod(file->fd, 0666); // whatever the umask
    file->capacity = 1024;
    file->table =
        static_cast<svj_frame_entry *>(std::calloc(file->capacity, sizeof(svj_frame_entry)));
    if (file->table == nullptr) {
        SVJF_ERROR("svjf_filecreate", FM_EMEMORY);
        free_file(file);
        return nullptr;
    }
    fm_svj_tail_set(file, SVJ_TAIL_WIDTH, uint32_t(width));
    fm_svj_tail_set(file, SVJ_TAIL_HEIGHT, uint32_t(height));
    fm_svj_tail_set(file, SVJ_TAIL_FRAMES, 0);
    return file;
}

// Stores one JPEG file as one field; the header of frame 0 field 0 starts at
// the first FF DB before the scan.
int svjf_loadtmp(fm_svj_file *file, const char *jpegname, int frame, int field) {
    fm_svj_fault fault{};
    if (fm_svj_store_begin(file, frame, &fault) != 0) return SVJF_ERROR("svjf_loadtmp", fault.code);
    unsigned char *buf;
    size_t len;
    if (fm_svj_store_load(jpegname, &buf, &len, &fault) != 0)
        return SVJF_ERROR("svjf_loadtmp", fault.code);
    int result = fm_svj_store_data(file, buf, len, frame, field, 1, &fault);
    std::free(buf);
    if (result == 0) return 0;
    if (fault.end_check) return SVJF_ERROR("svjf_loadtmp, finding image end", fault.code);
    return SVJF_ERROR("svjf_loadtmp", fault.code);
}

// Table block, tail and truncation when anything was stored; then closes and
// frees, also after a failure.
int svjf_fileclose(fm_svj_file *file) {
    fm_svj_fault fault{};
    int result = 0;
    if (file->modified && fm_svj_store_tail(file, file->fd, &fault) != 0)
        result = SVJF_ERROR("svjf_fileclose", fault.code);
    free_file(file);
    return result;
}

svjf_handle *handle_of(fm_fileformat *record) {
    return record ? static_cast<svjf_handle *>(record->state) : nullptr;
}

} // namespace

int svjf_create(const char *name, fm_fileformat *record, int width, int height) {
    if (record == nullptr || name == nullptr) return SVJF_ERROR("svjf_create", FM_ENULLFF);
    auto *handle = static_cast<svjf_handle *>(std::calloc(1, sizeof(svjf_handle)));
    if (handle == nullptr) return SVJF_ERROR("svjf_create", FM_EMEMORY);
    struct stat st;
    if (::stat(name, &st) != 0 && errno != ENOENT) {
        std::free(handle);
        return SVJF_ERROR("svjf_create", FM_ESTAT);
    }
    handle->file = svjf_filecreate(name, width, height);
    if (handle->file == nullptr) {
        std::free(handle);
        return 1; // reported by svjf_filecreate
    }
    handle->record = record;
    record->width = width;
    record->height = height;
    record->frames = 0;
    record->pixel_type = 1;
    for (int c = 0; c < 3; c++) {
        record->offset[c] = c;
        record->step[c] = 3;
    }
    record->size = 3 * width * height;
    record->field_walk[0] = -(3 * width * height / 2);
    record->field_walk[1] = 3 * width * (height - 2) / 2;
    record->state = handle;
    return 0;
}

int svjf_write(fm_fileformat *record, int frame, const char *field0name, const char *field1name) {
    svjf_handle *handle = handle_of(record);
    if (handle == nullptr) return SVJF_ERROR("svjf_loadtmp", FM_ENULLHANDLE);
    if (svjf_loadtmp(handle->file, field0name, frame, 0) != 0) return 1;
    if (svjf_loadtmp(handle->file, field1name, frame, 1) != 0) return 1;
    record->frames = int(fm_svj_frames(handle->file));
    return 0;
}

int svjf_close(fm_fileformat *record) {
    svjf_handle *handle = handle_of(record);
    if (handle == nullptr) return SVJF_ERROR("svjf_fileclose", FM_ENULLHANDLE);
    int result = svjf_fileclose(handle->file);
    std::free(handle);
    record->state = nullptr;
    return result;
}
