// Physical clips: building a clip record from a reel and its log, reading
// and writing the log header, loading the log part tables, and freeing.
//
// A log is a 50-byte header file and one to four part files. The header says
// how many parts exist and are complete, the log frame size, the frame count
// and the reel's size and modification time when the log was made; a log
// whose reel has changed since is ignored and rebuilt by the converter.
// Every count, size and offset read from a log is checked against the file
// before it is used. The header is replaced crash-safely.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "media/fm_main.h"
#include "media/svjr.h"
#include "media/svjr_holder.h"
#include "media/video_globals.h"
#include "platform/byteorder.h"
#include "platform/fileio.h"

void FreeLogParts(LogPart *parts, int n) {
    if (!parts) return;
    for (int i = 0; i < n; i++) {
        free(parts[i].sizes);
        free(parts[i].offsets);
        free(parts[i].file);
    }
    delete[] parts;
}

int ReadHeaderData(const char *path, int *frames, int *width, int *height) {
    fm_fileformat *f = fm_fileformat_allocate("svj");
    if (!f) return 0;
    // The format manager returns 0 on success.
    bool ok = fm_rheader(f, path) == 0;
    int w = f->width, h = f->height, n = f->frames;
    if (ok) fm_close(f);
    fm_fileformat_free(f);
    if (!ok) return 0;
    if (frames) *frames = n;
    if (width) *width = w / 4;
    if (height) *height = QuarterHeight(h);
    return w == VIDEO_SIZEX && h == VIDEO_SIZEY ? 1 : 2;
}

void AddFirstFisic(FisicData *fisic) {
    fisic->next = first_fisic.load();
    first_fisic = fisic;
}

// Reads the tables of one part file into `part`; `count` entries must
// describe frames that lie inside the file's data area.
static bool read_part_tables(LogPart &part, int count) {
    Fd f(open(part.file, O_RDONLY | O_CLOEXEC));
    if (f.fd < 0) return false;
    struct stat st {};
    if (fstat(f.fd, &st) != 0 || st.st_size < 4) return false;
    unsigned char word[4];
    if (!read_at(f.fd, word, 4, st.st_size - 4)) return false;
    uint32_t n = be32(word);
    // The tables (8 bytes an entry) and the count must fit in the file, and
    // they must cover every frame of the part.
    if (n == 0 || n < uint32_t(count) || uint64_t(n) * 8 + 4 > uint64_t(st.st_size)) return false;
    off_t tables = st.st_size - off_t(n) * 8 - 4;
    std::vector<unsigned char> raw(size_t(n) * 8);
    if (!read_at(f.fd, raw.data(), raw.size(), tables)) return false;
    int *sizes = static_cast<int *>(calloc(n, sizeof(int)));
    int *offsets = static_cast<int *>(calloc(n, sizeof(int)));
    if (!sizes || !offsets) {
        free(sizes);
        free(offsets);
        return false;
    }
    for (uint32_t i = 0; i < n; i++) {
        sizes[i] = be32s(&raw[4 * i]);
        offsets[i] = be32s(&raw[4 * (n + i)]);
    }
    for (int i = 0; i < count; i++) {
        if (sizes[i] <= 0 || offsets[i] < 0 || int64_t(offsets[i]) + sizes[i] > int64_t(tables)) {
            free(sizes);
            free(offsets);
            return false;
        }
    }
    free(part.sizes);
    free(part.offsets);
    part.sizes = sizes;
    part.offsets = offsets;
    return true;
}

static char *part_file_name(const FisicData *fisic, int k) {
    if (fisic->pic) return PicClipName(nullptr, fisic->pic->pattern, fisic->pic->tag, k);
    return ClipName(nullptr, fisic->path, k);
}

