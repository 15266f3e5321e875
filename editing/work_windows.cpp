// Between the work-file model and the clip records: the model filled from
// the window list for saving, and window records made from the model for
// loading, with the checks that need a clip. See work_file.h.
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "editing/clip_names.h"
#include "editing/clip_records.h"
#include "editing/work_file.h"
#include "media/clip_log.h"
#include "media/video_globals.h"

namespace {

// The reel's ctime text and size (low 32 bits); zeros when it cannot be
// examined.
void reel_stamp(const char *path, char time[WORK_TIME_SIZE], uint32_t *size) {
    memset(time, 0, WORK_TIME_SIZE);
    *size = 0;
    struct stat st {};
    if (!path || stat(path, &st) != 0) return;
    char buf[32];
    const time_t t = st.st_mtime;
    if (ctime_r(&t, buf)) memcpy(time, buf, strnlen(buf, WORK_TIME_SIZE - 1));
    *size = uint32_t(uint64_t(st.st_size));
}

bool selected(const WindowData *w, int selection) {
    switch (selection) {
    case WORK_MASTER:
        return w->master != 0;
    case WORK_SELECTED:
        return w->selected && !w->master;
    default:
        return true;
    }
}

WorkSegment segment_of(const Segment *s, const char *db_dir) {
    WorkSegment out;
    out.first = s->first;
    out.last = s->last;
    out.offset = s->offset;
    out.period = s->period;
    if (s->map && s->map_len > 0) out.map.assign(s->map, s->map + s->map_len);
    const FisicData *f = s->fisic;
    if (f && f->pic) {
        out.kind = WORK_PICTURES;
        const ImageLogInfo *p = f->pic;
        out.pic = {p->first, p->last, p->step, p->ext, p->style, p->tag};
        out.name = WorkRelativeName(p->pattern, WORK_PICTURES, db_dir);
    } else if (f) {
        out.name = WorkRelativeName(f->path, WORK_REEL, db_dir);
        if (!f->busy) reel_stamp(f->path, out.time, &out.size);
    }
    return out;
}

// The one plain segment of a window whose clip is still being made.
WorkSegment produced_segment(const WorkImport &imp, const char *db_dir) {
    WorkSegment out;
    const int step = imp.pic.step >= 1 ? imp.pic.step : 1;
    out.last = int(
        std::clamp((int64_t(imp.pic.last) - imp.pic.first) / step, int64_t(0), int64_t(INT_MAX)));
    out.kind = imp.reel ? WORK_REEL : WORK_PICTURES;
    if (!imp.reel) out.pic = imp.pic;
    out.name = WorkRelativeName(imp.name.c_str(), out.kind, db_dir);
    return out;
}

} // namespace

void CollectWork(int selection, WorkTitleFn titles, WorkImportFn imports, const char *db_dir,
                 WorkFile *work) {
    *work = WorkFile{};
    for (WindowData *w = first_window; w; w = w->next) {
        if (!selected(w, selection)) continue;
        WorkWindow out;
        out.width = w->width;
        out.height = w->height;
        out.master = w->master;
        out.slot = w->slot;
        out.in = w->in;
        out.out = w->out;
        out.total = w->total;
        out.start = w->start;
        if (titles) out.title = titles(w);
        if (w->seg_first && w->seg_first != fixed_picture_marker) {
            for (Segment *s = w->seg_first;; s = s->next) {
                out.segments.push_back(segment_of(s, db_dir));
                if (s == w->seg_last || !s->next || s->next == w->seg_first) break;
            }
        } else {
            WorkImport imp;
            if (!imports || !imports(w, &imp)) continue;
            out.segments.push_back(produced_segment(imp, db_dir));
        }
        work->windows.push_back(std::move(out));
    }
}

int SaveWork(const char *path, int selection, WorkTitleFn titles, WorkImportFn imports,
             const char *db_dir) {
    WorkFile work;
    CollectWork(selection, titles, imports, db_dir, &work);
    return WriteWorkFile(path, work);
}

WindowData *FindLastHappy() {
    WindowData *last = nullptr;
    for (WindowData *w = first_window; w && w->master; w = w->next)
        last = w;
    return last;
}

bool WorkSegmentFits(const WorkSegment &s, int frames) {
    if (s.first < 0 || frames < 1 || s.first >= frames) return false;
    const int64_t n = s.last >= s.first ? int64_t(s.last) - s.first : int64_t(s.first) - s.last;
    int64_t lo = 0, hi = n;
    if (!s.map.empty()) {
        // v(k) = map[k mod P] + (k div P) x period; for each residue r the
        // values over q = 0..(n - r) / P run straight, so their ends bound
        // them.
        const int64_t p = int64_t(s.map.size());
        lo = INT64_MAX;
        hi = INT64_MIN;
        for (int64_t r = 0; r < p && r <= n; r++) {
            const int64_t q = (n - r) / p;
            const int64_t step = q * s.period;
            const int64_t a = s.map[size_t(r)], b = a + step;
            if (step < INT_MIN || step > INT_MAX || b < INT_MIN || b > INT_MAX) return false;
            lo = std::min({lo, a, b});
            hi = std::max({hi, a, b});
        }
    }
    if (s.last >= s.first) return s.first + lo >= 0 && s.first + hi < frames;
    return s.first - hi >= 0 && s.first - lo < frames;
}

int WorkReelState(const WorkSegment &seg, const char *path) {
    struct stat st {};
    if (!path || stat(path, &st) != 0) return 2;
    char time[WORK_TIME_SIZE];
    uint32_t size;
    reel_stamp(path, time, &size);
    return memcmp(time, seg.time, WORK_TIME_SIZE) != 0 || size != seg.size ? 1 : 0;
}

