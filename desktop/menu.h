// The menu tree: the main window's menu bar and the desktop popup menu, built
// from one set of tables, with the last item chosen from each menu
// remembered for `RepeatLast`, and the user effect plug-ins appended to
// EFFECTS.
#pragma once

#include <Xm/Xm.h>

#include <string>
#include <vector>

// One row of a pull-down table: level 1 is an item of the pull-down, level 0
// a cascade title whose sub pull-down "spd" holds the level-2 rows after it.
struct MenuItem {
    int level;
    const char *label;
    char mnemonic;
    XtCallbackProc callback;
};

// One top-level menu: only "QUIT" has a callback and no pull-down.
struct MenuTop {
    const char *label;
    char mnemonic;
    XtCallbackProc callback;
    const MenuItem *items;
    int count;
    Widget last; // last item chosen from this menu, or null
};

extern MenuTop menu_tops[8];
extern Widget popup_menu; // the desktop popup menu, once built

// Builds the menu bar "menubar" in parent, `width` wide; stores the
// foreground pixel of its first cascade in *foreground. Returns the menu bar.
Widget CreaManagedMainMenubar(Widget parent, int width, Pixel *foreground);
// Builds the desktop popup menu "popup".
Widget CreaPopupMenu(Widget parent);
// Button-press handler of the main form: button 3 shows the popup menu.
void PopupEvent(Widget w, XtPointer client, XEvent *event, Boolean *cont);
// Action on button 2 over a menu title: runs the last item of that menu again.
void RepeatLast(Widget w, XEvent *event, String *params, Cardinal *num_params);

// A user effect plug-in: its menu label and its effect function.
typedef void (*UserEffectFunc)(unsigned char *out, unsigned char *a, unsigned char *b, int width,
                               int height, int bytesPerPixel, int i, int n, int fields);
struct UserPlugin {
    std::string name;
    UserEffectFunc effect;
};
// Loads the plug-ins of directory `dir` (every "*.so" exporting
// "orvaMenuName" and "orvaUserEffect", in name order); a plug-in that cannot
// be opened is reported as "Error: %s\n" on standard output and skipped.
std::vector<UserPlugin> LoadUserPlugins(const char *dir);
// The plug-ins of "ORVA_USER_DIR", loaded once on first use.
const std::vector<UserPlugin> &UserPlugins();
// True once UserPlugins has loaded the plug-ins of this process.
bool UserPluginsLoaded();
