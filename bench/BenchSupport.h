#pragma once

// What the benchmarks share: percentiles of timings, and sizes read from the command line.
#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <vector>

namespace bench {

/// The sample at fraction p (0.5 the median, 0.99 the 99th percentile), nearest rank.
inline double percentile(std::vector<double> samples, double p) {
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(p * static_cast<double>(samples.size() - 1) + 0.5)];
}

/// The whole numbers given from argument `first` on, or the defaults when none is given.
inline std::vector<int> sizesFrom(int argc, char** argv, int first, std::initializer_list<int> defaults) {
    std::vector<int> sizes;
    for (int i = first; i < argc; ++i) {
        sizes.push_back(std::max(1, std::atoi(argv[i])));
    }
    return sizes.empty() ? std::vector<int>(defaults) : sizes;
}

} // namespace bench
