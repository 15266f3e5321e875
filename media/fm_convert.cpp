// The format manager's converters: fm_convert copies one open file's frame
// buffer into another's, component by component in picture-line order, and
// fm_converter drives it over a numbered sequence of files or a file list.
#include "media/fm_main.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The bytes one line of a record's buffer spans before its field-walk word.
long line_bytes(const fm_fileformat *f) {
    return long(f->width) * f->step[0];
}

// True when a line of w pixels starting at offset lies in the buffer.
bool line_fits(const fm_fileformat *f, long start, int w) {
    if (start < 0) return false;
    for (int c = 0; c < 3; c++) {
        long last = start + f->offset[c] + long(w - 1) * f->step[c];
        if (f->offset[c] < 0 || f->step[c] < 0 || last >= long(f->size)) return false;
    }
    return true;
}

// Packed pixels to packed pixels. Both buffers are walked in picture-line
// order: after each line each side's pointer moves on by its own line and
// that side's field-walk word for the line's parity.
int convert_packed(fm_fileformat *from, fm_fileformat *to) {
    int w = to->width, h = to->height;
    if (w <= 0 || h <= 0) return 0;
    if (from->width < w || from->height < h) return fm_seterrno(FM_EBUFSIZE);
    long src = 0, dst = 0;
    for (int y = 0; y < h; y++) {
        if (!line_fits(from, src, w) || !line_fits(to, dst, w)) return fm_seterrno(FM_EBUFSIZE);
        const unsigned char *s = from->buffer + src;
        unsigned char *d = to->buffer + dst;
        for (int x = 0; x < w; x++) {
            d[to->offset[0]] = s[from->offset[0]];
            d[to->offset[1]] = s[from->offset[1]];
            d[to->offset[2]] = s[from->offset[2]];
            s += from->step[0];
            d += to->step[0];
        }
        // field_walk[0] follows an odd line, field_walk[1] an even one.
        int parity = (y % 2 == 1) ? 0 : 1;
        src += line_bytes(from) + from->field_walk[parity];
        dst += line_bytes(to) + to->field_walk[parity];
    }
    return 0;
}

bool plain_samples(fm_fileformat *f) {
    for (int d = 0; d < 2; d++)
        if (f->depth[d] == 0) f->depth[d] = 8;
    return f->option[0] == 0 && f->option[1] == 0 && f->option[2] == 0 && f->depth[0] == 8 &&
           f->depth[1] == 8;
}

} // namespace

int fm_convert(fm_fileformat *from, fm_fileformat *to) {
    if (from == nullptr || to == nullptr) return fm_seterrno(FM_ENULLFF);
    if (!plain_samples(from) || !plain_samples(to)) return fm_seterrno(FM_EUNSPEC);
    if (from->pixel_type < 0 || from->pixel_type > 2 || to->pixel_type < 0 || to->pixel_type > 2)
        return fm_seterrno(FM_ENOCONV);
    if (from->buffer == nullptr || to->buffer == nullptr) return fm_seterrno(FM_EBUFNULL);
    // Cases 3 x from + to + 1: only case 5 (packed to packed) is used.
    switch (3 * from->pixel_type + to->pixel_type + 1) {
    case 5:
        // The component steps of packed pixels are equal; the walk uses step[0].
        if (from->step[0] != from->step[1] || from->step[0] != from->step[2] ||
            to->step[0] != to->step[1] || to->step[0] != to->step[2])
            return fm_seterrno(FM_ENOCONV);
        return convert_packed(from, to);
    default:
        return fm_seterrno(FM_ENOCONV);
    }
}

// --- Sequence conversion ---------------------------------------------------

