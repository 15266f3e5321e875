// Segment rings: the frame maps of derived windows are shared with nothing,
// so freeing and copying a window walk its ring once.
#include "editing/segments.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "editing/clip_records.h"

void FreeSegments(WindowData *win) {
    if (!win) return;
    if (Segment *s = win->seg_first; s && s != fixed_picture_marker) {
        Segment *last = win->seg_last ? win->seg_last : s;
        for (;;) {
            Segment *next = s->next;
            if (s->fisic) s->fisic->refs--;
            free(s->map);
            bool end = s == last || !next || next == win->seg_first;
            delete s;
            if (end) break;
            s = next;
        }
    }
    win->seg_first = win->seg_last = win->seg_current = nullptr;
}

static bool has_ring(const WindowData *win) {
    return win && win->seg_first && win->seg_first != fixed_picture_marker;
}

Segment *RingNext(const WindowData *win, const Segment *s) {
    if (!s || s == win->seg_last) return nullptr;
    Segment *n = s->next;
    if (!n || n == win->seg_first || n->offset <= s->offset) return nullptr;
    return n;
}

Segment *RingPrev(const WindowData *win, const Segment *s) {
    if (!s || s == win->seg_first) return nullptr;
    Segment *p = s->prev;
    if (!p || p == win->seg_last || p->offset >= s->offset) return nullptr;
    return p;
}

Segment *RingLast(const WindowData *win) {
    if (!has_ring(win)) return nullptr;
    if (win->seg_last) return win->seg_last;
    Segment *s = win->seg_first;
    while (Segment *n = RingNext(win, s))
        s = n;
    return s;
}

int *CopyTable(const int *map, int n) {
    if (!map || n < 1) return nullptr;
    int *copy = (int *)malloc((size_t)n * sizeof(int));
    if (copy) memcpy(copy, map, (size_t)n * sizeof(int));
    return copy;
}

WindowData *CopyWindow(const WindowData *win, int frames) {
    if (!win) return nullptr;
    WindowData *copy = new (std::nothrow) WindowData;
    if (!copy) return nullptr;
    copy->source = 0;
    copy->width = win->width;
    copy->height = win->height;
    copy->total = frames;
    if (!has_ring(win)) return copy;
    for (const Segment *s = win->seg_first; s; s = RingNext(win, s)) {
        Segment *d = new (std::nothrow) Segment;
        int *map = d ? CopyTable(s->map, s->map_len) : nullptr;
        if (!d || (!map && s->map && s->map_len > 0)) {
            delete d;
            FreeSegments(copy);
            delete copy;
            return nullptr;
        }
        *d = *s;
        d->map = map;
        if (d->fisic) d->fisic->refs++;
        RingAppend(copy, d);
    }
    return copy;
}

void RingAppend(WindowData *w, Segment *s) {
    if (!w->seg_first) {
        w->seg_first = w->seg_current = s;
    } else {
        Segment *last = w->seg_last ? w->seg_last : w->seg_first;
        last->next = s;
        s->prev = last;
    }
    w->seg_last = s;
    s->next = w->seg_first;
    w->seg_first->prev = s;
}
