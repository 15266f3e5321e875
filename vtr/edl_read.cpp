// The edit list reader: splits the bytes into lines as they come (no line
// length limit, so a long line is never cut into pieces that look like
// events), splits each line into words and turns event lines into entries of
// the EDL table, recording every line skipped and every entry taken with a
// reservation, with its line number and reason.
#include "vtr/edl_read.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "media/video_globals.h"
#include "platform/fileio.h"
#include "vtr/timecode.h"

namespace {

const char *const reason_words[] = {
#define EDL_REASON_WORD(code, word) word,
    EDL_REASON_LIST(EDL_REASON_WORD)
#undef EDL_REASON_WORD
};
static_assert(sizeof(reason_words) / sizeof(reason_words[0]) == EDL_REASON_COUNT);

// Words a line is split into at most; an event line needs 4 + 2 + 4.
constexpr size_t MAX_WORDS = 12;

// Drop-frame counting at 30 frames per second: two labels are skipped at
// the start of every minute except each tenth.
constexpr int64_t DF_TEN_MINUTES = 17982; // frames in ten minutes
constexpr int64_t DF_MINUTE = 1798;       // frames in a minute that drops two

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool blank(char c) {
    return c == ' ' || c == '\t';
}

bool has_colon(std::string_view w) {
    return w.find(':') != std::string_view::npos;
}

// A source or record timecode word: 11 characters; a ";" or "," before the
// frames marks a drop-frame label and is read as ":".
struct Label {
    std::string text; // with ":" before the frames
    bool valid = false;
    bool drop_marked = false;
    int h = 0, m = 0, s = 0, f = 0;
};

Label read_label(std::string_view w) {
    Label l;
    if (w.size() != 11) return l;
    l.text.assign(w);
    if (l.text[8] == ';' || l.text[8] == ',') {
        l.drop_marked = true;
        l.text[8] = ':';
    }
    l.valid = is_valid_tc(l.text.c_str());
    if (l.valid) {
        auto pair = [&](int p) { return (l.text[p] - '0') * 10 + (l.text[p + 1] - '0'); };
        l.h = pair(0), l.m = pair(3), l.s = pair(6), l.f = pair(9);
    }
    return l;
}

// Labels 00 and 01 of a minute not divisible by ten do not exist in
// drop-frame counting.
bool drop_label_exists(const Label &l) {
    return !(l.s == 0 && l.f < 2 && l.m % 10 != 0);
}

int64_t count_of(const Label &l, bool drop) {
    const int64_t plain = (int64_t(l.h) * 3600 + l.m * 60 + l.s) * fps + l.f;
    if (!drop) return plain;
    const int64_t minutes = int64_t(l.h) * 60 + l.m;
    return plain - 2 * (minutes - minutes / 10);
}

// The largest count a label can hold (99:59:59 and the last frame).
int64_t last_count(bool drop) {
    Label l;
    l.h = 99, l.m = 59, l.s = 59, l.f = fps - 1;
    return count_of(l, drop);
}

std::string label_of(int64_t n, bool drop) {
    if (drop) {
        const int64_t tens = n / DF_TEN_MINUTES, rest = n % DF_TEN_MINUTES;
        n += 18 * tens + (rest < 2 ? 0 : 2 * ((rest - 2) / DF_MINUTE));
    }
    char text[12];
    vtr_tc2asc(frames2tc(int(n)), text);
    return text;
}

// "+050.0", "-25", "12.5": a sign, digits and an optional fraction. False for
// anything else.
bool read_speed(std::string_view w, double *speed) {
    size_t i = 0;
    bool negative = false;
    if (i < w.size() && (w[i] == '+' || w[i] == '-')) negative = w[i++] == '-';
    double v = 0, scale = 0;
    bool digits = false;
    for (; i < w.size(); i++) {
        if (is_digit(w[i])) {
            digits = true;
            if (scale == 0)
                v = v * 10 + (w[i] - '0');
            else
                v += (w[i] - '0') * (scale /= 10);
        } else if (w[i] == '.' && scale == 0) {
            scale = 1;
        } else {
            return false;
        }
    }
    if (!digits || !std::isfinite(v)) return false;
    *speed = negative ? -v : v;
    return true;
}

bool video_track(std::string_view t) {
    return t == "V" || t == "B" || (t.size() >= 2 && t.substr(t.size() - 2) == "/V");
}

bool bad_reel_name(std::string_view r) {
    if (r.empty() || r.size() > EDL_REEL_MAX || r[0] == '.') return true;
    for (unsigned char c : r)
        if (c == '/' || c < 0x20 || c == 0x7F) return true;
    return false;
}

} // namespace

