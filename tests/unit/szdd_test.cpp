// The SZDD codec: tiny hand-made streams aimed at one decoding fault each,
// round trips through both encoder levels, and the optimal level held to an
// exhaustive reference.
#include "szdd/Szdd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "support/Bytes.h"
#include "support/SzddReference.h"

namespace {

using testing_support::Bytes;
using testing_support::Pattern;
using Buffer = std::vector<std::uint8_t>;

// The two bytes of a match that copies `length` bytes from ring position `from`.
Buffer Match(unsigned from, unsigned length) {
    return {static_cast<std::uint8_t>(from & 0xFF),
            static_cast<std::uint8_t>((from >> 4 & 0xF0) | (length - 3))};
}

Buffer Concat(std::initializer_list<Buffer> parts) {
    Buffer out;
    for (const Buffer& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Buffer File(std::uint32_t expandedSize, const Buffer& stream, std::uint8_t restore = 'X') {
    auto header = szdd::EncodeHeader({restore, expandedSize});
    Buffer file(header.begin(), header.end());
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

std::string Repeat(std::string_view text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
}

// Bytes that do not compress, the same on every run.
Buffer Noise(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Buffer out(size);
    for (auto& byte : out) byte = static_cast<std::uint8_t>(random());
    return out;
}

// ---- tiny streams

struct StreamCase {
    std::string name;
    Buffer stream;               // the bytes after the header
    std::uint32_t expandedSize;  // what the header claims
    szdd::Status strict;         // the strict verdict
    std::string decoded;         // everything the stream gives, decoded to its end
};
void PrintTo(const StreamCase& c, std::ostream* os) {
    *os << c.name;
}

// 4096 literals, eight to a control byte: the write position is back where it
// started, at 4080, and the ring holds nothing but them.
Buffer FullRingOfLiterals(std::string& text) {
    Buffer stream;
    for (std::size_t i = 0; i < szdd::WindowSize; ++i) {
        if (i % 8 == 0) stream.push_back(0xFF);
        auto byte = static_cast<char>('A' + i % 23 + i / 23 % 3);
        text += byte;
        stream.push_back(static_cast<std::uint8_t>(byte));
    }
    return stream;
}

std::vector<StreamCase> StreamCases() {
    using szdd::Status;
    std::vector<StreamCase> cases = {
        {"HeaderOnly", {}, 0, Status::Ok, ""},
        {"Literals", Concat({{0x03}, Bytes("hi")}), 2, Status::Ok, "hi"},
        // Before any output the ring is spaces.
        {"MatchIntoInitialSpaces", Concat({{0x00}, Match(0x000, 5)}), 5, Status::Ok, "     "},
        // The first output byte sits at ring position 4080.
        {"MatchFromSpacesIntoOutput", Concat({{0x03}, Bytes("AB"), Match(4078, 4)}), 6, Status::Ok,
         "AB  AB"},
        {"MatchOverlapsItsOwnOutput", Concat({{0x01}, Bytes("a"), Match(4080, 10)}), 11, Status::Ok,
         std::string(11, 'a')},
        {"OverlapAtDistanceTwo", Concat({{0x03}, Bytes("ab"), Match(4080, 7)}), 9, Status::Ok,
         "ababababa"},
        // Sixteen literals fill 4080..4095, the seventeenth lands at 0; the
        // match reads 4094, 4095, 0 and then the 1 it has just written.
        {"RingWrapsForLiteralsAndMatches",
         Concat({{0xFF},
                 Bytes("01234567"),
                 {0xFF},
                 Bytes("89ABCDEF"),
                 {0x01},
                 Bytes("G"),
                 Match(4094, 4)}),
         21, Status::Ok, "0123456789ABCDEFGEFGE"},
        {"LongestMatch", Concat({{0x01}, Bytes("x"), Match(4080, 18)}), 19, Status::Ok,
         std::string(19, 'x')},
        // A group may end early; so may the input after a control byte.
        {"GroupCutShortByTheEnd", Concat({{0x01}, Bytes("a")}), 1, Status::Ok, "a"},
        {"ControlByteAtTheEnd", Concat({{0xFF}, Bytes("abcdefgh"), {0x00}}), 8, Status::Ok,
         "abcdefgh"},
        {"EndsInsideMatch", Concat({{0x01}, Bytes("a"), {0x50}}), 1, Status::Truncated, "a"},
        {"MoreOutputThanHeaderSays", Concat({{0x03}, Bytes("ab")}), 1, Status::TooLong, "ab"},
        {"MatchPassesHeaderSize", Concat({{0x01}, Bytes("a"), Match(4080, 5)}), 3, Status::TooLong,
         "aaaaaa"},
        {"LessOutputThanHeaderSays", Concat({{0x03}, Bytes("ab")}), 3, Status::TooShort, "ab"},
    };
    // A match whose source is its own write position reads the byte written
    // 4096 bytes ago, just before replacing it: distance 4096.
    std::string text;
    Buffer stream = FullRingOfLiterals(text);
    stream.push_back(0x00);
    Buffer match = Match(4080, 18);
    stream.insert(stream.end(), match.begin(), match.end());
    std::string decoded = text + text.substr(0, 18);
    cases.push_back({"MatchAtFullWindowDistance", stream,
                     static_cast<std::uint32_t>(decoded.size()), Status::Ok, decoded});
    return cases;
}

class StreamTest : public testing::TestWithParam<StreamCase> {};

TEST_P(StreamTest, StrictVerdictAndOutput) {
    const StreamCase& c = GetParam();
    Buffer file = File(c.expandedSize, c.stream);
    Buffer out(c.decoded.size() + 64, 0xEE);
    szdd::ExpandResult result = szdd::Expand(file, out);
    EXPECT_EQ(result.status, c.strict) << szdd::Describe(result.status);
    if (c.strict == szdd::Status::Ok) {
        EXPECT_EQ(std::string(out.begin(), out.begin() + result.size), c.decoded);
    }
    // Strict output never passes the header's size.
    EXPECT_LE(result.size, c.expandedSize);
}

TEST_P(StreamTest, LenientDecodesToTheEnd) {
    const StreamCase& c = GetParam();
    EXPECT_EQ(testing_support::Text(szdd::ExpandLenient(c.stream)), c.decoded);
    Buffer out(c.decoded.size());
    szdd::ExpandResult result =
        szdd::Expand(File(c.expandedSize, c.stream), out, szdd::Mode::Lenient);
    EXPECT_EQ(result.status, szdd::Status::Ok);
    EXPECT_EQ(result.size, c.decoded.size());
}

// The decoder resumes at every byte: inside a match's two bytes, between a
// control byte and its items, inside a copy.
TEST_P(StreamTest, ByteAtATimeGivesTheSameOutput) {
    const StreamCase& c = GetParam();
    szdd::Decoder decoder;
    std::string decoded;
    for (std::uint8_t byte : c.stream) {
        std::size_t used = 0;
        auto chunk = decoder.Decode(std::span(&byte, 1), used);
        ASSERT_EQ(used, 1u);
        decoded.append(chunk.begin(), chunk.end());
    }
    EXPECT_EQ(decoded, c.decoded);
    EXPECT_EQ(decoder.InsideToken(), c.strict == szdd::Status::Truncated);
}

INSTANTIATE_TEST_SUITE_P(Tiny, StreamTest, testing::ValuesIn(StreamCases()),
                         [](const auto& param) { return param.param.name; });

TEST(SzddHeaderTest, FaultsOfTheHeaderAreNamed) {
    Buffer good = File(0, {});
    EXPECT_EQ(szdd::Expand(good, {}).status, szdd::Status::Ok);

    Buffer magic = good;
    magic[3] = 'Q';
    Buffer mode = good;
    mode[8] = 'B';
    Buffer shortHeader(good.begin(), good.end() - 1);
    Buffer out(16);
    EXPECT_EQ(szdd::Expand(magic, out).status, szdd::Status::BadMagic);
    EXPECT_EQ(szdd::Expand(mode, out).status, szdd::Status::BadMode);
    EXPECT_EQ(szdd::Expand(shortHeader, out).status, szdd::Status::ShortHeader);
    EXPECT_FALSE(szdd::ParseHeader(mode));

    Buffer header = File(0x12345678, {}, 'L');
    auto parsed = szdd::ParseHeader(header);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->restoreChar, 'L');
    EXPECT_EQ(parsed->expandedSize, 0x12345678u);
}

// ---- bounds

TEST(SzddBoundsTest, ExpandNeverWritesPastItsOutput) {
    Buffer input = Bytes(Repeat("bounded output, ", 40));
    Buffer file = szdd::Compress(input, 'T');
    for (std::size_t room : {std::size_t{0}, std::size_t{1}, std::size_t{17}, input.size() - 1}) {
        Buffer space(room + 32, 0xEE);
        auto result = szdd::Expand(file, std::span(space).first(room));
        EXPECT_EQ(result.status, szdd::Status::NoRoom) << room;
        EXPECT_EQ(result.size, room);
        EXPECT_TRUE(std::equal(input.begin(), input.begin() + room, space.begin()));
        for (std::size_t k = room; k < space.size(); ++k) ASSERT_EQ(space[k], 0xEE) << room;
    }
}

TEST(SzddBoundsTest, DecoderStopsExactlyAtItsLimit) {
    // "a", then a 10-byte match: a limit of 4 ends inside the match.
    Buffer stream = Concat({{0x01}, Bytes("a"), Match(4080, 10), {0x01}, Bytes("b")});
    szdd::Decoder decoder(4);
    std::size_t used = 0;
    auto chunk = decoder.Decode(stream, used);
    EXPECT_EQ(testing_support::Text(Buffer(chunk.begin(), chunk.end())), "aaaa");
    EXPECT_TRUE(decoder.Overflowed());
    EXPECT_EQ(used, 4u);  // the rest is not read
    chunk = decoder.Decode(std::span(stream).subspan(used), used);
    EXPECT_TRUE(chunk.empty());
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(decoder.Produced(), 4u);
}

// A stream whose output outgrows the decoder's buffer many times, pulled
// through in input pieces of awkward sizes, comes out whole.
TEST(SzddBoundsTest, LongOutputThroughSmallInputPieces) {
    Buffer input = Pattern(300000, 5);
    Buffer file = szdd::Compress(input, 'P');
    std::span<const std::uint8_t> stream = std::span(file).subspan(szdd::HeaderSize);
    szdd::Decoder decoder(input.size());
    Buffer out;
    for (std::size_t piece = 1;; piece = piece % 97 + 1) {
        std::size_t used = 0;
        auto chunk = decoder.Decode(stream.first(std::min(piece, stream.size())), used);
        stream = stream.subspan(used);
        out.insert(out.end(), chunk.begin(), chunk.end());
        if (stream.empty() && chunk.empty()) break;
    }
    EXPECT_FALSE(decoder.Overflowed());
    EXPECT_EQ(out, input);
}

// ---- round trips

struct InputCase {
    std::string name;
    Buffer data;
};
void PrintTo(const InputCase& c, std::ostream* os) {
    *os << c.name << " (" << c.data.size() << " bytes)";
}

std::vector<InputCase> InputCases() {
    Buffer periodic = Noise(szdd::WindowSize, 7);
    Buffer atFullDistance;
    for (int i = 0; i < 4; ++i) {
        atFullDistance.insert(atFullDistance.end(), periodic.begin(), periodic.end());
    }
    Buffer justOutOfReach = Noise(szdd::WindowSize + 1, 8);
    justOutOfReach.insert(justOutOfReach.end(), justOutOfReach.begin(), justOutOfReach.end());
    return {
        {"Empty", {}},
        {"OneByte", Bytes("x")},
        {"TwoBytes", Bytes("xy")},
        {"SeventeenBytes", Bytes("abcabcabcabcabcab")},
        {"EighteenBytes", Bytes("abcabcabcabcabcabc")},
        {"NineteenBytes", Bytes("abcabcabcabcabcabca")},
        {"Spaces", Bytes(std::string(5000, ' '))},
        {"SpacesAtTheEnd", Bytes("tail  ")},
        {"Zeros", Buffer(300000, 0)},
        {"Text", Bytes(Repeat("The quick brown fox jumps over the lazy dog. ", 900))},
        {"Noise", Noise(70000, 1)},
        {"PeriodOf4096", atFullDistance},
        {"PeriodOf4097", justOutOfReach},
        // Several times the encoder's buffer, so that it shifts and commits.
        {"Large", Pattern(700000, 3)},
    };
}

class RoundTripTest : public testing::TestWithParam<InputCase> {};

TEST_P(RoundTripTest, BothLevelsExpandStrictlyToTheInput) {
    const Buffer& input = GetParam().data;
    for (szdd::Level level : {szdd::Level::Optimal, szdd::Level::Greedy}) {
        Buffer file = szdd::Compress(input, 'Q', level);
        auto header = szdd::ParseHeader(file);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->restoreChar, 'Q');
        EXPECT_EQ(header->expandedSize, input.size());
        Buffer out(input.size());
        auto result = szdd::Expand(file, out);
        ASSERT_EQ(result.status, szdd::Status::Ok) << szdd::Describe(result.status);
        EXPECT_EQ(out, input);
        EXPECT_EQ(szdd::ExpandLenient(std::span(file).subspan(szdd::HeaderSize)), input);
    }
}

// The stream's bytes are its bits rounded up: a control byte is written only
// for items that follow it.
TEST_P(RoundTripTest, StreamSizeIsItsBitsRoundedUp) {
    const Buffer& input = GetParam().data;
    for (szdd::Level level : {szdd::Level::Optimal, szdd::Level::Greedy}) {
        szdd::Encoder encoder({level});
        Buffer stream;
        encoder.Update(input, stream);
        encoder.Finish(stream);
        EXPECT_EQ(stream.size(), (encoder.Bits() + 7) / 8);
        EXPECT_EQ(encoder.ForcedCuts(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, RoundTripTest, testing::ValuesIn(InputCases()),
                         [](const auto& param) { return param.param.name; });

// ---- the optimal level

// Inputs small enough for the exhaustive reference, each with a different
// kind of match: initial spaces, long runs, text, noise with repeats, the
// full window distance.
std::vector<InputCase> OptimalCases() {
    Buffer repeats = Noise(3000, 11);
    Buffer copy(repeats.begin() + 100, repeats.begin() + 1100);
    repeats.insert(repeats.end(), copy.begin(), copy.end());
    Buffer more = Noise(2500, 12);
    repeats.insert(repeats.end(), more.begin(), more.end());
    repeats.insert(repeats.end(), copy.begin() + 7, copy.end());
    Buffer period = Noise(szdd::WindowSize, 13);
    period.insert(period.end(), period.begin(), period.begin() + 3000);
    return {
        {"SpacesAndText",
         Bytes("     leading spaces   and    gaps" + std::string(40, ' ') + "end")},
        {"Text", Bytes(Repeat("It was the best of times, it was the worst of times; ", 150))},
        {"Pattern", Pattern(12000, 9)},
        {"Runs",
         Bytes(std::string(900, 'a') + "b" + std::string(1700, 'a') + "cc" + std::string(33, 'a'))},
        {"NoiseWithRepeats", repeats},
        {"PeriodOf4096", period},
    };
}

class OptimalTest : public testing::TestWithParam<InputCase> {};

TEST_P(OptimalTest, MatchesTheExhaustiveReference) {
    const Buffer& input = GetParam().data;
    const std::uint64_t best = testing_support::OptimalBits(input);
    szdd::Encoder optimal;
    Buffer stream;
    optimal.Update(input, stream);
    optimal.Finish(stream);
    EXPECT_EQ(optimal.Bits(), best);

    szdd::Encoder greedy({szdd::Level::Greedy});
    Buffer other;
    greedy.Update(input, other);
    greedy.Finish(other);
    EXPECT_GE(greedy.Bits(), best);
}

// Blocks far smaller than the paths' meeting points force cuts; the result
// is still a valid stream, a little larger at most.
TEST_P(OptimalTest, TinyBlocksStayValid) {
    const Buffer& input = GetParam().data;
    const std::uint64_t best = testing_support::OptimalBits(input);
    for (std::size_t block : {1, 5, 40, 300}) {
        szdd::Encoder encoder({szdd::Level::Optimal, block});
        Buffer stream;
        encoder.Update(input, stream);
        encoder.Finish(stream);
        EXPECT_GE(encoder.Bits(), best);
        EXPECT_EQ(szdd::ExpandLenient(stream), input) << block;
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, OptimalTest, testing::ValuesIn(OptimalCases()),
                         [](const auto& param) { return param.param.name; });

// The output does not depend on how the input is split.
TEST(SzddEncoderTest, SameOutputHoweverTheInputIsSplit) {
    Buffer input = Pattern(90000, 4);
    for (szdd::Level level : {szdd::Level::Optimal, szdd::Level::Greedy}) {
        Buffer whole = szdd::Compress(input, 0, level);
        whole.erase(whole.begin(), whole.begin() + szdd::HeaderSize);
        for (std::size_t piece : {1, 7, 4096, 65537}) {
            szdd::Encoder encoder({level});
            Buffer stream;
            for (std::size_t at = 0; at < input.size(); at += piece) {
                encoder.Update(std::span(input).subspan(at, std::min(piece, input.size() - at)),
                               stream);
            }
            encoder.Finish(stream);
            EXPECT_EQ(stream, whole) << piece;
        }
    }
}

}  // namespace
