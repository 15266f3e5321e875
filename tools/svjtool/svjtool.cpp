// svjtool: inspects and builds SVJ reels from the command line, through the
// reel layers the program itself uses (the device-file layer, the field
// store, the field-split writer, the display reader and the svj driver).
//
//   svjtool info REEL                      tail values (svj_info)
//   svjtool index REEL                     field boundaries (svj_indexate)
//   svjtool sizes REEL OUT                 per-field ratios (svj_dumpsize)
//   svjtool pack OUT W H F0 F1 [F0 F1 ...] reel from JPEG field pairs (field-split writer)
//   svjtool field REEL FRAME FIELD OUT     one field as a standalone JPEG
//   svjtool encode OUT [-q Q] [-m M] PIC... stills appended to a reel (svj driver)
//   svjtool decode REEL FRAME OUT [-s S]   a frame through the display reader
//   svjtool read REEL FRAME OUT            a frame through the svj driver
//   svjtool export -f FORMAT ... SRC... OUT frames of sources joined as one clip
//   svjtool scan DIR                       the import dialog's list of a directory
//   svjtool import -d DBDIR ... SOURCE [OUT.svj]  a sequence into a reel or image clip
//   svjtool effect EFFECT N A AFIRST B BFIRST OUT  a transition rendered at full size
//   svjtool fx FXFILE [NAME PARAMS IN OUT] effects of an effect database, a command line
//   svjtool custom -d DBDIR ... FXFILE NAME IN.svj OUT  a whole custom effect
//   svjtool playreel SRC FIRST LAST OUT [...]     a segment's frames in play order
//
// Frames are numbered from 0 here, as in the reel's table; the program shows
// them from 1. Bad arguments print the usage and exit with status 2; a
// failure prints one message on standard error (the reel layer's own, when it
// prints one) and exits with status 1. To add a subcommand, write a function
// taking the arguments after the subcommand's name and add a line to the
// commands table.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "platform/fileio.h"
#include "media/field.h"
#include "media/fit.h"
#include "media/fm_error.h"
#include "media/fm_format_svj.h"
#include "media/fm_main.h"
#include "media/img_formats.h"
#include "media/img_util.h"
#include "media/svj.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "editing/clip_records.h"
#include "editing/export.h"
#include "editing/image_seq.h"
#include "editing/segments.h"
#include "platform/sem.h"
#include "orva_version.h"

#include "tools/svjtool/sources.h"

// Import commands (import_cmd.cpp).
int cmd_scan(int argc, char **argv);
int cmd_import(int argc, char **argv);
// Transition effects (effect_cmd.cpp).
int cmd_effect(int argc, char **argv);
// Custom effect commands (custom_cmd.cpp).
int cmd_fx(int argc, char **argv);
int cmd_custom(int argc, char **argv);
// A segment's play reel (playreel_cmd.cpp).
int cmd_playreel(int argc, char **argv);

namespace {

const char *program = "svjtool";

// Exit status of a command whose arguments are wrong.
constexpr int BAD_ARGUMENTS = 2;

int failure(const char *format, const char *what, const char *detail = nullptr) {
    std::fprintf(stderr, "%s: ", program);
    std::fprintf(stderr, format, what, detail);
    std::fprintf(stderr, "\n");
    return 1;
}

// A failure of the arguments: the message, then the usage line's hint.
int bad_argument(const char *format, const char *what) {
    failure(format, what);
    std::fprintf(stderr, "Try '%s --help'.\n", program);
    return BAD_ARGUMENTS;
}

// A whole decimal number in min .. INT_MAX.
bool parse_int(const char *text, int min, int *value) {
    if (text == nullptr || *text == '\0') return false;
    errno = 0;
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > INT_MAX) return false;
    *value = int(v);
    return true;
}

