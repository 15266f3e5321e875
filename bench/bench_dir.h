// The private directory of a bench program: made under $TMPDIR (or /tmp) and
// removed with everything in it when the program ends, unless
// ORVA_BENCH_KEEP is set.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

struct BenchDir {
    std::string path; // empty when it could not be made

    explicit BenchDir(const char *prefix) {
        const char *tmp = getenv("TMPDIR");
        std::string t = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
        if (mkdtemp(t.data()))
            path = t;
        else
            perror("mkdtemp");
    }
    ~BenchDir() {
        if (path.empty() || getenv("ORVA_BENCH_KEEP")) return;
        std::string cmd = "rm -rf '" + path + "'";
        if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path.c_str());
    }
    BenchDir(const BenchDir &) = delete;
    BenchDir &operator=(const BenchDir &) = delete;
};
