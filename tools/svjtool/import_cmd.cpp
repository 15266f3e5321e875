// svjtool scan and import: the directory scan of the import dialog and an
// import run through the program's own import code (first-picture check,
// then the background body, here in the foreground), so that a sequence can
// be turned into a reel or an image clip without the desktop.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "editing/image_seq.h"
#include "editing/import.h"
#include "editing/import_movie.h"
#include "media/fm_main.h"
#include "platform/sem.h"

int cmd_scan(int argc, char **argv);
int cmd_import(int argc, char **argv);

namespace {

const char *import_usage = "usage: svjtool import -d DBDIR [-s S] [-e E] [-t STEP] [-q Q] [-fit] "
                           "[-fields] [-remote] [-n .1.|.0001.|dos] SOURCE [OUT.svj]\n";

bool parse_number(const char *text, int *value) {
    if (!text || !*text) return false;
    char *end = nullptr;
    const long v = strtol(text, &end, 10);
    if (*end || v < -2147483647L || v > 2147483647L) return false;
    *value = int(v);
    return true;
}

// First and last number of a list line "...[F...L]...", else 1 and 1.
void range_of(const std::string &source, int &first, int &last) {
    first = last = 1;
    const size_t open = source.find('[');
    if (open == std::string::npos) return;
    int f, l;
    if (sscanf(source.c_str() + open, "[%d...%d]", &f, &l) == 2) {
        first = f;
        last = l;
    }
}

} // namespace

int cmd_scan(int argc, char **argv) {
    (void)argc;
    std::vector<ImportSeq> list;
    if (ImportFileSearch(argv[0], list) < 0 || ImportMovieSearch(argv[0], list) < 0) {
        fprintf(stderr, "svjtool: cannot read directory %s\n", argv[0]);
        return 1;
    }
    for (const ImportSeq &s : list)
        printf("%s\t%d\t%d\n", s.shown.c_str(), s.first, s.last);
    return 0;
}

int cmd_import(int argc, char **argv) {
    std::string db, source, reel;
    int start = 0, end = 0, step = 1, quality = 85, padding = 0;
    bool have_start = false, have_end = false, fit = false, fields = false, remote = false;
    std::vector<std::string> rest;
    for (int i = 0; i < argc; i++) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "-d" && more)
            db = argv[++i];
        else if (a == "-s" && more && parse_number(argv[i + 1], &start))
            have_start = true, i++;
        else if (a == "-e" && more && parse_number(argv[i + 1], &end))
            have_end = true, i++;
        else if (a == "-t" && more && parse_number(argv[i + 1], &step))
            i++;
        else if (a == "-q" && more && parse_number(argv[i + 1], &quality))
            i++;
        else if (a == "-fit")
            fit = true;
        else if (a == "-fields")
            fields = true;
        else if (a == "-remote")
            remote = true;
        else if (a == "-n" && more) {
            const std::string p = argv[++i];
            if (p == ".1.")
                padding = 0;
            else if (p == ".0001.")
                padding = 1;
            else if (p == "dos")
                padding = 2;
            else {
                fputs(import_usage, stderr);
                return 2;
            }
        } else if (!a.empty() && a[0] == '-') {
            fputs(import_usage, stderr);
            return 2;
        } else
            rest.push_back(a);
    }
    if (db.empty() || rest.empty() || rest.size() > 2) {
        fputs(import_usage, stderr);
        return 2;
    }
    if (db.back() != '/') db += '/';
    source = rest[0];
    if (rest.size() == 2) reel = rest[1];
    int first, last;
    range_of(source, first, last);
    // The dialog's rules for the fields: Start below 1 is 1, End below Start
    // is Start, Step below 1 is 1, Quality within 1 .. 100.
    ImportData d;
    d.start = have_start ? start : first;
    // A movie's whole range is 1 .. its frame count, which the import finds.
    d.end = have_end ? end : ImportIsMovie(source) ? 2147483647 : last;
    if (d.start < 1) d.start = 1;
    if (d.end < d.start) d.end = d.start;
    d.step = step < 1 ? 1 : step;
    d.quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    if (!reel.empty()) {
        struct stat st;
        if (lstat(reel.c_str(), &st) == 0) {
            fprintf(stderr, "svjtool: %s: File exists. Overwrite?\n", reel.c_str());
            return 1;
        }
    }
    int mode = 0;
    if (remote) {
        source = CreaAbeName(source, padding);
        mode = reel.empty() ? 1 : 2;
    }
    fm_initialize(nullptr);
    if (SemInit() != 0) {
        perror("semaphore error");
        return 1;
    }
    std::string message;
    int rc = ImportPrepare(source, reel, db, mode, fields ? 1 : 0, d, message);
    if (rc == PREPARE_FIT) {
        if (!fit) {
            fputs("Images are not video size.\nDo you want to fit them?\nno\n", stderr);
            SemRemove();
            return 1;
        }
        ImportSetFit(d);
        rc = PREPARE_START;
    }
    if (rc != PREPARE_START) {
        fputs(message.c_str(), stderr);
        SemRemove();
        return 1;
    }
    ImportWrite(&d);
    SemRemove();
    const int status = d.status->load();
    printf("status %d\n", status);
    switch (status) {
    case IMPORT_NOENV:
        fprintf(stderr, "Environment variable\n%s\nnot found\n", IMPORT_RECORD_ENV);
        return 1;
    case IMPORT_ERROR:
        fputs("Import error\n", stderr);
        if (!reel.empty()) unlink(reel.c_str());
        unlink(d.preview.c_str());
        return 1;
    case IMPORT_BLACK:
        fputs("Couldn't read all pictures\n", stderr);
        break;
    case IMPORT_EARLY:
        fputs("Import error: different sizes\n", stderr);
        break;
    default:
        break;
    }
    if (d.frames_made < 1) return 1;
    if (reel.empty() && !ImportWriteImageLog(d)) {
        fputs("Import error\n", stderr);
        return 1;
    }
    printf("frames %d\n", d.frames_made);
    return 0;
}
