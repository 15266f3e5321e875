// The file-format manager: the registry of format drivers, the per-file
// records, and the frame operations that route to a record's driver.
//
// The manager holds only the list of registered formats; every format
// detail lives in its driver's file (fm_format_svj.cpp for "svj").
#include "media/fm_main.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "platform/fileio.h"

namespace {

fm_format *format_list = nullptr; // newest first

[[noreturn]] void registration_failure(const char *message, int value) {
    std::fprintf(stderr, message, value);
    std::exit(-1);
}

// The record's format, after the checks every file operation shares.
int record_format(fm_fileformat *file, fm_format **format) {
    if (file == nullptr) return fm_seterrno(FM_ENULLFF);
    if (file->format == nullptr) return fm_seterrno(FM_ENULLFM);
    *format = file->format;
    return 0;
}

// Opens through the driver's open callback; the record is filled by it.
int open_state(fm_fileformat *file, const char *name) {
    fm_format *format = nullptr;
    if (record_format(file, &format) != 0) return 1;
    if (format->open == nullptr) return fm_seterrno(FM_ECALLBACK);
    void *state = format->open(name, file);
    if (state == nullptr) return fm_seterrno(FM_EOPEN);
    file->state = state;
    return 0;
}

// After a create or open: the buffer, or the driver state closed again.
int take_buffer(fm_fileformat *file) {
    if (fm_malloc_buffer(file) == 0) return 0;
    file->format->close(file->state);
    file->state = nullptr;
    return 1;
}

} // namespace

// --- Registry --------------------------------------------------------------

int fm_initialize(void *) {
    fm_config();
    return 0;
}

int fm_deinitialize(void) {
    while (format_list != nullptr) {
        fm_format *next = format_list->next;
        std::free(format_list);
        format_list = next;
    }
    return 0;
}

fm_format *fm_formats(void) {
    return format_list;
}

fm_format *fm_register(const char *name) {
    auto *format = static_cast<fm_format *>(std::calloc(1, sizeof(fm_format)));
    if (format == nullptr) {
        std::fprintf(stderr, "fm_register: Out of memory\n");
        std::exit(-1);
    }
    std::snprintf(format->name, sizeof format->name, "%s", name ? name : "");
    format->next = format_list;
    format_list = format;
    return format;
}

fm_format *fm_register_format(const fm_format *driver) {
    if (driver == nullptr) {
        std::fprintf(stderr, "Error: NULL Fileformat\n");
        std::exit(-1);
    }
    fm_format *format = fm_register(driver->name);
    std::snprintf(format->extension, sizeof format->extension, "%s", driver->extension);
    format->single = driver->single;
    format->create = driver->create;
    format->open = driver->open;
    format->close = driver->close;
    format->write = driver->write;
    format->read = driver->read;
    format->check = driver->check;
    return format;
}

namespace {
fm_format *callback_target(fm_format *format, int index, int wanted_low, int wanted_high) {
    if (format == nullptr) {
        std::fprintf(stderr, "Error: NULL Fileformat\n");
        std::exit(-1);
    }
    if (index < wanted_low || index > wanted_high)
        registration_failure("Error: Illegal callback added %d\n", index);
    return format;
}
} // namespace

void fm_callback(fm_format *format, int index, fm_create_cb function) {
    callback_target(format, index, FM_CB_CREATE, FM_CB_CREATE)->create = function;
}
void fm_callback(fm_format *format, int index, fm_open_cb function) {
    callback_target(format, index, FM_CB_OPEN, FM_CB_OPEN)->open = function;
}
void fm_callback(fm_format *format, int index, fm_close_cb function) {
    callback_target(format, index, FM_CB_CLOSE, FM_CB_CLOSE)->close = function;
}
void fm_callback(fm_format *format, int index, fm_read_cb function) {
    callback_target(format, index, FM_CB_READ, FM_CB_WRITE);
    if (index == FM_CB_READ)
        format->read = function;
    else
        format->write = function;
}
void fm_callback(fm_format *format, int index, fm_check_cb function) {
    callback_target(format, index, FM_CB_CHECK, FM_CB_CHECK)->check = function;
}

namespace {
// Names match ignoring case, with one underscore at the current place of
// either name skipped; both must end together.
bool names_match(const char *a, const char *b) {
    for (;;) {
        if (*a == '_') a++;
        if (*b == '_') b++;
        if (*a == '\0' || *b == '\0') return *a == '\0' && *b == '\0';
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
        a++;
        b++;
    }
}
} // namespace

int fm_fileformat_find(fm_format **format, const char *name) {
    if (format == nullptr || name == nullptr) return 1;
    for (fm_format *f = format_list; f != nullptr; f = f->next) {
        if (names_match(f->name, name)) {
            *format = f;
            return 0;
        }
    }
    return 1;
}

// --- File records ----------------------------------------------------------

