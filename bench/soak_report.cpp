#include "bench/soak_report.h"

#include <cstdio>

#include "bench/soak_plan.h"

namespace tovra::bench {

bool SoakReport::Passed() const {
    const bool memory_same = rss_at_end_kib <= rss_after_100_kib + rss_allowance_kib &&
                             heap_at_end <= heap_after_100 + heap_allowance;
    return good_decoded == good_expected && bad_reported == bad_expected &&
           short_reported == short_expected && false_successes == 0 && lost == 0 &&
           misreported == 0 && write_failures == 0 && stored_wrong == 0 && unexpected_after == 0 &&
           ports_lost == ports_to_lose && ports_reopened == ports_to_lose &&
           lost_port_cpu_max_percent <= kLostPortCpuLimitPercent && fds_at_end == fds_after_100 &&
           (memory_same || !memory_judged);
}

void SoakReport::Print() const {
    std::printf("soak: %d cycles in %.1f s (seed %u)\n", cycles, seconds, seed);
    std::printf("  requests: %s %zu, %s %zu, %s %zu, %s %zu\n", RequestName(SoakRequest::ReadAll),
                by_request[0], RequestName(SoakRequest::WriteAll), by_request[1],
                RequestName(SoakRequest::VersionRead), by_request[2],
                RequestName(SoakRequest::VersionWrite), by_request[3]);
    std::printf("  good replies decoded          %zu / %zu\n", good_decoded, good_expected);
    std::printf("  bad checksums reported        %zu / %zu\n", bad_reported, bad_expected);
    std::printf("  short replies acknowledged    %zu / %zu\n", short_reported, short_expected);
    std::printf("  false successes               %zu\n", false_successes);
    std::printf("  replies lost                  %zu\n", lost);
    std::printf("  misreported replies           %zu\n", misreported);
    std::printf("  requests not written          %zu\n", write_failures);
    std::printf("  writes not stored as sent     %zu\n", stored_wrong);
    std::printf("  notices left over             %zu\n", unexpected_after);
    std::printf("  ports lost / reopened         %zu / %zu of %zu\n", ports_lost, ports_reopened,
                ports_to_lose);
    std::printf("  CPU while a lost port waited  max %.2f %% of one core (limit %.0f %%)\n",
                lost_port_cpu_max_percent, kLostPortCpuLimitPercent);
    std::printf("  open fds                      %zu after 100 cycles, %zu at the end\n",
                fds_after_100, fds_at_end);
    std::printf(
        "  resident memory (anonymous)   %zu KiB after 100 cycles, %zu KiB at the end "
        "(allowed +%zu KiB)\n",
        rss_after_100_kib, rss_at_end_kib, rss_allowance_kib);
    std::printf(
        "  heap in use                   %zu B after 100 cycles, %zu B at the end "
        "(allowed +%zu B)\n",
        heap_after_100, heap_at_end, heap_allowance);
    if (!memory_judged) {
        std::printf("  (memory not judged: built with a sanitizer)\n");
    }
    for (const std::string& f : first_failures) {
        std::printf("  failure: %s\n", f.c_str());
    }
    std::printf("soak %s\n", Passed() ? "PASSED" : "FAILED");
}

}  // namespace tovra::bench
