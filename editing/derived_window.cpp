// Derived clip windows: joins, copies, speed changes, loops and stills built
// as new segment rings over the clips of existing windows. The pictures are
// never touched; the desktop loads the first one and shows the window.
#include "editing/derived_window.h"

#include <algorithm>
#include <climits>
#include <new>
#include <vector>

#include "editing/clip_records.h"
#include "editing/frame_map.h"
#include "editing/segments.h"

static bool has_ring(const WindowData *w) {
    return w->seg_first && w->seg_first != fixed_picture_marker;
}

static long long span(const Segment *s) {
    return s->last >= s->first ? (long long)s->last - s->first : (long long)s->first - s->last;
}

int CountSelected() {
    int n = 0;
    for (WindowData *w = first_work; w; w = w->next) {
        if (!w->selected) continue;
        if (!has_ring(w)) return -1;
        n++;
    }
    return n;
}

// Takes the last segment off the window's ring again (a piece that could not
// be made) and frees it.
static void drop_last_segment(WindowData *w) {
    Segment *d = w->seg_last;
    if (d == w->seg_first) {
        w->seg_first = w->seg_last = w->seg_current = nullptr;
    } else {
        w->seg_last = d->prev;
        w->seg_last->next = w->seg_first;
        w->seg_first->prev = w->seg_last;
        if (w->seg_current == d) w->seg_current = w->seg_first;
    }
    if (d->fisic) d->fisic->refs--;
    free(d->map);
    delete d;
}

// One piece: `count` frames of s from its offset o, taken with step +1 or
// -1, appended at output frame *position. False when it cannot be made.
static bool add_piece(WindowData *w, const Segment *s, long long o, long long count, int step,
                      long long *position, int type, int factor, int *producing, int *carry) {
    const long long first = PlayCtrl64(s, o);
    if (first < INT_MIN || first > INT_MAX || o > INT_MAX || count > INT_MAX) return false;
    Segment *d = new (std::nothrow) Segment;
    if (!d) return false;
    d->first = (int)first;
    d->offset = (int)*position;
    d->fisic = s->fisic;
    d->fisic->refs++;
    if (d->fisic->busy) *producing = 1;
    RingAppend(w, d);
    // The piece runs in its source's direction when taken forwards, against
    // it when taken backwards.
    const int dir = s->last < s->first ? -1 : 1, sign = step * dir;
    *carry = 0;
    const long long n =
        PlayType(s, d, carry, type, factor, (int)count, (int)o, d->first, sign, step);
    const long long last = first + sign * (n - 1);
    if (n < 1 || *position + n > DERIVE_MAX_FRAMES || last < INT_MIN || last > INT_MAX) {
        drop_last_segment(w);
        return false;
    }
    d->last = (int)last;
    *position += n;
    return true;
}

// Appends window frames in .. out of src (backwards when out < in), both
// already within the window. Returns the new position or -1.
static long long join_range(WindowData *w, const WindowData *src, long long in, long long out,
                            long long position, int type, int factor, int *producing, int *carry) {
    const bool forward = in <= out;
    const long long lo_mark = forward ? in : out, hi_mark = forward ? out : in;
    Segment *s = forward ? src->seg_first : RingLast(src);
    while (s) {
        const long long off = s->offset, len = span(s);
        const long long lo = std::max(lo_mark, off), hi = std::min(hi_mark, off + len);
        if (lo <= hi && s->fisic) {
            // The carry skips the source frames the last sample already
            // stood for; a piece the carry covers whole gives nothing.
            const long long r = hi - lo + 1;
            if (r <= *carry) {
                *carry -= (int)r;
            } else {
                const long long o = forward ? lo - off + *carry : hi - off - *carry;
                if (!add_piece(w, s, o, r - *carry, forward ? 1 : -1, &position, type, factor,
                               producing, carry))
                    return -1;
            }
        }
        if (forward ? hi_mark <= off + len : off <= lo_mark) break;
        s = forward ? RingNext(src, s) : RingPrev(src, s);
    }
    return position;
}

long long JoinWindow(WindowData *window, WindowData *source, long long position, int type,
                     int factor, int *producing, int *carry) {
    if (!source || !has_ring(source) || source->total < 1) return position;
    int busy = 0, none = 0;
    const long long top = source->total - 1;
    return join_range(window, source, std::clamp<long long>(source->in, 0, top),
                      std::clamp<long long>(source->out, 0, top), position, type, factor,
                      producing ? producing : &busy, carry ? carry : &none);
}

void InitDerivedWindow(WindowData *window, int frames) {
    if (window->seg_first && window->seg_first->fisic) {
        window->width = window->seg_first->fisic->width;
        window->height = window->seg_first->fisic->height;
    }
    window->playing = 0;
    window->source = SOURCE_LOG;
    window->selected = 0;
    window->master = 0;
    window->in = 0;
    window->out = frames - 1;
    window->total = frames;
    window->current = 0;
    window->start = 0;
    window->production = nullptr;
    if (window->seg_first) {
        Segment *last = RingLast(window);
        window->seg_last = last;
        window->seg_current = window->seg_first;
        window->seg_first->prev = last;
        last->next = window->seg_first;
    }
}

static std::string title_of(WindowData *w, std::string (*titles)(WindowData *)) {
    return titles ? titles(w) : std::string();
}

