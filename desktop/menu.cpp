// Menu bar and popup menu built from the menu tables, and `RepeatLast`.
//
// Every item calls its command with its label as client data and then
// records itself as the last item of its top-level menu, so that button 2 on
// the menu's title repeats it. Both menus share the records.
#include "desktop/menu.h"

#include <Xm/CascadeB.h>
#include <Xm/Label.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Separator.h>

#include "desktop/commands.h"
#include "ui/widgets.h"

// clang-format off
static const MenuItem open_items[] = {
    {1, "Reel ...", 'R', DbSelectSvj},
    {1, "Image clip ...", 'I', DbSelectImages},
    {1, "Work ...", 'W', DbSelectWork},
    {1, "Database ...", 'D', DbSelectDatabase},
    {1, "Edit list ...", 'E', DbSelectEdl},
};
static const MenuItem save_items[] = {
    {0, "Reel", 'R', nullptr},
    {2, "Selected ...", 'S', ExportSvj},
    {2, "Master ...", 'M', MasterExportSvj},
    {0, "Work", 'W', nullptr},
    {2, "All", 'A', DbSaveWorkAll},
    {2, "Master", 'M', DbSaveWorkHappy},
    {2, "Selected", 'S', DbSaveWorkSelected},
    {0, "Clip", 'C', nullptr},
    {2, "Selected ...", 'S', ExportMovie},
    {2, "Master ...", 'M', MasterExportMovie},
    {1, "Edit list ...", 'E', DbSaveEdl},
};
static const MenuItem delete_items[] = {
    {1, "Reel ...", 'R', DbRemoveSvj},
    {1, "Image ...", 'I', DbRemoveImg},
    {1, "Work ...", 'W', DbRemoveWork},
    {1, "Database ...", 'D', DbRemoveDatabase},
    {0, "Clear desktop", 'C', nullptr},
    {2, "All", 'A', CloseAll},
    {2, "Master", 'M', ClearHappy},
    {2, "Selected", 'S', CloseSel},
};
static const MenuItem import_items[] = {
    {1, "System ...", 'S', DbSelectImport},
    {1, "Abekas ...", 'A', DbSelectAbekas},
};
static const MenuItem export_items[] = {
    {1, "Selected ...", 'S', ExportImg},
    {1, "Master ...", 'M', MasterExportImg},
};
static const MenuItem effects_items[] = {
    {1, "Join", 'J', NewWindowMulti},
    {1, "Splice", 'S', SpliceNewWin},
    {1, "Softcut ...", 'o', SoftNewWin},
    {0, "Wipe", 'W', nullptr},
    {2, "Left -> Right ...", 'L', TendinaLR},
    {2, "Right -> Left ...", 'R', TendinaRL},
    {2, "Top -> Bottom ...", 'T', TendinaUD},
    {2, "Bottom -> Top ...", 'B', TendinaDU},
    {0, "Speed", 'p', nullptr},
    {2, "Faster ...", 'F', FastNewWin},
    {2, "Slower ...", 'S', SlowNewWin},
    {2, "Strobe ...", 't', StrobeNewWin},
    {2, "Still ...", 'i', StillNewWin},
    {1, "Loop ...", 'L', LoopNewWin},
    {1, "Custom ...", 'C', StlnExport},
};
static const MenuItem tools_items[] = {
    {1, "Defaults ...", 'D', SetDefaults},
    {1, "Info ...", 'I', DbInfoSvj},
    {1, "Copy reel ...", 'C', DbImportSvj},
    {0, "Memo", 'M', nullptr},
    {2, "All on", 'A', AlltoMemo},
    {2, "All off", 'o', CloseAllMemo},
    {1, "Processes ...", 'P', editProc},
    {1, "Rearrange now", 'n', RearrangeNow},
    {0, "Recollect", 'R', nullptr},
    {2, "Selected", 'S', RecollectSelected},
    {2, "Master", 'M', RecollectHappy},
    {0, "Select", 'S', nullptr},
    {2, "All on", 'A', SelectAll},
    {2, "All off", 'o', DeselectAll},
    {2, "Toggle", 'T', SelectInvAll},
    {1, "About Orva ...", 'A', AboutOrva},
};
#define ROWS(t) t, int(sizeof t / sizeof t[0])
MenuTop menu_tops[8] = {
    {"OPEN", 'O', nullptr, ROWS(open_items), nullptr},
    {"SAVE", 'S', nullptr, ROWS(save_items), nullptr},
    {"DELETE", 'D', nullptr, ROWS(delete_items), nullptr},
    {"IMPORT", 'I', nullptr, ROWS(import_items), nullptr},
    {"EXPORT", 'E', nullptr, ROWS(export_items), nullptr},
    {"EFFECTS", 'F', nullptr, ROWS(effects_items), nullptr},
    {"TOOLS", 'T', nullptr, ROWS(tools_items), nullptr},
    {"QUIT", 'Q', editExit, nullptr, 0, nullptr},
};
#undef ROWS
// clang-format on