// The device-file layer prints why it refuses a reel: no second message.
int cmd_info(int, char **argv) {
    svj_handle *h = svj_open(argv[0]);
    if (h == nullptr) return 1;
    char magic[sizeof h->tail.magic + 1] = {};
    std::memcpy(magic, h->tail.magic, sizeof h->tail.magic);
    std::printf("magic %s\n", magic);
    std::printf("width %u\n", svj_info(h, 6));
    std::printf("height %u\n", svj_info(h, 7));
    std::printf("frames %u\n", svj_info(h, 8));
    std::printf("header %u\n", h->tail.header);
    std::printf("table %u\n", h->tail.table);
    std::printf("lost %u\n", svj_info(h, 9));
    std::printf("ratio %u\n", svj_info(h, 2));
    svj_close(h);
    return 0;
}

// The scan runs on any file; one that is not a reel is reported (by the
// device-file layer) and fails the command.
int cmd_index(int, char **argv) {
    svj_handle *h = svj_open(argv[0]);
    if (h == nullptr) return 1;
    svj_close(h);
    svj_indexate(argv[0], 1);
    return 0;
}

int cmd_sizes(int, char **argv) {
    svj_handle *h = svj_open(argv[0]);
    if (h == nullptr) return 1;
    int result = svj_dumpsize(h, argv[1]); // reports its own failure
    svj_close(h);
    return result == SVJ_OK ? 0 : 1;
}

// The field-split writer reports each failure itself. A reel that could not
// be finished is removed rather than left without a valid tail.
int cmd_pack(int argc, char **argv) {
    int width, height;
    if (!parse_int(argv[1], 1, &width)) return bad_argument("bad width %s", argv[1]);
    if (!parse_int(argv[2], 2, &height)) return bad_argument("bad height %s", argv[2]);
    int names = argc - 3;
    if (names < 2 || names % 2 != 0) return bad_argument("%s", "JPEG fields come in pairs (F0 F1)");
    fm_fileformat record{};
    if (svjf_create(argv[0], &record, width, height) != 0) return 1;
    int result = 0;
    for (int frame = 0; frame < names / 2 && result == 0; frame++)
        result = svjf_write(&record, frame, argv[3 + 2 * frame], argv[4 + 2 * frame]);
    if (svjf_close(&record) != 0) result = 1;
    if (result != 0) ::unlink(argv[0]);
    return result;
}

// The field as a standalone JPEG: the reel's header and the field, ending
// at the field's FF D9, so that it can be packed into a reel again.
int cmd_field(int, char **argv) {
    int frame, field;
    if (!parse_int(argv[1], 0, &frame)) return bad_argument("bad frame number %s", argv[1]);
    if (!parse_int(argv[2], 0, &field) || field > 1)
        return bad_argument("bad field %s (0 or 1)", argv[2]);
    fm_errno = 0;
    fm_svj_file *file = fm_svj_file_open(argv[0], 0);
    if (file == nullptr) return failure("%s: %s", argv[0], fm_errorstr(fm_errno));
    std::vector<unsigned char> jpeg;
    int result = fm_svj_field_extract_mem(file, frame, field, &jpeg);
    int code = fm_errno;
    fm_svj_file_close(file);
    if (result != 0) return failure("%s: %s", argv[0], fm_errorstr(code));
    int fd = open_regular(argv[3], O_WRONLY | O_CREAT, 0644);
    if (fd < 0) return failure("cannot create %s: %s", argv[3], file_error(errno));
    bool ok = ::ftruncate(fd, 0) == 0 && write_all(fd, jpeg.data(), jpeg.size());
    if (::close(fd) != 0) ok = false;
    if (!ok) return failure("cannot write %s: %s", argv[3], std::strerror(errno));
    return 0;
}

