// The preroll settings of compressed and uncompressed grabs. The board
// library keeps the setting under its own lock, so grab jobs may switch it
// while the main thread runs; the environment itself is never changed.
#include "vtr/vtr_env.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "device/sv.h"

namespace {

constexpr const char *kName = "SCSIVIDEO_MASTER";
std::string normal_env, d1_env;

// SCSI_D1 as a number 0..99, or -1.
int d1_number(const char *text) {
    if (!text || !*text) return -1;
    char *end = nullptr;
    const long n = strtol(text, &end, 10);
    if (end == text || n < 0 || n > 99) return -1;
    return int(n);
}

void hand_over(const std::string &assignment) {
    if (assignment.empty()) return;
    sv_set_master(assignment.c_str() + strlen(kName) + 1);
}

} // namespace

void InitVtrEnv() {
    normal_env.clear();
    d1_env.clear();
    const int d1 = d1_number(getenv("SCSI_D1"));
    const char *master = getenv(kName);
    if (d1 < 0 || !master) return;
    const std::string value = master;
    const size_t first = value.find(',');
    if (first == std::string::npos) return;
    const size_t second = value.find(',', first + 1);
    if (second == std::string::npos) return;
    normal_env = std::string(kName) + "=" + value;
    d1_env = std::string(kName) + "=" + value.substr(0, first) + "," + std::to_string(d1) +
             value.substr(second);
}

const std::string &VtrEnvNormal() {
    return normal_env;
}
const std::string &VtrEnvD1() {
    return d1_env;
}

void SetSVJ_MODE() {
    hand_over(normal_env);
}
void SetD1_MODE() {
    hand_over(d1_env);
}
