// The main window built with its VTR panel, as the program builds it with
// the VTR option, for the tests that drive the panel against boardsim.
#pragma once

#include "tests/desktop/desktop_fixture.h"

#include "ui/globals.h"
#include "vtr/grab_list.h"

class VtrWindowFixture : public DesktopFixture {
  protected:
    // Builds the main window with an empty grab list; form is its panel.
    void OpenVtrWindow() {
        static char arg0[] = "orva";
        static char *argv[] = {arg0, nullptr};
        int argc = 1;
        StartupOptions opt;
        opt.vtr = true;
        ASSERT_NE(InitToolkit(&argc, argv, opt), nullptr);
        GrabListClear();
        BuildMainWindow(opt);
        Pump();
        form = XtNameToWidget(mainform, "vtrform");
        ASSERT_NE(form, nullptr);
    }
    // The nth widget of the panel with this name (none: nullptr).
    Widget W(const char *name, int nth = 0) {
        auto v = Named(form, name);
        return int(v.size()) > nth ? v[size_t(nth)] : nullptr;
    }
    Widget form = nullptr;
};