EdlReader::EdlReader(EdlTable *table) : table_(table) {
    *table_ = EdlTable();
}

// Takes the next bytes of the list; lines end at LF, CR LF or CR, also
// when the CR and the LF come in different pieces.
void EdlReader::Feed(const char *p, size_t n) {
    size_t i = 0;
    if (after_cr_ && n > 0) {
        if (p[0] == '\n') i = 1;
        after_cr_ = false;
    }
    while (i < n) {
        size_t j = i;
        while (j < n && p[j] != '\n' && p[j] != '\r')
            j++;
        if (j == n) {
            pending_.append(p + i, n - i);
            return;
        }
        if (pending_.empty()) {
            Line(std::string_view(p + i, j - i));
        } else {
            pending_.append(p + i, j - i);
            Line(pending_);
            pending_.clear();
        }
        if (p[j] == '\r') {
            if (j + 1 == n)
                after_cr_ = true;
            else if (p[j + 1] == '\n')
                j++;
        }
        i = j + 1;
    }
}

// The last line, when the list does not end with a line end.
void EdlReader::Finish() {
    if (!pending_.empty()) Line(pending_);
    pending_.clear();
}

void EdlReader::Skip(EdlReason r) {
    table_->skips.push_back({line_, r, -1});
}

void EdlReader::Note(EdlReason r, int entry) {
    table_->notes.push_back({line_, r, entry});
}

void EdlReader::Line(std::string_view line) {
    line_++;
    std::string_view w[MAX_WORDS];
    size_t n = 0;
    for (size_t i = 0; i < line.size() && n < MAX_WORDS;) {
        while (i < line.size() && blank(line[i]))
            i++;
        const size_t start = i;
        while (i < line.size() && !blank(line[i]))
            i++;
        if (i > start) w[n++] = line.substr(start, i - start);
    }
    if (!line.empty() && is_digit(line[0]))
        Event(w, n);
    else if (n >= 1 && w[0] == "M2")
        Speed(w, n);
    else if (n >= 3 && w[0] == "FCM:" && w[2] == "FRAME" && (w[1] == "DROP" || w[1] == "NON-DROP"))
        drop_mode_ = w[1] == "DROP";
}

// An event line: an entry, or one reason why not.
void EdlReader::Event(const std::string_view *w, size_t n) {
    last_event_ = -1;
    speed_done_ = false;
    if (n < 4) return Skip(EDL_SHORT);
    const std::string_view code = w[3];
    const bool cut = code == "C";
    const bool mixed = code == "D" || code[0] == 'W' || code[0] == 'K';
    size_t k = 4;
    if (mixed)
        for (int extra = 0; extra < 2 && k < n && !has_colon(w[k]); extra++)
            k++;
    if (n - k < 4) return Skip(EDL_SHORT);
    if (!video_track(w[2])) return Skip(w[2][0] == 'A' ? EDL_AUDIO : EDL_TRACK);
    if (!cut && !mixed) return Skip(EDL_TRANSITION);
    const std::string_view reel = w[1];
    if (reel == "BL" || reel == "BLK" || reel == "BLACK") return Skip(EDL_BLACK);
    if (reel == "AX") return Skip(EDL_AUX);
    if (bad_reel_name(reel)) return Skip(EDL_REEL_NAME);
    const Label in = read_label(w[k]), out = read_label(w[k + 1]);
    if (!in.valid || !out.valid) return Skip(EDL_TIMECODE);
    const bool drop = drop_mode_ || in.drop_marked || out.drop_marked;
    if (drop && fps != 30) return Skip(EDL_DROP_FRAME);
    if (drop && (!drop_label_exists(in) || !drop_label_exists(out))) return Skip(EDL_TIMECODE);
    const int64_t frames = count_of(out, drop) - count_of(in, drop) + 1;
    if (frames < 1) return Skip(EDL_OUT_BEFORE_IN);
    if (cut && have_number_ && w[0] == number_) return Skip(EDL_REPEAT);

    EdlEntry e;
    e.reel.assign(reel);
    e.in = in.text;
    e.out = out.text;
    e.frames = int(frames);
    e.drop = drop;
    e.line = line_;
    table_->entries.push_back(std::move(e));
    last_event_ = int(table_->entries.size() - 1);
    number_.assign(w[0]);
    have_number_ = true;
    if (mixed) Note(EDL_TRANSITION, last_event_);
    if (drop) Note(EDL_DROP_FRAME, last_event_);

    // The record length, for a motion effect on a following M2 line.
    const Label rin = read_label(w[k + 2]), rout = read_label(w[k + 3]);
    record_length_ = -1;
    if (rin.valid && rout.valid && (!drop || (drop_label_exists(rin) && drop_label_exists(rout))))
        record_length_ = count_of(rout, drop) - count_of(rin, drop);
}

