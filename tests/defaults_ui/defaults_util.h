// Helpers of the defaults tests: environment variables set for a scope, a
// file's text, and the text of a defaults file.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "desktop/defaults.h"
#include "desktop/globals.h"
#include "tests/media/reel_fixtures.h"

namespace defaults_test {

using reel_test::ScopedEnv;

inline std::string ReadFile(const std::string &path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

inline bool FileExists(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

inline std::string FileText(int autosave, int invert, int rearrange, int init, int exit,
                            const char *in, const char *out, const char *db = nullptr) {
    char text[512];
    snprintf(text, sizeof text,
             " Autosave       : %i\n Invert fields  : %i\n Rearrange      : %i\n"
             " Load init work : %i\n Save exit work : %i\n Init work name : %s\n"
             " Exit work name : %s\n",
             autosave, invert, rearrange, init, exit, in, out);
    return text + (db ? std::string(" Database name  : ") + db + "\n" : "");
}

inline void SetDefaultsTo(std::initializer_list<int> v, const char *in, const char *out) {
    std::copy(v.begin(), v.end(), defaults);
    snprintf(init_work_name, sizeof init_work_name, "%s", in);
    snprintf(exit_work_name, sizeof exit_work_name, "%s", out);
}

// The armed autosave timer is due `minutes` from about now.
inline bool DueIn(int minutes) {
    const int64_t left = AutosaveDue() - AutosaveClock(), ms = int64_t(minutes) * 60000;
    return AutosaveDue() != 0 && left <= ms && left > ms - 20000;
}

} // namespace defaults_test
