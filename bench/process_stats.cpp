#include "bench/process_stats.h"

#include <dirent.h>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace tovra::bench {

namespace {
struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
}  // namespace

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::size_t OpenFdCount() {
    const std::unique_ptr<DIR, DirCloser> dir(::opendir("/proc/self/fd"));
    if (!dir) {
        return 0;
    }
    std::size_t count = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (entry->d_name[0] != '.') {
            ++count;
        }
    }
    return count > 0 ? count - 1 : 0;  // less the directory stream's own descriptor
}

namespace {
struct Statm {
    unsigned long size = 0;
    unsigned long resident = 0;
    unsigned long shared = 0;  // resident and backed by a file
};

Statm ReadStatm() {
    Statm m;
    const std::unique_ptr<std::FILE, FileCloser> statm(std::fopen("/proc/self/statm", "r"));
    if (!statm || std::fscanf(statm.get(), "%lu %lu %lu", &m.size, &m.resident, &m.shared) != 3) {
        return {};
    }
    return m;
}

std::size_t PagesToKiB(unsigned long pages) {
    return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) / 1024;
}
}  // namespace

std::size_t ResidentKiB() {
    return PagesToKiB(ReadStatm().resident);
}

std::size_t AnonymousResidentKiB() {
    const Statm m = ReadStatm();
    return PagesToKiB(m.resident - m.shared);
}

std::size_t HeapInUseBytes() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

}  // namespace tovra::bench
