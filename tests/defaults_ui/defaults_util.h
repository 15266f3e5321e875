// Small helpers of the defaults tests: environment variables set for a
// scope, the whole text of a file, a path's existence, and the text of a
// defaults file.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace defaults_test {

// Sets (or with null unsets) an environment variable for a scope.
struct ScopedEnv {
    std::string name, old;
    bool had;
    ScopedEnv(const char *n, const char *v) : name(n), had(getenv(n) != nullptr) {
        if (had) old = getenv(n);
        v ? setenv(n, v, 1) : unsetenv(n);
    }
    ~ScopedEnv() { had ? setenv(name.c_str(), old.c_str(), 1) : unsetenv(name.c_str()); }
};

inline std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool Exists(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// The lines of a defaults file, with the database line when db is given.
inline std::string FileText(int autosave, int invert, int rearrange, int init, int exit,
                            const char *in, const char *out, const char *db = nullptr) {
    char text[512];
    snprintf(text, sizeof text,
             " Autosave       : %i\n Invert fields  : %i\n Rearrange      : %i\n"
             " Load init work : %i\n Save exit work : %i\n Init work name : %s\n"
             " Exit work name : %s\n",
             autosave, invert, rearrange, init, exit, in, out);
    std::string s = text;
    if (db) s += std::string(" Database name  : ") + db + "\n";
    return s;
}

} // namespace defaults_test
