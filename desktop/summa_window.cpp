// The summa window: one derived window joining every master-area window
// whole, shown in the summa place beside the master area. It is rebuilt
// after every change of the master area and gives the timeline its range.
#include <cstring>

#include "desktop/clip_model.h"
#include "desktop/clip_operations.h"
#include "desktop/clip_window.h"
#include "desktop/globals.h"
#include "desktop/zoom_view.h"
#include "editing/derived_window.h"
#include "editing/segments.h"
#include "ui/messages.h"
#include "vtr/timeline.h"

namespace {

void free_summa() {
    if (!summa_window) return;
    if (ZoomWindow() == summa_window) ZoomClose();
    FreeWindowData(summa_window, 1);
    summa_window = nullptr;
}

// The last master-area window, null when the master area is empty.
WindowData *last_master() {
    WindowData *last = nullptr;
    for (WindowData *w = first_window; w && w != first_work; w = w->next)
        last = w;
    return last;
}

void timeline_ends() {
    TmSetWindows(summa_window ? first_window : nullptr, 0);
    TmSetWindows(summa_window ? last_master() : nullptr, 1);
    TmUpdate(1);
}

} // namespace

void UpdateSummaWindow() {
    if (!first_window || first_window == first_work) {
        free_summa();
        timeline_ends();
        return;
    }
    WindowData *summa = summa_window;
    if (summa) {
        // Reused: widgets, segments and picture go, the record stays; a zoom
        // view of the old contents closes with them.
        if (ZoomWindow() == summa) ZoomClose();
        FreeWindowData(summa, 0);
        *summa = WindowData{};
    } else {
        summa = new WindowData;
    }
    summa_window = summa;
    std::string name;
    const int r = BuildDerivedWindow(summa, nullptr, 1, 1, 0, &name, DERIVE_COPY, 1, WindowTitle);
    if (r == DERIVE_NOTHING || r == DERIVE_TOO_LONG) {
        FreeSegments(summa);
        free_summa();
        if (r == DERIVE_TOO_LONG) PutCharMessage(mainform, "Clip too long");
        timeline_ends();
        return;
    }
    if (r == DERIVE_SKIPPED) PutCharMessage(mainform, "Skipped clips with different size");
    summa->master = 1;
    summa->start = master_tc;
    LoadFirstFrame(summa);
    CreaWidget(summa, -1, 1, 0, -1, strdup(name.c_str()));
    if (r == DERIVE_PRODUCING) SetFrameColor(summa, long(BUSY_YEL));
    timeline_ends();
}
