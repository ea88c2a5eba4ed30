// The expander over arbitrary bytes, with an output space of arbitrary size.
// Beyond not reading or writing out of bounds (ASan): the one-shot and the
// streaming decoder agree however the input is split, strict success means
// exactly the header's size, and every call makes progress.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "szdd/Szdd.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // Two bytes choose the output space, one the input pieces.
    const std::size_t room = (data[0] | data[1] << 8) * 3u;
    const std::size_t piece = data[2] % 64 + 1;
    std::span<const std::uint8_t> file(data + 3, size - 3);

    std::vector<std::uint8_t> strictOut(room), lenientOut(room);
    szdd::ExpandResult strict = szdd::Expand(file, strictOut, szdd::Mode::Strict);
    szdd::ExpandResult lenient = szdd::Expand(file, lenientOut, szdd::Mode::Lenient);
    Require(strict.size <= room && lenient.size <= room);
    Require(std::equal(strictOut.begin(), strictOut.begin() + std::min(strict.size, lenient.size),
                       lenientOut.begin()));

    auto header = szdd::ParseHeader(file);
    Require(header.has_value() ==
            (strict.status != szdd::Status::ShortHeader &&
             strict.status != szdd::Status::BadMagic && strict.status != szdd::Status::BadMode));
    if (!header) return 0;
    if (strict.status == szdd::Status::Ok) Require(strict.size == header->expandedSize);

    // Everything the stream gives, decoded in small pieces, starts with what
    // the one-shot calls wrote.
    std::span<const std::uint8_t> stream = file.subspan(szdd::HeaderSize);
    std::vector<std::uint8_t> whole = szdd::ExpandLenient(stream);
    szdd::Decoder decoder;
    std::vector<std::uint8_t> pieces;
    for (;;) {
        std::size_t used = 0;
        std::span<const std::uint8_t> in = stream.first(std::min(piece, stream.size()));
        auto chunk = decoder.Decode(in, used);
        Require(used > 0 || !chunk.empty() || in.empty());
        stream = stream.subspan(used);
        pieces.insert(pieces.end(), chunk.begin(), chunk.end());
        if (stream.empty() && chunk.empty()) break;
    }
    Require(pieces == whole);
    Require(lenient.size == std::min(whole.size(), room));
    Require(std::equal(lenientOut.begin(), lenientOut.begin() + lenient.size, whole.begin()));
    if (strict.status == szdd::Status::Ok) {
        Require(whole.size() == strict.size && !decoder.InsideToken());
    }
    return 0;
}
