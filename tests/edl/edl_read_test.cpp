// Reading edit lists: lists this program writes, CMX-style lists from other
// editors with every reason a line is skipped or noted, line ends, long
// lines, drop frame and motion effects, and the edltool command.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "media/video_globals.h"
#include "tests/media/reel_fixtures.h"
#include "vtr/edl_read.h"

namespace {

// The report of reading text at a frame rate, its lines joined with "|".
std::string Read(const std::string &text, int rate = 25) {
    fps = rate;
    EdlTable t;
    EdlReadBytes(text.data(), text.size(), &t);
    std::string out;
    for (const std::string &line : EdlReportLines(t))
        out += (out.empty() ? "" : "|") + line;
    fps = 25;
    return out;
}

// An event line with the same source and record times.
std::string Cut(const char *number, const char *reel, const char *in, const char *out) {
    return std::string(number) + "  " + reel + "  V  C  " + in + " " + out + " " + in + " " + out +
           "\n";
}

const std::string title = "TITLE: OTHER EDITOR\n";

TEST(EdlRead, ListsThisProgramWrites) {
    // As the grab list is saved: three-digit numbers, "V C", In and Out twice.
    std::string list = "TITLE:  EDITED WITH ORVA\n", want;
    for (int i = 1; i <= 12; i++) {
        char number[8], in[12], out[12], line[128];
        snprintf(number, sizeof number, i < 10 ? "00%d" : "0%d", i);
        snprintf(in, sizeof in, "01:%02d:00:00", i);
        snprintf(out, sizeof out, "01:%02d:01:%02d", i, i);
        snprintf(line, sizeof line, "%s %s V C %s %s %s %s\n", number, "tape1", in, out, in, out);
        list += line;
        want += "EVENT " + std::to_string(i) + " tape1 " + in + " " + out + " " +
                std::to_string(26 + i) + "|";
    }
    EXPECT_EQ(Read(list), want + "TOTAL 12 0");
    EXPECT_EQ(Read("TITLE:  EDITED WITH ORVA\n"), "TOTAL 0 0");
    EXPECT_EQ(Read(""), "TOTAL 0 0");
}

// Each case: lines after the title, frame rate, the report.
struct Case {
    std::string lines;
    int rate;
    const char *report;
};

TEST(EdlRead, EveryReason) {
    const std::string ok = " 01:00:00:00 01:00:01:00 01:00:00:00 01:00:01:00\n";
    const Case cases[] = {
        {"001 R V C 01:00:00:00 01:00:01:00 01:00:00:00\n", 25, "SKIP 2 short|TOTAL 0 1"},
        {"001 R V D 030 01:00:00:00 01:00:01:00 01:00:00:00\n", 25, "SKIP 2 short|TOTAL 0 1"},
        {"001 R V\n", 25, "SKIP 2 short|TOTAL 0 1"},
        {"1\n", 25, "SKIP 2 short|TOTAL 0 1"},
        {"001 R A C" + ok + "002 R AA C" + ok + "003 R A2 C" + ok, 25,
         "SKIP 2 audio|SKIP 3 audio|SKIP 4 audio|TOTAL 0 3"},
        {"001 R V2 C" + ok + "002 R NONE C" + ok, 25, "SKIP 2 track|SKIP 3 track|TOTAL 0 2"},
        {"001 R V X" + ok + "002 R V CUT" + ok, 25,
         "SKIP 2 transition|SKIP 3 transition|TOTAL 0 2"},
        {"001 BL V C" + ok + "002 BLK V C" + ok + "003 BLACK V C" + ok + "004 AX V C" + ok, 25,
         "SKIP 2 black|SKIP 3 black|SKIP 4 black|SKIP 5 aux|TOTAL 0 4"},
        {"001 " + std::string(33, 'r') + " V C" + ok + "002 .r V C" + ok + "003 a/b V C" + ok +
             "004 a\x01z V C" + ok,
         25, "SKIP 2 reel-name|SKIP 3 reel-name|SKIP 4 reel-name|SKIP 5 reel-name|TOTAL 0 4"},
        {Cut("001", "R", "01:00:60:00", "01:00:61:00") + Cut("002", "R", "1:00:00:00", "1:0:0:1") +
             Cut("003", "R", "01:00:00:25", "01:00:01:00") +
             Cut("004", "R", "01:00:00:000", "01:00:01:00"),
         25, "SKIP 2 timecode|SKIP 3 timecode|SKIP 4 timecode|SKIP 5 timecode|TOTAL 0 4"},
        {Cut("001", "R", "01:00:00;00", "01:00:01;00"), 25, "SKIP 2 drop-frame|TOTAL 0 1"},
        {"FCM: DROP FRAME\n" + Cut("001", "R", "01:00:00:00", "01:00:01:00"), 25,
         "SKIP 3 drop-frame|TOTAL 0 1"},
        {Cut("001", "R", "01:00:01:00", "01:00:00:24"), 25, "SKIP 2 out-before-in|TOTAL 0 1"},
        {Cut("001", "R", "01:00:00:00", "01:00:00:00") +
             Cut("001", "S", "02:00:00:00", "02:00:00:09"),
         25, "EVENT 1 R 01:00:00:00 01:00:00:00 1|SKIP 3 repeat|TOTAL 1 1"},
        // A repeat is judged against the last entry, not the last line.
        {Cut("001", "R", "01:00:00:00", "01:00:00:00") + "001 R A C" + ok +
             Cut("002", "R", "01:00:00:00", "01:00:00:01"),
         25,
         "EVENT 1 R 01:00:00:00 01:00:00:00 1|SKIP 3 audio|EVENT 2 R 01:00:00:00 01:00:00:01 2|"
         "TOTAL 2 1"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Read(title + c.lines, c.rate), c.report) << c.lines;
}

TEST(EdlRead, TransitionsTracksAndIgnoredLines) {
    const Case cases[] = {
        // A dissolve: the outgoing cut, then the incoming source with its
        // duration; the dissolve itself is not rebuilt.
        {"001  R1  V  C        01:00:05:00 01:00:05:00 01:00:10:00 01:00:10:00\n"
         "001  R2  V  D  030   02:00:00:00 02:00:05:00 01:00:10:00 01:00:15:00\n",
         25,
         "EVENT 1 R1 01:00:05:00 01:00:05:00 1|EVENT 2 R2 02:00:00:00 02:00:05:00 126|"
         "NOTE 3 transition|TOTAL 2 0"},
        {"002 R V W001 020 01:00:00:00 01:00:00:09 01:00:00:00 01:00:00:09\n"
         "003 R B K B 010 01:00:00:00 01:00:00:09 01:00:00:00 01:00:00:09\n"
         "004 R AA/V K 01:00:00:00 01:00:00:09 01:00:00:00 01:00:00:09 more words\n",
         25,
         "EVENT 1 R 01:00:00:00 01:00:00:09 10|NOTE 2 transition|"
         "EVENT 2 R 01:00:00:00 01:00:00:09 10|NOTE 3 transition|"
         "EVENT 3 R 01:00:00:00 01:00:00:09 10|NOTE 4 transition|TOTAL 3 0"},
        // Titles, comments, effect names and other lines are no events.
        {"* FROM CLIP NAME: 001 R V C 01:00:00:00 01:00:00:01 01:00:00:00 01:00:00:01\n"
         "EFFECTS NAME IS CROSS DISSOLVE\nTITLE: 001\n\n \t\nSPLIT: AUDIO\n"
         "\t001\tR\tV\tC\t01:00:00:00\t01:00:00:01\t01:00:00:00\t01:00:00:01\n"
         "001\tR\tV\tC\t01:00:00:00\t01:00:00:01\t01:00:00:00\t01:00:00:01\n",
         25, "EVENT 1 R 01:00:00:00 01:00:00:01 2|TOTAL 1 0"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Read(title + c.lines, c.rate), c.report) << c.lines;
}

TEST(EdlRead, DropFrameAtThirty) {
    const Case cases[] = {
        // Labels are kept; the count skips 00:01:00;00 and ;01.
        {Cut("001", "R", "00:00:59;28", "00:01:00;02"), 30,
         "EVENT 1 R 00:00:59:28 00:01:00:02 3|NOTE 2 drop-frame|TOTAL 1 0"},
        // Every tenth minute keeps its first two labels.
        {Cut("001", "R", "00:09:59;29", "00:10:00;00"), 30,
         "EVENT 1 R 00:09:59:29 00:10:00:00 2|NOTE 2 drop-frame|TOTAL 1 0"},
        {Cut("001", "R", "01:00:00,00", "01:10:00,00"), 30,
         "EVENT 1 R 01:00:00:00 01:10:00:00 17983|NOTE 2 drop-frame|TOTAL 1 0"},
        {Cut("001", "R", "00:01:00;00", "00:01:00;05") +
             Cut("002", "R", "00:00:00;00", "00:02:00;01"),
         30, "SKIP 2 timecode|SKIP 3 timecode|TOTAL 0 2"},
        // FCM sets the mode of the events after it, colons or not.
        {"FCM: DROP FRAME\n" + Cut("001", "R", "00:00:59:29", "00:01:00:02") +
             "FCM: NON-DROP FRAME\n" + Cut("002", "R", "00:00:59:29", "00:01:00:02"),
         30,
         "EVENT 1 R 00:00:59:29 00:01:00:02 2|NOTE 3 drop-frame|"
         "EVENT 2 R 00:00:59:29 00:01:00:02 4|TOTAL 2 0"},
        {Cut("001", "R", "00:00:59:29", "00:01:00:29"), 30,
         "EVENT 1 R 00:00:59:29 00:01:00:29 31|TOTAL 1 0"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Read(title + c.lines, c.rate), c.report) << c.lines;
}

TEST(EdlRead, MotionEffects) {
    // Record length 50 frames at 25 fps.
    const std::string event = "001 R V C 01:00:00:00 01:00:01:00 01:00:00:00 01:00:02:00\n";
    const Case cases[] = {
        {event + "M2   R       050.0    01:00:10:00\n", 25,
         "EVENT 1 R 01:00:10:00 01:00:14:00 101|NOTE 3 speed|TOTAL 1 0"},
        {event + "* comment\nM2 R -025.0 01:00:10:00\n", 25,
         "EVENT 1 R 01:00:08:00 01:00:10:00 51|NOTE 4 speed|TOTAL 1 0"},
        // ceil(50 * 12.5 / 25) = 25; a freeze frame keeps one.
        {event + "M2 R +12.5 01:00:10:00\n", 25,
         "EVENT 1 R 01:00:10:00 01:00:11:00 26|NOTE 3 speed|TOTAL 1 0"},
        {event + "M2 R 000.0 01:00:10:00\n", 25,
         "EVENT 1 R 01:00:10:00 01:00:10:00 1|NOTE 3 speed|TOTAL 1 0"},
        {event + "M2 S 050.0 01:00:10:00\n", 25,
         "EVENT 1 R 01:00:00:00 01:00:01:00 26|SKIP 3 speed|TOTAL 1 1"},
        {"M2 R 050.0 01:00:10:00\n" + event + "M2 R 050.0 01:00:10:00\nM2 R 050.0 01:00:10:00\n",
         25,
         "SKIP 2 speed|EVENT 1 R 01:00:10:00 01:00:14:00 101|NOTE 4 speed|SKIP 5 speed|TOTAL 1 2"},
        {event + "M2 R fast 01:00:10:00\n" + event.substr(0, 2) + "2" + event.substr(3) +
             "M2 R 050.0 01:00:10\n",
         25,
         "EVENT 1 R 01:00:00:00 01:00:01:00 26|SKIP 3 speed|EVENT 2 R 01:00:00:00 01:00:01:00 26|"
         "SKIP 5 speed|TOTAL 2 2"},
        // Past the first or the last time a label can hold.
        {event + "M2 R -050.0 00:00:01:00\n", 25,
         "EVENT 1 R 01:00:00:00 01:00:01:00 26|SKIP 3 speed|TOTAL 1 1"},
        {event + "M2 R 99999999999999999999.0 01:00:10:00\n", 25,
         "EVENT 1 R 01:00:00:00 01:00:01:00 26|SKIP 3 speed|TOTAL 1 1"},
        // In drop frame the range is counted and labelled in drop frame.
        {"FCM: DROP FRAME\n001 R V C 00:00:00:00 00:00:01:00 00:00:00:00 00:00:02:00\n"
         "M2 R 030.0 00:00:59;28\n",
         30, "EVENT 1 R 00:00:59:28 00:01:02:00 61|NOTE 3 drop-frame|NOTE 4 speed|TOTAL 1 0"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Read(title + c.lines, c.rate), c.report) << c.lines;
}

TEST(EdlRead, LineEndsAndLongLines) {
    const std::string list = "TITLE: T\n" + Cut("001", "R", "01:00:00:00", "01:00:00:01") +
                             "* note\n002 R A C\n" + Cut("003", "S", "01:00:00:00", "01:00:00:02");
    const std::string want = "EVENT 1 R 01:00:00:00 01:00:00:01 2|SKIP 4 short|"
                             "EVENT 2 S 01:00:00:00 01:00:00:02 3|TOTAL 2 1";
    for (const char *end : {"\r\n", "\r"}) {
        std::string other;
        for (char c : list)
            other += c == '\n' ? std::string(end) : std::string(1, c);
        EXPECT_EQ(Read(other), want) << end;
        other.pop_back(); // no line end at the end
        EXPECT_EQ(Read(other), want) << end;
    }
    // Given a byte at a time, a CR LF split between pieces is one line end.
    std::string crlf = "TITLE\r\n\r\n" + Cut("001", "R", "01:00:00:00", "01:00:00:01");
    EdlTable t;
    EdlReader reader(&t);
    for (char c : crlf)
        reader.Feed(&c, 1);
    reader.Finish();
    ASSERT_EQ(t.entries.size(), 1u);
    EXPECT_EQ(t.entries[0].line, 3);

    // A 200-character event line gives its entry; the rest is ignored.
    std::string line200 = Cut("001", "R", "01:00:00:00", "01:00:00:01");
    line200.back() = ' ';
    line200 += std::string(200 - line200.size(), 'x') + "\n";
    ASSERT_EQ(line200.size(), 201u);
    EXPECT_EQ(Read(title + line200), "EVENT 1 R 01:00:00:00 01:00:00:01 2|TOTAL 1 0");
    // What follows the 99th character of a line stays part of it: no events
    // out of a comment, none after an event's eighth word.
    const std::string event2 = Cut("002", "S", "02:00:00:00", "02:00:00:01");
    std::string comment = "* " + std::string(97, '-');
    std::string event = Cut("001", "R", "01:00:00:00", "01:00:00:01");
    event.pop_back();
    event += std::string(99 - event.size(), ' ');
    ASSERT_EQ(comment.size(), 99u);
    EXPECT_EQ(Read(title + comment + event2), "TOTAL 0 0");
    EXPECT_EQ(Read(title + event + event2), "EVENT 1 R 01:00:00:00 01:00:00:01 2|TOTAL 1 0");
    // Any bytes: a NUL or a high byte in a word is just a byte.
    EXPECT_EQ(Read(title + std::string("001 R\xE9 V C 01:00:00:00 01:00:00:01 a b\n") +
                   "002 R V C 01:00:00:00 01:00:00:0" + '\0' + " a b\n"),
              "EVENT 1 R\xE9 01:00:00:00 01:00:00:01 2|SKIP 3 timecode|TOTAL 1 1");
}

TEST(EdlRead, FilesAndTheTool) {
    reel_test::temp_dir dir;
    const std::string list = dir.path("list.edl"),
                      tool = std::string(ORVA_BIN_DIR) + "/tools/edltool";
    std::ofstream(list) << "TITLE: T\r\nFCM: DROP FRAME\r\n"
                        << Cut("001", "R", "00:00:59;20", "00:01:00;02") << "002 R A C\r\n";
    EdlTable t;
    EXPECT_EQ(EdlReadFile(list.c_str(), &t), 0);
    EXPECT_EQ(t.entries.size(), 0u); // drop frame at 25
    EXPECT_EQ(EdlReadFile(dir.dir().c_str(), &t), -1);
    EXPECT_EQ(EdlReadFile(dir.path("none").c_str(), &t), -1);

    struct Run {
        std::string args;
        int status;
        const char *out;
    };
    const Run runs[] = {
        {"read " + list + " --fps 30", 0,
         "EVENT 1 R 00:00:59:20 00:01:00:02 11\nNOTE 3 drop-frame\nSKIP 4 short\nTOTAL 1 1\n"},
        {"read --fps 25 " + list, 0, "SKIP 3 drop-frame\nSKIP 4 short\nTOTAL 0 2\n"},
        {"read " + dir.path("none"), 1, ""},
        {"read " + dir.dir(), 1, ""},
        {"read", 2, ""},
        {"read " + list + " --fps 24", 2, ""},
        {"read " + list + " " + list, 2, ""},
        {"write x", 2, ""},
        {"", 2, ""},
    };
    for (const Run &r : runs) {
        const reel_test::run_result got = reel_test::run_command(tool + " " + r.args);
        EXPECT_EQ(got.status, r.status) << r.args;
        EXPECT_EQ(got.out, r.out) << r.args;
        if (r.status == 1) {
            EXPECT_EQ(std::count(got.err.begin(), got.err.end(), '\n'), 1) << r.args;
        }
    }
    const reel_test::run_result help = reel_test::run_command(tool + " -h");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: edltool read LIST [--fps 25|30]"), std::string::npos);
}

} // namespace
