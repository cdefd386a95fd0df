#pragma once

// How the latency benchmarks report a case: the 95th percentile and the maximum of its samples,
// in milliseconds.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace quillon::bench {

inline double percentile95(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[std::min(samples.size() - 1, size_t(samples.size() * 0.95))];
}

inline void reportPercentiles(benchmark::State& state, const std::vector<double>& samples)
{
    state.counters["p95_ms"] = percentile95(samples);
    state.counters["max_ms"]
        = samples.empty() ? 0 : *std::max_element(samples.begin(), samples.end());
}

} // namespace quillon::bench
