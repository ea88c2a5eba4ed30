// The exhaustive reference, apart so that it can be built without comparison
// tracing: it is not under test, and tracing makes it dominate every run.
#include "support/SzddReference.h"

std::uint64_t ReferenceBits(std::span<const std::uint8_t> input) {
    return testing_support::OptimalBits(input);
}
