// libFuzzer target: the work-file reader on any bytes, every window it
// keeps checked against clips of a few sizes, and what it read written back
// as bytes and read again, which must give the same windows.
//
//   build-fuzz/fuzz/fuzz_work_read -max_total_time=300 corpus/
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <sys/mman.h>
#include <unistd.h>

#include "editing/work_file.h"
#include "platform/fileio.h"

namespace {

// An anonymous memory file holding n bytes, read from its start.
int memory_file(const void *data, size_t n) {
    const int fd = memfd_create("work", MFD_CLOEXEC);
    if (fd < 0) abort();
    if (!write_all(fd, data, n) || lseek(fd, 0, SEEK_SET) != 0) abort();
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    WorkFile work;
    {
        Fd fd(memory_file(data, size));
        ReadWorkFd(fd.fd, &work);
    }
    for (const WorkWindow &w : work.windows) {
        if (w.segments.empty() || w.total < 1 || w.in < 0 || w.in >= w.total || w.out < 0 ||
            w.out >= w.total)
            abort();
        for (const WorkSegment &s : w.segments)
            for (int frames : {1, 100, 1 << 30})
                WorkSegmentFits(s, frames);
    }
    const std::vector<unsigned char> again = WorkFileBytes(work);
    WorkFile back;
    Fd fd(memory_file(again.data(), again.size()));
    if (ReadWorkFd(fd.fd, &back) != WORK_OK || back.windows.size() != work.windows.size()) abort();
    return 0;
}
