// The picture preview window under the test X server: raising an open
// preview, stepping through pictures of different sizes, a missing picture,
// and closes that arrive while a picture is being read.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <Xm/MessageB.h>

#include <string>
#include <vector>

#include "desktop/preview_window.h"
#include "media/img_tga.h"
#include "media/img_util.h"
#include "tests/desktop/desktop_fixture.h"
#include "tests/media/reel_fixtures.h"

namespace {

PreviewData *g_preview = nullptr;
Widget g_parent = nullptr;

class Preview : public DesktopFixture {
  protected:
    void SetUp() override {
        DesktopFixture::SetUp();
        if (!app_shell) return;
        // Pictures 1, 2 and 4 of "pic.%04i.tga"; 2 is of another size.
        for (int n : {1, 2, 4}) {
            const int w = n == 2 ? 48 : 64, h = n == 2 ? 32 : 40;
            std::vector<unsigned char> rgb(size_t(w) * h * 3, (unsigned char)(n * 40));
            char name[64];
            snprintf(name, sizeof name, "pic.%04i.tga", n);
            ASSERT_EQ(glototga(dir_.path(name).c_str(), w, h, rgb.data()), 1);
        }
        base_ = dir_.path("pic");
        parent_ = CreaForm(mainform, 0, 0, 10, 10);
    }
    void TearDown() override {
        img_set_row_gate(nullptr);
        while (first_preview)
            PreviewExit(first_preview);
        Pump();
        DesktopFixture::TearDown();
    }
    static std::string Title(PreviewData *p) {
        char *t = nullptr;
        XtVaGetValues(XtParent(p->dialog), XmNtitle, &t, NULL);
        return t ? t : "";
    }
    static int Open() {
        int n = 0;
        for (PreviewData *p = first_preview; p; p = p->next)
            n++;
        return n;
    }
    reel_test::temp_dir dir_;
    std::string base_;
    Widget parent_ = nullptr;
};

TEST_F(Preview, StepsThroughPicturesAndRaisesTheOpenOne) {
    PreviewData *p = PreviewCreaWin(parent_, 1, base_.c_str(), 1, 1);
    ASSERT_NE(p, nullptr);
    Pump();
    EXPECT_EQ(p->shown, 0);
    EXPECT_EQ(Title(p), "Preview: " + base_ + "   pic.0001.tga (64, 40)");
    EXPECT_EQ(PreviewCreaWin(parent_, 1, base_.c_str(), 1, 3), p);
    EXPECT_EQ(Open(), 1);
    // Another numbering of the same base is another sequence.
    PreviewData *q = PreviewCreaWin(parent_, 1, base_.c_str(), 0, 1);
    ASSERT_NE(q, nullptr);
    EXPECT_NE(q, p);
    PreviewExit(q);
    Pump();
    EXPECT_EQ(Open(), 1);

    InDispatch([p] { PreviewKey(p, XK_Up); });
    EXPECT_EQ(p->shown, 1);
    EXPECT_EQ(p->width, 48);
    EXPECT_EQ(Title(p), "Preview: " + base_ + "   pic.0002.tga (48, 32)");
    Dimension w = 0;
    XtVaGetValues(p->dialog, XmNwidth, &w, NULL);
    EXPECT_EQ(w, 48);
    InDispatch([p] { PreviewKey(p, XK_e); });
    EXPECT_EQ(p->field_mode, 1);
    // Typed number, then Return.
    InDispatch([p] {
        PreviewKey(p, XK_4);
        PreviewKey(p, XK_Return);
    });
    EXPECT_EQ(p->shown, 3);
    EXPECT_TRUE(Named(p->dialog, "error").empty());

    // Picture 3 is missing.
    InDispatch([p] { PreviewKey(p, XK_Left); });
    EXPECT_EQ(p->shown, 2);
    EXPECT_EQ(Title(p), "Preview: " + base_ + "   pic.0003.tga");
    std::vector<Widget> boxes = Named(p->dialog, "error");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(MessageOf(boxes[0]), "The original file is missing or corrupted");
    Press(XmMessageBoxGetChild(boxes[0], XmDIALOG_OK_BUTTON));

    InDispatch([p] { PreviewKey(p, XK_Escape); });
    EXPECT_EQ(Open(), 0);
}

TEST_F(Preview, MissingFirstPictureIsToldOnceShown) {
    const std::string none = dir_.path("none");
    PreviewData *p = PreviewCreaWin(parent_, 1, none.c_str(), 1, 1);
    ASSERT_NE(p, nullptr);
    Pump();
    std::vector<Widget> boxes = Named(p->dialog, "error");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(MessageOf(boxes[0]), "The original file is missing or corrupted");
}

// Closes that come while a picture is read (here from the reader's row gate,
// as an event dispatched meanwhile would) are done after the read.
TEST_F(Preview, ClosedDuringAReadClosesAfterIt) {
    for (int how = 0; how < 3; how++) {
        PreviewData *p = PreviewCreaWin(parent_, 1, base_.c_str(), 1, 1);
        ASSERT_NE(p, nullptr) << how;
        Pump();
        g_preview = p;
        g_parent = parent_;
        static int gate_how;
        gate_how = how;
        img_set_row_gate([] {
            if (!g_preview) return;
            if (gate_how == 0) {
                PreviewKey(g_preview, XK_Escape);
                PreviewKey(g_preview, XK_Escape);
            } else if (gate_how == 1) {
                PreviewExit(g_preview);
                PreviewExit(g_preview);
            } else {
                XtDestroyWidget(g_parent);
            }
            g_preview = nullptr;
        });
        InDispatch([p] { PreviewKey(p, XK_Up); });
        img_set_row_gate(nullptr);
        EXPECT_EQ(Open(), 0) << how;
        if (how == 2) parent_ = CreaForm(mainform, 0, 0, 10, 10);
    }
}

} // namespace
