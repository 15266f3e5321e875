// Fixture of the clip-window tests: the main window under the test X server
// (the desktop tests' fixture) plus clips and windows built by hand, with log
// part files of solid-colour frames and, where needed, a PAL reel.
#pragma once

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../desktop/desktop_fixture.h"
#include "desktop/clip_model.h"
#include "desktop/clip_window.h"
#include "media/fm_main.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "platform/cl_compress.h"

// Colour of frame f in the test clips (distinct per frame, well apart).
inline void FrameColour(int f, int *r, int *g, int *b) {
    *r = (f * 37) % 200 + 30;
    *g = (f * 71 + 90) % 200 + 30;
    *b = (f * 113 + 40) % 200 + 30;
}

// True when the 0,B,G,R pixel is within 12 of frame f's colour.
inline bool PixelIsFrame(const unsigned char *px, int f) {
    int r, g, b;
    FrameColour(f, &r, &g, &b);
    return std::abs(px[3] - r) <= 12 && std::abs(px[2] - g) <= 12 && std::abs(px[1] - b) <= 12;
}

// The centre pixel of a 180 x 144 window's picture.
inline const unsigned char *PictureCentre(WindowData *w) {
    return w->image + 4 * (72 * 180 + 90);
}

class ClipWinFixture : public DesktopFixture {
  protected:
    std::string dir;
    std::vector<FisicData *> clips;
    std::vector<WindowData *> windows;
    int logs_written = 0;

    void SetUp() override {
        DesktopFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        SetVideoMode(0);
        char tmpl[] = "/tmp/clipwin.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        if (!fm_formats()) fm_initialize(nullptr);
    }
    void TearDown() override {
        for (WindowData *w : windows)
            FreeWindowData(w, 1);
        windows.clear();
        first_window = last_window = first_work = nullptr;
        summa_window = nullptr;
        for (FisicData *c : clips)
            FreeFisicData(c);
        clips.clear();
        if (!dir.empty()) std::system(("rm -rf " + dir).c_str());
        SetVideoMode(0);
        DesktopFixture::TearDown();
    }

    // A clip of `frames` frames at the PAL log size with no log and no reel.
    FisicData *NewClip(int frames) {
        auto *c = new FisicData;
        c->frames = frames;
        c->width = 180;
        c->height = 144;
        clips.push_back(c);
        return c;
    }

    // Writes the clip's log as `parts` ready parts of solid-colour JPEG frames
    // (part k holds frames k, k+parts, ...). The size and offset tables are
    // given in memory only: nothing here reads them from the file.
    void WriteLog(FisicData *c, int parts) {
        c->parts = parts;
        c->part = new LogPart[size_t(parts)];
        const int n = c->frames / parts + 1;
        std::vector<unsigned char> pic(size_t(c->width) * c->height * 4), jpeg(pic.size());
        for (int k = 0; k < parts; k++) {
            LogPart &p = c->part[k];
            p.sizes = static_cast<int *>(calloc(size_t(n), sizeof(int)));
            p.offsets = static_cast<int *>(calloc(size_t(n), sizeof(int)));
            std::vector<unsigned char> data;
            for (int f = k, e = 0; f < c->frames; f += parts, e++) {
                int r, g, b, size = int(jpeg.size());
                FrameColour(f, &r, &g, &b);
                for (size_t i = 0; i < pic.size(); i += 4) {
                    pic[i + 1] = (unsigned char)b;
                    pic[i + 2] = (unsigned char)g;
                    pic[i + 3] = (unsigned char)r;
                }
                ASSERT_EQ(clCompressImage(CL_JPEG, c->width, c->height, CL_RGBX, 10.0f, pic.data(),
                                          &size, jpeg.data()),
                          0);
                p.sizes[e] = size;
                p.offsets[e] = int(data.size());
                data.insert(data.end(), jpeg.begin(), jpeg.begin() + size);
            }
            // Each clip's parts under a name of their own.
            const std::string file =
                dir + "/clip" + std::to_string(logs_written) + "_Clip_" + std::to_string(k + 1);
            FILE *fp = fopen(file.c_str(), "wb");
            ASSERT_NE(fp, nullptr);
            ASSERT_EQ(fwrite(data.data(), 1, data.size(), fp), data.size());
            fclose(fp);
            p.file = strdup(file.c_str());
            p.ready = 1;
        }
        c->complete = 1;
        logs_written++;
    }

    // Writes a PAL reel of solid-colour frames at `path` and opens the clip's
    // eighth-size reader on it.
    void WriteReel(FisicData *c, const std::string &path) {
        fm_fileformat *file = fm_fileformat_allocate("svj");
        ASSERT_NE(file, nullptr);
        fm_fileformat shape{};
        shape.width = VIDEO_SIZEX;
        shape.height = VIDEO_SIZEY;
        shape.frames = c->frames;
        ASSERT_EQ(fm_create(file, path.c_str(), &shape, 90), 0);
        for (int f = 0; f < c->frames; f++) {
            int rgb[3];
            FrameColour(f, &rgb[0], &rgb[1], &rgb[2]);
            for (int i = 0; i < file->size; i++)
                file->buffer[i] = (unsigned char)rgb[i % 3];
            ASSERT_EQ(fm_write(file, f), 0);
        }
        ASSERT_EQ(fm_close(file), 0);
        fm_fileformat_free(file);
        c->path = strdup(path.c_str());
        c->reader = svjr_open(path.c_str(), 8, 1, 0);
        ASSERT_NE(c->reader, nullptr);
    }

    // A window over the whole clip, one forward segment, built and listed as
    // the clip model does: a desktop, master-area (master 1) or summa window.
    WindowData *NewWindow(FisicData *c, int master = 0, int summa = 0, const char *name = "clip") {
        auto *w = new WindowData;
        w->width = c->width;
        w->height = c->height;
        w->total = c->frames;
        w->out = c->frames - 1;
        w->master = master;
        auto *s = new Segment;
        s->first = 0;
        s->last = c->frames - 1;
        s->fisic = c;
        s->next = s->prev = s;
        w->seg_first = w->seg_last = w->seg_current = s;
        w->image = static_cast<unsigned char *>(calloc(size_t(w->width) * w->height * 4, 1));
        c->refs++;
        CreaWidget(w, -1, summa, 0, -1, strdup(name));
        windows.push_back(w);
        if (summa) {
            summa_window = w;
        } else if (master) { // master-area windows stand before first_work
            WindowData **link = &first_window;
            while (*link && *link != first_work)
                link = &(*link)->next;
            w->next = *link;
            *link = w;
            if (!w->next) last_window = w;
        } else {
            if (!first_window) first_window = w;
            if (!first_work) first_work = w;
            if (last_window && last_window != w) last_window->next = w;
            last_window = w;
        }
        Pump();
        return w;
    }

    // x, y, width, height of a widget relative to its parent.
    static std::array<int, 4> Geometry(Widget w) {
        Position x = 0, y = 0;
        Dimension wd = 0, ht = 0;
        XtVaGetValues(w, XmNx, &x, XmNy, &y, XmNwidth, &wd, XmNheight, &ht, NULL);
        return {x, y, wd, ht};
    }

    // The texts of the visible message boxes ("error").
    static std::vector<std::string> Messages() {
        std::vector<std::string> texts;
        for (Widget box : Named(app_shell, "error"))
            texts.push_back(MessageOf(box));
        return texts;
    }
    static void CloseMessages() {
        for (Widget box : Named(app_shell, "error"))
            XtDestroyWidget(XtParent(box));
        Pump();
    }
};
