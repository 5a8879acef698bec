#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tovra::bench {

// What a soak run saw, and whether that passes.
struct SoakReport {
    int cycles = 0;
    double seconds = 0.0;
    unsigned seed = 0;
    std::size_t by_request[4] = {};  // SoakRequest order

    std::size_t good_expected = 0;
    std::size_t good_decoded = 0;  // good notice and the decoded values match the module
    std::size_t bad_expected = 0;
    std::size_t bad_reported = 0;  // checksum failure notice and nothing decoded
    std::size_t short_expected = 0;
    std::size_t short_reported = 0;    // acknowledged, no settings taken
    std::size_t false_successes = 0;   // a good notice for a reply that was not good
    std::size_t lost = 0;              // no notice at all
    std::size_t misreported = 0;       // another notice than due, or wrong values decoded
    std::size_t write_failures = 0;    // the request could not be written
    std::size_t stored_wrong = 0;      // the module holds other settings than written
    std::size_t unexpected_after = 0;  // notices left over at the end

    std::size_t ports_to_lose = 0;
    std::size_t ports_lost = 0;      // notified as lost
    std::size_t ports_reopened = 0;  // re-created and opened again
    double lost_port_cpu_max_percent = 0.0;

    std::size_t fds_after_100 = 0;
    std::size_t fds_at_end = 0;
    std::size_t rss_after_100_kib = 0;
    std::size_t rss_at_end_kib = 0;
    std::size_t rss_allowance_kib = 0;  // allocator slack plus the module's own byte record
    std::size_t heap_after_100 = 0;     // bytes in use
    std::size_t heap_at_end = 0;
    std::size_t heap_allowance = 0;

    // Under a sanitizer, shadow memory and the sanitizer's allocator make the memory
    // figures meaningless: they are printed but not judged.
    bool memory_judged = true;

    std::vector<std::string> first_failures;  // a few, for the log

    bool Passed() const;
    void Print() const;
};

// How much CPU a waiting process may use after a lost port: a busy loop would show ~100 %.
inline constexpr double kLostPortCpuLimitPercent = 5.0;

}  // namespace tovra::bench
