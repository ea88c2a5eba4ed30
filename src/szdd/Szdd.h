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
// is stored in the ring at the write position, which starts at 4096 - 16, and
// every ring index wraps at 4096. A copy reads each byte before the next is
// stored, so it may overlap what it writes. The stream ends where its input
// ends.
//
// Seen from the output, a match is an ordinary LZ77 reference: distance 1 to
// 4096 back into the output, where the 4096 bytes before the first output
// byte are spaces. Both the decoder and the encoder work in those terms.
//
// No OS calls, no dependency. Memory does not grow with the size of a file:
// the decoder and the encoder are streaming, and the one-shot helpers only
// allocate what they return.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
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
// The encoding's exact cost, which the optimal parse minimises: a control
// bit plus a byte for a literal, a control bit plus two bytes for a match.
inline constexpr unsigned LiteralBits = 9;
inline constexpr unsigned MatchBits = 17;

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

enum class Status {
    Ok,
    ShortHeader,  // fewer than 14 bytes
    BadMagic,
    BadMode,    // a compression mode other than 'A'
    Truncated,  // the input ends inside a match
    TooLong,    // the stream gives more bytes than the header says
    TooShort,   // the stream gives fewer bytes than the header says
    NoRoom,     // the output does not fit the space the caller gave
};
// A short English description, for tools.
const char* Describe(Status status);
// The header's fault, or Ok.
Status CheckHeader(std::span<const std::uint8_t> file);

// A streaming decoder of the LZSS stream (the bytes after the header).
//
// It never reads outside the input it is given and never writes outside its
// own fixed buffer; it produces at most `limit` bytes in all. Memory is fixed
// (about 70 KB) whatever the stream's length.
class Decoder {
public:
    static constexpr std::uint64_t NoLimit = std::numeric_limits<std::uint64_t>::max();

    explicit Decoder(std::uint64_t limit = NoLimit);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Decodes from `input` until it is used up, the output buffer is full or
    // the next item would pass the limit; `consumed` gets the number of input
    // bytes used. The bytes returned stay valid until the next call. A call
    // with input left over makes progress on the next call.
    std::span<const std::uint8_t> Decode(std::span<const std::uint8_t> input,
                                         std::size_t& consumed);

    // An item would have taken the output past the limit; the output stops
    // exactly at the limit and nothing more is decoded.
    bool Overflowed() const { return overflowed_; }
    // The input so far ends between the two bytes of a match.
    bool InsideToken() const { return haveLow_; }
    std::uint64_t Produced() const { return produced_; }

private:
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t pos_;             // next write index in buffer_
    std::uint32_t ringOfIndex0_;  // ring position of buffer_[0], mod 4096
    std::uint64_t produced_ = 0;
    std::uint64_t limit_;
    unsigned control_ = 0;       // the current control byte, shifted
    unsigned bitsLeft_ = 0;      // items of the current group not yet read
    std::size_t matchLeft_ = 0;  // bytes of a match still to copy
    std::size_t matchDistance_ = 0;
    std::uint8_t low_ = 0;  // first byte of a match whose second is missing
    bool haveLow_ = false;
    bool overflowed_ = false;
};

enum class Mode {
    Strict,   // the input must end on an item and give exactly the header's size
    Lenient,  // decode until the input ends, as LZ32 does; a cut item is dropped
};

struct ExpandResult {
    Status status = Status::Ok;
    std::size_t size = 0;  // bytes written to the output
};

// Expands a whole SZDD file (header included) into `out`. Never reads outside
// `file` and never writes outside `out`; NoRoom when `out` is too small.
ExpandResult Expand(std::span<const std::uint8_t> file, std::span<std::uint8_t> out,
                    Mode mode = Mode::Strict);

// Decodes an LZSS stream (the bytes after the header) until the input ends,
// as the LZ expansion services do: a match cut short by the end is dropped.
std::vector<std::uint8_t> ExpandLenient(std::span<const std::uint8_t> stream);

enum class Level {
    Optimal,  // the smallest encoding there is: a shortest path under the exact cost
    Greedy,   // the longest match found quickly at each step; faster, a little larger
};

struct EncoderOptions {
    Level level = Level::Optimal;
    // Positions parsed together. The optimal parse is exact as long as the
    // best paths to the end of a block meet within it, which real data does
    // within a few hundred bytes; smaller blocks exercise that machinery.
    std::size_t blockSize = std::size_t{1} << 16;
};

// A streaming encoder of the LZSS stream (no header). Memory is fixed (under
// 1.5 MB) whatever the input's length.
class Encoder {
public:
    explicit Encoder(EncoderOptions options = {});
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Takes all of `input` and appends the stream bytes that are final to
    // `out`. The output is the same however the input is split into calls.
    void Update(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& out);
    // Ends the input and appends the rest of the stream.
    void Finish(std::vector<std::uint8_t>& out);

    // The stream's size in bits so far; its bytes are this divided by 8,
    // rounded up. The optimal level minimises it.
    std::uint64_t Bits() const;
    // How often the optimal parse had to cut a block whose best paths did not
    // meet, giving up exactness by a few bits; zero on ordinary data.
    std::uint64_t ForcedCuts() const;

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// A complete SZDD file (header included) holding `input`, which must be
// shorter than 4 GiB.
std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> input, std::uint8_t restoreChar,
                                   Level level = Level::Optimal);

}  // namespace szdd