// Reads a still picture as a field-sequential frame of the video size
// (fitted with ScaleBufferInterp when its size differs) into frame.
bool read_still(const char *name, std::vector<unsigned char> *frame) {
    int index = img_format_of_name(name);
    const ImgFunctions *img = img_functions(index);
    if (img == nullptr) {
        failure("%s: not a picture file this tool reads", name);
        return false;
    }
    int w = 0, h = 0;
    if (img->header(name, &w, &h) != 1 || !img_size_ok(w, h)) {
        failure("%s: cannot read the picture's size", name);
        return false;
    }
    std::vector<unsigned char> picture(size_t(w) * h * 3);
    if (img->read(name, picture.data(), GLO_FIELDS) != 1) {
        failure("%s: cannot read the picture", name);
        return false;
    }
    frame->assign(size_t(VIDEO_SIZEX) * VIDEO_SIZEY * 3, 0);
    if (w == VIDEO_SIZEX && h == VIDEO_SIZEY)
        *frame = std::move(picture);
    else
        ScaleBufferInterp(picture.data(), frame->data(), w, h);
    return true;
}

int cmd_encode(int argc, char **argv) {
    int quality = 0, mode = 0, i = 1;
    for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
        if (std::strcmp(argv[i], "-q") == 0) {
            if (!parse_int(argv[i + 1], 1, &quality) || quality > 100)
                return bad_argument("bad quality %s (1..100)", argv[i + 1]);
        } else if (std::strcmp(argv[i], "-m") == 0) {
            if (!parse_int(argv[i + 1], 0, &mode) || mode > 3)
                return bad_argument("bad video mode %s (0..3)", argv[i + 1]);
        } else {
            return bad_argument("unknown option %s", argv[i]);
        }
    }
    if (i >= argc) return bad_argument("%s", "no pictures to encode");
    SetVideoMode(mode);
    fm_initialize(nullptr);
    fm_errno = 0;
    const bool existed = access(argv[0], F_OK) == 0;
    fm_fileformat *file = fm_create_file("svj", argv[0], VIDEO_SIZEX, VIDEO_SIZEY, 0, quality);
    if (file == nullptr) return failure("%s: %s", argv[0], fm_errorstr(fm_errno));
    // A reel that exists is continued after its last frame.
    const int first = file->frames;
    int result = 0, frame = first;
    std::vector<unsigned char> picture;
    for (; i < argc && result == 0; i++, frame++) {
        if (!read_still(argv[i], &picture)) {
            result = 1;
        } else {
            std::memcpy(file->buffer, picture.data(), size_t(file->size));
            if (fm_write(file, frame) != 0)
                result = failure("%s: %s", argv[i], fm_errorstr(fm_errno));
        }
    }
    if (fm_close(file) != 0 && result == 0)
        result = failure("%s: %s", argv[0], fm_errorstr(fm_errno));
    fm_fileformat_free(file);
    fm_deinitialize();
    // A new reel that got no frame is not left behind: an empty file would
    // make later encodes into the same name fail.
    if (result != 0 && !existed && frame - 1 <= first) unlink(argv[0]);
    return result;
}

// Writes a bottom-up B, G, R image as a still picture chosen by extension.
int write_still(const char *name, int w, int h, const unsigned char *image) {
    const ImgFunctions *img = img_functions(img_format_of_name(name));
    if (img == nullptr) return failure("%s: not a picture file this tool writes", name);
    if (img->write(name, w, h, image, 90) != 1) return failure("cannot write %s", name);
    return 0;
}

int cmd_decode(int argc, char **argv) {
    int frame, scale = 1;
    if (!parse_int(argv[1], 0, &frame)) return bad_argument("bad frame number %s", argv[1]);
    if (argc == 5) {
        if (std::strcmp(argv[3], "-s") != 0) return bad_argument("unknown option %s", argv[3]);
        if (!parse_int(argv[4], 1, &scale) || (scale != 1 && scale != 4 && scale != 8))
            return bad_argument("bad scale %s (1, 4 or 8)", argv[4]);
    } else if (argc != 3) {
        return bad_argument("%s", "usage: decode REEL FRAME OUT [-s 1|4|8]");
    }
    // Any video standard: the reel's own size is shown.
    VIDEO_SIZEX = VIDEO_SIZEY = 0;
    fm_fileformat *record = svjr_open(argv[0], scale, 0, 0);
    if (record == nullptr) return failure("%s is not a readable SVJ reel", argv[0]);
    std::vector<unsigned char> image(size_t(record->size));
    int result = svjr_read(record, image.data(), frame) == 0
                     ? write_still(argv[2], record->width, record->height, image.data())
                     : failure("%s: cannot decode frame %s", argv[0], argv[1]);
    svjr_close(record->state);
    std::free(record);
    return result;
}

