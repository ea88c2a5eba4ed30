// Our SZDD files expanded by the real LZ expansion services (LZOpenFileA and
// LZCopy), as the installer expands them.
#include <gtest/gtest.h>
#include <windows.h>
// After <windows.h>, whose types it uses.
#include <lzexpand.h>

#include <cstdio>
#include <string>

#include "WinSupport.h"
#include "support/SzddSamples.h"
#include "szdd/Szdd.h"

namespace {

using Buffer = std::vector<std::uint8_t>;
using testing_support::ReadBytes;
using testing_support::SzddSample;
using testing_support::WriteBytes;

std::string TempPath(const std::string& name) {
    char folder[MAX_PATH];
    EXPECT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    return std::string(folder) + "lz32_test_" + name;
}

// Expands `source` into `target` with LZ32; the size LZCopy reports.
LONG Lz32Expand(const std::string& source, const std::string& target) {
    OFSTRUCT sourceRecord{}, targetRecord{};
    INT from = LZOpenFileA(const_cast<char*>(source.c_str()), &sourceRecord, OF_READ);
    if (from < 0) return from;
    INT to = LZOpenFileA(const_cast<char*>(target.c_str()), &targetRecord, OF_CREATE);
    if (to < 0) {
        LZClose(from);
        return to;
    }
    LONG copied = LZCopy(from, to);
    LZClose(to);
    LZClose(from);
    return copied;
}

class Lz32Test : public testing::TestWithParam<SzddSample> {};

TEST_P(Lz32Test, ExpandsOurOutput) {
    const SzddSample& sample = GetParam();
    for (szdd::Level level : {szdd::Level::Optimal, szdd::Level::Greedy}) {
        std::string source = TempPath(sample.name + ".sz_");
        std::string target = TempPath(sample.name + ".out");
        ASSERT_TRUE(WriteBytes(source, szdd::Compress(sample.data, 'x', level)));
        LONG copied = Lz32Expand(source, target);
        Buffer expanded = ReadBytes(target);
        DeleteFileA(source.c_str());
        DeleteFileA(target.c_str());
        EXPECT_EQ(copied, static_cast<LONG>(sample.data.size()));
        EXPECT_EQ(expanded, sample.data);
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, Lz32Test, testing::ValuesIn(testing_support::SzddSamples()),
                         [](const auto& param) { return param.param.name; });

}  // namespace
