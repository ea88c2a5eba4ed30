// Turning the folder fields' texts into absolute folders with a trailing
// backslash.
#include <gtest/gtest.h>

#include <cstring>

#include "install/Folders.h"
#include "system/FakeSystem.h"

namespace {

using install::FolderStatus;

struct NormaliseCase {
    const char* name;
    const char* text;
    const char* expected;
    FolderStatus status;
};

void PrintTo(const NormaliseCase& c, std::ostream* out) { *out << c.name; }

class NormaliseTest : public testing::TestWithParam<NormaliseCase> {};

// Current directory C:\base\sub; drive D: exists, Q: does not; E: is there
// but of unknown type.
TEST_P(NormaliseTest, BufferHoldsTheFolder) {
    const NormaliseCase& c = GetParam();
    sys::FakeSystem system;
    system.AddDirectory("C:\\base\\sub\\");
    system.currentDirectory = "C:\\base\\sub\\";
    system.AddVolume('D');
    system.AddVolume('E').driveType = sys::DriveUnknown;
    system.AddVolume('A').driveType = sys::DriveRemovable;
    char buffer[install::FolderBufferSize];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(install::NormaliseFolder(system, c.text, buffer), c.status);
    EXPECT_STREQ(buffer, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NormaliseTest,
    testing::Values(
        NormaliseCase{"Absolute", "C:\\Temp", "C:\\Temp\\", FolderStatus::Absolute},
        NormaliseCase{"AbsoluteWithBackslash", "C:\\Temp\\", "C:\\Temp\\", FolderStatus::Absolute},
        NormaliseCase{"Empty", "", "C:\\", FolderStatus::Absolute},
        NormaliseCase{"Relative", "work", "C:\\base\\sub\\work\\", FolderStatus::Absolute},
        NormaliseCase{"Parent", "..\\other\\.", "C:\\base\\other\\", FolderStatus::Absolute},
        NormaliseCase{"RootRelative", "\\work", "C:\\work\\", FolderStatus::Absolute},
        NormaliseCase{"DriveRelative", "D:work", "D:\\work\\", FolderStatus::Absolute},
        NormaliseCase{"RemovableDrive", "A:\\", "A:\\", FolderStatus::Absolute},
        NormaliseCase{"MissingDrive", "Q:work", "Q:work\\", FolderStatus::AsTyped},
        NormaliseCase{"MissingDriveAbsolute", "q:\\work", "q:\\work\\", FolderStatus::AsTyped},
        NormaliseCase{"DriveOfUnknownType", "E:\\x", "E:\\x\\", FolderStatus::AsTyped},
        NormaliseCase{"NetworkPath", "\\\\server\\share", "\\\\server\\share\\",
                      FolderStatus::Absolute},
        // "表" is 95 5C: its second byte is no separator.
        NormaliseCase{"EndsWithDoubleByte", "C:\\表", "C:\\表\\", FolderStatus::Absolute},
        NormaliseCase{"DoubleByteThenBackslash", "C:\\表\\", "C:\\表\\", FolderStatus::Absolute}),
    [](const testing::TestParamInfo<NormaliseCase>& p) { return std::string(p.param.name); });

TEST(NormaliseFolderTest, FailedResolutionKeepsTheTextWithItsBackslash) {
    for (std::uint32_t result : {0u, 260u, 300u}) {
        sys::FakeSystem system;
        system.fullPathHook = [&](const char*, std::uint32_t, char* out) {
            std::strcpy(out, "C:\\elsewhere\\");
            return result;
        };
        char buffer[install::FolderBufferSize] = {};
        EXPECT_EQ(install::NormaliseFolder(system, "work", buffer), FolderStatus::AsTyped) << result;
        EXPECT_STREQ(buffer, "work\\") << result;
    }
}

TEST(NormaliseFolderTest, ResolvesFromASeparateBufferOfTheFullSize) {
    sys::FakeSystem system;
    std::uint32_t length = 0;
    system.fullPathHook = [&](const char* path, std::uint32_t bufferLength, char* out) {
        length = bufferLength;
        EXPECT_STREQ(path, "work\\");
        std::strcpy(out, "C:\\work\\");
        return 8u;
    };
    char buffer[install::FolderBufferSize] = {};
    install::NormaliseFolder(system, "work", buffer);
    EXPECT_EQ(length, 260u);
    EXPECT_STREQ(buffer, "C:\\work\\");
}

// 259 bytes and the NUL fill the buffer; the appended backslash counts.
TEST(NormaliseFolderTest, TextThatCannotFitLeavesTheBufferAlone) {
    sys::FakeSystem system;
    system.fullPathHook = [](const char* path, std::uint32_t, char* out) {
        std::strcpy(out, path);
        return static_cast<std::uint32_t>(std::strlen(path));
    };
    const std::string body = "C:\\" + std::string(255, 'a');  // 258 bytes
    struct {
        std::string text;
        FolderStatus status;
    } cases[] = {
        {body, FolderStatus::Absolute},
        {body + "\\", FolderStatus::Absolute},
        {body + "b", FolderStatus::TooLong},
        {body + "b\\", FolderStatus::TooLong},
        {std::string(400, 'a'), FolderStatus::TooLong},
    };
    for (const auto& c : cases) {
        char buffer[install::FolderBufferSize] = "C:\\before\\";
        ASSERT_EQ(install::NormaliseFolder(system, c.text, buffer), c.status) << c.text.size();
        if (c.status == FolderStatus::TooLong) {
            EXPECT_STREQ(buffer, "C:\\before\\");
        } else {
            EXPECT_EQ(std::strlen(buffer), 259u);
            EXPECT_EQ(buffer[258], '\\');
        }
    }
}

TEST(NormaliseFolderTest, EndsWithBackslash) {
    EXPECT_TRUE(install::EndsWithBackslash("\\"));
    EXPECT_TRUE(install::EndsWithBackslash("C:\\表\\"));
    EXPECT_TRUE(install::EndsWithBackslash("C:\\ｱ\\"));  // half-width kana is one byte
    EXPECT_FALSE(install::EndsWithBackslash(""));
    EXPECT_FALSE(install::EndsWithBackslash("C:\\表"));
    EXPECT_FALSE(install::EndsWithBackslash("C:\\ソ"));  // 83 5C
    EXPECT_FALSE(install::EndsWithBackslash("C:\\a"));
}

}  // namespace
