// Reading and writing the defaults file. See defaults_file.h.
#include "database/defaults_file.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "database/db_list.h"
#include "editing/clip_names.h"
#include "platform/fileio.h"
#include "platform/replace_file.h"

const int DefaultsFallback[DEFAULTS_COUNT] = {10, 1, 0, 1, 1};

namespace {

constexpr size_t LINE_MAX_CHARS = 1023;

const char *const labels[] = {
    " Autosave       : ", " Invert fields  : ", " Rearrange      : ", " Load init work : ",
    " Save exit work : ", " Init work name : ", " Exit work name : ", " Database name  : "};

// A set, non-empty environment value, or null.
const char *env(const char *name) {
    const char *v = getenv(name);
    return v && *v ? v : nullptr;
}

struct FileCloser {
    void operator()(FILE *f) const { fclose(f); }
};

// Reads one line without its newline. False at end of file or for a line
// longer than LINE_MAX_CHARS.
bool read_line(FILE *f, std::string &line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = getc(f)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (line.size() == LINE_MAX_CHARS) return false;
        line.push_back(char(c));
    }
    return any;
}

// The leading integer of text after blanks, as atoi reads it, but stopping
// at the ends of int instead of overflowing.
int parse_int(const char *s) {
    while (*s == ' ' || *s == '\t')
        s++;
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+') s++;
    long long v = 0;
    for (; *s >= '0' && *s <= '9'; s++) {
        v = v * 10 + (*s - '0');
        if (v > INT_MAX) v = int64_t(INT_MAX) + 1;
    }
    v = negative ? -v : v;
    return int(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
}

// The base name of a value (GetName: last path component up to a blank).
std::string base_name(const char *value) {
    std::string copy = value;
    return GetName(copy.data());
}

void put_name(char *out, const std::string &name) {
    snprintf(out, DEFAULTS_NAME_SIZE, "%s", name.c_str());
}

void take_fallbacks(int values[DEFAULTS_COUNT], char *init_name, char *exit_name) {
    memcpy(values, DefaultsFallback, sizeof DefaultsFallback);
    put_name(init_name, DefaultsWorkFallback());
    put_name(exit_name, DefaultsWorkFallback());
}

} // namespace

const char *GetDefaultName() {
    return ".orva_def.";
}

std::string DefaultsWorkFallback() {
    const char *user = getenv("USER");
    return std::string(".orva.") + (user ? user : "");
}

std::string DefaultsFilePath(int *global) {
    const char *dir = nullptr;
    if (*global) {
        dir = env("ORVA_RSRC");
        if (!dir) *global = 0;
    }
    if (!dir) dir = DbGetDir(0);
    if (!dir || !*dir) dir = env("PWD");
    if (!dir) dir = env("HOME");
    if (!dir) dir = "/";
    std::string path = dir;
    if (path.back() != '/') path += '/';
    const char *user = getenv("USER");
    return path + GetDefaultName() + (user ? user : "");
}

int ReadDefaultsFile(const char *path, int global, int values[DEFAULTS_COUNT],
                     char init_name[DEFAULTS_NAME_SIZE], char exit_name[DEFAULTS_NAME_SIZE],
                     std::string *database) {
    if (database) database->clear();
    std::unique_ptr<FILE, FileCloser> f(path ? fopen_regular(path, "r") : nullptr);
    const int lines = global ? 8 : 7;
    std::string line, text[8];
    for (int i = 0; f && i < lines; i++) {
        size_t colon;
        if (!read_line(f.get(), line) || (colon = line.find(':')) == std::string::npos) {
            f.reset();
            break;
        }
        text[i] = line.substr(colon + 1);
    }
    if (!f) {
        take_fallbacks(values, init_name, exit_name);
        return 0;
    }
    for (int i = 0; i < DEFAULTS_COUNT; i++) {
        int v = parse_int(text[i].c_str());
        if (v < 0 || (i > 0 && v != 1)) v = 0;
        values[i] = v;
    }
    for (int i = 5; i < 7; i++) {
        std::string name = base_name(text[i].c_str());
        put_name(i == 5 ? init_name : exit_name, name.empty() ? DefaultsWorkFallback() : name);
    }
    if (global && database) *database = base_name(text[7].c_str());
    return 1;
}

int WriteDefaultsFile(const char *path, const int values[DEFAULTS_COUNT],
                      char init_name[DEFAULTS_NAME_SIZE], char exit_name[DEFAULTS_NAME_SIZE],
                      const char *database) {
    if (!*init_name) put_name(init_name, DefaultsWorkFallback());
    if (!*exit_name) put_name(exit_name, DefaultsWorkFallback());
    std::string text;
    char line[DEFAULTS_NAME_SIZE + 64];
    for (int i = 0; i < DEFAULTS_COUNT; i++) {
        snprintf(line, sizeof line, "%s%i\n", labels[i], values[i]);
        text += line;
    }
    text += std::string(labels[5]) + init_name + "\n";
    text += std::string(labels[6]) + exit_name + "\n";
    if (database) text += std::string(labels[7]) + database + "\n";
    return path && replace_file(path, text.data(), text.size()) ? 1 : 0;
}

int LoadDefaults(int global, int values[DEFAULTS_COUNT], char init_name[DEFAULTS_NAME_SIZE],
                 char exit_name[DEFAULTS_NAME_SIZE]) {
    const std::string path = DefaultsFilePath(&global);
    std::string database;
    const int read =
        ReadDefaultsFile(path.c_str(), global, values, init_name, exit_name, &database);
    if (read && global && !database.empty()) DbNameSetDatabase(database.c_str());
    return read;
}

int SaveDefaults(int global, const int values[DEFAULTS_COUNT], char init_name[DEFAULTS_NAME_SIZE],
                 char exit_name[DEFAULTS_NAME_SIZE]) {
    const std::string path = DefaultsFilePath(&global);
    return WriteDefaultsFile(path.c_str(), values, init_name, exit_name,
                             global ? DbGetName() : nullptr);
}

std::string DefaultsWorkPath(const char *name) {
    const char *dir = DbGetDir(0);
    if (!name || !*name || !dir) return "";
    std::string path = std::string(dir) + ClipDbSubdirNames[DB_WORK] + name;
    const size_t n = strlen(name);
    if (n < 4 || strcmp(name + n - 4, ".wrk") != 0) path += ".wrk";
    return path;
}

unsigned long AutosaveInterval(int minutes) {
    return minutes > 0 ? (unsigned long)minutes * 60000UL : 0;
}
