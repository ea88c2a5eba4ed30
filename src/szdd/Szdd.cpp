#include "szdd/Szdd.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace szdd {
namespace {

constexpr std::uint32_t RingMask = WindowSize - 1;
// The decoder keeps the last 4096 bytes it wrote in front of the bytes it is
// writing, so that a match is a plain copy from earlier in one buffer.
constexpr std::size_t History = WindowSize;
constexpr std::size_t Chunk = std::size_t{1} << 16;
// The fast path copies a match in three 8-byte steps and may write up to 21
// bytes past the match's end; those bytes are overwritten before they count.
constexpr std::size_t Slack = 32;
// A group of eight matches never needs more room than this.
constexpr std::size_t GroupOutput = 8 * MaxMatch;
constexpr std::size_t GroupInput = 1 + 8 * 2;

void Copy8(std::uint8_t* dst, const std::uint8_t* src) {
    std::memcpy(dst, src, 8);
}

}  // namespace

bool HasMagic(std::span<const std::uint8_t> file) {
    return file.size() >= Magic.size() && std::equal(Magic.begin(), Magic.end(), file.begin());
}

Status CheckHeader(std::span<const std::uint8_t> file) {
    if (file.size() < HeaderSize) return Status::ShortHeader;
    if (!HasMagic(file)) return Status::BadMagic;
    if (file[8] != ModeA) return Status::BadMode;
    return Status::Ok;
}

std::optional<Header> ParseHeader(std::span<const std::uint8_t> file) {
    if (CheckHeader(file) != Status::Ok) return std::nullopt;
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
    for (int i = 0; i < 4; ++i) {
        bytes[10 + i] = static_cast<std::uint8_t>(header.expandedSize >> (8 * i));
    }
    return bytes;
}

const char* Describe(Status status) {
    switch (status) {
        case Status::Ok:
            return "sound";
        case Status::ShortHeader:
            return "the file is shorter than the 14-byte SZDD header";
        case Status::BadMagic:
            return "the file does not start with the SZDD signature";
        case Status::BadMode:
            return "the SZDD compression mode is not 'A'";
        case Status::Truncated:
            return "the compressed data ends inside a match";
        case Status::TooLong:
            return "the compressed data expands to more bytes than the header says";
        case Status::TooShort:
            return "the compressed data expands to fewer bytes than the header says";
        case Status::NoRoom:
            return "the expanded data does not fit the space given";
    }
    return "unknown fault";
}

Decoder::Decoder(std::uint64_t limit)
    : buffer_(new std::uint8_t[History + Chunk + Slack]()), pos_(History), limit_(limit) {
    std::memset(buffer_.get(), ' ', History);
    // buffer_[History] is the first output byte, at ring position 4096 - 16.
    ringOfIndex0_ = static_cast<std::uint32_t>(WindowStart - History) & RingMask;
}

Decoder::~Decoder() = default;

