// The answer every command-line program gives to a lone --help, -h or
// --version.
#pragma once

#include <cstdio>
#include <cstring>

#include "orva_version.h"

// When the one argument is --help or -h (usage on standard output) or
// --version ("PROGRAM VERSION"), answers it and returns true; otherwise
// does nothing and returns false.
inline bool AnswerHelpOrVersion(int argc, char **argv, const char *program, const char *usage) {
    if (argc != 2) return false;
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        std::fputs(usage, stdout);
        return true;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::printf("%s %s\n", program, ORVA_VERSION);
        return true;
    }
    return false;
}
