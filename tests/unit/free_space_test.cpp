// Whether the two folders' volumes have room for the package, by the query
// the running system supports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "install/FreeSpace.h"
#include "install/Messages.h"
#include "support/RecordingView.h"
#include "system/FakeSystem.h"

namespace {

using install::SpaceStatus;

TEST(FreeSpaceTest, VersionChoosesTheQuery) {
    struct {
        std::uint32_t platform, build;
        bool bytes;
    } cases[] = {
        {sys::PlatformWin32Windows, 950, false},
        {sys::PlatformWin32Windows, 1000, false},
        {sys::PlatformWin32Windows, 1001, true},
        {sys::PlatformWin32Windows, 1111, true},
        // The 95 family keeps its version in the high word.
        {sys::PlatformWin32Windows, 0x040003B6, false},
        {sys::PlatformWin32Windows, 0x04000457, true},
        {sys::PlatformWin32Nt, 1111, false},
        {sys::PlatformWin32Nt, 2600, false},
        {sys::PlatformWin32s, 1111, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(install::UsesByteQuery({c.platform, c.build}), c.bytes) << c.platform << " " << c.build;
    }
}

// Expand folder on C:, install folder on D:, unless a test moves them.
class FreeSpaceCheck : public testing::Test {
protected:
    FreeSpaceCheck() {
        system.AddDirectory("C:\\tmp\\");
        system.AddVolume('D');
        system.AddDirectory("D:\\app\\");
        std::strcpy(folders.expand, "C:\\tmp\\");
        std::strcpy(folders.install, "D:\\app\\");
        index.totalStoredSize = 1000;
        index.totalExpandedSize = 3000;
    }
    void UseByteQuery() { system.version = {sys::PlatformWin32Windows, 1111}; }
    // Free space of exactly `bytes` on both queries.
    void SetFree(char drive, std::uint64_t bytes) {
        auto& volume = system.VolumeOf(drive);
        volume.freeBytesToCaller = bytes;
        volume.sectorsPerCluster = 1;
        volume.bytesPerSector = 1;
        volume.freeClusters = static_cast<std::uint32_t>(bytes);
    }
    bool Called(const std::string& prefix) const {
        return std::any_of(system.calls.begin(), system.calls.end(),
                           [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
    }
    SpaceStatus Check() { return install::CheckFreeSpace(system, index, folders); }

    sys::FakeSystem system;
    pkg::PackageIndex index;
    install::FolderBuffers folders;
};

TEST_F(FreeSpaceCheck, ByteQueryAsksAboutTheFolderClusterQueryAboutTheRoot) {
    EXPECT_EQ(Check(), SpaceStatus::Enough);
    EXPECT_EQ(system.calls, (std::vector<std::string>{"GetVersionExA", "GetDiskFreeSpaceA C:\\",
                                                      "GetDiskFreeSpaceA D:\\"}));
    system.calls.clear();
    UseByteQuery();
    EXPECT_EQ(Check(), SpaceStatus::Enough);
    EXPECT_EQ(system.calls,
              (std::vector<std::string>{"GetVersionExA", "GetDiskFreeSpaceExA C:\\tmp\\",
                                        "GetDiskFreeSpaceExA D:\\app\\"}));
}

TEST_F(FreeSpaceCheck, TiesPassOneByteFewerFails) {
    for (bool bytes : {false, true}) {
        for (std::uint64_t shortBy : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "byte query " << bytes << ", short by " << shortBy);
            system.version = bytes ? sys::OsVersion{sys::PlatformWin32Windows, 1111}
                                   : sys::OsVersion{sys::PlatformWin32Nt, 2600};
            SetFree('C', 1000 - shortBy);
            SetFree('D', 3000);
            EXPECT_EQ(Check(), shortBy ? SpaceStatus::ExpandVolumeFull : SpaceStatus::Enough);
            SetFree('C', 1000);
            SetFree('D', 3000 - shortBy);
            EXPECT_EQ(Check(), shortBy ? SpaceStatus::InstallVolumeFull : SpaceStatus::Enough);
        }
    }
}

TEST_F(FreeSpaceCheck, ExpandVolumeFailingFirstLeavesTheInstallVolumeUnasked) {
    SetFree('C', 10);
    SetFree('D', 10);
    EXPECT_EQ(Check(), SpaceStatus::ExpandVolumeFull);
    EXPECT_FALSE(Called("GetDiskFreeSpaceA D:"));
    UseByteQuery();
    EXPECT_EQ(Check(), SpaceStatus::ExpandVolumeFull);
    EXPECT_FALSE(Called("GetDiskFreeSpaceExA D:"));
}

TEST_F(FreeSpaceCheck, OneVolumeIsComparedWithEachTotalNotTheirSum) {
    std::strcpy(folders.install, "C:\\tmp\\");
    SetFree('C', 3000);
    EXPECT_EQ(Check(), SpaceStatus::Enough);
    UseByteQuery();
    EXPECT_EQ(Check(), SpaceStatus::Enough);
}

TEST_F(FreeSpaceCheck, ClusterQueryComparesAll64Bits) {
    // 4 GiB + 4096 bytes free: the low 32 bits alone would say 4096.
    auto& volume = system.VolumeOf('C');
    volume.sectorsPerCluster = 8;
    volume.bytesPerSector = 512;
    volume.freeClusters = (1u << 20) + 1;
    index.totalStoredSize = 10000;
    EXPECT_EQ(Check(), SpaceStatus::Enough);
    // A product beyond 64 bits is plenty too.
    volume.sectorsPerCluster = 0xFFFFFFFF;
    volume.bytesPerSector = 0xFFFFFFFF;
    volume.freeClusters = 0xFFFFFFFF;
    EXPECT_EQ(Check(), SpaceStatus::Enough);
}

// A failed query sets nothing, so there is nothing to compare.
TEST_F(FreeSpaceCheck, AVolumeWhoseQueryFailsPasses) {
    SetFree('C', 0);
    SetFree('D', 0);
    system.VolumeOf('C').clustersQueryFails = true;
    system.VolumeOf('D').clustersQueryFails = true;
    EXPECT_EQ(Check(), SpaceStatus::Enough);

    UseByteQuery();
    system.VolumeOf('C').bytesQueryFails = true;
    std::strcpy(folders.install, "D:\\missing\\");  // the byte query needs the folder
    EXPECT_EQ(Check(), SpaceStatus::Enough);

    // A network path has no drive root for the query by clusters.
    system.version = {sys::PlatformWin32Nt, 2600};
    std::strcpy(folders.expand, "\\\\server\\share\\");
    std::strcpy(folders.install, "Q:work\\");
    EXPECT_EQ(Check(), SpaceStatus::Enough);
    EXPECT_TRUE(Called("GetDiskFreeSpaceA \\:\\"));
}

TEST_F(FreeSpaceCheck, ClusterQueryFindsAMissingFolderByItsDrive) {
    std::strcpy(folders.install, "D:\\missing\\");
    SetFree('D', 2999);
    EXPECT_EQ(Check(), SpaceStatus::InstallVolumeFull);
}

}  // namespace