int cmd_read(int, char **argv) {
    int frame;
    if (!parse_int(argv[1], 0, &frame)) return bad_argument("bad frame number %s", argv[1]);
    fm_initialize(nullptr);
    fm_errno = 0;
    fm_fileformat *file = fm_fileformat_allocate("svj");
    int result = 0;
    if (file == nullptr || fm_open(file, argv[0]) != 0) {
        result = failure("%s: %s", argv[0], fm_errorstr(fm_errno));
    } else {
        if (fm_read(file, frame) != 0) {
            result = failure("%s: %s", argv[0], fm_errorstr(fm_errno));
        } else {
            // Field-sequential R, G, B to the bottom-up B, G, R of the writers.
            const int w = file->width, h = file->height;
            std::vector<unsigned char> image(size_t(w) * h * 3);
            for (int y = 0; y < h - h % 2; y++) {
                const unsigned char *src =
                    file->buffer + (size_t(y / 2) + size_t(h / 2) * (y % 2)) * w * 3;
                unsigned char *dst = image.data() + size_t(h - 1 - y) * w * 3;
                for (int x = 0; x < w; x++) {
                    dst[3 * x] = src[3 * x + 2];
                    dst[3 * x + 1] = src[3 * x + 1];
                    dst[3 * x + 2] = src[3 * x];
                }
            }
            result = write_still(argv[2], w, h, image.data());
        }
        fm_close(file);
    }
    fm_fileformat_free(file);
    fm_deinitialize();
    return result;
}

// --- export ------------------------------------------------------------------

// The export formats by name: kind and format index.
struct export_format {
    const char *name;
    int kind, format;
};
const export_format export_formats[] = {
    {"pic", EXPORT_KIND_PICTURES, 0},
    {"tga", EXPORT_KIND_PICTURES, 1},
    {"sgi", EXPORT_KIND_PICTURES, 2},
    {"yuv", EXPORT_KIND_PICTURES, 3},
    {"jpg", EXPORT_KIND_PICTURES, 4},
    {"fields", EXPORT_KIND_PICTURES, EXPORT_FIELDS},
    {"svj", EXPORT_KIND_REEL, EXPORT_SVJ},
    {"uncompressed", EXPORT_KIND_REEL, EXPORT_MOVIE_BASE + 0},
    {"mvc2", EXPORT_KIND_REEL, EXPORT_MOVIE_BASE + 1},
    {"jpeg", EXPORT_KIND_REEL, EXPORT_MOVIE_BASE + 2},
    {"qt-uncompressed", EXPORT_KIND_REEL, EXPORT_MOVIE_BASE + 3},
    {"qt-jpeg", EXPORT_KIND_REEL, EXPORT_MOVIE_BASE + 4},
};

} // namespace

