// Display-free rules of the VTR panel (see vtr_panel_rules.h).
#include "vtr/vtr_panel_rules.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "media/video_globals.h"

void ParseTimecodeText(const char *text, char *out) {
    char tc[12] = "00:00:00:00";
    if (!text) text = "";
    // Digit positions of the text form, from the last backwards.
    static const int slots[8] = {10, 9, 7, 6, 4, 3, 1, 0};
    int n = 0;
    for (size_t i = strlen(text); i > 0 && n < 8; --i)
        if (text[i - 1] >= '0' && text[i - 1] <= '9') tc[slots[n++]] = text[i - 1];
    const auto pair = [&](int at) { return (tc[at] - '0') * 10 + (tc[at + 1] - '0'); };
    int h = pair(0), m = pair(3), s = pair(6), f = pair(9);
    if (h > 99) h = 99;
    if (m > 59) m = 59;
    if (s > 59) s = 59;
    if (f > fps - 1) f = fps - 1;
    char buf[32];
    snprintf(buf, sizeof buf, "%02d:%02d:%02d:%02d", h, m, s, f);
    memcpy(out, buf, 12);
}

bool StepQualityText(const char *label, int delta, char *out, int size) {
    const int value = (label && strcmp(label, "D1") == 0) ? 101 : (label ? atoi(label) : 0);
    if ((delta > 0 && value >= 101) || (delta < 0 && value <= 1)) return false;
    int v = value + delta;
    if (v < 1) v = 1;
    if (v > 101) v = 101;
    if (v == 101)
        snprintf(out, size_t(size), "D1");
    else
        snprintf(out, size_t(size), "%d", v);
    return true;
}

int JogSpeed(int v) {
    const int a = std::abs(v);
    if (a < 11) return 0;
    const int speed = int(std::floor(std::pow(2.0, (a + 12) / 2.0)));
    return v < 0 ? -speed : speed;
}
