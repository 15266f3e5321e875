// The VTR panel of the main window: a remote control of the tape recorder on
// the board's master port, the goto timecode, the In and Out fields, the
// grab list, the grab quality, and the buttons that grab the list or play
// the master area out. It also frames the long VTR jobs (wait dialog, abort,
// end routine).
#pragma once

#include <X11/Intrinsic.h>

#include "vtr/timecode.h"

struct sv_handle;

// The board the panel drives; set by start-up before CreaVtrWidget. Every
// control does nothing while it is null.
extern sv_handle *vtr_board;

// Last transport command sent (SV_MASTER_STOP ... SV_MASTER_JOG), 0 before
// the first. The button of this state is drawn highlighted.
extern int vtr_state;
// The In / Out field holds a marked value (its button is highlighted).
extern int in_set, out_set;
// 1 while the jog slider drives the VTR.
extern int jogging;

// Builds the panel inside `parent` ("vtrform"); width and height are the main
// window's. Prepares the preroll settings (InitVtrEnv) and reads the VTR
// timecode once.
void CreaVtrWidget(Widget parent, int width, int height);

// After `seconds` (a toolkit timer; 0 reads at once), reads the board's status
// and shows the VTR timecode in the goto label, then calls then(data) when
// given. A failed read leaves the label as it was.
void Read_TC(int seconds, void (*then)(void *) = nullptr, void *data = nullptr);

// Transport as the buttons do: each sends its command unless the rules of
// the state say otherwise. 1 when a command was sent and took effect.
int VtrStop();
int VtrPlay();
int VtrRewind();
int VtrForward();
int VtrPause();
// Goto: with target null the goto label's text is the target.
int VtrGoto(const Timecode *target);
// A step button: frames is one of +-3600*fps, +-60*fps, +-fps, +-1.
void VtrStep(int frames);
// The jog slider dragged to v, and released at v.
void VtrJogDrag(int v);
void VtrJogRelease(int v);

// Actions of the In / Out buttons' middle button: goto to the field's
// timecode, shown in the goto label, pause highlighted.
void Goto_In(Widget w, XEvent *event, String *params, Cardinal *num_params);
void Goto_Out(Widget w, XEvent *event, String *params, Cardinal *num_params);
// Puts the timecode of frame `frame` (the master area's current frame) into
// the In field and marks it, as the In button does with the goto label.
void CopyIn(int frame);
// Normalises the text of the In (which 0) or Out (1) field and marks it.
void Parse_Timecode(int which);

// Grab-list buttons: add the marked In..Out, delete the selected items, clear
// (after writing WORK/.undo.edl when a database is current).
void VtrListAdd();
void VtrListDelete();
void VtrListClear();
// Deletes the entries grabbed without problems from the list and the widget.
void VtrListRemoveGood();
// Shows tc_list in the list widget again, item for item.
void VtrListRefresh();

// Writes the grab list as an edit list at path with the reel name field as
// reel; 0, or 1 after showing why it failed.
int EdlWrite(const char *path);

// The quality label's text ("1".."100" or "D1") and one quality step.
const char *VtrQuality();
void StepQuality(int delta);
// The reel name field's text.
const char *VtrReelName();

// Makes the controls that talk to the board and the grab-list buttons
// insensitive while busy is non-zero (a VTR job or a preparation runs).
void VtrPanelSetBusy(int busy);
int VtrPanelBusy();

// What "Grab", "Rec" and "Disp" run. Null: "Not available yet.".
extern void (*VtrGrabHook)();
extern void (*VtrRecHook)();
extern void (*VtrDispHook)();

// --- VTR jobs ---------------------------------------------------------------

// Starts fn(data) as the background VTR job (the desktop registers it: Sproc
// of type 7); returns the job id or -1.
extern int (*VtrSprocHook)(void (*fn)(void *), void *data);

// Frames a VTR job: asks "Selected database is not local.\nContinue
// anyway?" for a database that is not on a local disk (Cancel stops the VTR),
// then closes the pause gate, shows the wait dialog `title` / "Click stop to
// abort" with "Stop", and starts job(data). end(aborted) runs in the main
// thread when the job has ended (EndVtrProcess).
void StartVtrProcess(const char *title, void (*job)(void *), void *data, void (*end)(int aborted));
// The end of the VTR job: the dialog goes, the end routine runs with the
// aborted flag, the pause gate opens.
void EndVtrProcess();
// The wait dialog's "Stop": waits for the board to finish its exchange, stops
// the job and marks it aborted.
void AbortVtrProcess();
// Id of the running VTR job, -1 when none.
int VtrJobPid();
// True when the directory lies on a local file system.
bool DirIsLocal(const char *dir);