// A source in the import list's form, "base[first...last]ext" or
// "base.[0001...0250].ext", as a picture-sequence clip; null when the text
// is not of that form or names an extension no reader takes.
FisicData *sequence_clip(const std::string &text) {
    size_t open = text.rfind('['), dots = text.find("...", open), close = text.find(']', open);
    if (open == std::string::npos || dots == std::string::npos || close == std::string::npos ||
        dots > close)
        return nullptr;
    const std::string a = text.substr(open + 1, dots - open - 1);
    const std::string b = text.substr(dots + 3, close - dots - 3);
    int first, last;
    if (!parse_int(a.c_str(), 0, &first) || !parse_int(b.c_str(), first, &last)) return nullptr;
    std::string base = text.substr(0, open);
    const std::string ext = text.substr(close + 1);
    const bool padded = a.size() == 4 && b.size() == 4;
    int style = padded ? 2 : 0;
    if (!base.empty() && base.back() == '.') {
        base.pop_back();
        style = padded ? 1 : 0;
    } else if (!padded) {
        return nullptr;
    }
    int ext_index = -1;
    for (int e = 0; e < IMG_SEQ_EXTS; e++)
        if (ext == imp_format[e]) ext_index = e;
    if (ext_index < 0) return nullptr;
    auto *f = new FisicData;
    f->pic = new ImageLogInfo;
    f->pic->pattern = strdup(base.c_str());
    f->pic->first = first;
    f->pic->last = last;
    f->pic->style = style;
    f->pic->ext = ext_index;
    f->frames = last - first + 1;
    return f;
}

// A reel source as a clip; null when it cannot be read.
FisicData *reel_clip(const char *name) {
    fm_fileformat *file = fm_fileformat_allocate("svj");
    int frames = -1;
    if (file && fm_rheader(file, name) == 0) {
        frames = file->frames;
        fm_close(file);
    }
    fm_fileformat_free(file);
    if (frames < 1) return nullptr;
    auto *f = new FisicData;
    f->path = strdup(name);
    f->frames = frames;
    return f;
}

void free_clip(FisicData *f) {
    if (f->pic) std::free(f->pic->pattern);
    delete f->pic;
    std::free(f->path);
    delete f;
}

