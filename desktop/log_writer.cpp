// The log converter's work on the clip list. For each open reel whose log is
// missing or incomplete it writes the next part: every P-th frame read from
// the reel at quarter size, compressed as JPEG and appended to the part file,
// then the sizes and offsets tables and their length. Part 1 holds frames
// 0, P, 2P ..., so a clip can be shown and scrubbed roughly as soon as its
// first part is done.
//
// A part is written through media/clip_log's part writer, to a new file
// beside the final name renamed into place once complete, so a stop, a crash
// or a full disk never leaves a truncated part that a reader could take for
// a good one. The job unwinds at its pause gate when stopped; the files and
// the reader close on the way out.
#include "desktop/log_writer.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "desktop/clip_model.h"
#include "desktop/converter.h"
#include "desktop/processes.h"
#include "media/clip_log.h"
#include "media/fm_main.h"
#include "media/svjr.h"
#include "media/svjr_holder.h"
#include "platform/cl_compress.h"
#include "platform/sem.h"

void (*DoRemoveHook)(const char *path, int extra) = nullptr;

namespace {

// Converter-thread state: the clip whose part is being written, and whether a
// removal request took it away meanwhile.
FisicData *writing = nullptr;
bool writing_removed = false;

// Unlinks c from the list; prev is its predecessor or null for the head.
void unlink_clip(FisicData *prev, FisicData *c) {
    FisicData *next = c->next;
    if (prev) {
        prev->next = next;
        return;
    }
    FisicData *expect = c;
    if (first_fisic.compare_exchange_strong(expect, next)) return;
    // New clips were put in front meanwhile: find the predecessor again.
    for (FisicData *p = first_fisic; p; p = p->next)
        if (p->next == c) {
            p->next = next;
            return;
        }
}

// Serves a pending removal request during a part; true when the clip being
// written was removed.
bool serve_removal() {
    if (SemGet(3) != 1) return false;
    RemoveMarkedClips();
    SemSet(3, 0);
    return writing_removed;
}

} // namespace

void RemoveMarkedClips() {
    FisicData *prev = nullptr;
    for (FisicData *c = first_fisic; c;) {
        FisicData *next = c->next;
        if (!c->pic && c->path && c->remove) {
            unlink_clip(prev, c);
            if (DoRemoveHook) DoRemoveHook(c->path, c->remove == 2 ? 1 : 0);
            if (c == writing)
                writing_removed = true;
            else
                FreeFisicData(c);
        } else {
            prev = c;
        }
        c = next;
    }
}

void FreeUnusedClips() {
    FisicData *prev = nullptr;
    for (FisicData *c = first_fisic; c;) {
        FisicData *next = c->next;
        if (c->refs < 1 && !c->busy) {
            unlink_clip(prev, c);
            FreeFisicData(c);
        } else {
            prev = c;
        }
        c = next;
    }
}

bool SetLogPartTables(LogPart &part, const std::vector<int> &sizes,
                      const std::vector<int> &offsets) {
    const size_t n = sizes.size();
    if (n == 0 || offsets.size() != n) return false;
    int *s = static_cast<int *>(malloc(sizeof(int) * n));
    int *o = static_cast<int *>(malloc(sizeof(int) * n));
    if (!s || !o) {
        free(s);
        free(o);
        return false;
    }
    memcpy(s, sizes.data(), sizeof(int) * n);
    memcpy(o, offsets.data(), sizeof(int) * n);
    free(part.sizes);
    free(part.offsets);
    part.sizes = s;
    part.offsets = o;
    return true;
}

int WriteLogPart(FisicData *fisic, LogPart &part, int k) {
    const int P = fisic->parts, frames = fisic->frames;
    if (!fisic->path || !part.file || P < 1 || P > CLIP_LOG_MAX_PARTS || k < 1 || k > P ||
        frames < 1)
        return 0;
    SvjrReader reader(svjr_open(fisic->path, 4, 1, 0));
    const size_t pixels = size_t(fisic->width) * size_t(fisic->height) * 4;
    if (!reader || size_t(reader->size) != pixels) return 0;
    // The frame count was checked against the reel when the clip was made;
    // the reader's own count bounds it once more before it sizes the tables.
    if (frames > reader->frames) return 0;
    ClipLogPartWriter out(part.file, clip_log_table_entries(frames, P));
    if (!out.ok()) return 0;

    std::vector<unsigned char> image(pixels), jpeg(pixels + 65536);
    for (int f = k - 1; f < frames; f += P) {
        SemWait(0);
        if (svjr_read(reader.get(), image.data(), f) != 0) return 0;
        int size = int(jpeg.size());
        if (clCompressImage(CL_JPEG, fisic->width, fisic->height, CL_RGBX, 10.0f, image.data(),
                            &size, jpeg.data()) != 0)
            return 0;
        if (!out.add(jpeg.data(), size_t(size))) return 0;
        if (serve_removal()) return -1;
    }
    if (!out.commit()) return 0;
    return SetLogPartTables(part, out.sizes(), out.offsets()) ? 1 : 0;
}

int ConvertPass(int *saw_unused) {
    int again = 0;
restart:
    for (FisicData *c = first_fisic; c; c = c->next) {
        if (c->refs <= 0) {
            *saw_unused = 1;
            continue;
        }
        if (c->complete || c->busy || c->pic || !c->path || c->parts < 1 || c->parts > 4) continue;
        writing = c;
        writing_removed = false;
        int result;
        if (!c->part.load()) {
            // First part of a new or stale log: the records are published only
            // once part 1 is on disk.
            LogPart *parts = new LogPart[c->parts];
            for (int k = 1; k <= c->parts; k++)
                parts[k - 1].file = ClipName(c->dir, c->path, k);
            try {
                result = WriteLogPart(c, parts[0], 1);
            } catch (...) {
                FreeLogParts(parts, c->parts);
                writing = nullptr;
                throw;
            }
            if (result == 1) {
                parts[0].ready = 1;
                c->part = parts;
            } else {
                FreeLogParts(parts, c->parts);
            }
        } else {
            LogPart *parts = c->part;
            int k = 0;
            while (k < c->parts && parts[k].ready)
                k++;
            if (k == c->parts) {
                c->complete = 1;
                UpdateLog(c);
                writing = nullptr;
                continue;
            }
            result = WriteLogPart(c, parts[k], k + 1);
            if (result == 1) parts[k].ready = 1;
        }
        writing = nullptr;
        if (result < 0) {
            // The clip was removed while its part was written.
            FreeFisicData(c);
            goto restart;
        }
        if (result == 0) continue; // a failing reel waits for the next cycle
        int ready = 0;
        LogPart *parts = c->part;
        for (int k = 0; k < c->parts; k++)
            ready += parts[k].ready ? 1 : 0;
        if (ready == c->parts)
            c->complete = 1;
        else
            again = 1;
        UpdateLog(c);
    }
    return again;
}

void InstallLogWriter() {
    converter_work = ConverterWork{ConvertPass, RemoveMarkedClips, FreeUnusedClips};
}