void ReadClips(FisicData *fisic, int available) {
    int P = fisic->parts;
    if (P < 1 || P > 4) return;
    LogPart *parts = new LogPart[P];
    int complete = available == P ? 1 : 0, ready = 0, looked = 0;
    for (int k = 1; k <= P; k++) {
        if (k > 1 && looked >= available) {
            complete = 0;
            break;
        }
        looked++;
        parts[k - 1].file = part_file_name(fisic, k);
        if (parts[k - 1].file &&
            read_part_tables(parts[k - 1], FramesInPart(fisic->frames, P, k))) {
            parts[k - 1].ready = 1;
            ready++;
        } else {
            complete = 0;
        }
    }
    if (!ready) {
        FreeLogParts(parts, P);
        fisic->part = nullptr;
        fisic->complete = 0;
        return;
    }
    fisic->complete = complete;
    fisic->part = parts;
}

int UpdateLog(FisicData *fisic) {
    if (!fisic || fisic->busy) return 0;
    int size = 0;
    char date[32] = "";
    char *name = nullptr;
    std::vector<unsigned char> head(LOG_COMMON_SIZE, 0);
    if (fisic->pic) {
        name = PicLogName(fisic->dir, fisic->pic->pattern, fisic->pic->tag);
    } else {
        name = LogName(fisic->dir, fisic->path, &size, date);
    }
    if (!name) return 0;
    int complete = 0;
    LogPart *parts = fisic->part;
    if (parts)
        for (int k = 0; k < fisic->parts; k++)
            complete += parts[k].ready ? 1 : 0;
    put_be32(&head[0], uint32_t(fisic->parts));
    put_be32(&head[4], uint32_t(complete));
    put_be32(&head[8], uint32_t(fisic->width));
    put_be32(&head[12], uint32_t(fisic->height));
    put_be32(&head[16], uint32_t(fisic->frames));
    if (!fisic->pic) {
        memcpy(&head[20], date, 26);
        put_be32(&head[46], uint32_t(size));
    } else {
        const ImageLogInfo *p = fisic->pic;
        size_t len = strlen(p->pattern) + 1;
        head.resize(82 + len, 0);
        const int words[6] = {p->first, p->last, p->step, p->ext, p->style, p->tag};
        for (int i = 0; i < 6; i++)
            put_be32(&head[54 + 4 * i], uint32_t(words[i]));
        put_be32(&head[78], uint32_t(len));
        memcpy(&head[82], p->pattern, len);
    }
    // Written beside the old header and renamed over it once it is complete
    // on disk: a crash or a full disk never leaves half a header behind.
    std::string tmp = std::string(name) + ".new";
    int ok = 0;
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ok = write_all(fd, head.data(), head.size()) && fsync(fd) == 0;
        ok = close(fd) == 0 && ok;
        if (ok) ok = rename(tmp.c_str(), name) == 0;
        if (!ok) unlink(tmp.c_str());
    }
    free(name);
    return ok;
}

