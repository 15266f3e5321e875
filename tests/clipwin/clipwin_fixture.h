// Fixture of the clip-window tests: the main window under the test X server
// (the desktop tests' fixture) plus clips and windows built by hand, with
// log part files of solid-colour frames and, where needed, a reel written
// through the format manager.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include "platform/byteorder.h"
#include "platform/cl_compress.h"

// Colour of frame f in the test clips (distinct per frame, well apart).
inline void FrameColour(int f, int *r, int *g, int *b) {
    *r = (f * 37) % 200 + 30;
    *g = (f * 71 + 90) % 200 + 30;
    *b = (f * 113 + 40) % 200 + 30;
}

// A display picture (0,B,G,R) of w x h in frame f's colour.
inline std::vector<unsigned char> SolidPicture(int w, int h, int f) {
    int r, g, b;
    FrameColour(f, &r, &g, &b);
    std::vector<unsigned char> p(size_t(w) * h * 4);
    for (size_t i = 0; i < p.size(); i += 4) {
        p[i] = 0;
        p[i + 1] = (unsigned char)b;
        p[i + 2] = (unsigned char)g;
        p[i + 3] = (unsigned char)r;
    }
    return p;
}

// True when the 0,B,G,R pixel is within tol of frame f's colour.
inline bool PixelIsFrame(const unsigned char *px, int f, int tol = 12) {
    int r, g, b;
    FrameColour(f, &r, &g, &b);
    return std::abs(px[3] - r) <= tol && std::abs(px[2] - g) <= tol && std::abs(px[1] - b) <= tol;
}

class ClipWinFixture : public DesktopFixture {
  protected:
    std::string dir;
    std::vector<FisicData *> clips;
    std::vector<WindowData *> windows;

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

    // Writes the clip's log as `parts` part files of solid-colour frames
    // (part k holds frames k-1, k-1+P, ...; tables of frames/P + 1 entries)
    // and loads the part records as ready.
    void WriteLog(FisicData *c, int parts) {
        c->parts = parts;
        c->part = new LogPart[size_t(parts)];
        const int n = c->frames / parts + 1;
        for (int k = 0; k < parts; k++) {
            std::vector<unsigned char> data;
            std::vector<int> sizes(size_t(n), 0), offsets(size_t(n), 0);
            int entry = 0;
            for (int f = k; f < c->frames; f += parts, entry++) {
                auto pic = SolidPicture(c->width, c->height, f);
                std::vector<unsigned char> jpeg(pic.size());
                int size = int(jpeg.size());
                ASSERT_EQ(clCompressImage(CL_JPEG, c->width, c->height, CL_RGBX, 10.0f, pic.data(),
                                          &size, jpeg.data()),
                          0);
                sizes[size_t(entry)] = size;
                offsets[size_t(entry)] = int(data.size());
                data.insert(data.end(), jpeg.begin(), jpeg.begin() + size);
                while (data.size() % 4)
                    data.push_back(0);
            }
            unsigned char word[4];
            for (int v : sizes) {
                put_be32(word, uint32_t(v));
                data.insert(data.end(), word, word + 4);
            }
            for (int v : offsets) {
                put_be32(word, uint32_t(v));
                data.insert(data.end(), word, word + 4);
            }
            put_be32(word, uint32_t(n));
            data.insert(data.end(), word, word + 4);
            std::string file = dir + "/clip_Clip_" + std::to_string(k + 1);
            FILE *fp = fopen(file.c_str(), "wb");
            ASSERT_NE(fp, nullptr);
            ASSERT_EQ(fwrite(data.data(), 1, data.size(), fp), data.size());
            fclose(fp);
            LogPart &p = c->part[k];
            p.file = strdup(file.c_str());
            p.sizes = static_cast<int *>(calloc(size_t(n), sizeof(int)));
            p.offsets = static_cast<int *>(calloc(size_t(n), sizeof(int)));
            std::memcpy(p.sizes, sizes.data(), sizes.size() * sizeof(int));
            std::memcpy(p.offsets, offsets.data(), offsets.size() * sizeof(int));
            p.ready = 1;
        }
        c->complete = 1;
    }

    // Writes a PAL reel of solid-colour frames at `path` and opens the clip's
    // eighth-size reader on it.
    void WriteReel(FisicData *c, const std::string &path) {
        fm_fileformat *file = fm_fileformat_allocate("svj");
        ASSERT_NE(file, nullptr);
        fm_fileformat spec{};
        spec.width = VIDEO_SIZEX;
        spec.height = VIDEO_SIZEY;
        spec.frames = c->frames;
        ASSERT_EQ(fm_create(file, path.c_str(), &spec, 90), 0);
        for (int f = 0; f < c->frames; f++) {
            int r, g, b;
            FrameColour(f, &r, &g, &b);
            for (int i = 0; i + 2 < file->size; i += 3) {
                file->buffer[i] = (unsigned char)r;
                file->buffer[i + 1] = (unsigned char)g;
                file->buffer[i + 2] = (unsigned char)b;
            }
            ASSERT_EQ(fm_write(file, f), 0);
        }
        ASSERT_EQ(fm_close(file), 0);
        fm_fileformat_free(file);
        c->path = strdup(path.c_str());
        c->reader = svjr_open(path.c_str(), 8, 1, 0);
        ASSERT_NE(c->reader, nullptr);
    }

    // A window over the whole clip, one forward segment, built as a desktop
    // (summa 0, placeholder 0), master-area or summa window.
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
        Append(w, summa);
        Pump();
        return w;
    }

    // An import placeholder of `frames` frames.
    WindowData *NewPlaceholder(int frames) {
        auto *w = new WindowData;
        w->width = 180;
        w->height = 144;
        w->total = frames;
        w->out = frames - 1;
        w->image = static_cast<unsigned char *>(calloc(size_t(w->width) * w->height * 4, 1));
        CreaWidget(w, -1, 0, 1, -1, strdup("import"));
        Append(w, 0);
        Pump();
        return w;
    }

    // Lists a window (desktop windows after the master-area ones) after its
    // widgets are made, as the clip model does.
    void Append(WindowData *w, int summa) {
        windows.push_back(w);
        if (summa) {
            summa_window = w;
            return;
        }
        if (w->master) {
            // Master-area windows stand before first_work.
            WindowData **link = &first_window;
            while (*link && *link != first_work)
                link = &(*link)->next;
            w->next = *link;
            *link = w;
            if (!w->next) last_window = w;
            return;
        }
        if (!first_window) first_window = w;
        if (!first_work) first_work = w;
        if (last_window && last_window != w) last_window->next = w;
        last_window = w;
    }

    // Geometry of a widget relative to its parent.
    static void Geometry(Widget w, int *x, int *y, int *width, int *height) {
        Position px = 0, py = 0;
        Dimension pw = 0, ph = 0;
        XtVaGetValues(w, XmNx, &px, XmNy, &py, XmNwidth, &pw, XmNheight, &ph, NULL);
        *x = px;
        *y = py;
        *width = pw;
        *height = ph;
    }

    // The visible message boxes ("error") and their texts.
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
