// Speed of the reel dialogs over a large database: the main window is built
// on the X server in $DISPLAY (run it under Xvfb: xvfb-run -a bench_dbfiles).
// A database holds N reels (hard links to one demo reel, so that every one
// opens); the time until "Delete Reel" is shown, and of "Info" > "All" until
// the info table is shown, are measured with the X server's work. A second
// database holds M reels, each with a log header and a log part; the time of
// deleting all of them with their logs ("All", "Yes") is measured.
//
//   bench_dbfiles [--reels N] [--delete M]
#include <X11/IntrinsicP.h>
#include <Xm/Label.h>
#include <Xm/LabelG.h>
#include <Xm/MessageB.h>
#include <Xm/Xm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_display.h"
#include "bench/bench_util.h"
#include "database/db_commands.h"
#include "database/db_list.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "desktop/startup.h"
#include "editing/clip_names.h"
#include "media/video_globals.h"
#include "platform/sem.h"

namespace {

// The first managed widget below root named name (with label text when
// given), or null.
Widget find(Widget root, const char *name, const char *label = nullptr) {
    if (!root || root->core.being_destroyed) return nullptr;
    if (XtIsManaged(root) && (!name || !strcmp(XtName(root), name))) {
        if (!label) return root;
        if (!XmIsLabel(root) && !XmIsLabelGadget(root)) goto children;
        XmString xs = nullptr;
        XtVaGetValues(root, XmNlabelString, &xs, NULL);
        char *t = nullptr;
        bool same = xs && XmStringGetLtoR(xs, const_cast<char *>(XmFONTLIST_DEFAULT_TAG), &t) &&
                    t && !strcmp(t, label);
        XtFree(t);
        if (xs) XmStringFree(xs);
        if (same) return root;
    }
children:
    if (XtIsComposite(root)) {
        CompositeWidget c = reinterpret_cast<CompositeWidget>(root);
        for (Cardinal i = 0; i < c->composite.num_children; i++)
            if (Widget w = find(c->composite.children[i], name, label)) return w;
    }
    if (XtIsWidget(root))
        for (Cardinal i = 0; i < root->core.num_popups; i++)
            if (Widget w = find(root->core.popup_list[i], name, label)) return w;
    return nullptr;
}

// The dialog shell below mainform with this title, or null.
Widget dialog_titled(const char *title) {
    for (Cardinal i = 0; i < mainform->core.num_popups; i++) {
        Widget shell = mainform->core.popup_list[i];
        char *t = nullptr;
        XtVaGetValues(shell, XmNtitle, &t, NULL);
        if (!shell->core.being_destroyed && t && !strcmp(t, title)) return shell;
    }
    return nullptr;
}

void press(Widget b) {
    if (!b) {
        fprintf(stderr, "bench_dbfiles: button not found\n");
        exit(1);
    }
    XmPushButtonCallbackStruct cbs{};
    cbs.reason = XmCR_ACTIVATE;
    XtCallCallbacks(b, XmNactivateCallback, &cbs);
}

bool make_db(const std::string &dir, const std::string &reel, int n, bool logs) {
    for (const char *s : {"", "SVJ", "CLIP", "WORK", "IMAGES"})
        if (mkdir((dir + s).c_str(), 0777) != 0) return false;
    for (int i = 0; i < n; i++) {
        char name[64];
        snprintf(name, sizeof name, "SVJ/reel_%05d.svj", i);
        const std::string path = dir + name;
        if (link(reel.c_str(), path.c_str()) != 0) return false;
        if (!logs) continue;
        const std::string base = dir + "CLIP/" + (name + 4);
        std::ofstream(base + "_Log") << "log";
        std::ofstream(base + "_Clip_1") << "part";
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    int reels = 10000, deleted = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--reels")) reels = atoi(argv[i + 1]);
        if (!strcmp(argv[i], "--delete")) deleted = atoi(argv[i + 1]);
    }
    if (reels < 1 || reels > 100000 || deleted < 1 || deleted > 100000) {
        fprintf(stderr, "usage: bench_dbfiles [--reels 1..100000] [--delete 1..100000]\n");
        return 2;
    }
    if (!BenchHasDisplay("bench_dbfiles")) return 1;
    BenchDir dir("bench-dbfiles");
    if (dir.path.empty()) return 1;
    const std::string demo = MakeDemo(dir);
    if (demo.empty()) return 1;
    const std::string reel = demo + "/SVJ/colour_bars.svj";
    const std::string big = dir.path + "/big/", small = dir.path + "/small/";
    if (!make_db(big, reel, reels, false) || !make_db(small, reel, deleted, true)) {
        perror("bench_dbfiles: making the databases");
        return 1;
    }
    std::ofstream(dir.path + "/OrvaDB")
        << "DATABASE big\nPATH " << big << "\nDATABASE small\nPATH " << small << "\n";
    setenv("ORVA_RSRC", dir.path.c_str(), 1);
    unsetenv("SCSI_VIDEO_MODE");

    DbInitialize();
    if (!BenchMainWindow("bench_dbfiles")) return 1;

    printf("\"Delete Reel\" over %d reels, to the dialog:  %8.1f ms\n", reels,
           timed([] { DbRemoveSvj(nullptr, nullptr, nullptr); }));
    press(find(mainform, nullptr, "Cancel"));
    pump();

    DbInfoSvj(nullptr, nullptr, nullptr);
    pump();
    Widget all = find(dialog_titled("DB big - Info"), nullptr, "All");
    printf("\"Info\" > \"All\" over %d reels, to the table: %8.1f ms\n", reels,
           timed([all] { press(all); }));
    Widget info = find(mainform, "info");
    if (!info) {
        fprintf(stderr, "bench_dbfiles: no info table\n");
        return 1;
    }
    if (getenv("BENCH_VERBOSE")) {
        // The size and frames shown for the first reel.
        Widget lists[2] = {nullptr, nullptr};
        int k = 0;
        CompositeWidget c = reinterpret_cast<CompositeWidget>(info);
        for (Cardinal i = 0; i < c->composite.num_children && k < 2; i++)
            if (!strcmp(XtName(c->composite.children[i]), "infoList") && i > 0)
                lists[k++] = c->composite.children[i];
        for (Widget l : lists) {
            XmStringTable items = nullptr;
            int n = 0;
            if (l) XtVaGetValues(l, XmNitems, &items, XmNitemCount, &n, NULL);
            char *t = nullptr;
            if (n > 0 && XmStringGetLtoR(items[0], const_cast<char *>(XmFONTLIST_DEFAULT_TAG), &t))
                printf("  first row: %s (%d rows)\n", t, n);
            XtFree(t);
        }
    }
    press(find(info, nullptr, "Close"));
    pump();

    DbNameSetDatabase("small");
    DbRemoveSvj(nullptr, nullptr, nullptr);
    pump();
    press(find(dialog_titled("DB small - Delete Reel"), nullptr, "All"));
    pump();
    Widget sure = find(mainform, "warning");
    if (!sure) {
        fprintf(stderr, "bench_dbfiles: no question\n");
        return 1;
    }
    printf("deleting %d reels with their logs:           %8.1f ms\n", deleted,
           timed([sure] { press(XmMessageBoxGetChild(sure, XmDIALOG_OK_BUTTON)); }));
    int left = 0;
    for (int i = 0; i < deleted; i++) {
        char name[64];
        snprintf(name, sizeof name, "%sSVJ/reel_%05d.svj", small.c_str(), i);
        if (access(name, F_OK) == 0) left++;
        snprintf(name, sizeof name, "%sCLIP/reel_%05d.svj_Log", small.c_str(), i);
        if (access(name, F_OK) == 0) left++;
    }
    printf("files left: %d\n", left);
    SemRemove();
    return left == 0 ? 0 : 1;
}
