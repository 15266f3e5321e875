// Fixture of the defaults tests: the desktop-area fixture with the user's
// name fixed, the defaults and the video mode restored after each test, and
// a clip database of the test's own when asked.
#pragma once

#include "../desktop_areas/desktop_areas_fixture.h"

#include <Xm/Text.h>
#include <Xm/ToggleB.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

#include "database/db_list.h"
#include "desktop/commands.h"
#include "desktop/defaults.h"
#include "media/video_globals.h"
#include "defaults_util.h"

using namespace defaults_test;

class DefaultsFixture : public AreasFixture {
  protected:
    ScopedEnv user{"USER", "tester"};
    ScopedEnv rsrc{"ORVA_RSRC", nullptr}, pwd{"PWD", getenv("PWD")};
    int kept[5] = {};
    char kept_init[1024] = {}, kept_exit[1024] = {};

    void SetUp() override {
        AreasFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        std::copy(defaults, defaults + 5, kept);
        memcpy(kept_init, init_work_name, sizeof kept_init);
        memcpy(kept_exit, exit_work_name, sizeof kept_exit);
    }
    void TearDown() override {
        if (!IsSkipped()) {
            for (Widget d : Named(app_shell, "defaults"))
                XtDestroyWidget(XtParent(d));
            isPlayActive = 0;
            std::copy(kept, kept + 5, defaults);
            memcpy(init_work_name, kept_init, sizeof kept_init);
            memcpy(exit_work_name, kept_exit, sizeof kept_exit);
            // Windows the loads made belong to the list: freed with the rest.
            for (WindowData *w = first_window; w; w = w->next)
                if (std::find(windows.begin(), windows.end(), w) == windows.end())
                    windows.push_back(w);
            if (summa_window &&
                std::find(windows.begin(), windows.end(), summa_window) == windows.end())
                windows.push_back(summa_window);
        }
        AreasFixture::TearDown();
        DbFreeList();
    }

    // Lists the databases `names` (each a directory with its four
    // subdirectories under the test directory) in an "OrvaDB" there, points
    // ORVA_RSRC at it and makes the first current.
    void MakeDatabases(std::initializer_list<const char *> names) {
        std::ofstream list(dir + "/OrvaDB");
        for (const char *n : names) {
            const std::string db = DbDir(n);
            mkdir(db.c_str(), 0777);
            for (const char *d : {"SVJ", "CLIP", "WORK", "IMAGES"})
                mkdir((db + d).c_str(), 0777);
            list << "DATABASE " << n << "\nPATH " << db << "\n";
        }
        list.close();
        setenv("ORVA_RSRC", dir.c_str(), 1);
        DbInitialize();
    }
    std::string DbDir(const char *name) const { return dir + "/" + name + "/"; }
    // The defaults file of a directory for the user "tester".
    static std::string DefaultsIn(const std::string &d) {
        return d + (d.back() == '/' ? "" : "/") + ".orva_def.tester";
    }

    // The open "Defaults" dialog, null when none.
    static Widget Dialog() {
        std::vector<Widget> d = Named(app_shell, "defaults");
        return d.empty() ? nullptr : d[0];
    }
    static Widget Field(const char *name) { return XtNameToWidget(Dialog(), name); }
    static Widget Toggle(const char *label) { return ByLabel(Dialog(), label); }
    static void SetField(const char *name, const char *text) {
        XmTextSetString(Field(name), const_cast<char *>(text));
    }
    static std::string FieldText(const char *name) {
        char *s = XmTextGetString(Field(name));
        std::string t = s ? s : "";
        XtFree(s);
        return t;
    }
    static void SetToggle(const char *label, bool on) {
        XmToggleButtonSetState(Toggle(label), on ? True : False, False);
    }
    static bool ToggleOn(const char *label) { return XmToggleButtonGetState(Toggle(label)); }
    // Reads a defaults file with this autosave interval, as a start-up
    // without a database does (the file in PWD).
    void StartWith(int minutes) {
        DbFreeList();
        setenv("PWD", dir.c_str(), 1);
        std::ofstream(DefaultsIn(dir)) << FileText(minutes, 1, 0, 1, 1, "x", "x");
        Init_defaults(0);
        ASSERT_EQ(defaults[DEF_AUTOSAVE], minutes);
    }
    static void OpenDialog() {
        InDispatch([] { SetDefaults(nullptr, nullptr, nullptr); });
    }
};
