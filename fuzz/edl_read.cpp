// libFuzzer target: the edit list reader on any bytes at 25 and 30 frames
// per second. Every entry it keeps must be one a collect can grab (a usable
// reel name, valid labels, a positive frame count that matches the labels),
// remarks must come in line order, and the same bytes delivered in two
// pieces split anywhere (so a CR LF can be torn apart) must read the same.
//
//   build-fuzz/fuzz/fuzz_edl_read -max_total_time=300 corpus/
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "media/video_globals.h"
#include "vtr/edl_read.h"
#include "vtr/timecode.h"

namespace {

void check(bool ok) {
    if (!ok) abort();
}

void check_entry(const EdlEntry &e) {
    check(!e.reel.empty() && e.reel.size() <= EDL_REEL_MAX && e.reel[0] != '.');
    for (unsigned char c : e.reel)
        check(c != '/' && c >= 0x20 && c != 0x7F);
    check(is_valid_tc(e.in.c_str()) && is_valid_tc(e.out.c_str()));
    check(e.in.size() == 11 && e.out.size() == 11 && e.frames >= 1 && e.done == 0);
    check(!e.drop || fps == 30);
    Timecode in, out;
    vtr_asc2tc(e.in.c_str(), &in);
    vtr_asc2tc(e.out.c_str(), &out);
    if (!e.drop) check(Count_Frames(in, out) == e.frames);
}

void check_order(const std::vector<EdlRemark> &v, size_t entries) {
    for (size_t i = 0; i < v.size(); i++) {
        check(v[i].line >= 1 && (i == 0 || v[i].line >= v[i - 1].line));
        check(v[i].reason >= 0 && v[i].reason < EDL_REASON_COUNT);
        check(v[i].entry < int(entries));
    }
}

bool same(const EdlRemark &a, const EdlRemark &b) {
    return a.line == b.line && a.reason == b.reason && a.entry == b.entry;
}

bool same(const EdlEntry &a, const EdlEntry &b) {
    return a.reel == b.reel && a.in == b.in && a.out == b.out && a.frames == b.frames &&
           a.drop == b.drop && a.line == b.line;
}

template <class T> bool same(const std::vector<T> &a, const std::vector<T> &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (!same(a[i], b[i])) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    for (int rate : {25, 30}) {
        fps = rate;
        EdlTable whole;
        EdlReadBytes(reinterpret_cast<const char *>(data), size, &whole);
        for (const EdlEntry &e : whole.entries)
            check_entry(e);
        for (size_t i = 1; i < whole.entries.size(); i++)
            check(whole.entries[i].line > whole.entries[i - 1].line);
        check_order(whole.skips, whole.entries.size());
        check_order(whole.notes, whole.entries.size());
        const size_t at = size ? (data[0] * 251u + (size > 1 ? data[1] : 0u)) % (size + 1) : 0;
        EdlTable pieces;
        EdlReader reader(&pieces);
        reader.Feed(reinterpret_cast<const char *>(data), at);
        reader.Feed(reinterpret_cast<const char *>(data) + at, size - at);
        reader.Finish();
        check(same(whole.entries, pieces.entries) && same(whole.skips, pieces.skips) &&
              same(whole.notes, pieces.notes));
    }
    return 0;
}
