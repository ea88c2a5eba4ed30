#include "szdd/Szdd.h"

#include <algorithm>

namespace szdd {

bool HasMagic(std::span<const std::uint8_t> file) {
    return file.size() >= Magic.size() && std::equal(Magic.begin(), Magic.end(), file.begin());
}

std::optional<Header> ParseHeader(std::span<const std::uint8_t> file) {
    if (file.size() < HeaderSize || !HasMagic(file) || file[8] != ModeA) return std::nullopt;
    Header header;
    header.restoreChar = file[9];
    header.expandedSize = static_cast<std::uint32_t>(file[10]) | file[11] << 8 | file[12] << 16 |
                          static_cast<std::uint32_t>(file[13]) << 24;
    return header;
}

std::array<std::uint8_t, HeaderSize> EncodeHeader(const Header& header) {
    std::array<std::uint8_t, HeaderSize> bytes{};
    std::copy(Magic.begin(), Magic.end(), bytes.begin());
    bytes[8] = ModeA;
    bytes[9] = header.restoreChar;
    for (int i = 0; i < 4; ++i) bytes[10 + i] = static_cast<std::uint8_t>(header.expandedSize >> (8 * i));
    return bytes;
}

std::vector<std::uint8_t> ExpandLenient(std::span<const std::uint8_t> stream) {
    std::array<std::uint8_t, WindowSize> ring;
    ring.fill(' ');
    std::size_t position = WindowStart;
    std::vector<std::uint8_t> out;
    std::size_t in = 0;
    while (in < stream.size()) {
        unsigned control = stream[in++];
        for (int bit = 0; bit < 8 && in < stream.size(); ++bit, control >>= 1) {
            if (control & 1) {
                std::uint8_t byte = stream[in++];
                out.push_back(byte);
                ring[position] = byte;
                position = (position + 1) % WindowSize;
            } else {
                if (stream.size() - in < 2) return out;
                std::size_t from = stream[in] | (stream[in + 1] & 0xF0) << 4;
                std::size_t length = (stream[in + 1] & 0x0F) + MinMatch;
                in += 2;
                for (std::size_t k = 0; k < length; ++k) {
                    std::uint8_t byte = ring[(from + k) % WindowSize];
                    out.push_back(byte);
                    ring[position] = byte;
                    position = (position + 1) % WindowSize;
                }
            }
        }
    }
    return out;
}

std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> input, std::uint8_t restoreChar) {
    auto header = EncodeHeader({restoreChar, static_cast<std::uint32_t>(input.size())});
    std::vector<std::uint8_t> out(header.begin(), header.end());
    // Literals only, eight to a control byte.
    for (std::size_t i = 0; i < input.size(); i += 8) {
        out.push_back(0xFF);
        std::size_t n = std::min<std::size_t>(8, input.size() - i);
        out.insert(out.end(), input.begin() + i, input.begin() + i + n);
    }
    return out;
}

}  // namespace szdd