FisicData *CreaFisicData(const char *path, int is_new, int *status) {
    int dummy;
    if (!status) status = &dummy;
    // The reel is opened once: its eighth-size display reader gives the frame
    // count and size; only a reel the reader refuses goes through the format
    // manager, which tells another video standard from an unreadable file.
    SvjrReader reader;
    int header = 0, header_frames = 0, header_w = 0, header_h = 0;
    if (path) {
        reader.reset(svjr_open(path, 8, 1, 0));
        if (reader) {
            header = 1;
            header_frames = reader->frames;
            header_w = 2 * reader->width;
            header_h = 2 * reader->height;
        } else {
            header = ReadHeaderData(path, &header_frames, &header_w, &header_h);
        }
    }
    if (header == 2) {
        *status = 3;
        return nullptr;
    }
    *status = 1;
    auto *f = new FisicData;
    if (!path) return f;
    f->path = strdup(path);

    bool have_log = false;
    int available = 0, reel_size = -1;
    char reel_date[32] = "", log_date[27] = "";
    int log_size = 0;
    char *logname = LogName(nullptr, path, &reel_size, reel_date);
    if (!is_new && logname) {
        Fd fd(open(logname, O_RDONLY | O_CLOEXEC));
        unsigned char h[LOG_COMMON_SIZE];
        if (fd.fd >= 0 && read_at(fd.fd, h, sizeof h, 0)) {
            int parts = be32s(&h[0]);
            available = be32s(&h[4]);
            f->width = be32s(&h[8]);
            f->height = be32s(&h[12]);
            f->frames = be32s(&h[16]);
            memcpy(log_date, &h[20], 26);
            log_date[26] = 0;
            log_size = be32s(&h[46]);
            if (!CheckDimensions(f->width, f->height)) {
                free(logname);
                FreeFisicData(f);
                *status = 3;
                return nullptr;
            }
            // Counts from the header are bounded before they size anything.
            if (parts >= 1 && parts <= 4 && available >= 0 && available <= parts && f->frames > 0) {
                f->parts = parts;
                have_log = true;
            }
        }
    }
    free(logname);
    const bool reel_readable = reel_size >= 0;
    // The 26-byte date texts are compared whole (the stored field is 26 bytes).
    const bool current =
        have_log && reel_readable && reel_size == log_size && memcmp(reel_date, log_date, 26) == 0;
    if (reel_readable && !current) {
        const int frames = header_frames, w = header_w, h = header_h;
        const int r = header;
        if (r == 0 && !have_log) {
            FreeFisicData(f);
            *status = 0;
            return nullptr;
        }
        if (r != 0) {
            if (!CheckDimensions(w, h)) {
                FreeFisicData(f);
                *status = 3;
                return nullptr;
            }
            f->frames = frames;
            f->width = w;
            f->height = h;
            f->parts = LogPartsFor(frames);
            f->part = nullptr;
            f->complete = 0;
            have_log = false;
        }
    }
    if (!reel_readable && !have_log) {
        FreeFisicData(f);
        *status = 0;
        return nullptr;
    }
    if (have_log && (current || !reel_readable)) ReadClips(f, available);
    if (!reel_readable && !f->part.load()) {
        FreeFisicData(f);
        *status = 0;
        return nullptr;
    }
    if (reel_readable && reader) {
        f->reader = reader.release();
        return f;
    }
    *status = 2;
    return f;
}

int CloseImage(fm_fileformat *reader) {
    return svjr_free(reader);
}

FisicData *FreeFisicData(FisicData *fisic) {
    if (!fisic) return nullptr;
    FisicData *next = fisic->next;
    if (fisic->pic) {
        free(fisic->pic->pattern);
        delete fisic->pic;
    }
    free(fisic->path);
    if (fisic->reader) CloseImage(fisic->reader);
    FreeLogParts(fisic->part, fisic->parts);
    free(fisic->dir);
    delete fisic;
    return next;
}

int OpenImageLog(const char *path) {
    Fd fd(open(path, O_RDONLY | O_CLOEXEC));
    if (fd.fd < 0) return 0;
    unsigned char h[82];
    if (!read_at(fd.fd, h, sizeof h, 0)) return 0;
    auto *f = new FisicData;
    f->parts = be32s(&h[0]);
    int complete = be32s(&h[4]);
    f->width = be32s(&h[8]);
    f->height = be32s(&h[12]);
    f->frames = be32s(&h[16]);
    uint32_t len = be32(&h[78]);
    if (!CheckDimensions(f->width, f->height) || f->parts < 1 || f->parts > 4 ||
        complete != f->parts || f->frames <= 0 || len < 1 || len > 1024) {
        FreeFisicData(f);
        return 0;
    }
    std::vector<char> pattern(len + 1, 0);
    if (!read_at(fd.fd, pattern.data(), len, 82)) {
        FreeFisicData(f);
        return 0;
    }
    f->pic = new ImageLogInfo;
    f->pic->pattern = strdup(pattern.data());
    f->pic->first = be32s(&h[54]);
    f->pic->last = be32s(&h[58]);
    f->pic->step = be32s(&h[62]);
    f->pic->ext = be32s(&h[66]);
    f->pic->style = be32s(&h[70]);
    f->pic->tag = be32s(&h[74]);
    f->dir = DbGetDir(1);
    ReadClips(f, f->parts);
    if (!f->part.load()) {
        FreeFisicData(f);
        return 0;
    }
    AddFirstFisic(f);
    std::string base = f->pic->pattern;
    char title[1200];
    snprintf(title, sizeof title, "IS(%s)", GetName(base.data()));
    AddWindowData(f, 0, strdup(title), 0);
    return 1;
}
