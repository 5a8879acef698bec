// Reply receiver throughput over a mixed stream: good settings and version replies,
// replies with bad checksums, and noise between them.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "protocol/frame.h"
#include "protocol/reply_receiver.h"
#include "protocol/units.h"

namespace {

std::vector<std::uint8_t> MixedStream(std::size_t target_size) {
    std::mt19937 rng(7);
    const tovra::SettingsBlock block = tovra::EncodeSettingsBlock(tovra::InitialWindowSettings());
    const auto settings = tovra::BuildFrame(tovra::kRequestHeader, tovra::kCmdReadAll, block);
    const std::uint8_t version_payload[] = {1, 0};
    const auto version =
        tovra::BuildFrame(tovra::kRequestHeader, tovra::kCmdVersionRead, version_payload);
    std::vector<std::uint8_t> out;
    while (out.size() < target_size) {
        switch (rng() % 4) {
            case 0:
                out.insert(out.end(), settings.begin(), settings.end());
                break;
            case 1:
                out.insert(out.end(), version.begin(), version.end());
                break;
            case 2: {
                const std::size_t at = out.size();
                out.insert(out.end(), settings.begin(), settings.end());
                out[at + settings.size() - 3] ^= 0x01;  // break the checksum
                break;
            }
            default:
                for (int i = 0; i < 16; ++i) {
                    out.push_back(static_cast<std::uint8_t>(rng()));
                }
        }
    }
    return out;
}

void BM_ReceiverMixedStream(benchmark::State& state) {
    const auto stream = MixedStream(1 << 20);
    tovra::ReplyReceiver rx;
    std::size_t outcomes = 0;
    for (auto _ : state) {
        for (std::uint8_t b : stream) {
            if (rx.OnByte(b)) {
                ++outcomes;
            }
        }
        benchmark::DoNotOptimize(outcomes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_ReceiverMixedStream)->Unit(benchmark::kMillisecond);

}  // namespace
