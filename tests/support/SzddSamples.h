// Inputs for checking our encoder against decoders written elsewhere: each
// leans on one part of the format that a decoder could read differently.
#pragma once

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "support/Bytes.h"
#include "szdd/Szdd.h"

namespace testing_support {

struct SzddSample {
    std::string name;
    std::vector<std::uint8_t> data;
};
inline void PrintTo(const SzddSample& sample, std::ostream* os) {
    *os << sample.name;
}

inline std::vector<SzddSample> SzddSamples() {
    std::mt19937 random(42);
    std::vector<std::uint8_t> noise(40000);
    for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
    // Repeats exactly 4096 bytes back: matches whose source is the write
    // position itself.
    std::vector<std::uint8_t> period(noise.begin(), noise.begin() + szdd::WindowSize);
    for (int i = 0; i < 3; ++i)
        period.insert(period.end(), noise.begin(), noise.begin() + szdd::WindowSize);
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += "Line " + std::to_string(i % 37) + ": the quick brown fox.\r\n";
    std::vector<std::uint8_t> runs(100000, 0);
    for (std::size_t i = 0; i < runs.size(); i += 777) runs[i] = static_cast<std::uint8_t>(i);
    return {
        {"Empty", {}},
        {"Short", Bytes("SZDD")},
        // Matches into the spaces the ring starts with, and across into the
        // first output.
        {"LeadingSpaces", Bytes(std::string(30, ' ') + "x" + std::string(20, ' ') + "x  x")},
        {"Text", Bytes(text)},
        {"Runs", runs},
        {"Noise", noise},
        {"PeriodOf4096", period},
        // Many trips around the ring, through every buffer of the encoder.
        {"Long", Pattern(600000, 77)},
    };
}

}  // namespace testing_support
