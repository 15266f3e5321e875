// Drop targets, drops with the desktop kept arranged or not, moves between
// the two areas, and "Rearrange".
#include "desktop_areas_fixture.h"
#include <Xm/Text.h>

#include "desktop/commands.h"

class DesktopCells : public AreasFixture {
  protected:
    // Desktop drops onto windows a b c d made in cells 0 to 3, one after
    // another: what each returns and the arrangement after it.
    struct Drop {
        int win, slot, moved;
        const char *order;
    };
    void Drops(const std::vector<Drop> &drops) {
        FisicData *c = NewClip(5);
        for (int i = 0; i < 4; i++)
            NewWindow(c);
        for (const Drop &d : drops) {
            EXPECT_EQ(DropWindow(windows[size_t(d.win)], 0, d.slot), d.moved) << d.order;
            EXPECT_EQ(Order(), d.order);
        }
    }
};

TEST_F(DesktopCells, DropTargetFollowsThePointer) {
    FisicData *c = NewClip(5);
    WindowData *m = NewWindow(c, 1);
    WindowData *d0 = NewWindow(c);
    for (int i = 0; i < 5; i++)
        NewWindow(c);
    WindowData *d5 = List().back();
    ASSERT_EQ(d5->slot, 5);
    const AreaScroll none;
    struct Case {
        WindowData *win;
        int px, py;
        AreaScroll scroll;
        int area, slot;
    } cases[] = {
        {d0, 90, 70, none, 0, 0},             // inside its own picture
        {d0, 90 + 206, 70 + 214, none, 0, 7}, // one cell right and down
        {d0, -300, 70, none, 0, 0},           // left of the first column
        {d5, 90 + 206, 70, none, 0, 5},       // right of the last column stays in it
        {d5, 90 + 3 * 206, 70 + 214, none, 0, 11},
        {d0, 90, -30, none, 1, 0}, // above the desktop: master area
        {d5, 90, -30, none, 1, 5},
        {d0, 90, 70 + 428, AreaScroll{0, 300, 0, 0}, 0, 12}, // desktop scrolled down
        {d0, 90, 70, AreaScroll{0, 300, 0, 0}, 1, 0},        // above its visible top
        {m, 90, 70, none, 1, 0},
        {m, 90, 200, none, 1, 0},      // not yet below the master cells
        {m, 90, 214 + 80, none, 0, 0}, // onto the desktop
        {m, 90 + 206, 300 + 214, none, 0, 7},
        {m, 90, 300, AreaScroll{0, 214, 0, 0}, 0, 6},
    };
    for (const Case &k : cases) {
        int area = -1, slot = -1;
        DropTarget(k.win, k.px, k.py, k.scroll, &area, &slot);
        EXPECT_EQ((std::array<int, 2>{area, slot}), (std::array<int, 2>{k.area, k.slot}))
            << "case " << &k - cases;
    }
}

TEST_F(DesktopCells, DropsWithGapsKept) {
    Drops({
        {0, 2, 0, "| a0 b1 c2 d3"}, // an occupied cell: nothing
        {0, 0, 0, "| a0 b1 c2 d3"}, // its own cell
        {0, 5, 1, "| b1 c2 d3 a5"}, // an empty cell past the others
        {0, 0, 1, "| a0 b1 c2 d3"}, // into the gap before first_work
        {1, 9, 1, "| a0 c2 d3 b9"},
        {2, 7, 1, "| a0 d3 c7 b9"}, // before b, which stands further on
    });
    // "Rearrange" asks first, then closes the gaps once; the mode itself
    // stays off.
    InDispatch([] { RearrangeNow(nullptr, nullptr, nullptr); });
    std::vector<Widget> boxes = Named(app_shell, "warning");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(MessageOf(boxes[0]), "Are you sure?");
    ::Press(ByLabel(XtParent(boxes[0]), "  Yes  "));
    EXPECT_TRUE(Named(app_shell, "warning").empty());
    EXPECT_EQ(Order(), "| a0 d1 c2 b3");
    EXPECT_EQ(defaults[DEF_REARRANGE], 0);
}

