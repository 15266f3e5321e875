// Field-split SVJ writer; see field.h.
#include "media/field.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "media/fm_format_svj.h"
#include "platform/fileio.h"

namespace {

// Prints a failure of a step with the line of this file where it was seen.
#define SVJF_ERROR(step, code) svjf_report(step, code, __LINE__)

int svjf_report(const char *step, int code, int line) {
    std::fprintf(stderr, "%s: Error %d in file %s, line %d\n", step, code, "field", line);
    return 1;
}

// Opens the reel write-only (creating it with mode 0666) and allocates the
// file record with a table of 1024 entries.
fm_svj_file *svjf_filecreate(const char *name, int width, int height) {
    struct stat st;
    bool existed = ::stat(name, &st) == 0;
    int fd = open_regular(name, O_WRONLY | O_CREAT, 0666);
    if (fd < 0) {
        SVJF_ERROR("svjf_filecreate", FM_ECREATE);
        return nullptr;
    }
    if (!existed) ::fchmod(fd, 0666); // whatever the umask
    fm_svj_file *file = fm_svj_file_new(fd, width, height);
    if (file == nullptr) SVJF_ERROR("svjf_filecreate", FM_EMEMORY);
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
    fm_svj_file_free(file);
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
    fm_svj_fill_record(record, width, height, 0);
    record->state = handle;
    return 0;
}

int svjf_write(fm_fileformat *record, int frame, const char *field0name, const char *field1name) {
    svjf_handle *handle = handle_of(record);
    if (handle == nullptr) return SVJF_ERROR("svjf_loadtmp", FM_ENULLHANDLE);
    if (svjf_loadtmp(handle->file, field0name, frame, 0) != 0) return 1;
    if (svjf_loadtmp(handle->file, field1name, frame, 1) != 0) return 1;
    record->frames = int(handle->file->tail.frames);
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
