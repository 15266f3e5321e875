// The VTR panel's transport: buttons, goto, stepping, jog and the timecode
// read-back. Every command goes through sv_vtrmaster; only a command that
// returns 0 changes the state and the highlight.
#include <Xm/Scale.h>

#include "device/sv.h"
#include "media/video_globals.h"
#include "ui/globals.h"
#include "ui/widgets.h"
#include "vtr/vtr_panel.h"
#include "vtr/vtr_panel_internal.h"
#include "vtr/vtr_panel_rules.h"

int vtr_state = 0;
int jogging = 0;

namespace {

int button_of(int state) {
    switch (state) {
    case SV_MASTER_STOP:
        return VB_STOP;
    case SV_MASTER_PLAY:
        return VB_PLAY;
    case SV_MASTER_REWIND:
        return VB_REWIND;
    case SV_MASTER_FORWARD:
        return VB_FORWARD;
    case SV_MASTER_PAUSE:
        return VB_PAUSE;
    default:
        return -1;
    }
}

// Sends one transport command; on success records the state and, for the
// states that have a button, highlights it (the others show none).
int send(int op, int arg = 0) {
    if (!vtr_board) return 0;
    if (sv_vtrmaster(vtr_board, op, arg) != 0) return 0;
    vtr_state = op;
    VtrHighlight(op);
    return 1;
}

struct TcRead {
    void (*then)(void *);
    void *data;
};

void read_now(TcRead r) {
    sv_info info{};
    if (vtr_board && sv_status(vtr_board, &info) == 0) VtrShowGoto(unsigned(info.word[3]));
    if (r.then) r.then(r.data);
}

void read_timer(XtPointer client, XtIntervalId *) {
    TcRead *r = static_cast<TcRead *>(client);
    const TcRead copy = *r;
    delete r;
    read_now(copy);
}

void send_play(void *) {
    send(SV_MASTER_PLAY);
}

Timecode goto_label() {
    const std::string text = LabelGetString(vtr_panel.tc_goto);
    Timecode w = 0;
    if (is_valid_tc(text.c_str())) vtr_asc2tc(text.c_str(), &w);
    return w;
}

} // namespace

void VtrHighlight(int state) {
    const int b = button_of(state);
    for (int i = 0; i < VB_COUNT; ++i)
        if (vtr_panel.transport[i])
            XtVaSetValues(vtr_panel.transport[i], XmNbackground,
                          i == b ? YEL_COL : vtr_panel.plain[i], NULL);
}

void VtrShowGoto(unsigned word) {
    char text[12];
    vtr_tc2asc(word, text);
    if (vtr_panel.tc_goto) LabelSetString(vtr_panel.tc_goto, text);
}

void Read_TC(int seconds, void (*then)(void *), void *data) {
    if (seconds <= 0 || !app) {
        read_now(TcRead{then, data});
        return;
    }
    XtAppAddTimeOut(app, unsigned(seconds) * 1000, read_timer, new TcRead{then, data});
}

int VtrStop() {
    if (!vtr_board) return 0;
    if (vtr_state == SV_MASTER_STOP) {
        Read_TC(0);
        return 0;
    }
    const int before = vtr_state;
    if (!send(SV_MASTER_STOP)) return 0;
    Read_TC(before == SV_MASTER_FORWARD || before == SV_MASTER_REWIND ? 2 : 1);
    return 1;
}

int VtrPlay() {
    if (!vtr_board || vtr_state == SV_MASTER_PLAY) return 0;
    if (vtr_state == SV_MASTER_PAUSE) return send(SV_MASTER_PLAY);
    // From any other state the VTR first stands still on the picture: pause,
    // read where it is a second later, then play.
    if (!send(SV_MASTER_PAUSE)) return 0;
    Read_TC(1, send_play, nullptr);
    return 1;
}

int VtrRewind() {
    return vtr_state == SV_MASTER_REWIND ? 0 : send(SV_MASTER_REWIND);
}
int VtrForward() {
    return vtr_state == SV_MASTER_FORWARD ? 0 : send(SV_MASTER_FORWARD);
}
int VtrPause() {
    return vtr_state == SV_MASTER_PAUSE ? 0 : send(SV_MASTER_PAUSE);
}

int VtrGoto(const Timecode *target) {
    if (!vtr_board) return 0;
    const int before = vtr_state;
    const Timecode t = target ? *target : goto_label();
    if (!send(SV_MASTER_GOTO, int(t))) return 0;
    if (!target && before != SV_MASTER_GOTO && before != SV_MASTER_PAUSE)
        VtrHighlight(SV_MASTER_PAUSE);
    return 1;
}

void VtrStep(int frames) {
    if (!vtr_board) return;
    if ((frames == 1 || frames == -1) && vtr_state != SV_MASTER_PAUSE) {
        VtrPause();
        return;
    }
    const Timecode t = TcAddFrames(goto_label(), frames);
    VtrShowGoto(t);
    VtrGoto(nullptr);
}

void VtrJogDrag(int v) {
    if (!vtr_board) return;
    if (send(SV_MASTER_JOG, JogSpeed(v))) jogging = 1;
    if (JogSnapsBack(v) && vtr_panel.jog) XmScaleSetValue(vtr_panel.jog, 0);
}

void VtrJogRelease(int v) {
    if (vtr_board) {
        if (jogging) {
            send(SV_MASTER_JOG, 0);
            send(SV_MASTER_PAUSE);
            Read_TC(1);
        } else if (v > 0) {
            VtrStep(1);
        } else if (v < 0) {
            VtrStep(-1);
        }
    }
    if (vtr_panel.jog) XmScaleSetValue(vtr_panel.jog, 0);
    jogging = 0;
}

void VtrTransportCallback(Widget, XtPointer client, XtPointer) {
    switch (int(intptr_t(client))) {
    case VB_STOP:
        VtrStop();
        break;
    case VB_PLAY:
        VtrPlay();
        break;
    case VB_REWIND:
        VtrRewind();
        break;
    case VB_FORWARD:
        VtrForward();
        break;
    case VB_PAUSE:
        VtrPause();
        break;
    }
}

void VtrStepCallback(Widget, XtPointer client, XtPointer) {
    static const int unit[4] = {3600, 60, 1, 0};
    const int i = int(intptr_t(client));
    const int amount = unit[i % 4] ? unit[i % 4] * fps : 1;
    VtrStep(i < 4 ? amount : -amount);
}

void VtrJogDragCallback(Widget, XtPointer, XtPointer call) {
    VtrJogDrag(static_cast<XmScaleCallbackStruct *>(call)->value);
}

void VtrJogReleaseCallback(Widget, XtPointer, XtPointer call) {
    VtrJogRelease(static_cast<XmScaleCallbackStruct *>(call)->value);
}
