// The VTR panel's In and Out fields and the grab list: marking, typed
// timecodes, goto to a mark, and the list buttons. The list widget shows
// tc_list item for item; every change is made to both at the same place.
#include <Xm/List.h>
#include <Xm/PushB.h>
#include <Xm/Text.h>

#include <algorithm>
#include <string>
#include <vector>

#include "database/db_list.h"
#include "editing/clip_names.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "ui/widgets.h"
#include "vtr/edl_write.h"
#include "vtr/grab_list.h"
#include "vtr/vtr_panel.h"
#include "vtr/vtr_panel_internal.h"
#include "vtr/vtr_panel_rules.h"

int in_set = 0, out_set = 0;

namespace {

Widget field(int which) {
    return which ? vtr_panel.out_text : vtr_panel.in_text;
}

std::string field_text(int which) {
    Widget w = field(which);
    if (!w) return "";
    char *t = XmTextGetString(w);
    std::string s = t ? t : "";
    XtFree(t);
    return s;
}

void set_field(int which, const char *text) {
    if (Widget w = field(which)) XmTextSetString(w, const_cast<char *>(text));
}

// The In / Out buttons' press: take the goto label into the field. A second
// press on the same timecode clears the mark.
void take_label(int which, const std::string &text) {
    int &set = which ? out_set : in_set;
    const std::string before = field_text(which);
    set_field(which, text.c_str());
    if (!set)
        VtrSetMark(which, 1);
    else if (text == before)
        VtrSetMark(which, 0);
}

void goto_field(int which) {
    if (!vtr_board || VtrPanelBusy()) return;
    const std::string text = field_text(which);
    if (!is_valid_tc(text.c_str())) return;
    Timecode t = 0;
    vtr_asc2tc(text.c_str(), &t);
    if (!VtrGoto(&t)) return;
    VtrShowGoto(t);
    VtrHighlight(9); // the VTR stands still at the mark
}

XmString item_of(const TcEntry &e) {
    char text[32];
    GrabListItemText(e, text, sizeof text);
    return XmStringCreateLocalized(text);
}

} // namespace

void VtrSetMark(int which, int set) {
    (which ? out_set : in_set) = set ? 1 : 0;
    Widget b = which ? vtr_panel.out_button : vtr_panel.in_button;
    if (b)
        XtVaSetValues(b, XmNbackground,
                      set ? YEL_COL : (which ? vtr_panel.out_plain : vtr_panel.in_plain), NULL);
}

void Parse_Timecode(int which) {
    if (!field(which)) return;
    char tc[12];
    ParseTimecodeText(field_text(which).c_str(), tc);
    set_field(which, tc);
    VtrSetMark(which, 1);
}

void Goto_In(Widget, XEvent *, String *, Cardinal *) {
    goto_field(0);
}
void Goto_Out(Widget, XEvent *, String *, Cardinal *) {
    goto_field(1);
}

void CopyIn(int frame) {
    if (!vtr_board || !vtr_panel.in_text) return;
    char text[12];
    vtr_tc2asc(frames2tc(frame), text);
    take_label(0, text);
}

void VtrMarkButtonCallback(Widget, XtPointer client, XtPointer) {
    if (!vtr_board) return;
    take_label(int(intptr_t(client)), LabelGetString(vtr_panel.tc_goto));
}

void VtrTextEnterCallback(Widget, XtPointer client, XtPointer) {
    if (!vtr_board) return;
    Parse_Timecode(int(intptr_t(client)));
}

void VtrListRefresh() {
    if (!vtr_panel.list) return;
    XmListDeleteAllItems(vtr_panel.list);
    for (int i = 0; i <= Items_In_List; ++i) {
        XmString s = item_of(tc_list[i]);
        XmListAddItemUnselected(vtr_panel.list, s, 0);
        XmStringFree(s);
    }
}

void VtrListAdd() {
    if (!vtr_board || VtrPanelBusy() || !in_set || !out_set) return;
    const std::string in = field_text(0), out = field_text(1);
    if (!is_valid_tc(in.c_str()) || !is_valid_tc(out.c_str())) return;
    Timecode a = 0, b = 0;
    vtr_asc2tc(in.c_str(), &a);
    vtr_asc2tc(out.c_str(), &b);
    int at = 0;
    const GrabAddResult r = GrabListAdd(a, b, &at);
    if (r != GRAB_OUT_BEFORE_IN) {
        VtrSetMark(0, 0);
        VtrSetMark(1, 0);
    }
    if (r != GRAB_ADDED) {
        PutCharMessage(mainform, GrabAddMessage(r));
        return;
    }
    XmString s = item_of(tc_list[at]);
    XmListAddItemUnselected(vtr_panel.list, s, at + 1);
    XmStringFree(s);
}

void VtrListDelete() {
    if (!vtr_board || VtrPanelBusy() || !vtr_panel.list) return;
    int *pos = nullptr, n = 0;
    if (!XmListGetSelectedPos(vtr_panel.list, &pos, &n)) return;
    std::vector<int> sel(pos, pos + n);
    XtFree(reinterpret_cast<char *>(pos));
    std::sort(sel.rbegin(), sel.rend());
    for (int p : sel) {
        XmListDeletePos(vtr_panel.list, p);
        GrabListDelete(p - 1);
    }
}

int EdlWrite(const char *path) {
    std::string reel;
    if (vtr_panel.reelname) {
        char *t = XmTextGetString(vtr_panel.reelname);
        std::string copy = t ? t : "";
        XtFree(t);
        reel = GetName(copy.data());
    }
    std::string message;
    if (EdlWriteFile(path, reel.c_str(), vtr_board != nullptr, &message) == 0) return 0;
    PutCharMessage(mainform, message.c_str());
    return 1;
}

void VtrListClear() {
    if (!vtr_board || VtrPanelBusy()) return;
    if (Items_In_List >= 0 && DbGetName()) {
        const char *dir = DbGetDir(0);
        const std::string path = std::string(dir ? dir : "") + DbSubdir[DB_WORK] + ".undo.edl";
        // The list is kept when its copy could not be written.
        if (EdlWrite(path.c_str()) != 0) return;
    }
    GrabListClear();
    if (vtr_panel.list) XmListDeleteAllItems(vtr_panel.list);
}

void VtrListRemoveGood() {
    GrabListRemoveGood();
    VtrListRefresh();
}

const char *VtrReelName() {
    static std::string name;
    name.clear();
    if (vtr_panel.reelname) {
        char *t = XmTextGetString(vtr_panel.reelname);
        name = t ? t : "";
        XtFree(t);
    }
    return name.c_str();
}

void VtrListButtonCallback(Widget, XtPointer client, XtPointer) {
    switch (int(intptr_t(client))) {
    case 0:
        VtrListAdd();
        break;
    case 1:
        VtrListDelete();
        break;
    case 2:
        VtrListClear();
        break;
    }
}
