// The init work loaded at start and the exit work saved at exit, with real
// reels in a test database.
#include "../workui/workui_fixture.h"

#include <unistd.h>

#include <fstream>

#include "defaults_util.h"

using namespace defaults_test;

namespace {

class DefaultsWork : public WorkUiFixture {
  protected:
    ScopedEnv user{"USER", "tester"};
    // The global defaults file, in the resource directory of the database.
    void WriteDefaults(int load, const char *init, const char *exit) {
        std::ofstream(db.tmp.path(".orva_def.tester"))
            << FileText(5, 1, 0, load, 1, init, exit, "test");
    }
    // Saves a desktop of a master-area window and a desktop window as the
    // work "take", then clears the desktop.
    void SaveTake() {
        OpenReel("a.svj", 10);
        ToMaster(OpenReel("b.svj", 8));
        ASSERT_EQ(SaveOK(Work("take.wrk").c_str(), WORK_SAVE_ALL), 1);
        CloseOK(1, 1, nullptr, 0, 0);
        Pump();
        ASSERT_EQ(first_window, nullptr);
        UpdateSummaWindow();
        ASSERT_EQ(summa_window, nullptr);
    }
};

TEST_F(DefaultsWork, StartLoadsTheInitWork) {
    SaveTake();
    const struct {
        int load;
        const char *name;
        int windows;
    } cases[] = {{1, "/a/b/take", 2}, {1, "take.wrk", 2}, {0, "take", 0}, {1, "nothere", 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WriteDefaults(c.load, c.name, "out");
        Init_defaults(1);
        EXPECT_EQ(Windows(), c.windows);
        EXPECT_EQ(summa_window != nullptr, c.windows > 0); // the master area summed
        EXPECT_TRUE(Boxes().empty());                      // a missing work is passed over
        CloseOK(1, 1, nullptr, 0, 0);
        UpdateSummaWindow();
        Pump();
    }
}

// A start-up whose init work loaded with messages keeps that file: the
// first save over it (here the autosave) leaves the old one as "take.wrk~".
TEST_F(DefaultsWork, WarnedInitLoadKeepsTheOldWork) {
    SaveTake();
    const std::string old = ReadFile(Work("take.wrk"));
    for (bool warned : {false, true}) {
        SCOPED_TRACE(warned ? "warned" : "clean");
        if (warned) unlink(db.reel("a.svj").c_str());
        WriteDefaults(1, "take", "take");
        Init_defaults(1);
        EXPECT_EQ(Boxes().empty(), !warned); // read and closed
        AutosaveTimer(nullptr, nullptr);
        EXPECT_EQ(FileExists(Work("take.wrk~")), warned);
        if (warned) {
            EXPECT_EQ(ReadFile(Work("take.wrk~")), old);
        }
        CloseOK(1, 1, nullptr, 0, 0);
        Pump();
    }
}

} // namespace
