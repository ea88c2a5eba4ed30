// The free-space check against a real volume too small for the package: a
// 1 MiB tmpfs that small_volume.sh links to the drive letter it passes in
// INSTALLER_SMALL_DRIVE. Both queries see its real size.
#include <gtest/gtest.h>

#include <cstdlib>

#include "WinSupport.h"
#include "install/Install.h"
#include "install/Messages.h"
#include "package/Loader.h"
#include "package/Writer.h"
#include "support/Bytes.h"
#include "support/RecordingView.h"

namespace {

using testing_support::FilesIn;
using testing_support::PackagedSystem;
using testing_support::RecordingView;
using testing_support::ScratchFolder;

// Random bytes do not compress: stored and expanded, they exceed 1 MiB.
std::vector<std::uint8_t> Incompressible(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = 11;
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    return bytes;
}

class SmallVolumeTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        const char* drive = std::getenv("INSTALLER_SMALL_DRIVE");
        if (drive == nullptr || drive[0] == '\0') GTEST_SKIP() << "run through small_volume.sh";
        small_ = std::string(1, drive[0]) + ":\\";
        ASSERT_GE(GetDriveTypeA(small_.c_str()), unsigned{DRIVE_REMOVABLE});
    }

    // Presses Install with a package of `size` bytes and returns the box shown.
    std::string Press(std::size_t size, const std::string& expand, const std::string& install) {
        PackagedSystem system(work_.Path() + "setup.exe");
        if (GetParam()) system.version = sys::OsVersion{sys::PlatformWin32Windows, 1111};
        bool written = testing_support::WriteBytes(
            work_.Path() + "setup.exe",
            pkg::BuildPackage(std::vector<std::uint8_t>(512, 'M'), "",
                              {pkg::MakeRecord("BIG.DAT", Incompressible(size)),
                               pkg::MakeRecord("SMALL.TXT", "small")}));
        EXPECT_TRUE(written);
        pkg::PackageIndex index;
        EXPECT_EQ(pkg::LoadPackageIndex(system, index).status, pkg::LoadStatus::Loaded);
        install::FolderBuffers folders;
        install::Installer(system, index, folders).StartClick(expand, install, view_);
        EXPECT_EQ(system.boxes.size(), 1u);
        return system.boxes.empty() ? "" : system.boxes[0].text;
    }

    std::string small_;
    ScratchFolder work_{"C:\\small_volume_work"};
    ScratchFolder expand_{"C:\\small_volume_expand"};
    RecordingView view_;
};

TEST_P(SmallVolumeTest, ExpandFolderOnTheSmallVolume) {
    ScratchFolder target(small_ + "target");
    EXPECT_EQ(Press(2 << 20, target.Path(), expand_.Path()), msg::ExpandVolumeFull);
    EXPECT_TRUE(FilesIn(target.Path()).empty());
    EXPECT_TRUE(FilesIn(expand_.Path()).empty());
    EXPECT_TRUE(view_.positions.empty());
    EXPECT_TRUE(view_.enabled);
}

TEST_P(SmallVolumeTest, InstallFolderOnTheSmallVolume) {
    ScratchFolder target(small_ + "target");
    EXPECT_EQ(Press(2 << 20, expand_.Path(), target.Path()), msg::InstallVolumeFull);
    EXPECT_TRUE(FilesIn(target.Path()).empty());
    EXPECT_TRUE(FilesIn(expand_.Path()).empty());
    EXPECT_TRUE(view_.positions.empty());
    EXPECT_TRUE(view_.enabled);
}

// The same volume takes a package that fits.
TEST_P(SmallVolumeTest, PackageThatFitsInstalls) {
    ScratchFolder target(small_ + "target");
    EXPECT_EQ(Press(100 << 10, target.Path(), target.Path()), msg::InstallSucceeded);
    EXPECT_EQ(FilesIn(target.Path()).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Queries, SmallVolumeTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& p) {
                             return std::string(p.param ? "ByBytes" : "ByClusters");
                         });

}  // namespace