int WorkLoadReport(bool read_error, bool changed, bool missing, bool device_open) {
    if (read_error) return WORK_READ_ERROR;
    if (changed) return WORK_CHANGED;
    if (missing && !device_open) return WORK_MISSING;
    return WORK_OK;
}

WindowData *MakeWorkWindow(const WorkWindow &w, FisicData *const *clips) {
    if (w.segments.empty() || !clips) return nullptr;
    for (size_t k = 0; k < w.segments.size(); k++)
        if (!clips[k] || !WorkSegmentFits(w.segments[k], clips[k]->frames)) return nullptr;
    auto *win = new WindowData;
    win->width = w.width;
    win->height = w.height;
    win->master = w.master;
    win->slot = w.slot;
    win->in = w.in;
    win->out = w.out;
    win->total = w.total;
    win->start = w.start;
    win->source = SOURCE_LOG;
    Segment *prev = nullptr;
    for (size_t k = 0; k < w.segments.size(); k++) {
        const WorkSegment &ws = w.segments[k];
        auto *s = new Segment;
        s->first = ws.first;
        s->last = ws.last;
        s->offset = ws.offset;
        s->period = ws.period;
        if (!ws.map.empty()) {
            s->map = static_cast<int *>(malloc(ws.map.size() * sizeof(int)));
            if (!s->map) {
                delete s;
                for (Segment *p = prev; p;) {
                    Segment *before = p->prev;
                    free(p->map);
                    delete p;
                    p = before;
                }
                delete win;
                return nullptr;
            }
            memcpy(s->map, ws.map.data(), ws.map.size() * sizeof(int));
            s->map_len = int(ws.map.size());
        }
        s->fisic = clips[k];
        s->prev = prev;
        if (prev)
            prev->next = s;
        else
            win->seg_first = s;
        prev = s;
    }
    win->seg_last = prev;
    win->seg_current = win->seg_first;
    win->seg_first->prev = win->seg_last;
    win->seg_last->next = win->seg_first;
    for (size_t k = 0; k < w.segments.size(); k++)
        clips[k]->refs++;
    return win;
}

void PlaceWorkWindow(WindowData *win) {
    if (!win) return;
    if (win->master) {
        if (WindowData *h = FindLastHappy()) {
            win->next = h->next;
            h->next = win;
            if (last_window == h) last_window = win;
        } else {
            win->next = first_window;
            first_window = win;
            if (!last_window) last_window = win;
        }
        return;
    }
    win->next = nullptr;
    if (last_window)
        last_window->next = win;
    else
        first_window = win;
    last_window = win;
    if (!first_work) first_work = win;
}

WorkLoadResult LoadWorkWindows(const WorkFile &work, int read_code, const char *db_dir,
                               WorkClipFn clips, WorkShowFn show) {
    WorkLoadResult r;
    r.read_error = read_code == WORK_READ_ERROR;
    if (read_code != WORK_OK && read_code != WORK_READ_ERROR) return r;
    std::vector<FisicData *> found;
    for (const WorkWindow &w : work.windows) {
        found.clear();
        bool win_missing = false; // a reel of this window is missing
        for (const WorkSegment &s : w.segments) {
            const std::string path = WorkFullName(s.name, s.kind, db_dir);
            if (s.kind == WORK_REEL) {
                const int state = WorkReelState(s, path.c_str());
                r.changed |= state == 1;
                win_missing |= state == 2;
            }
            bool missing = false;
            FisicData *clip = clips ? clips(s, path, &missing) : nullptr;
            win_missing |= missing;
            if (!clip) break;
            found.push_back(clip);
        }
        r.missing |= win_missing;
        WindowData *win =
            found.size() == w.segments.size() ? MakeWorkWindow(w, found.data()) : nullptr;
        if (!win) {
            r.read_error = true;
            continue;
        }
        if (win_missing) {
            win->master = 0;
            win->slot = -1;
            win->selected = 1;
        }
        if (show) show(win, w.title);
        PlaceWorkWindow(win);
        if (win->master) r.master_windows++;
    }
    return r;
}

void FillWorkPictureClip(FisicData *clip, const WorkSegment &seg, const std::string &path) {
    if (!clip) return;
    auto *p = new ImageLogInfo;
    p->pattern = strdup(path.c_str());
    p->first = seg.pic.first;
    p->last = seg.pic.last;
    p->step = seg.pic.step >= 1 ? seg.pic.step : 1;
    p->ext = seg.pic.ext;
    p->style = seg.pic.style;
    p->tag = seg.pic.tag;
    clip->pic = p;
    const int64_t frames = (int64_t(p->last) - p->first) / p->step + 1;
    clip->frames = int(std::clamp(frames, int64_t(0), int64_t(INT_MAX)));
    clip->width = VIDEO_SIZEX / 4;
    clip->height = QuarterHeight(VIDEO_SIZEY);
}

int ReadImageLogHeader(FisicData *clip) {
    if (!clip || !clip->pic) return 0;
    char *name = PicLogName(clip->dir, clip->pic->pattern, clip->pic->tag);
    ClipLogHeader h;
    const bool ok = name && clip_log_read_header(name, h, false);
    free(name);
    if (!ok || !clip_log_counts_valid(h) || !CheckDimensions(h.width, h.height)) return 0;
    clip->parts = h.parts;
    clip->width = h.width;
    clip->height = h.height;
    clip->frames = h.frames;
    return h.complete == h.parts ? h.complete : 0;
}
