// The press of Install against the real services under Wine: path
// resolution, drive types, the file services and LZ32.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "WinSupport.h"
#include "install/Folders.h"
#include "install/Install.h"
#include "install/Messages.h"
#include "package/Loader.h"
#include "package/Writer.h"
#include "Packager.h"
#include "support/Bytes.h"
#include "support/RecordingView.h"

namespace {

using testing_support::FilesIn;
using testing_support::PackagedSystem;
using testing_support::Pattern;
using testing_support::ReadBytes;
using testing_support::RecordingView;
using testing_support::ScratchFolder;

// A drive letter that names no drive here.
char MissingDrive() {
    for (char letter = 'Q'; letter <= 'Y'; ++letter) {
        const char root[] = {letter, ':', '\\', '\0'};
        if (GetDriveTypeA(root) < DRIVE_REMOVABLE) return letter;
    }
    return 0;
}

TEST(Win32NormaliseTest, ResolvesAgainstTheCurrentDirectoryAndDrives) {
    ScratchFolder cwd("C:\\normalise");
    ASSERT_TRUE(SetCurrentDirectoryA(cwd.Path().c_str()));
    const char missing = MissingDrive();
    ASSERT_NE(missing, 0);
    const std::string missingText = std::string(1, missing) + ":work";
    struct {
        std::string text;
        std::string expected;
        install::FolderStatus status;
    } cases[] = {
        {"work", "C:\\normalise\\work\\", install::FolderStatus::Absolute},
        {"..\\work\\.", "C:\\work\\", install::FolderStatus::Absolute},
        {"C:work", "C:\\normalise\\work\\", install::FolderStatus::Absolute},
        {"\\work", "C:\\work\\", install::FolderStatus::Absolute},
        {"", "C:\\", install::FolderStatus::Absolute},
        {"C:\\Temp", "C:\\Temp\\", install::FolderStatus::Absolute},
        {"C:\\Temp\\", "C:\\Temp\\", install::FolderStatus::Absolute},
        // 表 is 95 5C in code page 932.
        {"C:\\表", "C:\\表\\", install::FolderStatus::Absolute},
        {missingText, missingText + "\\", install::FolderStatus::AsTyped},
    };
    PackagedSystem system("");
    for (const auto& c : cases) {
        char buffer[install::FolderBufferSize] = {};
        EXPECT_EQ(install::NormaliseFolder(system, c.text, buffer), c.status) << c.text;
        EXPECT_STREQ(buffer, c.expected.c_str()) << c.text;
    }
    SetCurrentDirectoryA("C:\\");
}

// The limit the fake system copies.
TEST(Win32LzTest, RefusesPathsOf128BytesOrMore) {
    ScratchFolder folder("C:\\lzpath");
    PackagedSystem system("");
    for (std::size_t length : {sys::LzMaxPath - 1, sys::LzMaxPath}) {
        std::string path = folder.Path() + std::string(length - folder.Path().size(), 'a');
        sys::OpenFileRecord record;
        sys::LzHandle handle = system.LZOpenFileA(path.c_str(), record, sys::OfCreate);
        EXPECT_EQ(handle >= 0, length < sys::LzMaxPath) << length;
        if (handle >= 0) system.LZClose(handle);
    }
}

// A package appended to a stub, written where the run will reopen it.
struct PackagedFile {
    PackagedFile(const std::string& path, const std::vector<pkg::PackageRecord>& records)
        : system(path) {
        std::vector<std::uint8_t> stub(4096, 0);
        stub[0] = 'M';
        stub[1] = 'Z';
        bool written = testing_support::WriteBytes(path, pkg::BuildPackage(stub, "テスト", records));
        EXPECT_TRUE(written);
        pkg::LoadResult loaded = pkg::LoadPackageIndex(system, index);
        EXPECT_EQ(loaded.status, pkg::LoadStatus::Loaded) << pkg::Describe(loaded.check.fault);
    }

