// Physical clips: building a clip record from a reel and its log, the log
// header and part records of a clip, and freeing.
//
// The bytes of a log are media/clip_log's; this file decides what they mean
// for a clip. A log whose reel has changed since it was made (other size,
// modification time or frame count) is ignored and rebuilt by the converter.
// A log left unfinished (the program ended while the converter wrote it) is
// read as far as its header counts parts complete, and the converter writes
// the rest.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/log_writer.h"
#include "media/clip_log.h"
#include "media/fm_main.h"
#include "media/svjr.h"
#include "media/svjr_holder.h"
#include "media/video_globals.h"

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

// Loads the tables of one part file into `part`; `count` entries must
// describe frames that lie inside the file's data area.
static bool load_part_tables(LogPart &part, int count) {
    std::vector<int> sizes, offsets;
    return clip_log_read_tables(part.file, count, sizes, offsets) &&
           SetLogPartTables(part, sizes, offsets);
}

static char *part_file_name(const FisicData *fisic, int k) {
    if (fisic->pic) return PicClipName(nullptr, fisic->pic->pattern, fisic->pic->tag, k);
    return ClipName(nullptr, fisic->path, k);
}

void ReadClips(FisicData *fisic, int available) {
    int P = fisic->parts;
    if (P < 1 || P > CLIP_LOG_MAX_PARTS) return;
    LogPart *parts = new LogPart[P];
    int complete = available == P ? 1 : 0, ready = 0;
    for (int k = 1; k <= P; k++) {
        // Every part is named, so that the converter finishes a log left
        // unfinished by writing the parts that are missing; only the parts
        // the header counts complete are read (part 1 always).
        parts[k - 1].file = part_file_name(fisic, k);
        if (k > 1 && k > available) {
            complete = 0;
            continue;
        }
        if (parts[k - 1].file &&
            load_part_tables(parts[k - 1], FramesInPart(fisic->frames, P, k))) {
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
    ClipLogHeader h;
    int size = 0;
    char date[32] = "";
    char *name = nullptr;
    if (fisic->pic) {
        name = PicLogName(fisic->dir, fisic->pic->pattern, fisic->pic->tag);
    } else {
        name = LogName(fisic->dir, fisic->path, &size, date);
    }
    if (!name) return 0;
    if (const LogPart *parts = fisic->part)
        for (int k = 0; k < fisic->parts; k++)
            h.complete += parts[k].ready ? 1 : 0;
    h.parts = fisic->parts;
    h.width = fisic->width;
    h.height = fisic->height;
    h.frames = fisic->frames;
    if (const ImageLogInfo *p = fisic->pic) {
        h.picture = true;
        h.first = p->first, h.last = p->last, h.step = p->step;
        h.ext = p->ext, h.style = p->style, h.tag = p->tag;
        h.pattern = p->pattern ? p->pattern : "";
    } else {
        memcpy(h.date, date, CLIP_LOG_DATE_SIZE);
        h.reel_size = size;
    }
    const int ok = clip_log_write_header(name, h) ? 1 : 0;
    free(name);
    return ok;
}

FisicData *CreaFisicData(const char *path, int is_new, int *status) {
    int dummy;
    if (!status) status = &dummy;
    // The reel is opened once: its eighth-size display reader gives the frame
    // count and log size; only a reel the reader refuses goes through the
    // format manager, which tells another video standard (2) from an
    // unreadable file (0).
    SvjrReader reader;
    int reel_frames = 0, reel_width = 0, reel_height = 0, reel_kind = 0;
    if (path) {
        reader.reset(svjr_open(path, 8, 1, 0));
        if (reader) {
            reel_kind = 1;
            reel_frames = reader->frames;
            reel_width = 2 * reader->width;
            reel_height = 2 * reader->height;
        } else {
            reel_kind = ReadHeaderData(path, &reel_frames, &reel_width, &reel_height);
        }
    }
    if (reel_kind == 2) {
        *status = 3;
        return nullptr;
    }
    *status = 1;
    auto *f = new FisicData;
    if (!path) return f;
    f->path = strdup(path);

    bool have_log = false;
    int available = 0, reel_size = -1;
    char reel_date[32] = "";
    ClipLogHeader log;
    char *logname = LogName(nullptr, path, &reel_size, reel_date);
    if (!is_new && logname && clip_log_read_header(logname, log, false)) {
        if (!CheckDimensions(log.width, log.height)) {
            free(logname);
            FreeFisicData(f);
            *status = 3;
            return nullptr;
        }
        // Counts from the header are bounded before they size anything.
        if (clip_log_counts_valid(log)) {
            f->width = log.width;
            f->height = log.height;
            f->frames = log.frames;
            f->parts = log.parts;
            available = log.complete;
            have_log = true;
        }
    }
    free(logname);
    const bool reel_readable = reel_size >= 0;
    // The log belongs to the reel as it is now when the size and the
    // 26-byte date text match; its frame count must then also be the
    // reel's, so that a header that lies about it is rebuilt, not trusted.
    const bool current = have_log && reel_readable && reel_size == log.reel_size &&
                         memcmp(reel_date, log.date, CLIP_LOG_DATE_SIZE) == 0 &&
                         (reel_kind == 0 || log.frames == reel_frames);
    if (reel_readable && !current) {
        if (reel_kind == 0 && !have_log) {
            FreeFisicData(f);
            *status = 0;
            return nullptr;
        }
        if (reel_kind != 0) {
            if (!CheckDimensions(reel_width, reel_height)) {
                FreeFisicData(f);
                *status = 3;
                return nullptr;
            }
            f->frames = reel_frames;
            f->width = reel_width;
            f->height = reel_height;
            f->parts = LogPartsFor(reel_frames);
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

FisicData *ImageLogClip(const char *path) {
    ClipLogHeader h;
    if (!clip_log_read_header(path, h, true) || !CheckDimensions(h.width, h.height) ||
        !clip_log_counts_valid(h) || h.complete != h.parts)
        return nullptr;
    auto *f = new FisicData;
    f->parts = h.parts;
    f->width = h.width;
    f->height = h.height;
    f->frames = h.frames;
    f->pic = new ImageLogInfo;
    f->pic->pattern = strdup(h.pattern.c_str());
    f->pic->first = h.first;
    f->pic->last = h.last;
    f->pic->step = h.step;
    f->pic->ext = h.ext;
    f->pic->style = h.style;
    f->pic->tag = h.tag;
    f->dir = DbGetDir(1);
    ReadClips(f, f->parts);
    if (!f->part.load()) {
        FreeFisicData(f);
        return nullptr;
    }
    AddFirstFisic(f);
    return f;
}

int OpenImageLog(const char *path) {
    FisicData *f = ImageLogClip(path);
    if (!f) return 0;
    std::string base = f->pic->pattern;
    char title[1200];
    snprintf(title, sizeof title, "IS(%s)", GetName(base.data()));
    AddWindowData(f, 0, strdup(title), 0);
    return 1;
}
