#pragma once
// Two ways of doing the same work, timed side by side in one process so that their ratio says
// what a change gained. A change in the machine's load between two halves run one after the
// other once can double a ratio, and the first run of anything pays for cold caches and page
// faults. So the halves are interleaved (A B A B …) after a warm-up pair that is not counted, and
// the counters give the median of each half and of the pairs' ratios with their spread:
//
//   before_ms, after_ms   median time of one run of each
//   ratio                 median of before / after over the pairs
//   ratio_min, ratio_max  the smallest and largest pair's ratio
//
// A ratio whose spread is wide was measured on a busy machine: run it again.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace sidebyside {

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

/// Times before() and after() in `pairs` interleaved pairs after one warm-up pair, and sets the
/// counters above on state; setup() (when given) runs untimed before each of them. Use with
/// ->Iterations(1): the pairs are the repetitions.
inline void run(benchmark::State &state, const std::function<void()> &before, const std::function<void()> &after,
                int pairs = 7, const std::function<void()> &setup = {})
{
    auto seconds = [&setup](const std::function<void()> &work) {
        if (setup)
            setup();
        const auto start = std::chrono::steady_clock::now();
        work();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::vector<double> a, b, ratios;
    double total = 0.0;
    for (auto _ : state) {
        seconds(before);
        seconds(after);
        for (int i = 0; i < pairs; ++i) {
            // Which half goes first alternates too, so that neither always follows the other.
            double ta, tb;
            if (i % 2 == 0) {
                ta = seconds(before);
                tb = seconds(after);
            } else {
                tb = seconds(after);
                ta = seconds(before);
            }
            a.push_back(ta);
            b.push_back(tb);
            ratios.push_back(tb > 0.0 ? ta / tb : 0.0);
            total += ta + tb;
        }
        state.SetIterationTime(total);
    }
    state.counters["before_ms"] = median(a) * 1e3;
    state.counters["after_ms"] = median(b) * 1e3;
    state.counters["ratio"] = median(ratios);
    state.counters["ratio_min"] = ratios.empty() ? 0.0 : *std::min_element(ratios.begin(), ratios.end());
    state.counters["ratio_max"] = ratios.empty() ? 0.0 : *std::max_element(ratios.begin(), ratios.end());
}

}   // namespace sidebyside
