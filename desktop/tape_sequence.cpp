// The tape-by-tape grab shared by Recollect and the edit-list collect (see
// tape_sequence.h): "Change reel", one VTR job per tape, its end, the next
// tape, and the one message at the end.
#include "desktop/tape_sequence.h"

#include <unistd.h>

#include "database/db_list.h"
#include "desktop/change_reel.h"
#include "desktop/clip_model.h"
#include "desktop/grab.h"
#include "device/sv.h"
#include "platform/sem.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "vtr/grab_job.h"
#include "vtr/grab_names.h"
#include "vtr/vtr_panel.h"

struct TapeSequenceSteps {
    // The sequence whose tape job was started last: the VTR job's end
    // routine carries no data of its own.
    static TapeSequence *job_of;

    static void finish(TapeSequence *s) {
        if (s->tally.errors)
            PutCharMessage(mainform, s->error_text_);
        else if (s->tally.warnings)
            PutCharMessage(mainform, "Warning: data lost while grabbing");
        delete s;
        VtrStop();
        // Wake the log converter for the new clips.
        SemSet(1, 0);
        SemSet(2, 0);
    }

    static void body(void *data) { static_cast<TapeSequence *>(data)->Grab(); }

    static void ended(int aborted) {
        TapeSequence *s = job_of;
        job_of = nullptr;
        if (!s) return;
        s->Grabbed();
        if (aborted) {
            if (vtr_board) sv_stop(vtr_board);
            finish(s);
            return;
        }
        ++s->at;
        ask(s);
    }

    static void answered(TapeSequence *s, const std::string &name) {
        s->asking_ = false;
        if (!TapeNameOk(name)) {
            s->NameRefused();
            finish(s);
            return;
        }
        s->new_tape = name;
        job_of = s;
        StartVtrProcess(s->job_title_, body, s, ended);
    }

    static void broken(TapeSequence *s) {
        s->asking_ = false;
        finish(s);
    }

    static void ask(TapeSequence *s) {
        if (s->at >= s->Tapes()) {
            finish(s);
            return;
        }
        s->asking_ = true;
        ChangeReelDialog(
            s->TapeName(s->at), [s](const std::string &name) { answered(s, name); },
            [s] { broken(s); });
    }
};

TapeSequence *TapeSequenceSteps::job_of = nullptr;

TapeSequence::~TapeSequence() {
    // One whose job was declined may go before another sequence starts.
    if (TapeSequenceSteps::job_of == this) TapeSequenceSteps::job_of = nullptr;
}

void RunTapeSequence(TapeSequence *s) {
    TapeSequenceSteps::ask(s);
}

FisicData *TapeReelClip(const GrabResult &r, TapeTally *tally) {
    if (r.running) {
        // Cut by the stop: the partial reel goes.
        if (!r.name.empty()) unlink(r.name.c_str());
        return nullptr;
    }
    FisicData *clip = nullptr;
    if (r.has_reel) {
        int status = 0;
        clip = CreaFisicData(r.name.c_str(), r.recorded, &status);
        if (clip && status != 1 && status != 2) {
            FreeFisicData(clip);
            clip = nullptr;
        }
        if (clip) {
            clip->dir = DbGetDir(1);
            AddFirstFisic(clip);
        }
    }
    if (r.error == 31 || r.error == 22)
        ++tally->warnings;
    else if (r.error || !clip)
        ++tally->errors;
    return clip;
}

FisicData *TapeFramesClip(const D1Result &r, const D1RangeFiles &files, TapeTally *tally) {
    if (r.running) {
        if (!files.part.empty()) unlink(files.part.c_str());
        if (!files.log.empty()) unlink(files.log.c_str());
        return nullptr;
    }
    FisicData *clip = files.logged ? ImageLogClip(files.log.c_str()) : nullptr;
    if (!clip) ++tally->errors;
    return clip;
}
