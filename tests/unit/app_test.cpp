// The installer window's plain services: the folder test, the folder part of
// a confirmed file name, and what start-up reads before the window shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "app/Folders.h"
#include "app/Startup.h"
#include "install/Messages.h"
#include "package/Writer.h"
#include "system/FakeSystem.h"

namespace {

constexpr unsigned char Cp932LeadRanges[12] = {0x81, 0x9F, 0xE0, 0xFC};

struct FolderPartCase {
    const char* label;
    const char* name;
    const char* withDoubleByte;
    const char* withoutDoubleByte;
};

// "表" is 95 5C and "ソ" is 83 5C: their second byte is a backslash.
const FolderPartCase folderPartCases[] = {
    {"FolderWithPlaceholder", "C:\\WINDOWS\\TEMP\\(none)", "C:\\WINDOWS\\TEMP",
     "C:\\WINDOWS\\TEMP"},
    {"DriveRootKeepsBackslash", "C:\\(none)", "C:\\", "C:\\"},
    {"NoSeparator", "(none)", "", ""},
    {"Empty", "", "", ""},
    {"DriveWithoutBackslash", "C:(none)", "C:", "C:"},
    {"UncRootKeepsDoubleBackslash", "\\\\(none)", "\\\\", "\\\\"},
    {"FolderEndingInTrailBackslash", "C:\\表\\(none)", "C:\\表", "C:\\表\\"},
    {"TrailBackslashIsNoSeparator", "C:\\A\\ソ", "C:\\A", "C:\\A\\\x83"},
    {"TwoLeadBytesInARowAreOneCharacter", "C:\\\x88\x9F\\(none)", "C:\\\x88\x9F", "C:\\\x88\x9F"},
    {"HalfWidthKatakanaAreSingleBytes", "C:\\ﾃｽﾄ\\(none)", "C:\\ﾃｽﾄ", "C:\\ﾃｽﾄ"},
};

class FolderPartTest : public testing::TestWithParam<FolderPartCase> {};

TEST_P(FolderPartTest, WithAndWithoutDoubleByteSupport) {
    const FolderPartCase& c = GetParam();
    EXPECT_EQ(app::FolderPart(c.name, vcl::ByteClasses::FromLeadRanges(true, Cp932LeadRanges)),
              c.withDoubleByte);
    EXPECT_EQ(app::FolderPart(c.name, vcl::ByteClasses::FromLeadRanges(false, Cp932LeadRanges)),
              c.withoutDoubleByte);
}

INSTANTIATE_TEST_SUITE_P(Names, FolderPartTest, testing::ValuesIn(folderPartCases),
                         [](const auto& test) { return std::string(test.param.label); });

TEST(FolderExistsTest, OnlyExistingFoldersPass) {
    sys::FakeSystem system;
    system.AddDirectory("C:\\Programs\\Host");
    system.AddFile("C:\\Programs\\readme.txt", "x");
    system.currentDirectory = "C:\\Programs\\";
    EXPECT_TRUE(app::FolderExists(system, "C:\\Programs\\Host"));
    EXPECT_TRUE(app::FolderExists(system, "C:\\Programs\\Host\\"));
    EXPECT_TRUE(app::FolderExists(system, "Host"));  // from the current folder
    EXPECT_FALSE(app::FolderExists(system, "C:\\Programs\\readme.txt"));
    EXPECT_FALSE(app::FolderExists(system, "C:\\Programs\\Gone"));
    EXPECT_FALSE(app::FolderExists(system, ""));
}

// --- Start-up -------------------------------------------------------------------

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

class StartupTest : public testing::Test {
protected:
    void SetValue(std::vector<std::uint8_t> data) {
        system.registry[app::HostSettingsKey][app::ProgramsValue] = std::move(data);
    }
    sys::FakeSystem system;
    install::FolderBuffers folders;
};

TEST_F(StartupTest, DefaultsAreTheTemporaryFolderAndTheHostsProgramFolder) {
    system.tempPath = "C:\\WINDOWS\\TEMP\\";
    SetValue(Bytes(std::string("D:\\Host\\Programs\\") + '\0'));
    app::ReadDefaultFolders(system, folders);
    EXPECT_STREQ(folders.expand, "C:\\WINDOWS\\TEMP\\");
    EXPECT_STREQ(folders.install, "D:\\Host\\Programs\\");
    std::vector<std::string> expected = {"GetTempPathA 256",
                                         std::string("RegOpenKeyA ") + app::HostSettingsKey,
                                         "RegQueryValueExA programs", "RegCloseKey"};
    EXPECT_EQ(system.calls, expected);
    EXPECT_TRUE(system.boxes.empty());
}

TEST_F(StartupTest, TemporaryFolderOfMoreThan255BytesCountsAsNone) {
    system.tempPath = "C:\\" + std::string(251, 't') + "\\";  // 255 bytes: fits in 256
    app::ReadDefaultFolders(system, folders);
    EXPECT_EQ(std::strlen(folders.expand), 255u);
    install::FolderBuffers longer;
    system.tempPath = "C:\\" + std::string(252, 't') + "\\";
    app::ReadDefaultFolders(system, longer);
    EXPECT_STREQ(longer.expand, "");
    system.tempPath = "";  // the call fails
    install::FolderBuffers none;
    app::ReadDefaultFolders(system, none);
    EXPECT_STREQ(none.expand, "");
}

TEST_F(StartupTest, MissingKeyOrValueLeavesTheInstallFolderEmpty) {
    app::ReadDefaultFolders(system, folders);
    EXPECT_STREQ(folders.install, "");
    EXPECT_EQ(std::count(system.calls.begin(), system.calls.end(), "RegCloseKey"), 0);

    system.registry[app::HostSettingsKey]["other"] = Bytes("C:\\x\\");
    install::FolderBuffers noValue;
    app::ReadDefaultFolders(system, noValue);
    EXPECT_STREQ(noValue.install, "");
    EXPECT_EQ(system.calls.back(), "RegCloseKey");
    EXPECT_TRUE(system.boxes.empty());
}

struct ValueCase {
    const char* label;
    std::vector<std::uint8_t> data;
    std::string expected;
};

class RegistryValueTest : public StartupTest, public testing::WithParamInterface<ValueCase> {};

TEST_P(RegistryValueTest, FolderBufferAlwaysHoldsATerminatedText) {
    SetValue(GetParam().data);
    app::ReadDefaultFolders(system, folders);
    EXPECT_EQ(std::string(folders.install), GetParam().expected);
    EXPECT_NE(std::memchr(folders.install, 0, sizeof folders.install), nullptr);
}

std::vector<std::uint8_t> Text(std::size_t length, bool terminated) {
    std::vector<std::uint8_t> data(length, 'a');
    if (terminated) data.push_back(0);
    return data;
}

const ValueCase valueCases[] = {
    {"LongestThatFits", Text(259, true), std::string(259, 'a')},
    {"OneByteTooLong", Text(260, true), ""},
    {"FillsTheBufferWithoutZero", Text(260, false), ""},
    {"UnterminatedButShort", Text(10, false), std::string(10, 'a')},
    {"TextStopsAtFirstZero", {'C', ':', '\\', 0, 'x', 0}, "C:\\"},
    {"NumberReadAsText", {0x31, 0x32, 0, 0}, "12"},
    {"EmptyText", {0}, ""},
};

INSTANTIATE_TEST_SUITE_P(Values, RegistryValueTest, testing::ValuesIn(valueCases),
                         [](const auto& test) { return std::string(test.param.label); });

TEST_F(StartupTest, PackageThatCannotBeLoadedIsReported) {
    system.moduleFileName = "C:\\setup.exe";
    pkg::PackageIndex missing;
    EXPECT_FALSE(app::LoadPackage(system, missing));
    ASSERT_EQ(system.boxes.size(), 1u);
    EXPECT_EQ(system.boxes[0].text, msg::FileOpenError);
    EXPECT_EQ(system.boxes[0].caption, msg::ErrorCaption);
    EXPECT_EQ(system.boxes[0].style, sys::MbOk | sys::MbIconWarning);

    std::vector<pkg::PackageRecord> records = {pkg::MakeRecord("README.TXT", "read me")};
    std::vector<std::uint8_t> package = pkg::BuildPackage(Bytes("MZ stub"), "notice", records);
    package[7 + pkg::RecordMagicOffset] ^= 0xFF;
    system.AddFile(system.moduleFileName, package);
    pkg::PackageIndex damaged;
    EXPECT_FALSE(app::LoadPackage(system, damaged));
    ASSERT_EQ(system.boxes.size(), 2u);
    EXPECT_EQ(system.boxes[1].text, msg::FileReadError);
    EXPECT_EQ(system.boxes[1].style, sys::MbOk | sys::MbIconWarning);
}

TEST_F(StartupTest, SoundPackageLoadsSilently) {
    system.moduleFileName = "C:\\setup.exe";
    std::vector<pkg::PackageRecord> records = {pkg::MakeRecord("README.TXT", "read me")};
    system.AddFile(system.moduleFileName, pkg::BuildPackage(Bytes("MZ stub"), "ﾃｽﾄ", records));
    pkg::PackageIndex index;
    EXPECT_TRUE(app::LoadPackage(system, index));
    EXPECT_EQ(index.Notice(), "ﾃｽﾄ");
    EXPECT_EQ(index.entryCount, 1);
    EXPECT_TRUE(system.boxes.empty());
}

TEST(CentreTest, TruncatesTowardZero) {
    EXPECT_EQ(app::Centre(1024, 385), 319);
    EXPECT_EQ(app::Centre(768, 231), 268);
    EXPECT_EQ(app::Centre(100, 105), -2);  // -5 / 2
    EXPECT_EQ(app::Centre(100, 103), -1);
}

}  // namespace