TEST_F(DesktopCells, DropsWhenKeptArranged) {
    defaults[DEF_REARRANGE] = 1;
    Drops({
        {0, 1, 0, "| a0 b1 c2 d3"},  // before its own successor: no change
        {0, 3, 1, "| b0 c1 a2 d3"},  // before d
        {1, 10, 1, "| c0 a1 d2 b3"}, // past the end: last
        {3, 0, 1, "| d0 c1 a2 b3"},  // onto first_work: d becomes it
    });
    // "Rearrange" has nothing to do when the desktop is kept arranged.
    RearrangeNow(nullptr, nullptr, nullptr);
    Pump();
    EXPECT_TRUE(Named(app_shell, "warning").empty());
}

TEST_F(DesktopCells, MovesBetweenAreas) {
    FisicData *clip = NewClip(5);
    NewWindow(clip, 1);
    WindowData *b = NewWindow(clip, 0, 0, "first memo"), *c = NewWindow(clip);
    auto foreground = [](WindowData *w) {
        Pixel fg = 0;
        XtVaGetValues(w->tc_label, XmNforeground, &fg, NULL);
        return fg;
    };

    // A move on the desktop keeps the widgets, the selection and memo mode.
    SetSelection(b, 1);
    SetMemoMode(b, 1);
    Widget frame = b->frame;
    EXPECT_EQ(DropWindow(b, 0, 4), 1);
    EXPECT_EQ(b->frame, frame);
    EXPECT_EQ(foreground(b), RED_COL);
    EXPECT_TRUE(MemoShown(b));
    EXPECT_EQ(Order(), "a0 | c1 b4");

    // A desktop window into the master area, after the master window:
    // unselected, out of memo mode; gaps stay on the desktop.
    EXPECT_EQ(DropWindow(b, 1, 5), 1);
    EXPECT_EQ(Order(), "a0 b1 | c1");
    EXPECT_EQ(b->selected, 0);
    EXPECT_FALSE(MemoShown(b));

    // Before the first master window.
    EXPECT_EQ(DropWindow(c, 1, 0), 1);
    EXPECT_EQ(Order(), "c0 a1 b2 |");

    // Back onto the empty desktop, unselected, with its memo text.
    SetMemoMode(b, 1); // refused in the master area
    EXPECT_FALSE(MemoShown(b));
    EXPECT_EQ(DropWindow(b, 0, 3), 1);
    EXPECT_EQ(Order(), "c0 a1 | b3");
    EXPECT_EQ(b->selected, 0);
    EXPECT_EQ(foreground(b), clip_normal_fg);
    char *t = XmTextGetString(b->memo);
    EXPECT_STREQ(t, "first memo");
    XtFree(t);
    Pump();
}

TEST_F(DesktopCells, PlaceholderStaysOnTheDesktop) {
    WindowData *a = NewWindow(NewClip(5));
    auto *p = new WindowData;
    p->width = 180;
    p->height = 144;
    p->total = 10;
    p->image = static_cast<unsigned char *>(calloc(180 * 144 * 4, 1));
    CreaWidget(p, -1, 0, 1, -1, strdup("importing"));
    last_window->next = p;
    last_window = p;
    windows.push_back(p);
    Pump();
    EXPECT_EQ(ClosingImpExpWindows(0, 0, p), 1); // closing it asks about the import
    EXPECT_EQ(DropWindow(p, 1, 0), 0);
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{
                  "Import process still in progress.\nClip cannot be moved to master area."}));
    CloseMessages();
    EXPECT_EQ(DropWindow(p, 0, 0), 0);
    EXPECT_EQ(DropWindow(p, 0, 8), 1);
    EXPECT_EQ(DropWindow(a, 0, 9), 1);
    EXPECT_EQ(Order(), "| b8 a9");
}