static std::string name_prefix(const WindowData *source, int repetitions, int recollect, int type) {
    if (recollect) return "R(";
    if (source) return "C(";
    switch (type) {
    case DERIVE_STROBE:
        return "STR(";
    case DERIVE_FASTER:
        return "FA(";
    case DERIVE_SLOWER:
        return "SL(";
    default:
        break;
    }
    if (repetitions < 0) return "FF " + std::to_string(-(long long)repetitions) + "(";
    if (repetitions > 1) return "ST " + std::to_string(repetitions) + "(";
    return "JN(";
}

int BuildDerivedWindow(WindowData *window, WindowData *source, int master, int repetitions,
                       int recollect, std::string *name, int type, int factor,
                       std::string (*titles)(WindowData *)) {
    window->seg_first = window->seg_last = window->seg_current = nullptr;
    if (!first_window) return DERIVE_NOTHING;

    // The windows taken, in list order; the first fixes the picture size.
    // A source window is taken alone, whether it stands in the list or not.
    std::vector<WindowData *> taken;
    int result = DERIVE_OK;
    if (source) {
        if (has_ring(source)) taken.push_back(source);
    } else {
        for (WindowData *w = first_window; w; w = w->next) {
            const bool wanted = master ? w->master != 0 : w->selected && !w->master;
            if (!wanted || !has_ring(w)) continue;
            if (!taken.empty() && (w->width != taken[0]->width || w->height != taken[0]->height)) {
                result = DERIVE_SKIPPED;
                continue;
            }
            taken.push_back(w);
        }
    }

    std::string text = name_prefix(source, repetitions, recollect, type);
    for (WindowData *w : taken)
        text += title_of(w, titles) + ",";
    if (!text.empty() && text.back() == ',') text.pop_back();
    text += ")";

    const bool flip_flop = repetitions < 0;
    const long long passes = repetitions == 0  ? 1
                             : repetitions < 0 ? -(long long)repetitions
                                               : repetitions;
    long long length = 0;
    int carry = 0, producing = 0;
    WindowData *mirror = nullptr; // the first forward pass, joined backwards after each pass
    bool too_long = false;
    for (long long pass = 0; pass < passes && !too_long; pass++) {
        for (WindowData *w : taken) {
            // Master-area windows and recollects are taken whole; the
            // others by their marks. Neither changes the window's marks.
            if (master || recollect) {
                if (w->total < 1) continue;
                length = join_range(window, w, 0, w->total - 1, length, type, factor, &producing,
                                    &carry);
            } else {
                length = JoinWindow(window, w, length, type, factor, &producing, &carry);
            }
            if (length < 0) {
                too_long = true;
                break;
            }
        }
        if (too_long) break;
        if (type == DERIVE_STROBE && carry > 0 && window->seg_last) {
            // The last sample stands for frames beyond the pass: cut them.
            Segment *s = window->seg_last;
            const int cut = (int)std::min<long long>(carry, span(s));
            s->last += s->last >= s->first ? -cut : cut;
            length -= cut;
            carry = 0;
        }
        // The first pass tells what all of them will make: refuse a loop
        // that would pass the longest window before building it. Faster
        // passes may differ by a frame, the others are alike.
        if (pass == 0 && passes > 1) {
            const long long each = type == DERIVE_FASTER ? length - 1 : length;
            if (each > 0 && each * (flip_flop ? 2 : 1) > DERIVE_MAX_FRAMES / passes)
                too_long = true;
        }
        if (too_long) break;
        if (flip_flop && window->seg_first) {
            if (!mirror) {
                InitDerivedWindow(window, (int)length);
                mirror = CopyWindow(window, (int)length);
                if (!mirror) {
                    too_long = true;
                    break;
                }
                mirror->in = (int)length - 1;
                mirror->out = 0;
            }
            int none = 0;
            length = JoinWindow(window, mirror, length, DERIVE_COPY, 1, &producing, &none);
            too_long = length < 0;
        }
    }
    if (mirror) {
        FreeSegments(mirror);
        delete mirror;
    }
    if (too_long) {
        FreeSegments(window);
        return DERIVE_TOO_LONG;
    }
    if (!window->seg_first) return DERIVE_NOTHING;
    if (name) *name = text;
    InitDerivedWindow(window, (int)length);
    return producing ? DERIVE_PRODUCING : result;
}

int BuildStillWindow(WindowData *window, int frames, std::string *name,
                     std::string (*titles)(WindowData *)) {
    window->seg_first = window->seg_last = window->seg_current = nullptr;
    if (frames < 1) return DERIVE_NOTHING;
    WindowData *w = first_window;
    while (w && !(has_ring(w) && !w->master && w->selected))
        w = w->next;
    if (!w) return DERIVE_NOTHING;
    const int current = std::clamp(w->current, 0, std::max(w->total - 1, 0));
    Segment *from = nullptr;
    const int frame = FrameCtrl(w, current, &from);
    if (!from || !from->fisic) return DERIVE_NOTHING;
    if ((long long)frame + frames - 1 > INT_MAX) return DERIVE_TOO_LONG;
    Segment *d = new (std::nothrow) Segment;
    int *map = (int *)calloc(1, sizeof(int));
    if (!d || !map) {
        delete d;
        free(map);
        return DERIVE_TOO_LONG;
    }
    d->first = frame;
    d->last = frame + frames - 1;
    d->map = map;
    d->map_len = 1;
    d->period = 0;
    d->fisic = from->fisic;
    d->fisic->refs++;
    RingAppend(window, d);
    InitDerivedWindow(window, frames);
    if (name)
        *name = "ST" + std::to_string(frames) + "(" + std::to_string(current + 1) + "->" +
                title_of(w, titles) + ")";
    return d->fisic->busy ? DERIVE_PRODUCING : DERIVE_OK;
}
