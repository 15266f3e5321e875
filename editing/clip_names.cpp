// Names of a clip's log files, built from the clip's path and the database
// directory, and the log picture size of the video standard.
#include "editing/clip_names.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "media/video_globals.h"

const char *const ClipDbSubdirNames[4] = {"SVJ/", "CLIP/", "WORK/", "IMAGES/"};
char *(*ClipDbDirHook)(int copy) = nullptr;

const char *ClipDbDir() {
    return ClipDbDirHook ? ClipDbDirHook(0) : nullptr;
}

char *GetName(char *path) {
    if (!path) return nullptr;
    char *s = strrchr(path, '/');
    s = s ? s + 1 : path;
    while (*s == ' ' || *s == '\t' || *s == '\n')
        s++;
    char *e = s;
    while (*e && *e != ' ' && *e != '\t' && *e != '\n')
        e++;
    *e = 0;
    return s;
}

const char *GetLogTag() {
    return "Log";
}
const char *GetPicTag() {
    return "Img";
}
int GetLogCommonSize() {
    return 50;
}

int CheckDimensions(int width, int height) {
    return width == VIDEO_SIZEX / 4 && height == QuarterHeight(VIDEO_SIZEY);
}

// Directory + "CLIP/" + base name of path + suffix.
static char *log_path(const char *dir, const char *path, const char *suffix) {
    std::string base_copy = path ? path : "";
    const char *base = GetName(base_copy.data());
    const char *d = dir ? dir : ClipDbDir();
    std::string out = std::string(d ? d : "") + ClipDbSubdirNames[1] + base + suffix;
    return strdup(out.c_str());
}

char *ClipName(const char *dir, const char *path, int k) {
    char suffix[32];
    snprintf(suffix, sizeof suffix, "_%s_%d", "Clip", k);
    return log_path(dir, path, suffix);
}

char *LogName(const char *dir, const char *path, int *size, char *date) {
    char suffix[16];
    snprintf(suffix, sizeof suffix, "_%s", GetLogTag());
    if (size && date) {
        struct stat st {};
        *size = -1;
        memset(date, 0, 26);
        if (path && stat(path, &st) == 0) {
            *size = int(st.st_size);
            char buf[32];
            time_t t = st.st_mtime;
            if (ctime_r(&t, buf)) memcpy(date, buf, strnlen(buf, 25)); // 24 characters and "\n"
        }
    }
    return log_path(dir, path, suffix);
}

char *PicClipName(const char *dir, const char *base, int tag, int k) {
    char name[1100];
    snprintf(name, sizeof name, "%s_%s%02i", base ? base : "", GetPicTag(), tag);
    return ClipName(dir, name, k);
}

char *PicLogName(const char *dir, const char *base, int tag) {
    char name[1100];
    snprintf(name, sizeof name, "%s_%s%02i", base ? base : "", GetPicTag(), tag);
    return LogName(dir, name, nullptr, nullptr);
}
