// The smallest SZDD stream for some data, found the slow and obvious way:
// every distance of the window tried at every position, then a shortest path
// over the whole input. Tests and the benchmark hold the encoder to it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "szdd/Szdd.h"

namespace testing_support {

// The least number of bits any SZDD stream for `data` can have.
inline std::uint64_t OptimalBits(std::span<const std::uint8_t> data) {
    const std::size_t window = szdd::WindowSize;
    // The 4096 spaces the ring holds before any output, then the data.
    const std::size_t n = data.size();
    std::vector<std::uint8_t> s(window, ' ');
    s.reserve(window + n);
    // Appended byte by byte: GCC 12 warns wrongly about a bulk copy here.
    for (std::uint8_t byte : data) s.push_back(byte);
    std::vector<std::uint64_t> best(n + 1, std::numeric_limits<std::uint64_t>::max());
    best[0] = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t v = window + i;
        const std::size_t limit = std::min(szdd::MaxMatch, n - i);
        std::size_t longest = 0;
        for (std::size_t d = 1; d <= window; ++d) {
            std::size_t len = 0;
            while (len < limit && s[v - d + len] == s[v + len]) ++len;
            longest = std::max(longest, len);
        }
        best[i + 1] = std::min(best[i + 1], best[i] + szdd::LiteralBits);
        for (std::size_t len = szdd::MinMatch; len <= longest; ++len) {
            best[i + len] = std::min(best[i + len], best[i] + szdd::MatchBits);
        }
    }
    return best[n];
}

}  // namespace testing_support
