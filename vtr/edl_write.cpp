// The edit-list writer of the grab list.
#include "vtr/edl_write.h"

#include <cstdio>

#include "platform/replace_file.h"
#include "vtr/grab_list.h"

std::string EdlEventLine(int i, const char *reel) {
    const int event = i + 1;
    char number[16];
    if (event < 10)
        snprintf(number, sizeof number, "00%d", event);
    else if (event < 100)
        snprintf(number, sizeof number, "0%d", event);
    else
        snprintf(number, sizeof number, "%d", event);
    char in[12], out[12];
    vtr_tc2asc(tc_list[i].in, in);
    vtr_tc2asc(tc_list[i].out, out);
    const std::string r = reel ? reel : "";
    char line[256];
    snprintf(line, sizeof line, "%s %s V C %s %s %s %s\n", number, r.substr(0, 160).c_str(), in,
             out, in, out);
    return line;
}

int EdlWriteFile(const char *path, const char *reel, bool board_open, std::string *message) {
    const auto fail = [&](const char *fmt, const char *arg) {
        if (message) {
            char buf[1200];
            snprintf(buf, sizeof buf, fmt, arg);
            *message = buf;
        }
        return 1;
    };
    if (!board_open) return fail("%s", "Unable to find SCSI Video");
    if (!reel || !*reel) return fail("%s", "Cannot read the reel name");
    ReplacingFile file(path);
    if (!file.ok()) return fail("Cannot open %s file", path);
    std::string text = "TITLE:  EDITED WITH ORVA\n";
    for (int i = 0; i <= Items_In_List; ++i)
        text += EdlEventLine(i, reel);
    if (!file.write(text.data(), text.size()) || !file.commit())
        return fail("Cannot write %s file", path);
    return 0;
}