namespace {

const char *export_status_message(int status) {
    switch (status) {
    case EXPORT_NOT_REEL:
        return "Export error: only SVJ files can\nbe exported in JPEG fields format.";
    case EXPORT_NO_MOVIE:
        return "Error in creating movie";
    default:
        return "Export error";
    }
}

int cmd_export(int argc, char **argv) {
    ExportRequest req;
    req.format = -1;
    std::string start = "1", end, step = "1", out_start = "1", quality = "85";
    bool yes = false, log_size = false;
    int i = 0;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; i++) {
        const std::string opt = argv[i];
        if (opt == "-y") {
            yes = true;
            continue;
        }
        if (i + 1 >= argc) return bad_argument("option %s needs a value", argv[i]);
        const char *v = argv[++i];
        int n;
        if (opt == "-f") {
            for (const export_format &f : export_formats)
                if (std::strcmp(v, f.name) == 0) {
                    req.kind = f.kind;
                    req.format = f.format;
                }
            if (req.format < 0) return bad_argument("unknown format %s", v);
        } else if (opt == "-s" || opt == "-e" || opt == "-t" || opt == "-o" || opt == "-q") {
            if (!parse_int(v, 0, &n)) return bad_argument("bad number %s", v);
            (opt == "-s"   ? start
             : opt == "-e" ? end
             : opt == "-t" ? step
             : opt == "-o" ? out_start
                           : quality) = v;
        } else if (opt == "-n") {
            const std::string s = v;
            if (s == ".1.")
                req.style = 0;
            else if (s == ".0001.")
                req.style = 1;
            else if (s == "dos")
                req.style = 2;
            else
                return bad_argument("bad number style %s (.1., .0001. or dos)", v);
        } else if (opt == "-k") {
            if (std::strcmp(v, "1") != 0 && std::strcmp(v, "3") != 0)
                return bad_argument("bad movie size %s (1 full, 3 log size)", v);
            log_size = v[0] == '3';
        } else {
            return bad_argument("unknown option %s", argv[i - 1]);
        }
    }
    if (req.format < 0) return bad_argument("%s", "no format given (-f)");
    if (argc - i < 2) return bad_argument("%s", "export needs SOURCE... OUT");
    // A log-size movie comes from the movie dialog; its frames come from the
    // reels at a quarter, as for a clip whose log is not ready.
    if (log_size && req.format >= EXPORT_MOVIE_BASE) req.kind = EXPORT_KIND_MOVIE;
    SetVideoMode(0);
    fm_initialize(nullptr);
    SemInit();
    // The sources joined in order as the segments of one window.
    WindowData win;
    win.width = VIDEO_SIZEX / 4;
    win.height = VIDEO_SIZEY / 4;
    std::vector<FisicData *> clips;
    std::vector<Segment *> segs;
    int result = 0;
    long long total = 0;
    for (; i < argc - 1; i++) {
        FisicData *f = sequence_clip(argv[i]);
        if (!f) f = reel_clip(argv[i]);
        if (!f) {
            result = failure("%s is neither a readable SVJ reel nor a picture sequence", argv[i]);
            break;
        }
        clips.push_back(f);
        f->next = first_fisic.load();
        first_fisic = f;
        auto *s = new Segment;
        s->first = 0;
        s->last = f->frames - 1;
        s->offset = int(total);
        s->fisic = f;
        total += f->frames;
        if (!segs.empty()) {
            segs.back()->next = s;
            s->prev = segs.back();
        }
        segs.push_back(s);
        if (total > INT_MAX / 2) {
            result = failure("%s: too many frames", argv[i]);
            break;
        }
    }
    if (result == 0) {
        segs.back()->next = segs.front();
        segs.front()->prev = segs.back();
        win.seg_first = win.seg_current = segs.front();
        win.seg_last = segs.back();
        win.total = int(total);
        req.path = argv[argc - 1];
        req.start = start;
        req.end = end.empty() ? std::to_string(total) : end;
        req.step = step;
        req.out_start = out_start;
        req.quality = quality;
        ExportCheckResult r = ExportCheck(req, &win, int(total));
        if (r.message) {
            result = failure("%s", r.message);
        } else if (r.overwrite && !yes) {
            FreeExportData(r.data);
            result = failure("%s (no; -y answers yes)", EXPORT_MSG_OVERWRITE);
        } else {
            ExportProcess(r.data);
            const int status = r.data->status.load();
            std::printf("status %d\n", status);
            if (status == EXPORT_PARTIAL)
                std::fprintf(stderr, "%s\n", export_status_message(status));
            if (status != EXPORT_OK && status != EXPORT_PARTIAL)
                result = failure("%s", export_status_message(status));
            FreeExportData(r.data);
        }
    }
    for (Segment *s : segs)
        delete s;
    first_fisic = nullptr;
    for (FisicData *f : clips)
        free_clip(f);
    fm_deinitialize();
    SemRemove();
    return result;
}

struct command {
    const char *name;
    const char *args; // usage of the arguments
    int min_args;
    int max_args; // -1: no limit
    int (*run)(int argc, char **argv);
    const char *help;
};

