// The package loader against the real file services: a copy of this test
// program with a package appended reads as the same bytes do in memory.
#include <gtest/gtest.h>
#include <windows.h>

#include "WinSupport.h"
#include "package/Loader.h"
#include "package/Writer.h"
#include "support/Bytes.h"
#include "system/FakeSystem.h"
#include "system/Win32System.h"

namespace {

using testing_support::PackagedSystem;
using testing_support::Pattern;

TEST(Win32LoaderTest, PackagedExecutableGivesTheSameIndexAsInMemory) {
    sys::Win32System real;
    std::vector<std::uint8_t> self = testing_support::ReadBytes(real.GetModuleFileNameA());
    ASSERT_GT(self.size(), 10000u);
    std::vector<pkg::PackageRecord> records = {
        pkg::MakeRecord("PROGRAM.EXE", Pattern(30000, 1)),
        pkg::MakeRecord("DATA.DLL", Pattern(5000, 2)),
        pkg::MakeRecord("README.TXT", "read me\r\n"),
    };
    std::vector<std::uint8_t> package = pkg::BuildPackage(self, "\xB1\xAF\xCC\xDF\xC3\xDE\xB0\xC4", records);

    char folder[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    std::string path = std::string(folder) + "loader_test_packaged.exe";
    ASSERT_TRUE(testing_support::WriteBytes(path, package));

    PackagedSystem system(path);
    pkg::PackageIndex onDisk;
    pkg::LoadResult result = pkg::LoadPackageIndex(system, onDisk);
    DeleteFileA(path.c_str());
    ASSERT_EQ(result.status, pkg::LoadStatus::Loaded) << pkg::Describe(result.check.fault);

    sys::FakeSystem fake;
    fake.moduleFileName = "C:\\setup.exe";
    fake.AddFile(fake.moduleFileName, package);
    pkg::PackageIndex inMemory;
    ASSERT_EQ(pkg::LoadPackageIndex(fake, inMemory).status, pkg::LoadStatus::Loaded);

    EXPECT_EQ(onDisk.dataOffset, self.size());
    EXPECT_EQ(onDisk.entryCount, 3);
    EXPECT_EQ(onDisk.Notice(), "\xB1\xAF\xCC\xDF\xC3\xDE\xB0\xC4");
    EXPECT_EQ(onDisk.totalExpandedSize, 35009u);
    EXPECT_TRUE(onDisk == inMemory);
}

TEST(Win32LoaderTest, ExecutableThatCannotBeOpened) {
    PackagedSystem system("C:\\no such folder\\setup.exe");
    pkg::PackageIndex index;
    EXPECT_EQ(pkg::LoadPackageIndex(system, index).status, pkg::LoadStatus::OpenFailed);
}

}  // namespace
