// The clip information window. The table is built as plain strings, one per
// cell, so that adding a row costs the same however many there are; the
// dialog shows each column as a list of its rows with one scroll bar moving
// all five, so that no widget grows with the number of rows (X limits a
// window to 32767 pixels).
#include "desktop/info_window.h"

#include <Xm/Form.h>
#include <Xm/List.h>
#include <Xm/ScrollBar.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "desktop/globals.h"
#include "media/svj.h"
#include "ui/widgets.h"

const char *const InfoHeads[INFO_COLUMNS] = {
    "Reel name:", "Size:", "Frames:", "Compr.:", "Lost quant.:"};

namespace {

constexpr int MAX_VISIBLE_ROWS = 20;

struct InfoDialog {
    Widget lists[INFO_COLUMNS] = {};
};

void scrolled(Widget, XtPointer client, XtPointer call) {
    auto *d = static_cast<InfoDialog *>(client);
    auto *cbs = static_cast<XmScrollBarCallbackStruct *>(call);
    for (Widget l : d->lists)
        XtVaSetValues(l, XmNtopItemPosition, cbs->value + 1, NULL);
}

void info_destroyed(Widget, XtPointer client, XtPointer) {
    delete static_cast<InfoDialog *>(client);
}

void close_info(Widget, XtPointer client, XtPointer) {
    Widget dialog = static_cast<Widget>(client);
    XtDestroyWidget(XtParent(dialog));
}

} // namespace

InfoTable *InfoAllocStruct() {
    return new InfoTable;
}

void InfoFreeStruct(InfoTable *t) {
    delete t;
}

void InfoAddData(InfoTable *t, const char *path) {
    if (!t || !path) return;
    const char *slash = strrchr(path, '/');
    t->cells[INFO_NAME].push_back(slash ? slash + 1 : path);
    svj_handle *h = svj_open(path);
    if (h) {
        char buf[64];
        const uint32_t height = svj_info(h, 7);
        snprintf(buf, sizeof buf, "%i, %i", int(svj_info(h, 6)), int(height == 496 ? 486 : height));
        t->cells[INFO_SIZE].push_back(buf);
        for (auto [col, code] : {std::pair{INFO_FRAMES, 8}, {INFO_COMPR, 2}, {INFO_LOST, 9}}) {
            snprintf(buf, sizeof buf, "%i", int(svj_info(h, code)));
            t->cells[col].push_back(buf);
        }
        svj_close(h);
    } else {
        t->cells[INFO_SIZE].push_back("error");
        for (int col : {INFO_FRAMES, INFO_COMPR, INFO_LOST})
            t->cells[col].push_back("-");
    }
    t->rows++;
}

Widget InfoShowData(const InfoTable *t) {
    if (!t || t->rows < 1) return nullptr;
    auto *d = new InfoDialog;
    Widget dialog = CreaDialog(mainform, "Info", "info", 100, 100, 1, 0);
    XtAddCallback(dialog, XmNdestroyCallback, info_destroyed, d);
    const int visible = std::min(t->rows, MAX_VISIBLE_ROWS);
    int x = 20, list_h = 0;
    for (int c = 0; c < INFO_COLUMNS; c++) {
        size_t longest = strlen(InfoHeads[c]);
        for (const std::string &s : t->cells[c])
            longest = std::max(longest, s.size());
        const int width = int(std::min<size_t>(longest, 60)) * 8 + 16;
        Widget head = CreaLabelXY(dialog, x, 20, width, 20, InfoHeads[c]);
        XtVaSetValues(head, XmNalignment, XmALIGNMENT_BEGINNING, NULL);
        std::vector<XmString> items;
        items.reserve(t->cells[c].size());
        for (const std::string &s : t->cells[c])
            items.push_back(XmStringCreateLocalized(const_cast<char *>(s.c_str())));
        Widget list = XtVaCreateManagedWidget(
            "infoList", xmListWidgetClass, dialog, XmNx, x, XmNy, 45, XmNwidth, width, XmNitems,
            items.data(), XmNitemCount, int(items.size()), XmNvisibleItemCount, visible,
            XmNshadowThickness, 0, XmNlistSizePolicy, XmCONSTANT, XmNtraversalOn, False, NULL);
        for (XmString s : items)
            XmStringFree(s);
        d->lists[c] = list;
        Dimension h = 0;
        XtVaGetValues(list, XmNheight, &h, NULL);
        list_h = std::max(list_h, int(h));
        x += width + 10;
    }
    if (t->rows > visible) {
        Widget bar = XtVaCreateManagedWidget(
            "infoScroll", xmScrollBarWidgetClass, dialog, XmNx, x, XmNy, 45, XmNwidth, 18,
            XmNheight, list_h, XmNorientation, XmVERTICAL, XmNminimum, 0, XmNmaximum, t->rows,
            XmNsliderSize, visible, XmNpageIncrement, visible, XmNvalue, 0, NULL);
        XtAddCallback(bar, XmNvalueChangedCallback, scrolled, d);
        XtAddCallback(bar, XmNdragCallback, scrolled, d);
        x += 28;
    }
    const int width = std::max(x + 10, 200);
    const int y = 45 + list_h + 15;
    Widget close = CreaBottoneXY(dialog, "Close", (width - 70) / 2, y, 70, 35);
    XtAddCallback(close, XmNactivateCallback, close_info, dialog);
    XtVaSetValues(dialog, XmNwidth, width, XmNheight, y + 50, XmNdefaultButton, close, NULL);
    XtManageChild(dialog);
    return dialog;
}

void InfoShowReels(const char *const *paths, int n) {
    InfoTable *t = InfoAllocStruct();
    for (int i = 0; i < n; i++)
        InfoAddData(t, paths[i]);
    InfoShowData(t);
    InfoFreeStruct(t);
}