namespace {

// A pattern split at its marker: prefix, zero-padded width (0: none), rest.
struct name_pattern {
    std::string prefix, rest;
    int digits = 0;
    bool numbered = false;
};

name_pattern split_pattern(const char *pattern, char marker) {
    name_pattern p;
    std::string text = pattern ? pattern : "";
    size_t at = marker ? text.find(marker) : std::string::npos;
    if (at == std::string::npos) {
        p.prefix = text;
        return p;
    }
    p.numbered = true;
    p.prefix = text.substr(0, at);
    size_t rest = at + 1;
    if (rest < text.size() && std::isdigit(static_cast<unsigned char>(text[rest]))) {
        p.digits = text[rest] - '0';
        rest++;
    }
    p.rest = text.substr(rest);
    return p;
}

// The name for number n. The number is printed into the name (never the
// pattern used as a printf format), so a '%' in a file name is just a byte.
std::string make_name(const name_pattern &p, int n) {
    if (!p.numbered) return p.prefix;
    char number[32];
    std::snprintf(number, sizeof number, "%0*d", p.digits, n);
    return p.prefix + number + p.rest;
}

// One source file of the walk: its name, first frame and frame count (0: to
// the file's end).
struct source_file {
    std::string name;
    int frame;
    int frames;
};

int parse_list(const char *list, std::vector<source_file> *files) {
    std::string text = list ? list : "";
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        char name[1024];
        int frame = 0, frames = 1, used = 0;
        // "name first count", or a name alone for frame 0 and one frame;
        // anything else on the line is an error, not silently dropped.
        int got =
            std::sscanf(line.c_str(), "%1023s%n %d %d%n", name, &used, &frame, &frames, &used);
        bool only_name =
            got == 1 && line.find_first_not_of(" \t\r", size_t(used)) == std::string::npos;
        bool full = got == 3 &&
                    line.find_first_not_of(" \t\r", size_t(used)) == std::string::npos &&
                    frame >= 0 && frames >= 1;
        if (!only_name && !full) {
            std::fprintf(stderr, "Error in filelist: %s\n", line.c_str());
            return 1;
        }
        if (only_name) {
            frame = 0;
            frames = 1;
        }
        files->push_back({name, frame, frames});
    }
    return 0;
}

// Copies the frames of one opened source file into the destination.
int convert_file(const source_file &src, const fm_convert_from *from, const fm_convert_to *to,
                 const name_pattern &to_pattern, const fm_fileformat &target, int flags,
                 int *running) {
    fm_fileformat *in = from->file;
    fm_fileformat *out = to->file;
    if (fm_open(in, src.name.c_str()) != 0) return 1;
    int result = 0;
    if (in->width < target.width || in->height < target.height) {
        result = fm_seterrno(FM_EFORMAT);
    } else {
        int first = in->format->single ? 0 : src.frame;
        int count = in->format->single ? 1 : (src.frames > 0 ? src.frames : in->frames - first);
        for (int f = first; result == 0 && f < first + count; f++) {
            int number = *running + to->first;
            std::string to_name = make_name(to_pattern, number);
            if (flags & FM_CONVERT_PRINT)
                std::printf("Frame %s:%d to %s:%d\n", src.name.c_str(), f, to_name.c_str(), number);
            if (fm_read(in, f) != 0) {
                result = 1;
            } else if (out->format->single) {
                result = fm_create(out, to_name.c_str(), &target, 0) != 0 ||
                         fm_convert(in, out) != 0 || fm_write(out, 0) != 0;
                if (out->state != nullptr && fm_close(out) != 0) result = 1;
            } else {
                result = fm_convert(in, out) != 0 || fm_write(out, number) != 0;
            }
            (*running)++;
        }
    }
    if (fm_close(in) != 0) result = 1;
    return result;
}

} // namespace

int fm_converter(const fm_convert_from *from, const fm_convert_to *to, int flags,
                 const char *list) {
    if (from == nullptr || to == nullptr || from->file == nullptr || to->file == nullptr ||
        from->file->format == nullptr || to->file->format == nullptr)
        return fm_seterrno(FM_ENULLFF);
    name_pattern from_pattern = split_pattern(from->pattern, from->marker);
    name_pattern to_pattern = split_pattern(to->pattern, to->marker);
    if (to_pattern.rest == ".") to_pattern.rest = std::string(".") + to->file->format->extension;

    std::vector<source_file> files;
    if (flags & FM_CONVERT_LIST) {
        if (parse_list(list, &files) != 0) return 1;
    } else {
        int step = from->step > 0 ? from->step : 1;
        for (long n = from->first; n < from->end; n += step)
            files.push_back({make_name(from_pattern, int(n)), from->frame, from->frames});
    }
    if (files.empty()) return 0;

    // The target size: the first source's header, or the given overrides.
    fm_fileformat target{};
    if (fm_rheader(from->file, files[0].name.c_str()) != 0) return 1;
    target.width = to->width > 0 ? to->width : from->file->width;
    target.height = to->height > 0 ? to->height : from->file->height;
    target.frames = from->file->frames;
    if (fm_close(from->file) != 0) return 1;
    if (!to->file->format->single) {
        std::string name = make_name(to_pattern, to->first);
        if (fm_create(to->file, name.c_str(), &target, 0) != 0) return 1;
    }
    int result = 0;
    int running = 0;
    for (const source_file &src : files) {
        result = convert_file(src, from, to, to_pattern, target, flags, &running);
        if (result != 0) break;
    }
    if (!to->file->format->single && fm_close(to->file) != 0) result = 1;
    return result;
}