Widget popup_menu = nullptr;

// Non-zero while one of the pull-downs is shown: RepeatLast then does nothing.
static int menu_open = 0;

static void pulldown_mapped(Widget, XtPointer, XtPointer) {
    menu_open = 1;
}
static void pulldown_unmapped(Widget, XtPointer, XtPointer) {
    menu_open = 0;
}

static void record_last(Widget w, XtPointer client, XtPointer) {
    menu_tops[reinterpret_cast<intptr_t>(client)].last = w;
}

static Widget make_pulldown(Widget parent, const char *name) {
    Widget pd = XmCreatePulldownMenu(parent, const_cast<char *>(name), nullptr, 0);
    XtAddCallback(pd, XmNmapCallback, pulldown_mapped, nullptr);
    XtAddCallback(pd, XmNunmapCallback, pulldown_unmapped, nullptr);
    return pd;
}

static Widget make_cascade(Widget parent, const char *name, const char *label, char mnemonic,
                           Widget submenu, int width, int height) {
    XmStr s(label);
    Arg a[6];
    int n = 0;
    XtSetArg(a[n], XmNlabelString, XmString(s)), n++;
    XtSetArg(a[n], XmNmnemonic, KeySym(mnemonic)), n++;
    if (submenu) XtSetArg(a[n], XmNsubMenuId, submenu), n++;
    if (width > 0) XtSetArg(a[n], XmNwidth, width), n++;
    if (height > 0) XtSetArg(a[n], XmNheight, height), n++;
    if (width > 0 || height > 0) XtSetArg(a[n], XmNrecomputeSize, False), n++;
    return XtCreateManagedWidget(name, xmCascadeButtonWidgetClass, parent, a, Cardinal(n));
}

static Widget make_item(Widget pulldown, const char *label, char mnemonic, XtCallbackProc cb,
                        XtPointer data, intptr_t top) {
    XmStr s(label);
    Arg a[5];
    int n = 0;
    XtSetArg(a[n], XmNlabelString, XmString(s)), n++;
    XtSetArg(a[n], XmNmnemonic, KeySym(mnemonic)), n++;
    XtSetArg(a[n], XmNwidth, 120), n++;
    XtSetArg(a[n], XmNheight, 30), n++;
    XtSetArg(a[n], XmNrecomputeSize, False), n++;
    Widget b = XtCreateManagedWidget("btn", xmPushButtonWidgetClass, pulldown, a, Cardinal(n));
    if (cb) XtAddCallback(b, XmNactivateCallback, cb, data);
    XtAddCallback(b, XmNactivateCallback, record_last, reinterpret_cast<XtPointer>(top));
    return b;
}

