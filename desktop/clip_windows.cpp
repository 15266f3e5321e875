// Clip windows on physical clips: creating and listing a window over a whole
// clip, releasing it, and opening a reel from the database into a new desktop
// window.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "editing/segments.h"
#include "desktop/clip_open.h"
#include "desktop/clip_window.h"
#include "desktop/display_window.h"
#include "desktop/frame_display.h"
#include "editing/frame_map.h"
#include "desktop/globals.h"
#include "ui/messages.h"
#include "media/fm_main.h"
#include "media/svjr.h"
#include "platform/cl_compress.h"
#include "platform/sem.h"

WindowData *AddWindowData(FisicData *fisic, int import_entry, char *name, int frames) {
    auto *w = new WindowData;
    w->source = SOURCE_LOG;
    w->start = GetStartFrame(fisic);
    if (fisic) {
        w->width = fisic->width;
        w->height = fisic->height;
        w->out = fisic->frames - 1;
        w->total = fisic->frames;
        auto *s = new Segment;
        s->first = 0;
        s->last = fisic->frames - 1;
        s->offset = 0;
        s->period = 1;
        s->fisic = fisic;
        s->next = s->prev = s;
        w->seg_first = w->seg_last = w->seg_current = s;
        LoadFirstFrame(w);
        CreaWidget(w, -1, 0, 0, import_entry, name);
        fisic->refs++;
    } else {
        w->width = VIDEO_SIZEX / 4;
        w->height = QuarterHeight(VIDEO_SIZEY);
        w->out = frames - 1;
        w->total = frames;
        w->image = static_cast<unsigned char *>(calloc(size_t(w->width) * w->height * 4, 1));
        CreaWidget(w, -1, 0, 1, import_entry, name);
    }
    WindowData *previous = last_window;
    if (!first_window) first_window = w;
    if (!first_work) first_work = w;
    if (last_window) last_window->next = w;
    last_window = w;
    return previous;
}

void FreeWindowData(WindowData *win, int free_record) {
    if (!win) return;
    if (win->disp) DispExit(win->disp);
    if (win->frame) XtDestroyWidget(win->frame);
    win->frame = nullptr;
    FreeSegments(win);
    free(win->image);
    free(win->back);
    win->image = win->back = nullptr;
    if (free_record) delete win;
}

void OpenFile(const char *path) {
    if (!path) return;
    FisicData *fisic = nullptr;
    for (FisicData *c = first_fisic; c; c = c->next)
        if (!c->busy && !c->pic && c->path && strcmp(c->path, path) == 0) {
            fisic = c;
            break;
        }
    std::string base_copy = path;
    const char *base = GetName(base_copy.data());
    if (!fisic) {
        int status = 0;
        fisic = CreaFisicData(path, 0, &status);
        if (!fisic || status == 0 || status == 3) {
            std::string msg =
                status == 3 ? "Wrong image size for file:\n" : "Error reading file:\n";
            PutCharMessage(mainform, (msg + base).c_str());
            if (fisic) FreeFisicData(fisic);
            return;
        }
        if (status == 2)
            PutCharMessage(mainform, (std::string("File missing or corrupted:\n") + base).c_str());
        fisic->dir = DbGetDir(1);
        AddFirstFisic(fisic);
    }
    AddWindowData(fisic, 0, strdup(base), 0);
    // Wake the log converter for the new clip.
    SemSet(1, 0);
    SemSet(2, 0);
}
