// The "Change reel" dialog (see change_reel.h).
#include "desktop/change_reel.h"

#include <Xm/Text.h>
#include <Xm/Xm.h>

#include "desktop/globals.h"
#include "ui/widgets.h"

namespace {

struct ChangeReel {
    Widget form = nullptr, text = nullptr;
    std::function<void(const std::string &)> ok;
    std::function<void()> brk;
    bool answered = false;
};

void change_ok(Widget, XtPointer client, XtPointer) {
    auto *c = static_cast<ChangeReel *>(client);
    if (c->answered) return;
    c->answered = true;
    char *t = XmTextGetString(c->text);
    const std::string name = t ? t : "";
    XtFree(t);
    // The record goes with the widgets, so the call is taken out first.
    const auto ok = c->ok;
    XtDestroyWidget(XtParent(c->form));
    if (ok) ok(name);
}

void change_break(Widget, XtPointer client, XtPointer) {
    auto *c = static_cast<ChangeReel *>(client);
    if (c->answered) return;
    c->answered = true;
    const auto brk = c->brk;
    XtDestroyWidget(XtParent(c->form));
    if (brk) brk();
}

void change_destroyed(Widget, XtPointer client, XtPointer) {
    delete static_cast<ChangeReel *>(client);
}

} // namespace

Widget ChangeReelDialog(const std::string &tape, std::function<void(const std::string &)> ok,
                        std::function<void()> brk) {
    auto *c = new ChangeReel;
    c->ok = std::move(ok);
    c->brk = std::move(brk);
    c->form = CreaDialog(mainform, "Change reel", "effect", 300, 220, 1, 0);
    XtAddCallback(c->form, XmNdestroyCallback, change_destroyed, c);
    const std::string text = "Insert reel:\n" + tape + "\n\nNew reel name:";
    CreaLabelXY(c->form, 20, 10, 260, 90, text.c_str());
    c->text = CreaText(c->form, 20, 105, 260, 35, tape.c_str(), 64, "reel_text");
    Widget okb = CreaBottoneXYName(c->form, "OK", 40, 160, 80, 35, "OK");
    Widget brkb = CreaBottoneXYName(c->form, "Break", 180, 160, 80, 35, "Break");
    XtAddCallback(okb, XmNactivateCallback, change_ok, c);
    XtAddCallback(brkb, XmNactivateCallback, change_break, c);
    XtAddCallback(c->text, XmNactivateCallback, change_ok, c);
    XtVaSetValues(c->form, XmNdefaultButton, okb, NULL);
    XtManageChild(c->form);
    return c->form;
}
