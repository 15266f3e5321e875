// svjtool fx and custom: the effect database as the "Standalone Fx" dialog
// reads it, the command line of one frame, and a whole custom effect run in
// the foreground through the program's own job body and import.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "editing/clip_records.h"
#include "editing/custom_fx.h"
#include "editing/custom_process.h"
#include "editing/export.h"
#include "editing/import.h"
#include "media/fm_main.h"
#include "media/video_globals.h"
#include "platform/sem.h"

int cmd_fx(int argc, char **argv);
int cmd_custom(int argc, char **argv);

namespace {

const char *custom_usage =
    "usage: svjtool custom -d DBDIR [-f pic|tga|sgi|yuv] [-q Q] [-p PARAMS] FXFILE NAME IN.svj "
    "OUT\n(OUT ending in .svj: the results go into that reel; otherwise they stay as the "
    "pictures OUT.1.EXT ... and become an image clip of DBDIR)\n";

// Reads the database, printing its messages; false when nothing is listed.
bool read_effects(const char *file, std::vector<FxEffect> &effects) {
    std::vector<std::string> messages;
    const bool ok = FxReadDatabase(file, effects, messages);
    for (const std::string &m : messages)
        std::fprintf(stderr, "%s\n", m.c_str());
    return ok;
}

// Selects name and reads the parameters into cmd; false after printing why.
bool select_effect(const std::vector<FxEffect> &effects, const char *name, const char *params,
                   FxCommand &cmd) {
    std::string parameters, message;
    if (!StlnSelectCommand(effects, name, cmd, parameters, message) || cmd.type == 0 ||
        !StlnParseParameters(params, cmd, message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return false;
    }
    return true;
}

bool whole_number(const char *text, int *value) {
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < INT_MIN || v > INT_MAX) return false;
    *value = int(v);
    return true;
}

} // namespace

int cmd_fx(int argc, char **argv) {
    if (argc != 1 && argc != 5) {
        std::fputs("usage: svjtool fx FXFILE [NAME PARAMS IN OUT]\n", stderr);
        return 2;
    }
    std::vector<FxEffect> effects;
    if (!read_effects(argv[0], effects)) return 1;
    if (argc == 1) {
        for (const FxEffect &e : effects) {
            FxCommand cmd;
            std::string parameters, message;
            StlnSelectCommand(effects, e.name, cmd, parameters, message);
            if (!message.empty()) std::fprintf(stderr, "%s: %s\n", e.name.c_str(), message.c_str());
            std::printf("%s\t%d\t%s\t%s\n", e.name.c_str(), cmd.type, cmd.command.c_str(),
                        parameters.c_str());
        }
        return 0;
    }
    FxCommand cmd;
    if (!select_effect(effects, argv[1], argv[2], cmd)) return 1;
    std::printf("%s\n", StlnBuildCommand(cmd, argv[3], argv[4]).c_str());
    return 0;
}

int cmd_custom(int argc, char **argv) {
    std::string db, params;
    int format = 1, quality = 85;
    std::vector<std::string> rest;
    for (int i = 0; i < argc; i++) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "-d" && more) {
            db = argv[++i];
        } else if (a == "-p" && more) {
            params = argv[++i];
        } else if (a == "-q" && more && whole_number(argv[i + 1], &quality)) {
            i++;
        } else if (a == "-f" && more) {
            const std::string f = argv[++i];
            format = f == "pic" ? 0 : f == "tga" ? 1 : f == "sgi" ? 2 : f == "yuv" ? 3 : -1;
            if (format < 0) {
                std::fputs(custom_usage, stderr);
                return 2;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            std::fputs(custom_usage, stderr);
            return 2;
        } else {
            rest.push_back(a);
        }
    }
    if (db.empty() || rest.size() != 4) {
        std::fputs(custom_usage, stderr);
        return 2;
    }
    if (db.back() != '/') db += '/';
    const std::string &out = rest[3];
    const bool svj = out.size() > 4 && out.compare(out.size() - 4, 4, ".svj") == 0;

    std::vector<FxEffect> effects;
    FxCommand cmd;
    if (!read_effects(rest[0].c_str(), effects)) return 1;
    if (!select_effect(effects, rest[1].c_str(), params.c_str(), cmd)) return 1;

    SetVideoMode(0);
    fm_initialize(nullptr);
    if (SemInit() != 0) {
        std::perror("semaphore error");
        return 1;
    }
    // The input reel as the one clip of a window.
    fm_fileformat *file = fm_fileformat_allocate("svj");
    int frames = -1;
    if (file && fm_rheader(file, rest[2].c_str()) == 0) {
        frames = file->frames;
        fm_close(file);
    }
    fm_fileformat_free(file);
    if (frames < 1) {
        std::fprintf(stderr, "svjtool: %s is not a readable SVJ reel\n", rest[2].c_str());
        SemRemove();
        return 1;
    }
    FisicData clip;
    clip.path = strdup(rest[2].c_str());
    clip.frames = frames;
    Segment seg;
    seg.last = frames - 1;
    seg.fisic = &clip;
    seg.next = seg.prev = &seg;
    WindowData win;
    win.width = VIDEO_SIZEX / 4;
    win.height = VIDEO_SIZEY / 4;
    win.seg_first = win.seg_last = win.seg_current = &seg;
    win.total = frames;

    ExportRequest req;
    req.path = out;
    req.kind = svj ? EXPORT_KIND_FX_REEL : EXPORT_KIND_FX_PICS;
    req.format = svj ? EXPORT_SVJ : format;
    req.start = "1";
    req.end = std::to_string(frames);
    req.step = "1";
    req.out_start = "1";
    int result = 1;
    ExportCheckResult r = ExportCheck(req, &win, frames);
    std::string message;
    StlnJob *job = nullptr;
    if (r.message) {
        std::fprintf(stderr, "%s\n", r.message);
    } else if (r.overwrite) {
        FreeExportData(r.data);
        std::fprintf(stderr, "%s\nno\n", EXPORT_MSG_OVERWRITE);
    } else if (!(job = StlnPrepare(r.data, cmd, format, quality, db + "IMAGES/", db, message))) {
        std::fputs(message.c_str(), stderr);
        if (message.empty() || message.back() != '\n') std::fputc('\n', stderr);
    }
    if (job) {
        StlnEffectProcess(job);
        const int status = job->status->load();
        Free_Fake(job, status == FX_OK);
        StlnFreeExportData(job);
        std::printf("status %d\n", status);
        if (status == FX_FAILED) std::fputs("Export error\n", stderr);
        if (status == FX_NO_RESULT) std::fputs("Couldn't complete custom effect\n", stderr);
        ImportData &d = *job->import;
        if (status == FX_OK && !StlnImportReady(d, message)) {
            std::fputs(message.c_str(), stderr);
            if (d.svj) StlnRemoveResults(d);
        } else if (status == FX_OK) {
            if (d.svj)
                StlnImportWrite(&d);
            else
                ImportWrite(&d);
            const int st = d.status->load();
            if (d.frames_made > 0 && st != IMPORT_ERROR && (d.svj || ImportWriteImageLog(d))) {
                std::printf("frames %d\n", d.frames_made);
                result = 0;
            } else {
                std::fputs("Error in effect import process.\n", stderr);
                if (d.svj) std::remove(d.out_name.c_str());
                if (!d.preview.empty()) std::remove(d.preview.c_str());
            }
        }
        StlnFreeJob(job);
    }
    free(clip.path);
    clip.path = nullptr;
    SemRemove();
    return result;
}