const command commands[] = {
    {"info", "REEL", 1, 1, cmd_info, "print the reel's tail: magic, size, frames, layout"},
    {"index", "REEL", 1, 1, cmd_index, "scan the reel for field boundaries"},
    {"sizes", "REEL OUT", 2, 2, cmd_sizes, "write per-field compression ratios to OUT"},
    {"pack", "OUT W H F0 F1 [F0 F1 ...]", 5, -1, cmd_pack,
     "build a reel of W x H from JPEG field pairs"},
    {"field", "REEL FRAME FIELD OUT", 4, 4, cmd_field,
     "write one field (0 or 1) of a frame as a standalone JPEG file"},
    {"encode", "OUT.svj [-q Q] [-m MODE] PIC...", 2, -1, cmd_encode,
     "append pictures (fitted to the video frame of MODE 0..3, PAL default) to a reel"},
    {"decode", "REEL FRAME OUT [-s 1|4|8]", 3, 5, cmd_decode,
     "write a frame as the display reader shows it, as a picture by OUT's extension"},
    {"read", "REEL FRAME OUT", 3, 3, cmd_read,
     "write a frame as the svj driver reads it, as a picture by OUT's extension"},
    {"export",
     "-f FORMAT [-s S] [-e E] [-t STEP] [-o OUTSTART] [-n .1.|.0001.|dos] [-q Q] [-k 1|3] "
     "[-y] SOURCE... OUT",
     4, -1, cmd_export,
     "export frames S..E (from 1) of the sources joined in order as one clip; "
     "SOURCE a reel or a sequence such as name.[0001...0250].tga; FORMAT pic, tga, sgi, yuv, "
     "jpg, fields, svj, or a QuickTime movie: uncompressed, mvc2, jpeg, qt-uncompressed, "
     "qt-jpeg (-k 3: log size)"},
    {"scan", "DIR", 1, 1, cmd_scan,
     "list DIR's picture sequences and files as the import dialog does: text, first, last"},
    {"import",
     "-d DBDIR [-s S] [-e E] [-t STEP] [-q Q] [-fit] [-fields] [-remote] "
     "[-n .1.|.0001.|dos] SOURCE [OUT.svj]",
     3, -1, cmd_import, "import a sequence, picture or remote frames into a reel or image clip"},
    {"effect", "EFFECT N A AFIRST B BFIRST OUT", 7, 7, cmd_effect,
     "render an N-frame transition: frame i mixes A's frame AFIRST+i with B's BFIRST+i; EFFECT "
     "softcut, wipe-lr, wipe-rl, wipe-tb, wipe-bt or a plug-in .so; a reel OUT when A or B is "
     "one, else pictures OUT.0001... in A's numbering and format"},
    {"fx", "FXFILE [NAME PARAMS IN OUT]", 1, 5, cmd_fx,
     "list the effects of an effect database (name, type, command, parameters), or print the "
     "command line of one frame"},
    {"custom", "-d DBDIR [-f pic|tga|sgi|yuv] [-q Q] [-p PARAMS] FXFILE NAME IN.svj OUT", 5, -1,
     cmd_custom,
     "run a custom effect on every frame of IN.svj: into the reel OUT (.svj), else the pictures "
     "OUT as an image clip of DBDIR"},
    {"playreel", "SRC FIRST LAST OUT [--map m0,m1,... --period A] [--invert-fields]", 4, -1,
     cmd_playreel, "copy frames FIRST..LAST (from 0, by the frame rule) in play order into OUT"},
};

void usage(FILE *out) {
    std::fprintf(out, "usage: %s COMMAND ARGS...\n\ncommands:\n", program);
    for (const command &c : commands) {
        std::string line = std::string(c.name) + " " + c.args;
        std::fprintf(out, "  %-36s %s\n", line.c_str(), c.help);
    }
    std::fprintf(out,
                 "\nFRAME counts from 0, as in the reel's frame table; the program shows\n"
                 "frames counted from 1 (its frame 1 is FRAME 0 here).\n"
                 "Exit status: 0 done, 1 failed, 2 bad arguments.\n"
                 "%s --help prints this text, %s --version the version.\n",
                 program, program);
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        usage(stderr);
        return BAD_ARGUMENTS;
    }
    std::string name = argv[1];
    if (name == "help" || name == "-h" || name == "--help") {
        usage(stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("%s %s\n", program, ORVA_VERSION);
        return 0;
    }
    for (const command &c : commands) {
        if (name != c.name) continue;
        int n = argc - 2;
        if (n < c.min_args || (c.max_args >= 0 && n > c.max_args)) {
            std::fprintf(stderr, "usage: %s %s %s\n", program, c.name, c.args);
            return BAD_ARGUMENTS;
        }
        return c.run(n, argv + 2);
    }
    std::fprintf(stderr, "%s: unknown command %s\n", program, name.c_str());
    usage(stderr);
    return BAD_ARGUMENTS;
}
