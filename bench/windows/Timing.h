// What the Windows benchmark programs share: a stopwatch and the median.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

// Milliseconds since `since`.
inline double milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

} // namespace bench
