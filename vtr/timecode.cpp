// Timecode words, their text form and frame arithmetic at the current frame
// rate (`fps` of the video standard). Counts are kept in 64 bits inside so
// that no input overflows, and results are held to the range the BCD word
// can represent (00:00:00:00 to 99:59:59 and the last frame).
#include "vtr/timecode.h"

#include <cstdint>
#include <cstring>

#include "media/video_globals.h"

namespace {

// The time fields of a word, decoded from BCD (a nibble above 9 counts as
// its value, as the board's own conversion does).
struct TcFields {
    int hours, minutes, seconds, frames;
};

int from_bcd(uint32_t byte) {
    return int((byte >> 4) & 0x0F) * 10 + int(byte & 0x0F);
}

uint32_t to_bcd(int v) {
    return uint32_t(((v / 10) << 4) | (v % 10));
}

TcFields decode(Timecode word) {
    return {from_bcd(word & 0xFF), from_bcd((word >> 8) & 0xFF), from_bcd((word >> 16) & 0xFF),
            from_bcd((word >> 24) & 0xFF)};
}

// Each field 0..99.
Timecode encode(int hours, int minutes, int seconds, int frames) {
    return to_bcd(hours) | (to_bcd(minutes) << 8) | (to_bcd(seconds) << 16) |
           (to_bcd(frames) << 24);
}

int64_t word_frames(Timecode word) {
    TcFields f = decode(word);
    return (int64_t(f.hours) * 3600 + f.minutes * 60 + f.seconds) * fps + f.frames;
}

// The last frame count a word can hold: 99:59:59 and fps - 1.
int64_t last_frame() {
    return int64_t(360000) * fps - 1;
}

// Word of a count already inside 0..last_frame(), through a clock of 150
// units per second (whole for 25 and 30 frames per second).
Timecode count_to_word(int64_t n) {
    auto t = int64_t(double(n) * 150.0 / fps);
    int frames = int(((t % 150) * fps) / 150);
    int64_t s = t / 150;
    return encode(int(s / 3600), int((s / 60) % 60), int(s % 60), frames);
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

void vtr_tc2asc(Timecode word, char *text) {
    static const int shifts[4] = {0, 8, 16, 24};
    int p = 0;
    for (int i = 0; i < 4; i++) {
        uint32_t byte = (word >> shifts[i]) & 0xFF;
        text[p++] = char('0' + (byte >> 4));
        text[p++] = char('0' + (byte & 0x0F));
        if (i < 3) text[p++] = ':';
    }
    text[p] = '\0';
}

void vtr_asc2tc(const char *text, Timecode *word) {
    static const int pos[8] = {0, 1, 3, 4, 6, 7, 9, 10};
    const size_t len = text ? strnlen(text, 11) : 0;
    uint32_t w = 0;
    for (int i = 0; i < 8; i++) {
        uint32_t nibble = size_t(pos[i]) < len ? uint32_t(text[pos[i]] - '0') & 0x0F : 0;
        // Digit pair i/2 goes to byte i/2; the first digit is the tens.
        w |= nibble << ((i / 2) * 8 + ((i % 2) ? 0 : 4));
    }
    *word = w;
}

bool is_valid_tc(const char *text) {
    if (!text || strnlen(text, 11) < 11) return false;
    static const int digits[8] = {0, 1, 3, 4, 6, 7, 9, 10};
    for (int p : digits)
        if (!is_digit(text[p])) return false;
    if (text[2] != ':' || text[5] != ':' || (text[8] != ':' && text[8] != '.')) return false;
    if (text[3] >= '6' || text[6] >= '6') return false;
    // The frame number is every digit from position 9 on; stop counting once
    // it is past any frame rate.
    int frames = 0;
    for (const char *c = text + 9; is_digit(*c) && frames < 1000; c++)
        frames = frames * 10 + (*c - '0');
    return frames < fps;
}

int tc2frames(Timecode word) {
    return int(word_frames(word));
}

Timecode frames2tc(int n) {
    if (fps <= 0 || n <= 0) return 0;
    int64_t count = n;
    if (count > last_frame()) count = last_frame();
    return count_to_word(count);
}

int Count_Frames(Timecode in, Timecode out) {
    int64_t a = word_frames(in), b = word_frames(out);
    if (b < a) return -1;
    return int(b - a + 1);
}

Timecode TcAddFrames(Timecode word, int n) {
    if (n == 0 || fps <= 0) return word;
    int64_t count = word_frames(word) + n;
    if (count < 0) count = 0;
    if (count > last_frame()) count = last_frame();
    return count_to_word(count);
}
