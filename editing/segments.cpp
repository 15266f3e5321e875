// Segment rings: the frame maps of derived windows are shared with nothing,
// so freeing and copying a window walk its ring once.
#include "editing/segments.h"

#include <cstdlib>
#include <cstring>

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