std::span<const std::uint8_t> Decoder::Decode(std::span<const std::uint8_t> input,
                                              std::size_t& consumed) {
    std::uint8_t* const buf = buffer_.get();
    if (pos_ > History + Chunk / 2) {
        std::size_t shift = pos_ - History;
        std::memmove(buf, buf + shift, History);
        ringOfIndex0_ = static_cast<std::uint32_t>((ringOfIndex0_ + shift) & RingMask);
        pos_ = History;
    }
    const std::size_t start = pos_;
    std::size_t pos = pos_;
    const std::uint8_t* in = input.data();
    const std::uint8_t* const inEnd = in + input.size();

    // Output stops at the end of the buffer or at the limit, whichever is
    // first; only the limit makes a stop an overflow.
    const std::uint64_t allowed = limit_ - produced_;
    const std::size_t room = History + Chunk - pos;
    const bool limited = allowed <= room;
    const std::size_t end = pos + (limited ? static_cast<std::size_t>(allowed) : room);
    const std::uint32_t ring0 = ringOfIndex0_;
    auto distance = [ring0](unsigned b0, unsigned b1, std::size_t at) -> std::size_t {
        std::uint32_t from = b0 | (b1 & 0xF0u) << 4;
        std::uint32_t to = static_cast<std::uint32_t>(ring0 + at);
        return ((to - from - 1) & RingMask) + 1;
    };
    auto copySlowly = [buf](std::size_t at, std::size_t dist, std::size_t n) {
        for (std::size_t k = 0; k < n; ++k) buf[at + k] = buf[at + k - dist];
    };

    if (matchLeft_ > 0) {
        std::size_t n = std::min(matchLeft_, end - pos);
        copySlowly(pos, matchDistance_, n);
        pos += n;
        matchLeft_ -= n;
        if (matchLeft_ > 0 && limited) overflowed_ = true;
    }

    while (!overflowed_ && matchLeft_ == 0) {
        if (bitsLeft_ == 0) {
            // Whole groups while there is certainly room on both sides (and
            // 8 bytes more of input, which a run of literals copies at once).
            while (inEnd - in >= static_cast<std::ptrdiff_t>(GroupInput + 8) &&
                   end - pos >= GroupOutput) {
                unsigned control = *in++;
                unsigned items = 8;
                for (;;) {
                    if (control & 1) {
                        const unsigned run = std::min<unsigned>(std::countr_one(control), items);
                        Copy8(buf + pos, in);
                        pos += run;
                        in += run;
                        items -= run;
                        if (items == 0) break;
                        control >>= run;
                    }
                    control >>= 1;
                    --items;
                    unsigned b0 = in[0], b1 = in[1];
                    in += 2;
                    std::size_t length = (b1 & 0x0F) + MinMatch;
                    std::size_t dist = distance(b0, b1, pos);
                    std::uint8_t* dst = buf + pos;
                    const std::uint8_t* src = dst - dist;
                    if (dist >= 8) {
                        Copy8(dst, src);
                        Copy8(dst + 8, src + 8);
                        Copy8(dst + 16, src + 16);
                    } else if (dist == 1) {
                        std::memset(dst, *src, MaxMatch);
                    } else {
                        copySlowly(pos, dist, length);
                    }
                    pos += length;
                    if (items == 0) break;
                }
            }
            if (in == inEnd) break;
            control_ = *in++;
            bitsLeft_ = 8;
        }
        if (control_ & 1) {
            if (in == inEnd) break;
            if (pos == end) {
                overflowed_ = limited;
                break;
            }
            buf[pos++] = *in++;
        } else {
            if (!haveLow_) {
                if (in == inEnd) break;
                low_ = *in++;
                haveLow_ = true;
            }
            if (in == inEnd) break;
            unsigned b1 = *in++;
            haveLow_ = false;
            std::size_t length = (b1 & 0x0F) + MinMatch;
            std::size_t dist = distance(low_, b1, pos);
            std::size_t n = std::min(length, end - pos);
            copySlowly(pos, dist, n);
            pos += n;
            if (n < length) {
                // Out of room: the rest follows on the next call, or never
                // when the limit is what stopped it.
                matchLeft_ = length - n;
                matchDistance_ = dist;
                overflowed_ = limited;
            }
        }
        control_ >>= 1;
        --bitsLeft_;
    }

    produced_ += pos - start;
    pos_ = pos;
    consumed = static_cast<std::size_t>(in - input.data());
    return {buf + start, pos - start};
}

ExpandResult Expand(std::span<const std::uint8_t> file, std::span<std::uint8_t> out, Mode mode) {
    ExpandResult result;
    result.status = CheckHeader(file);
    if (result.status != Status::Ok) return result;
    const Header header = *ParseHeader(file);
    Decoder decoder(mode == Mode::Strict ? header.expandedSize : Decoder::NoLimit);
    std::span<const std::uint8_t> input = file.subspan(HeaderSize);
    for (;;) {
        std::size_t used = 0;
        std::span<const std::uint8_t> chunk = decoder.Decode(input, used);
        input = input.subspan(used);
        std::size_t fits = std::min(chunk.size(), out.size() - result.size);
        std::copy_n(chunk.begin(), fits, out.begin() + static_cast<std::ptrdiff_t>(result.size));
        result.size += fits;
        if (fits < chunk.size()) {
            result.status = Status::NoRoom;
            return result;
        }
        if (decoder.Overflowed()) {
            result.status = Status::TooLong;
            return result;
        }
        if (input.empty() && chunk.empty()) break;
    }
    if (mode == Mode::Strict) {
        if (decoder.InsideToken()) {
            result.status = Status::Truncated;
        } else if (decoder.Produced() != header.expandedSize) {
            result.status = Status::TooShort;
        }
    }
    return result;
}

std::vector<std::uint8_t> ExpandLenient(std::span<const std::uint8_t> stream) {
    Decoder decoder;
    std::vector<std::uint8_t> out;
    for (;;) {
        std::size_t used = 0;
        std::span<const std::uint8_t> chunk = decoder.Decode(stream, used);
        stream = stream.subspan(used);
        out.insert(out.end(), chunk.begin(), chunk.end());
        if (stream.empty() && chunk.empty()) return out;
    }
}

std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> input, std::uint8_t restoreChar,
                                   Level level) {
    auto header = EncodeHeader({restoreChar, static_cast<std::uint32_t>(input.size())});
    std::vector<std::uint8_t> out(header.begin(), header.end());
    Encoder encoder({level});
    encoder.Update(input, out);
    encoder.Finish(out);
    return out;
}

}  // namespace szdd