    PackagedSystem system;
    pkg::PackageIndex index;
};

TEST(Win32RunTest, InstallsAThreeEntryPackageThroughLz32) {
    ScratchFolder work("C:\\install_run");
    ScratchFolder target("C:\\install_target");
    std::vector<std::uint8_t> random(70000);
    std::uint32_t x = 3;
    for (auto& byte : random) byte = static_cast<std::uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
        {"PROGRAM.EXE", Pattern(30000, 1)},
        {"DATA.DLL", random},
        {"README.TXT", testing_support::Bytes("read me\r\n")},
    };
    // The package as publishers make it: the packager's build command.
    ScratchFolder sources("C:\\install_sources");
    std::vector<std::string> args = {"packager", "build", "--stub", sources.Path() + "stub.exe",
                                     "-o", work.Path() + "setup.exe", "--notice",
                                     reinterpret_cast<const char*>(u8"テスト")};
    std::vector<std::uint8_t> stub(4096, 0);
    ASSERT_TRUE(testing_support::WriteBytes(sources.Path() + "stub.exe", stub));
    for (const auto& [name, content] : files) {
        ASSERT_TRUE(testing_support::WriteBytes(sources.Path() + name, content));
        args.push_back(sources.Path() + name);
    }
    std::ostringstream out, err;
    ASSERT_EQ(packager::Run(args, {out, err}), packager::ExitOk) << err.str();
    PackagedSystem system(work.Path() + "setup.exe");
    pkg::PackageIndex index;
    ASSERT_EQ(pkg::LoadPackageIndex(system, index).status, pkg::LoadStatus::Loaded);

    install::FolderBuffers folders;
    RecordingView view;
    install::Installer(system, index, folders)
        .StartClick(target.Path(), target.Path(), view);

    ASSERT_EQ(system.boxes.size(), 1u);
    EXPECT_EQ(system.boxes[0].text, msg::InstallSucceeded);
    EXPECT_EQ(system.boxes[0].caption, msg::ConfirmCaption);
    EXPECT_EQ(system.boxes[0].style, unsigned{MB_OK | MB_ICONINFORMATION});
    EXPECT_EQ(view.positions.back(), 0);
    EXPECT_FALSE(view.enabled);
    for (const auto& [name, content] : files) {
        EXPECT_EQ(ReadBytes(target.Path() + name), content) << name;
    }
    std::vector<std::string> left = FilesIn(target.Path());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"DATA.DLL", "PROGRAM.EXE", "README.TXT"}));
}

// LZ32 stops where the data stops: a cut stream gives fewer bytes than the
// header promised, and the run must not call that a success.
TEST(Win32RunTest, CutStreamIsAnExpansionFailure) {
    ScratchFolder work("C:\\install_cut");
    ScratchFolder target("C:\\install_cut_target");
    pkg::PackageRecord cut = pkg::MakeRecord("B.DLL", Pattern(5000, 2));
    cut.data.resize(cut.data.size() - 100);
    PackagedFile package(work.Path() + "setup.exe",
                         {pkg::MakeRecord("A.EXE", Pattern(3000, 1)), cut,
                          pkg::MakeRecord("C.TXT", Pattern(300, 3))});

    install::FolderBuffers folders;
    RecordingView view;
    install::Installer(package.system, package.index, folders)
        .StartClick(work.Path(), target.Path(), view);

    ASSERT_EQ(package.system.boxes.size(), 1u);
    EXPECT_EQ(package.system.boxes[0].text, msg::ExpansionError);
    EXPECT_EQ(package.system.boxes[0].style, unsigned{MB_OK | MB_ICONWARNING});
    EXPECT_EQ(ReadBytes(target.Path() + "A.EXE"), Pattern(3000, 1));
    EXPECT_EQ(FilesIn(work.Path()), std::vector<std::string>{"setup.exe"});
    EXPECT_FALSE(view.enabled);
}

}  // namespace
