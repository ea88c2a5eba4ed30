// Compress, then expand strictly: the input must come back, from every level,
// whole or fed in pieces. Small inputs are also held to the exhaustive optimum
// (kept small: the reference tries every distance at every position).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "szdd/Szdd.h"

std::uint64_t ReferenceBits(std::span<const std::uint8_t> input);  // reference.cpp

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

std::vector<std::uint8_t> Encode(std::span<const std::uint8_t> input, szdd::EncoderOptions options,
                                 std::size_t piece, std::uint64_t& bits) {
    szdd::Encoder encoder(options);
    std::vector<std::uint8_t> stream;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        encoder.Update(input.subspan(at, std::min(piece, input.size() - at)), stream);
    }
    encoder.Finish(stream);
    bits = encoder.Bits();
    Require(stream.size() == (bits + 7) / 8);
    return stream;
}

void RequireExpandsTo(const std::vector<std::uint8_t>& stream,
                      std::span<const std::uint8_t> input) {
    auto header = szdd::EncodeHeader({'x', static_cast<std::uint32_t>(input.size())});
    std::vector<std::uint8_t> file(header.begin(), header.end());
    file.insert(file.end(), stream.begin(), stream.end());
    std::vector<std::uint8_t> out(input.size());
    szdd::ExpandResult result = szdd::Expand(file, out);
    Require(result.status == szdd::Status::Ok && result.size == input.size());
    Require(std::equal(out.begin(), out.end(), input.begin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // One byte chooses how the input is fed and how small the blocks are.
    const std::size_t piece = data[0] % 32 + 1;
    const std::size_t block = data[0] % 7 + 1;
    std::span<const std::uint8_t> input(data + 1, size - 1);

    std::uint64_t optimalBits = 0, greedyBits = 0, smallBlockBits = 0, wholeBits = 0;
    auto optimal = Encode(input, {szdd::Level::Optimal}, piece, optimalBits);
    RequireExpandsTo(optimal, input);
    Require(Encode(input, {szdd::Level::Optimal}, input.size() + 1, wholeBits) == optimal);
    RequireExpandsTo(Encode(input, {szdd::Level::Greedy}, piece, greedyBits), input);
    RequireExpandsTo(Encode(input, {szdd::Level::Optimal, block}, piece, smallBlockBits), input);
    Require(optimalBits <= greedyBits && optimalBits <= smallBlockBits);
    if (input.size() <= 160) Require(optimalBits == ReferenceBits(input));
    return 0;
}
