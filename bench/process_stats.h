#pragma once

#include <cstddef>

namespace tovra::bench {

// CPU time this process has used so far (all threads, user and system), in seconds.
double ProcessCpuSeconds();
// Open file descriptors of this process.
std::size_t OpenFdCount();
// Resident memory of this process, in KiB.
std::size_t ResidentKiB();
// The part of it that is not backed by files, in KiB: without the code pages that come in
// the first time a path runs, this is what a leak makes grow.
std::size_t AnonymousResidentKiB();
// Bytes the allocator has handed out and not yet got back, over all arenas.
std::size_t HeapInUseBytes();

}  // namespace tovra::bench
