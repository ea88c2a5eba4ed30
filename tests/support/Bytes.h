// Small helpers for tests that build and compare byte strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

inline std::vector<std::uint8_t> Bytes(std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

inline std::string Text(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Deterministic bytes that compress a little, for file contents.
inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed = 1) {
    std::vector<std::uint8_t> out(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = (x >> 16) % 7 == 0 ? static_cast<std::uint8_t>(x >> 24) : static_cast<std::uint8_t>('a' + i % 13);
    }
    return out;
}

}  // namespace testing_support