fm_fileformat *fm_fileformat_allocate(const char *name) {
    fm_format *format = nullptr;
    if (fm_fileformat_find(&format, name) != 0) {
        fm_seterrno(FM_ENULLFM);
        return nullptr;
    }
    auto *file = static_cast<fm_fileformat *>(std::calloc(1, sizeof(fm_fileformat)));
    if (file == nullptr) {
        fm_seterrno(FM_EMEMORY);
        return nullptr;
    }
    file->format = format;
    return file;
}

int fm_fileformat_free(fm_fileformat *file) {
    if (file == nullptr) return fm_seterrno(FM_ENULLFF);
    std::free(file);
    return 0;
}

int fm_malloc_buffer(fm_fileformat *file) {
    if (file == nullptr) return fm_seterrno(FM_ENULLFF);
    if (file->size <= 0 || file->buffer != nullptr) return fm_seterrno(FM_EUNSPEC);
    file->buffer = static_cast<unsigned char *>(std::malloc(size_t(file->size)));
    if (file->buffer == nullptr) return fm_seterrno(FM_EMEMORY);
    return 0;
}

int fm_free_buffer(fm_fileformat *file) {
    if (file == nullptr) return fm_seterrno(FM_ENULLFF);
    if (file->buffer == nullptr) return fm_seterrno(FM_EBUFNULL);
    std::free(file->buffer);
    file->buffer = nullptr;
    return 0;
}

// --- Files -----------------------------------------------------------------

int fm_create(fm_fileformat *file, const char *name, const fm_fileformat *shape, int quality) {
    fm_format *format = nullptr;
    if (record_format(file, &format) != 0) return 1;
    if (shape == nullptr) return fm_seterrno(FM_ENULLFF);
    if (format->create == nullptr) return fm_seterrno(FM_ECALLBACK);
    int frames = format->single ? 1 : shape->frames;
    void *state = format->create(name, file, shape->width, shape->height, frames, quality);
    if (state == nullptr) return fm_seterrno(FM_ECREATE);
    file->state = state;
    return take_buffer(file);
}

fm_fileformat *fm_create_file(const char *format, const char *name, int width, int height,
                              int frames, int quality) {
    fm_fileformat *file = fm_fileformat_allocate(format);
    if (file == nullptr) return nullptr;
    fm_fileformat shape{};
    shape.width = width;
    shape.height = height;
    shape.frames = frames;
    if (fm_create(file, name, &shape, quality) != 0) {
        fm_fileformat_free(file);
        return nullptr;
    }
    return file;
}

int fm_open(fm_fileformat *file, const char *name) {
    if (open_state(file, name) != 0) return 1;
    return take_buffer(file);
}

int fm_rheader(fm_fileformat *file, const char *name) {
    return open_state(file, name);
}

namespace {
// The checks of fm_read and fm_write, and the callback.
int frame_op(fm_fileformat *file, int frame, bool write) {
    fm_format *format = nullptr;
    if (record_format(file, &format) != 0) return 1;
    if (file->state == nullptr) return fm_seterrno(FM_ENULLHANDLE);
    if (file->buffer == nullptr) return fm_seterrno(FM_EBUFNULL);
    fm_read_cb op = write ? format->write : format->read;
    if (op == nullptr) return fm_seterrno(FM_ECALLBACK);
    if (op(file->state, frame, file->buffer, file->size) != 0)
        return fm_seterrno(write ? FM_EWRITE : FM_EREAD);
    return 0;
}
} // namespace

int fm_read(fm_fileformat *file, int frame) {
    return frame_op(file, frame, false);
}

int fm_write(fm_fileformat *file, int frame) {
    return frame_op(file, frame, true);
}

int fm_close(fm_fileformat *file) {
    fm_format *format = nullptr;
    if (record_format(file, &format) != 0) return 1;
    if (file->state == nullptr) return fm_seterrno(FM_ENULLHANDLE);
    if (format->close == nullptr) return fm_seterrno(FM_ECALLBACK);
    int result = format->close(file->state);
    file->state = nullptr;
    if (file->buffer != nullptr) fm_free_buffer(file);
    return result;
}

// --- Identification --------------------------------------------------------

const char *fm_check(const char *name) {
    std::fprintf(stderr, "Checking file <%s>\n", name ? name : "");
    // A FIFO or device is refused at once rather than waited on.
    int fd = name ? open_regular(name, O_RDONLY) : -1;
    if (fd < 0) return name && errno == EISDIR ? "(dir)" : "[open_error]";
    // A file shorter than 16 bytes is asked about with the bytes it has,
    // so no callback looks at bytes that were never read.
    unsigned char bytes[16] = {};
    ssize_t got = ::read(fd, bytes, sizeof bytes);
    if (got < 0) {
        ::close(fd);
        return "[read_error]";
    }
    if (::close(fd) != 0) return "[close_error]";
    const char *dot = std::strrchr(name, '.');
    const char *extension = dot ? dot + 1 : "";
    for (fm_format *f = format_list; f != nullptr; f = f->next) {
        if (f->check == nullptr) continue;
        const char *answer = f->check(f, name, extension, bytes, int(got));
        if (answer != nullptr) return answer;
    }
    return nullptr;
}
