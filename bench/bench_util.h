// What the bench programs share: a private directory removed at the end, the
// demo database made in it, and the resident memory of the process.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// The private directory of a bench program: made under $TMPDIR (or /tmp) and
// removed with everything in it when the program ends, unless
// ORVA_BENCH_KEEP is set.
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

// Makes the demo database (tools/orva-demo) in dir + "/demo" and returns its
// path, or an empty string (after saying why) when the tool failed.
inline std::string MakeDemo(const BenchDir &dir) {
    const std::string demo = dir.path + "/demo";
    const std::string make =
        std::string(ORVA_BIN_DIR) + "/tools/orva-demo '" + demo + "' >/dev/null";
    if (system(make.c_str()) != 0) {
        fprintf(stderr, "orva-demo failed\n");
        return "";
    }
    return demo;
}

// Resident memory of this process in kB, or -1.
inline long resident_kb() {
    long pages = 0, resident = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (!f) return -1;
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = -1;
    fclose(f);
    return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}