// "M2 reel speed tc": the source range of the entry just made becomes
// the frames a motion effect at that speed plays from tc over the
// event's record length.
void EdlReader::Speed(const std::string_view *w, size_t n) {
    if (last_event_ < 0 || speed_done_ || n < 4 || record_length_ < 0) return Skip(EDL_SPEED);
    EdlEntry &e = table_->entries[size_t(last_event_)];
    double speed;
    if (w[1] != e.reel || !read_speed(w[2], &speed)) return Skip(EDL_SPEED);
    const Label tc = read_label(w[3]);
    if (!tc.valid || (tc.drop_marked && !e.drop) || (e.drop && !drop_label_exists(tc)))
        return Skip(EDL_SPEED);
    const double steps = std::ceil(double(record_length_) * std::fabs(speed) / fps);
    const int64_t start = count_of(tc, e.drop);
    if (!(steps <= double(last_count(e.drop)))) return Skip(EDL_SPEED);
    const auto span = int64_t(steps);
    const int64_t first = speed < 0 ? start - span : start;
    const int64_t last = speed < 0 ? start : start + span;
    if (first < 0 || last > last_count(e.drop)) return Skip(EDL_SPEED);
    e.in = label_of(first, e.drop);
    e.out = label_of(last, e.drop);
    e.frames = int(span + 1);
    speed_done_ = true;
    Note(EDL_SPEED, last_event_);
}

const char *EdlReasonWord(int reason) {
    return reason >= 0 && reason < EDL_REASON_COUNT ? reason_words[reason] : "?";
}

std::vector<std::string> EdlReportLines(const EdlTable &t) {
    std::vector<std::string> lines;
    size_t e = 0, n = 0, s = 0;
    auto line_of = [](size_t i, const auto &v) { return i < v.size() ? v[i].line : -1L; };
    auto first = [](long a, long b) { return a != -1 && (b == -1 || a <= b); };
    for (;;) {
        const long le = line_of(e, t.entries), ln = line_of(n, t.notes), ls = line_of(s, t.skips);
        std::string text;
        if (first(le, ln) && first(le, ls)) {
            const EdlEntry &x = t.entries[e++];
            text = "EVENT " + std::to_string(e) + " " + x.reel + " " + x.in + " " + x.out + " " +
                   std::to_string(x.frames);
        } else if (first(ln, ls)) {
            text = "NOTE " + std::to_string(ln) + " " + EdlReasonWord(t.notes[n++].reason);
        } else if (ls != -1) {
            text = "SKIP " + std::to_string(ls) + " " + EdlReasonWord(t.skips[s++].reason);
        } else {
            break;
        }
        lines.push_back(std::move(text));
    }
    lines.push_back("TOTAL " + std::to_string(t.entries.size()) + " " +
                    std::to_string(t.skips.size()));
    return lines;
}

void EdlReadBytes(const char *data, size_t size, EdlTable *table) {
    EdlReader r(table);
    r.Feed(data, size);
    r.Finish();
}

int EdlReadFd(int fd, EdlTable *table) {
    EdlReader r(table);
    std::vector<char> piece(1 << 16);
    for (;;) {
        const ssize_t got = read(fd, piece.data(), piece.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        r.Feed(piece.data(), size_t(got));
    }
    r.Finish();
    return 0;
}

int EdlReadFile(const char *path, EdlTable *table) {
    *table = EdlTable();
    const int fd = open_regular(path, O_RDONLY);
    if (fd < 0) return -1;
    Fd file(fd);
    return EdlReadFd(file.fd, table);
}
