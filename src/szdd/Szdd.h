// The SZDD file format of COMPRESS and the LZ expansion services: a 14-byte
// header, then an LZSS stream over a 4096-byte ring buffer that starts filled
// with spaces.
//
//   offset  size  field
//   0       8     magic 53 5A 44 44 88 F0 27 33
//   8       1     mode, 41h ('A')
//   9       1     the file name's character that an underscore replaced
//   10      4     expanded size, little-endian
//
// Stream: a control byte whose bits, least significant first, tell the next
// eight items. Bit 1: a literal byte. Bit 0: two bytes b0 b1 naming ring
// position b0 | (b1 & F0h) << 4 and length (b1 & 0Fh) + 3. Every output byte
// is stored in the ring at the write position, which starts at 4096 - 16.
//
// No OS calls, no allocation beyond the vectors returned.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace szdd {

inline constexpr std::size_t HeaderSize = 14;
inline constexpr std::array<std::uint8_t, 8> Magic = {0x53, 0x5A, 0x44, 0x44,
                                                      0x88, 0xF0, 0x27, 0x33};
inline constexpr std::uint8_t ModeA = 0x41;
inline constexpr std::size_t WindowSize = 4096;
inline constexpr std::size_t WindowStart = WindowSize - 16;
inline constexpr std::size_t MinMatch = 3;
inline constexpr std::size_t MaxMatch = 18;

struct Header {
    std::uint8_t restoreChar = 0;
    std::uint32_t expandedSize = 0;
};

// True when `file` starts with the eight magic bytes.
bool HasMagic(std::span<const std::uint8_t> file);
// The header of `file`, or nothing when it is shorter than a header or its
// magic or mode is wrong.
std::optional<Header> ParseHeader(std::span<const std::uint8_t> file);
std::array<std::uint8_t, HeaderSize> EncodeHeader(const Header& header);

// Decodes the LZSS stream (the bytes after the header) until the input ends,
// as the LZ expansion services do: a token cut short by the end is dropped.
std::vector<std::uint8_t> ExpandLenient(std::span<const std::uint8_t> stream);

// A complete SZDD file (header included) holding `input`.
std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> input,
                                   std::uint8_t restoreChar);

}  // namespace szdd
