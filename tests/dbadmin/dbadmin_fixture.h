// Fixture of the database administration tests: a temporary directory with
// a list file naming databases made by the test, the main window built as the
// program builds it, and helpers that read lists, labels and message boxes.
#pragma once

#include <gtest/gtest.h>

#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/Text.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "database/db_dialog.h"
#include "database/db_list.h"
#include "tests/desktop/desktop_fixture.h"

namespace dbadmin_test {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

inline std::string ReadFile(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

inline Strings Items(Widget list) {
    return ListItems(list);
}

// The whole text of a label, each line separator given back as "\n".
inline std::string LabelText(Widget label) {
    std::string out = StringResource(label, XmNlabelString);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

// Makes a temporary root with the databases given (name, directory below the
// root) listed in root/OrvaDB, each with its four subdirectories; the first
// becomes current.
class DbAdmin : public DesktopFixture {
  protected:
    void SetUp() override {
        ASSERT_FALSE(root_.empty());
        isPlayActive = 0;
        DesktopFixture::SetUp();
    }
    void TearDown() override {
        DesktopFixture::TearDown();
        DbFreeList();
    }

    // Writes the list file for the databases and reads it as start-up does.
    void MakeDatabases(const std::vector<std::pair<std::string, std::string>> &dbs) {
        std::ofstream f(root_ + "/OrvaDB");
        for (const auto &[name, dir] : dbs) {
            const std::string d = root_ + "/" + dir + "/";
            for (const char *s : {"SVJ", "CLIP", "WORK", "IMAGES"})
                fs::create_directories(d + s);
            f << "\nDATABASE " << name << "\nPATH " << d << "\n";
        }
        f.close();
        DbInitialize();
    }
    std::string ListFile() const { return ReadFile(root_ + "/OrvaDB"); }

    // The managed dialog whose title is title, when exactly one is shown.
    static Widget Dialog(const std::string &title) {
        std::vector<Widget> out;
        CollectWidgets(
            app_shell,
            [&](Widget w) {
                return XtName(w) == std::string("dialog") && XtIsManaged(w) &&
                       !w->core.being_destroyed && TitleOf(w) == title;
            },
            out);
        return out.size() == 1 ? out[0] : nullptr;
    }
    // The texts of the message boxes under root, each dismissed.
    static Strings Messages(Widget root = nullptr) {
        Strings out;
        for (Widget box : Named(root ? root : app_shell, "error")) {
            if (box->core.being_destroyed) continue;
            out.push_back(MessageOf(box));
            Press(XmMessageBoxGetChild(box, XmDIALOG_OK_BUTTON));
        }
        return out;
    }
    // Answers the question box showing text: yes or no. False when none.
    static bool Answer(const std::string &text, bool yes) {
        for (Widget box : Named(app_shell, "warning")) {
            if (box->core.being_destroyed || MessageOf(box) != text) continue;
            Press(XmMessageBoxGetChild(box, yes ? XmDIALOG_OK_BUTTON : XmDIALOG_CANCEL_BUTTON));
            return true;
        }
        return false;
    }
    // Selects the item of the dialog's list, or double-clicks it.
    static void Select(Widget dialog, const std::string &item, bool twice = false) {
        Widget list = XtNameToWidget(dialog, "*list");
        const Strings items = Items(list);
        const int at = int(std::find(items.begin(), items.end(), item) - items.begin()) + 1;
        if (at > int(items.size())) return;
        if (!twice) return XmListSelectPos(list, at, False);
        InDispatch([list, at] {
            XmListCallbackStruct cbs{};
            cbs.reason = XmCR_DEFAULT_ACTION;
            cbs.item_position = at;
            XtCallCallbacks(list, XmNdefaultActionCallback, &cbs);
        });
    }
    static void DoubleClick(Widget dialog, const std::string &item) { Select(dialog, item, true); }
    // Types text into a text field and presses Return in it (the field's
    // own "activate" action, as the key runs it).
    static void Enter(Widget text, const std::string &s) {
        XmTextSetString(text, const_cast<char *>(s.c_str()));
        InDispatch([text] {
            XKeyEvent k{};
            k.type = KeyPress;
            k.display = XtDisplay(text);
            k.window = XtWindow(text);
            k.keycode = XKeysymToKeycode(k.display, XK_Return);
            XtCallActionProc(text, const_cast<char *>("activate"), reinterpret_cast<XEvent *>(&k),
                             nullptr, 0);
        });
    }

    RsrcRoot rsrc_{"orva-dbadmin"};
    const std::string &root_ = rsrc_.path;
};

} // namespace dbadmin_test
