// Grouping and ranges of an edit list being collected.
#include "vtr/edl_collect.h"

#include <algorithm>

#include "vtr/timecode.h"

TcEntry EdlRange(const EdlEntry &entry) {
    TcEntry e;
    vtr_asc2tc(entry.in.c_str(), &e.in);
    e.out = TcAddFrames(e.in, entry.frames > 0 ? entry.frames - 1 : 0);
    return e;
}

std::vector<EdlReelGroup> EdlGroupByReel(const EdlTable &table, std::vector<int> chosen) {
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    std::vector<EdlReelGroup> groups;
    for (int i : chosen) {
        if (i < 0 || size_t(i) >= table.entries.size()) continue;
        const std::string &reel = table.entries[size_t(i)].reel;
        auto g = std::find_if(groups.begin(), groups.end(),
                              [&](const EdlReelGroup &x) { return x.reel == reel; });
        if (g == groups.end()) {
            groups.push_back({reel, {}});
            g = groups.end() - 1;
        }
        g->events.push_back(i);
    }
    return groups;
}
