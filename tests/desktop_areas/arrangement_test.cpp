// Cells, drop targets, drops with the desktop kept arranged or not, moves
// between the two areas, and "Rearrange".
#include "desktop_areas_fixture.h"
#include <Xm/Text.h>

#include "desktop/commands.h"

using Pos = std::array<int, 2>;
using DesktopCells = AreasFixture;

TEST_F(DesktopCells, SlotsMapToCells) {
    struct Case {
        int slot, master;
        Pos cell;
    } cases[] = {
        {0, 0, {2, 2}}, {5, 0, {5 * 206 + 2, 2}}, {6, 0, {2, 216}},    {7, 0, {208, 216}},
        {0, 1, {2, 2}}, {3, 1, {3 * 206 + 2, 2}}, {13, 0, {208, 430}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Cell(c.slot, c.master), c.cell) << c.slot << " " << c.master;
}

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
    int i = 0;
    for (const Case &k : cases) {
        int area = -1, slot = -1;
        DropTarget(k.win, k.px, k.py, k.scroll, &area, &slot);
        EXPECT_EQ(area, k.area) << "case " << i;
        EXPECT_EQ(slot, k.slot) << "case " << i;
        i++;
    }
}

TEST_F(DesktopCells, DropsWithGapsKept) {
    FisicData *c = NewClip(5);
    WindowData *a = NewWindow(c), *b = NewWindow(c), *d = NewWindow(c);
    EXPECT_EQ(Slots(), (std::vector<int>{0, 1, 2}));

    EXPECT_EQ(DropWindow(a, 0, 2), 0); // occupied cell: nothing
    EXPECT_EQ(List(), (std::vector<WindowData *>{a, b, d}));
    EXPECT_EQ(DropWindow(a, 0, 0), 0); // its own cell

    EXPECT_EQ(DropWindow(a, 0, 4), 1); // an empty cell past the others
    EXPECT_EQ(List(), (std::vector<WindowData *>{b, d, a}));
    EXPECT_EQ(first_work, b);
    EXPECT_EQ(last_window, a);
    EXPECT_EQ(Slots(), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(Where(a), Cell(4, 0));
    EXPECT_EQ(Where(b), Cell(1, 0)); // the gap at 0 stays

    EXPECT_EQ(DropWindow(a, 0, 0), 1); // into the gap before first_work
    EXPECT_EQ(List(), (std::vector<WindowData *>{a, b, d}));
    EXPECT_EQ(first_work, a);
    EXPECT_EQ(Slots(), (std::vector<int>{0, 1, 2}));

    EXPECT_EQ(DropWindow(b, 0, 9), 1);
    EXPECT_EQ(DropWindow(d, 0, 7), 1); // before b, which stands further on
    EXPECT_EQ(List(), (std::vector<WindowData *>{a, d, b}));
    EXPECT_EQ(Slots(), (std::vector<int>{0, 7, 9}));
    EXPECT_EQ(Where(d), Cell(7, 0));

    // "Rearrange" asks first, then closes the gaps once; the mode itself
    // stays off.
    InDispatch([] { RearrangeNow(nullptr, nullptr, nullptr); });
    std::vector<Widget> boxes = Named(app_shell, "warning");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(MessageOf(boxes[0]), "Are you sure?");
    ::Press(ByLabel(XtParent(boxes[0]), "  Yes  "));
    EXPECT_TRUE(Named(app_shell, "warning").empty());
    EXPECT_EQ(Slots(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Where(b), Cell(2, 0));
    EXPECT_EQ(defaults[DEF_REARRANGE], 0);
}

TEST_F(DesktopCells, DropsWhenKeptArranged) {
    defaults[DEF_REARRANGE] = 1;
    FisicData *c = NewClip(5);
    WindowData *a = NewWindow(c), *b = NewWindow(c), *d = NewWindow(c), *e = NewWindow(c);

    EXPECT_EQ(DropWindow(a, 0, 1), 0); // before its own successor: no change
    EXPECT_EQ(DropWindow(a, 0, 3), 1); // before e
    EXPECT_EQ(List(), (std::vector<WindowData *>{b, d, a, e}));
    EXPECT_EQ(Slots(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(first_work, b);

    EXPECT_EQ(DropWindow(b, 0, 10), 1); // past the end: last
    EXPECT_EQ(List(), (std::vector<WindowData *>{d, a, e, b}));
    EXPECT_EQ(last_window, b);
    EXPECT_EQ(Slots(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(Where(b), Cell(3, 0));

    EXPECT_EQ(DropWindow(e, 0, 0), 1); // onto first_work: e becomes it
    EXPECT_EQ(first_work, e);
    EXPECT_EQ(List(), (std::vector<WindowData *>{e, d, a, b}));

    // "Rearrange" has nothing to do when the desktop is kept arranged.
    RearrangeNow(nullptr, nullptr, nullptr);
    Pump();
    EXPECT_TRUE(Named(app_shell, "warning").empty());
}

TEST_F(DesktopCells, MovesBetweenAreas) {
    FisicData *c = NewClip(5);
    WindowData *m = NewWindow(c, 1);
    WindowData *a = NewWindow(c, 0, 0, "first memo"), *b = NewWindow(c);
    ASSERT_EQ(List(), (std::vector<WindowData *>{m, a, b}));
    auto foreground = [](WindowData *w) {
        Pixel fg = 0;
        XtVaGetValues(w->tc_label, XmNforeground, &fg, NULL);
        return fg;
    };

    // A move on the desktop keeps the widgets, the selection and memo mode.
    SetSelection(a, 1);
    SetMemoMode(a, 1);
    Widget frame = a->frame;
    EXPECT_EQ(DropWindow(a, 0, 4), 1);
    EXPECT_EQ(a->frame, frame);
    EXPECT_EQ(foreground(a), RED_COL);
    EXPECT_TRUE(MemoShown(a));
    EXPECT_EQ(b->slot, 1);

    // A desktop window into the master area, after the master window.
    EXPECT_EQ(DropWindow(a, 1, 5), 1);
    EXPECT_EQ(List(), (std::vector<WindowData *>{m, a, b}));
    EXPECT_EQ(first_work, b);
    EXPECT_EQ(a->master, 1);
    EXPECT_EQ(XtParent(a->frame), happyform);
    EXPECT_EQ(a->slot, 1);
    EXPECT_EQ(Where(a), Cell(1, 1));
    EXPECT_EQ(a->selected, 0); // master-area windows are not selected
    EXPECT_FALSE(MemoShown(a));
    EXPECT_EQ(b->slot, 1); // gaps stay on the desktop

    // Before the first master window.
    EXPECT_EQ(DropWindow(b, 1, 0), 1);
    EXPECT_EQ(List(), (std::vector<WindowData *>{b, m, a}));
    EXPECT_EQ(first_work, nullptr);
    EXPECT_EQ(last_window, a);
    std::vector<int> master_slots;
    for (WindowData *w : List())
        master_slots.push_back(w->slot);
    EXPECT_EQ(master_slots, (std::vector<int>{0, 1, 2}));

    // Back onto the empty desktop, unselected, with its memo text.
    SetMemoMode(a, 1); // refused in the master area
    EXPECT_FALSE(MemoShown(a));
    EXPECT_EQ(DropWindow(a, 0, 3), 1);
    EXPECT_EQ(first_work, a);
    EXPECT_EQ(last_window, a);
    EXPECT_EQ(XtParent(a->frame), workform);
    EXPECT_EQ(Where(a), Cell(3, 0));
    EXPECT_EQ(Where(m), Cell(1, 1));
    EXPECT_EQ(a->selected, 0);
    EXPECT_EQ(foreground(a), clip_normal_fg);
    char *t = XmTextGetString(a->memo);
    EXPECT_STREQ(t, "first memo");
    XtFree(t);
    Pump();
}

TEST_F(DesktopCells, PlaceholderStaysOnTheDesktop) {
    FisicData *c = NewClip(5);
    WindowData *a = NewWindow(c);
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
    EXPECT_EQ(DropWindow(p, 1, 0), 0);
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{
                  "Import process still in progress.\nClip cannot be moved to master area."}));
    EXPECT_EQ(p->master, 0);
    CloseMessages();
    EXPECT_EQ(DropWindow(p, 0, 0), 0);
    EXPECT_EQ(DropWindow(p, 0, 8), 1);
    EXPECT_EQ(Slots(), (std::vector<int>{0, 8}));
    EXPECT_EQ(DropWindow(a, 0, 9), 1);
}