// Fills one pull-down from its table, then (for EFFECTS) the plug-ins.
static void fill_pulldown(Widget pd, int top) {
    const MenuTop &t = menu_tops[top];
    Widget sub = nullptr;
    for (int i = 0; i < t.count; i++) {
        const MenuItem &it = t.items[i];
        XtPointer label = const_cast<char *>(it.label);
        if (it.level == 0) {
            sub = make_pulldown(pd, "spd");
            make_cascade(pd, "btn", it.label, it.mnemonic, sub, -1, -1);
        } else if (it.level == 2 && sub) {
            make_item(sub, it.label, it.mnemonic, it.callback, label, top);
        } else {
            make_item(pd, it.label, it.mnemonic, it.callback, label, top);
        }
    }
    if (t.items == effects_items && !UserPlugins().empty()) {
        sub = make_pulldown(pd, "spd");
        make_cascade(pd, "btn", "User defined", 'U', sub, -1, -1);
        for (const UserPlugin &p : UserPlugins())
            make_item(sub, p.name.c_str(), p.name[0], UserEffect,
                      reinterpret_cast<XtPointer>(p.effect), top);
    }
}

// Builds the eight cascades with their pull-downs into a menu bar or popup.
static void build_tree(Widget menu, const char *cascade_name, int width, int height) {
    static XtTranslations repeat = nullptr;
    if (!repeat) repeat = XtParseTranslationTable("<Btn2Down>: RepeatLast() \n");
    for (int i = 0; i < 8; i++) {
        MenuTop &t = menu_tops[i];
        Widget pd = nullptr;
        if (t.items) pd = make_pulldown(menu, "pulldown");
        Widget c = make_cascade(menu, cascade_name, t.label, t.mnemonic, pd, width, height);
        XtVaSetValues(c, XmNuserData, XtPointer(intptr_t(i)), NULL);
        XtOverrideTranslations(c, repeat);
        if (t.callback) XtAddCallback(c, XmNactivateCallback, t.callback, (XtPointer)t.label);
        if (pd) fill_pulldown(pd, i);
    }
}

Widget CreaManagedMainMenubar(Widget parent, int width, Pixel *foreground) {
    Arg a[4];
    int n = 0;
    XtSetArg(a[n], XmNorientation, XmHORIZONTAL), n++;
    XtSetArg(a[n], XmNnumColumns, 1), n++;
    XtSetArg(a[n], XmNwidth, width), n++;
    XtSetArg(a[n], XmNresizeWidth, False), n++;
    Widget bar = XmCreateMenuBar(parent, const_cast<char *>("menubar"), a, Cardinal(n));
    build_tree(bar, "menu", width / 8 - 2, 30);
    WidgetList kids = nullptr;
    Cardinal nkids = 0;
    XtVaGetValues(bar, XmNchildren, &kids, XmNnumChildren, &nkids, NULL);
    if (foreground && nkids > 0) XtVaGetValues(kids[0], XmNforeground, foreground, NULL);
    XtManageChild(bar);
    return bar;
}

Widget CreaPopupMenu(Widget parent) {
    Widget popup = XmCreatePopupMenu(parent, const_cast<char *>("popup"), nullptr, 0);
    XmStr title("POPUP MENU");
    XtVaCreateManagedWidget("title", xmLabelWidgetClass, popup, XmNlabelString, XmString(title),
                            NULL);
    XtVaCreateManagedWidget("separator", xmSeparatorWidgetClass, popup, NULL);
    build_tree(popup, "popup", 120, -1);
    popup_menu = popup;
    return popup;
}

void PopupEvent(Widget, XtPointer, XEvent *event, Boolean *) {
    if (event->type != ButtonPress || event->xbutton.button != Button3 || !popup_menu) return;
    XmMenuPosition(popup_menu, &event->xbutton);
    XtManageChild(popup_menu);
}

void RepeatLast(Widget w, XEvent *event, String *, Cardinal *) {
    if (menu_open) return;
    XtPointer data = nullptr;
    XtVaGetValues(w, XmNuserData, &data, NULL);
    intptr_t top = reinterpret_cast<intptr_t>(data);
    if (top < 0 || top >= 8) return;
    Widget last = menu_tops[top].last;
    if (!last) return;
    if (popup_menu && XtIsManaged(popup_menu)) XtUnmanageChild(popup_menu);
    XmPushButtonCallbackStruct cbs{};
    cbs.reason = XmCR_ACTIVATE;
    cbs.event = event;
    cbs.click_count = 1;
    XtCallCallbacks(last, XmNactivateCallback, &cbs);
}
