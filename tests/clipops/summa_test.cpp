// The summa window follows the master area: built when a window is dropped
// there, rebuilt on every change, freed when the area empties.
#include "clipops_fixture.h"

#include "desktop/desktop_area.h"
#include "desktop/zoom_view.h"

class Summa : public ClipOpsFixture {
  protected:
    // Drags a desktop window by its picture to above the desktop's top,
    // `cells` cells to the right.
    static void DragToMaster(WindowData *w, int cells = 0) {
        Press(w, 90, 70);
        Motion(w, 90 + cells * 206, -30);
        Release(w, 90 + cells * 206, -30);
    }
};

TEST_F(Summa, FollowsTheMasterArea) {
    UpdateSummaWindow(); // an empty master area: none
    EXPECT_EQ(summa_window, nullptr);
    WindowData *tape = LogWindow(120, "tape"), *bars = LogWindow(150, "bars");
    Marks(tape, 5, 9); // a master-area window is taken whole
    master_tc = 250;

    DragToMaster(tape);
    Pump();
    ASSERT_TRUE(tape->master);
    ASSERT_NE(summa_window, nullptr);
    EXPECT_EQ(summa_window->total, 120);
    EXPECT_EQ(XtParent(summa_window->frame), summaform);

    DragToMaster(bars, 1);
    Pump();
    ASSERT_EQ(first_work, nullptr);
    WindowData *summa = summa_window;
    ASSERT_NE(summa, nullptr);
    EXPECT_EQ(summa->total, 270);
    EXPECT_EQ(summa->master, 1);
    EXPECT_EQ(summa->start, 250);
    EXPECT_EQ(WindowTitle(summa), "JN(tape,bars)");
    EXPECT_EQ(tape->in, 5); // marks restored
    EXPECT_EQ(tape->out, 9);
    summa->current = 120;
    LoadFirstFrame(summa);
    EXPECT_TRUE(Shows(summa, 0)); // bars' first frame
    EXPECT_TRUE(Messages().empty());

    // A window of another size in the master area is left out, and said so.
    FisicData *small = NewClip(4);
    small->width = 90;
    WindowData *other = NewWindow(small, 0, 0, "S");
    DragToMaster(other, 3); // after the two
    Pump();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Skipped clips with different size"});
    EXPECT_EQ(summa_window->total, 270);
    CloseMessages();

    // A zoom view of it closes when it is rebuilt or freed.
    CreaZoomPlay(summa_window);
    Pump();
    ASSERT_EQ(ZoomWindow(), summa_window);

    // Closing master-area windows rebuilds it; closing the last frees it.
    CloseOK(0, 0, other, 0, 0);
    CloseOK(0, 0, tape, 0, 0);
    Pump();
    ASSERT_NE(summa_window, nullptr);
    EXPECT_EQ(summa_window->total, 150);
    EXPECT_EQ(ZoomWindow(), nullptr);
    EXPECT_TRUE(Messages().empty());
    CloseOK(1, 0, nullptr, 0, 0);
    Pump();
    EXPECT_EQ(summa_window, nullptr);
    EXPECT_EQ(first_window, nullptr);
    EXPECT_EQ(Geometry(summaform)[2], XLARG + 4); // the place stays
}

TEST_F(Summa, BusyClipColoursTheDerivedWindow) {
    WindowData *a = LogWindow(10, "A");
    a->seg_first->fisic->busy = 1;
    SetSelection(a, 1);
    NewWindowMulti(nullptr, nullptr, nullptr);
    Pump();
    Pixel fg = 0;
    XtVaGetValues(Last()->frame_label, XmNforeground, &fg, NULL);
    EXPECT_EQ(fg, BUSY_YEL);
    a->seg_first->fisic->busy = 0;
}
