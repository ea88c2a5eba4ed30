// The press of Install over the fake system: normalisation and the free-space
// check as the run sees them, the installation run's phases, progress,
// failures and clean-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "install/Install.h"
#include "install/Messages.h"
#include "install/Run.h"
#include "package/Loader.h"
#include "package/Writer.h"
#include "support/Bytes.h"
#include "support/RecordingView.h"
#include "system/FakeSystem.h"
#include "szdd/Szdd.h"

namespace {

using testing_support::Pattern;
using testing_support::RecordingView;
using Calls = std::vector<std::string>;

constexpr char Exe[] = "C:\\setup.exe";
constexpr char Tmp[] = "C:\\tmp\\";
constexpr char App[] = "C:\\app\\";

// SZDD data of literals only, so that the stored size is known exactly:
// 14 + n + ceil(n / 8). `drop` bytes are cut from its end.
std::vector<std::uint8_t> LiteralSzdd(const std::vector<std::uint8_t>& content, char restore,
                                      std::size_t drop = 0) {
    auto header = szdd::EncodeHeader({static_cast<std::uint8_t>(restore),
                                      static_cast<std::uint32_t>(content.size())});
    std::vector<std::uint8_t> out(header.begin(), header.end());
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (i % 8 == 0) out.push_back(0xFF);
        out.push_back(content[i]);
    }
    out.resize(out.size() - drop);
    return out;
}

pkg::PackageRecord LiteralRecord(const std::string& fileName, std::size_t size,
                                 std::uint32_t seed = 1) {
    return {pkg::StoredNameFor(fileName), LiteralSzdd(Pattern(size, seed), fileName.back()),
            std::nullopt};
}

// A package in the fake system, the run's folders and a view on the window.
struct Scenario {
    Scenario() {
        system.moduleFileName = Exe;
        system.AddDirectory(Tmp);
        system.AddDirectory(App);
    }

    // The stub and `records`, loaded as start-up loads them.
    void Package(const std::vector<pkg::PackageRecord>& records) {
        std::vector<std::uint8_t> stub(1000, 0xCC);
        package = pkg::BuildPackage(stub, "notice", records);
        system.AddFile(Exe, package);
        index = {};
        storedNames.clear();
        installedNames.clear();
        pkg::LoadResult loaded = pkg::LoadPackageIndex(system, index);
        ASSERT_EQ(loaded.status, pkg::LoadStatus::Loaded) << pkg::Describe(loaded.check.fault);
        for (const auto& record : records) {
            std::string stored = record.nameField.substr(0, record.nameField.find('\0'));
            storedNames.push_back(stored);
            installedNames.push_back(pkg::InstalledName(stored, record.data.at(9)));
        }
        system.calls.clear();
    }
    // Three files of 800 bytes: each entry moves a phase by 16.
    void ThreeEntries() {
        Package({LiteralRecord("SETUP.EXE", 800, 1), LiteralRecord("CORVINEL.DLL", 800, 2),
                 LiteralRecord("README.TXT", 800, 3)});
    }
    std::vector<std::uint8_t> Content(int i) const { return Pattern(800, i + 1); }

    void Press() { installer.StartClick(expandText, installText, view); }
    std::string Temporary(int i, const std::string& folder = Tmp) const {
        return folder + storedNames.at(i);
    }
    std::string Installed(int i, const std::string& folder = App) const {
        return folder + installedNames.at(i);
    }
    // What follows a failure of the expansion phase: the closes in `calls`,
    // then the delete phase.
    Calls DeletePhase(Calls calls = {}) const {
        for (std::size_t i = 0; i < storedNames.size(); ++i) {
            calls.push_back("DeleteFileA " + Temporary(static_cast<int>(i)));
        }
        calls.push_back("SetPosition 0");
        calls.push_back("DisableStart");
        return calls;
    }
    // The calls after the last message box.
    Calls CallsAfterBox() const {
        auto box = std::find_if(system.calls.rbegin(), system.calls.rend(), [](const std::string& c) {
            return c.rfind("MessageBoxA", 0) == 0;
        });
        return Calls(box.base(), system.calls.end());
    }
    bool Called(const std::string& prefix) const {
        return std::any_of(system.calls.begin(), system.calls.end(),
                           [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
    }

    std::string expandText = Tmp;
    std::string installText = App;
    sys::FakeSystem system;
    pkg::PackageIndex index;
    install::FolderBuffers folders;
    RecordingView view{&system.calls};
    install::Installer installer{system, index, folders};
    std::vector<std::uint8_t> package;
    std::vector<std::string> storedNames;
    std::vector<std::string> installedNames;
};

class InstallTest : public testing::Test, public Scenario {};

TEST(ProgressTest, AdvancesByTheFloorOfFiftyTimesTheShare) {
    struct {
        std::uint16_t position;
        std::uint32_t size, total;
        std::uint16_t expected;
    } cases[] = {
        {0, 100, 300, 16}, {16, 100, 300, 32}, {32, 100, 300, 48},
        {50, 250, 1000, 62}, {62, 300, 1000, 77}, {77, 450, 1000, 99},
        {0, 0, 0, 0}, {50, 0, 0, 50},  // an empty phase does not move
        {0, 0xFFFFFFFF, 0xFFFFFFFF, 50},
        {0, 100000000, 300000000, 16},  // 50 x size needs more than 32 bits
        {0, 0xFFFFFFFE, 0xFFFFFFFF, 49},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(install::AdvanceProgress(c.position, c.size, c.total), c.expected)
            << c.position << " + 50 x " << c.size << " / " << c.total;
    }
}

TEST_F(InstallTest, RunGoesThroughItsPhasesInOrder) {
    Package({LiteralRecord("SETUP.EXE", 80, 1), LiteralRecord("README.TXT", 80, 2)});
    Press();
    EXPECT_EQ(system.calls,
              (Calls{
                  "GetFullPathNameA C:\\tmp\\", "GetDriveTypeA C:\\",
                  "GetFullPathNameA C:\\app\\", "GetDriveTypeA C:\\",
                  "GetVersionExA", "GetDiskFreeSpaceA C:\\", "GetDiskFreeSpaceA C:\\",
                  "OpenRead C:\\setup.exe", "SetPosition 0",
                  "OpenWrite C:\\tmp\\SETUP.EX_", "Close C:\\tmp\\SETUP.EX_", "SetPosition 25",
                  "OpenWrite C:\\tmp\\README.TX_", "Close C:\\tmp\\README.TX_", "SetPosition 50",
                  "Close C:\\setup.exe", "SetPosition 50",
                  "LZOpenFileA C:\\tmp\\SETUP.EX_ read -> 1",
                  "OpenWrite C:\\app\\SETUP.EXE", "Close C:\\app\\SETUP.EXE",
                  "LZOpenFileA C:\\app\\SETUP.EXE create -> 2", "LZCopy 1 2 -> 80",
                  "SetPosition 75", "LZClose 1", "LZClose 2",
                  "LZOpenFileA C:\\tmp\\README.TX_ read -> 3",
                  "OpenWrite C:\\app\\README.TXT", "Close C:\\app\\README.TXT",
                  "LZOpenFileA C:\\app\\README.TXT create -> 4", "LZCopy 3 4 -> 80",
                  "SetPosition 100", "LZClose 3", "LZClose 4",
                  "DeleteFileA C:\\tmp\\SETUP.EX_", "DeleteFileA C:\\tmp\\README.TX_",
                  "SetPosition 100",
                  std::string("MessageBoxA ") + msg::ConfirmCaption + ": " + msg::InstallSucceeded,
                  "SetPosition 0", "DisableStart",
              }));
    ASSERT_EQ(system.boxes.size(), 1u);
    EXPECT_EQ(system.boxes[0].style, sys::MbOk | sys::MbIconInformation);
    EXPECT_EQ(system.FileBytes("C:\\app\\SETUP.EXE"), Pattern(80, 1));
    EXPECT_EQ(system.FileBytes("C:\\app\\README.TXT"), Pattern(80, 2));
    EXPECT_EQ(system.FilePaths(), (Calls{"C:\\app\\README.TXT", "C:\\app\\SETUP.EXE", Exe}));
    EXPECT_FALSE(view.enabled);
}

TEST(InstallRunTest, ProgressFollowsTheSizesOfEachPhase) {
    struct {
        std::vector<std::size_t> sizes;
        std::vector<std::uint16_t> positions;
    } cases[] = {
        {{800, 800, 800}, {0, 16, 32, 48, 50, 66, 82, 98, 100, 0}},
        // Stored 296, 352 and 521 bytes.
        {{250, 300, 450}, {0, 12, 27, 49, 50, 62, 77, 99, 100, 0}},
        // Empty files: the expansion phase has a total of 0.
        {{0, 0, 0}, {0, 16, 32, 48, 50, 50, 50, 50, 100, 0}},
        {{}, {0, 50, 100, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sizes.size() << " entries of " << (c.sizes.empty() ? 0 : c.sizes[0]));
        Scenario s;
        std::vector<pkg::PackageRecord> records;
        const char* names[] = {"A.EXE", "B.DLL", "C.TXT"};
        for (std::size_t i = 0; i < c.sizes.size(); ++i) {
            records.push_back(LiteralRecord(names[i], c.sizes[i], static_cast<std::uint32_t>(i)));
        }
        s.Package(records);
        s.Press();
        EXPECT_EQ(s.view.positions, c.positions);
        ASSERT_EQ(s.system.boxes.size(), 1u);
        EXPECT_EQ(s.system.boxes[0].text, msg::InstallSucceeded);
        EXPECT_FALSE(s.view.enabled);
        for (std::size_t i = 0; i < c.sizes.size(); ++i) {
            EXPECT_EQ(s.system.FileBytes(std::string(App) + names[i]),
                      Pattern(c.sizes[i], static_cast<std::uint32_t>(i)));
        }
        EXPECT_EQ(s.system.FilePaths().size(), c.sizes.size() + 1) << "temporaries left";
    }
}

// A folder of 249 bytes takes "SETUP.EX_" (9 bytes) but not "CORVINEL.DL_"
// (12) within 259 bytes; one of 251 bytes takes neither.
std::string LongFolder(sys::FakeSystem& system, std::size_t length) {
    std::string folder = "C:\\" + std::string(length - 4, 'd') + "\\";
    system.AddDirectory(folder);
    return folder;
}

// Position in the package of entry record `i` of ThreeEntries.
std::size_t RecordAt(const Scenario& s, int i) {
    std::size_t at = s.index.dataOffset;
    for (int k = 0; k < i; ++k) at += pkg::RecordHeaderSize + s.index.entries[k].storedSize;
    return at;
}

void Reload(Scenario& s) {
    s.system.AddFile(Exe, s.package);
    s.system.calls.clear();
}

// One entry of the three fails; what the user is shown, and what the run
// closes after that box and leaves behind.
struct FailureRow {
    const char* name;
    void (*arrange)(Scenario&);
    std::string (*box)(const Scenario&);
    Calls (*after)(const Scenario&);  // every call after the box, in order
    std::vector<int> temporaries;     // entries whose temporary is left
    std::vector<int> installed;       // entries whose installed file exists
    int position;                     // final progress; -1: untouched
    bool enabled;
};

const FailureRow FailureRows[] = {
    {"PackageNotReopened", [](Scenario& s) { s.system.failOpenRead.insert(Exe); },
     [](const Scenario&) -> std::string { return msg::FileOpenError; },
     [](const Scenario&) { return Calls{}; }, {}, {}, -1, true},
    {"TemporaryNotCreated", [](Scenario& s) { s.system.failOpenWrite.insert(s.Temporary(1)); },
     [](const Scenario& s) { return s.Temporary(1); },
     [](const Scenario&) { return Calls{"Close C:\\setup.exe"}; }, {0}, {}, 16, true},
    {"TemporaryPathTooLong", [](Scenario& s) { s.expandText = LongFolder(s.system, 249); },
     [](const Scenario& s) { return s.Temporary(1, s.expandText); },
     [](const Scenario&) { return Calls{"Close C:\\setup.exe"}; }, {0}, {}, 16, true},
    // A temporary cut short is removed; the whole ones before it stay.
    {"TemporaryWriteFails", [](Scenario& s) { s.system.failWrite.insert(s.Temporary(1)); },
     [](const Scenario& s) { return s.Temporary(1); },
     [](const Scenario& s) {
         return Calls{"Close " + s.Temporary(1), "DeleteFileA " + s.Temporary(1),
                      "Close C:\\setup.exe"};
     },
     {0}, {}, 16, true},
    {"TemporaryCloseFails", [](Scenario& s) { s.system.failClose.insert(s.Temporary(1)); },
     [](const Scenario& s) { return s.Temporary(1); },
     [](const Scenario& s) {
         return Calls{"DeleteFileA " + s.Temporary(1), "Close C:\\setup.exe"};
     },
     {0}, {}, 16, true},
    {"PackageCutShort",
     [](Scenario& s) {
         s.package.resize(RecordAt(s, 1) + pkg::RecordHeaderSize + 100);
         Reload(s);
     },
     [](const Scenario&) -> std::string { return msg::FileReadError; },
     [](const Scenario& s) {
         return Calls{"Close " + s.Temporary(1), "DeleteFileA " + s.Temporary(1),
                      "Close C:\\setup.exe"};
     },
     {0}, {}, 16, true},
    {"NameChangedSinceStart",
     [](Scenario& s) {
         const char name[] = "..\\EVIL.DL_";
         std::copy(name, name + sizeof name, s.package.begin() + RecordAt(s, 1) + 4);
         Reload(s);
     },
     [](const Scenario&) -> std::string { return msg::FileReadError; },
     [](const Scenario&) { return Calls{"Close C:\\setup.exe"}; }, {0}, {}, 16, true},
    // Positions are signed 32-bit; the loader never lets such an offset by.
    {"DataOffsetUnreachable", [](Scenario& s) { s.index.dataOffset = 0x80000000; },
     [](const Scenario&) -> std::string { return msg::FileReadError; },
     [](const Scenario&) { return Calls{"Close C:\\setup.exe"}; }, {}, {}, 0, true},
    {"ExpansionSourceNotOpened", [](Scenario& s) { s.system.failLzOpen.insert(s.Temporary(1)); },
     [](const Scenario&) -> std::string { return msg::ExpansionError; },
     [](const Scenario& s) { return s.DeletePhase(); }, {}, {0}, 0, false},
    // A file that cannot be created is never handed to LZ32, which would
    // create the name ending in "_" instead.
    {"InstalledFileNotCreated",
     [](Scenario& s) {
         s.system.failOpenWrite.insert(s.Installed(1));
         s.system.failLzCreate.insert(s.Installed(1));
     },
     [](const Scenario&) -> std::string { return msg::ExpansionError; },
     [](const Scenario& s) { return s.DeletePhase({"LZClose 3"}); },
     {}, {0}, 0, false},
    // Should LZ32 fall back all the same, the other name is closed and
    // removed after the box; the plain file made first stays, empty.
    {"InstalledFileFellBack", [](Scenario& s) { s.system.failLzCreate.insert(s.Installed(1)); },
     [](const Scenario&) -> std::string { return msg::ExpansionError; },
     [](const Scenario& s) {
         std::string fallback = s.Installed(1);
         fallback.back() = '_';
         return s.DeletePhase({"LZClose 4", "DeleteFileA " + fallback, "LZClose 3"});
     },
     {}, {0, 1}, 0, false},
    {"InstalledNameIsAFolder", [](Scenario& s) { s.system.AddDirectory(s.Installed(1)); },
     [](const Scenario&) -> std::string { return msg::ExpansionError; },
     [](const Scenario& s) { return s.DeletePhase({"LZClose 3"}); },
     {}, {0}, 0, false},
    // LZ32 takes no path of 128 bytes or more, so this fails at entry 0.
    {"InstalledPathTooLong", [](Scenario& s) { s.installText = LongFolder(s.system, 251); },
     [](const Scenario&) -> std::string { return msg::ExpansionError; },
     [](const Scenario& s) { return s.DeletePhase({"LZClose 1"}); },
     {}, {}, 0, false},
    {"ExpansionFails", [](Scenario& s) { s.system.failLzCopy.insert(s.Temporary(1)); },
     [](const Scenario&) -> std::string { return msg::ExpansionError; },
     [](const Scenario& s) { return s.DeletePhase({"LZClose 3", "LZClose 4"}); },
     {}, {0, 1}, 0, false},
    {"ExpansionGivesAnotherSize", [](Scenario& s) { s.system.lzCopyResult[s.Temporary(1)] = 801; },
     [](const Scenario&) -> std::string { return msg::ExpansionError; },
     [](const Scenario& s) { return s.DeletePhase({"LZClose 3", "LZClose 4"}); },
     {}, {0, 1}, 0, false},
    // The stream ends early: LZ32 gives fewer bytes than the header promised.
    {"CorruptStream",
     [](Scenario& s) {
         pkg::PackageRecord cut = LiteralRecord("CORVINEL.DLL", 800, 2);
         cut.data = LiteralSzdd(Pattern(800, 2), 'L', 9);
         s.Package({LiteralRecord("SETUP.EXE", 800, 1), cut, LiteralRecord("README.TXT", 800, 3)});
     },
     [](const Scenario&) -> std::string { return msg::ExpansionError; },
     [](const Scenario& s) { return s.DeletePhase({"LZClose 3", "LZClose 4"}); },
     {}, {0, 1}, 0, false},
};

void PrintTo(const FailureRow& row, std::ostream* out) { *out << row.name; }

class FailureTest : public testing::TestWithParam<FailureRow> {};

TEST_P(FailureTest, ShowsThenCleansUpAndLeavesTheRest) {
    const FailureRow& row = GetParam();
    Scenario s;
    s.ThreeEntries();
    row.arrange(s);
    s.view.position = 7;
    s.Press();

    ASSERT_EQ(s.system.boxes.size(), 1u);
    EXPECT_EQ(s.system.boxes[0].text, row.box(s));
    EXPECT_EQ(s.system.boxes[0].caption, msg::ErrorCaption);
    EXPECT_EQ(s.system.boxes[0].style, sys::MbOk | sys::MbIconWarning);
    EXPECT_EQ(s.CallsAfterBox(), row.after(s));

    auto listed = [](const std::vector<int>& entries, int i) {
        return std::find(entries.begin(), entries.end(), i) != entries.end();
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.system.FileExists(s.Temporary(i, s.expandText)), listed(row.temporaries, i))
            << "temporary " << i;
        EXPECT_EQ(s.system.FileExists(s.Installed(i, s.installText)), listed(row.installed, i))
            << "installed file " << i;
    }
    if (listed(row.temporaries, 0)) {
        auto data = s.package.begin() + RecordAt(s, 0) + pkg::RecordHeaderSize;
        EXPECT_EQ(s.system.FileBytes(s.Temporary(0, s.expandText)),
                  std::vector<std::uint8_t>(data, data + s.index.entries[0].storedSize));
    }
    if (listed(row.installed, 0)) {
        EXPECT_EQ(s.system.FileBytes(s.Installed(0, s.installText)), s.Content(0));
    }
    EXPECT_EQ(s.system.FilePaths().size(), 1 + row.temporaries.size() + row.installed.size());

    if (row.position < 0) {
        EXPECT_TRUE(s.view.positions.empty());
    } else {
        EXPECT_EQ(s.view.position, row.position);
    }
    EXPECT_EQ(s.view.enabled, row.enabled);
    EXPECT_EQ(s.system.OpenStreams(), 0);
    EXPECT_EQ(s.system.OpenLzHandles(), 0);
    // No path of 260 bytes or more reaches the system.
    for (const std::string& call : s.system.calls) {
        if (call.rfind("MessageBoxA", 0) == 0) continue;
        for (auto at = call.find("C:\\"); at != std::string::npos; at = call.find("C:\\", at + 1)) {
            std::size_t end = std::min(call.find(' ', at), call.size());
            EXPECT_LT(end - at, sys::MaxPath) << call.substr(0, 40);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FailureTest, testing::ValuesIn(FailureRows),
                         [](const testing::TestParamInfo<FailureRow>& p) {
                             return std::string(p.param.name);
                         });

// LZ32 answers a target it cannot create by creating the name ending in
// "_", which may be somebody's file; the run never lets it get that far.
TEST(InstallRunTest, TargetInTheWayLeavesTheFallbackNameAlone) {
    struct {
        const char* name;
        void (*arrange)(Scenario&);
    } cases[] = {
        {"a folder", [](Scenario& s) { s.system.AddDirectory(s.Installed(1)); }},
        {"a file held open elsewhere",
         [](Scenario& s) {
             s.system.AddFile(s.Installed(1), "in use");
             s.system.failOpenWrite.insert(s.Installed(1));
             s.system.failLzCreate.insert(s.Installed(1));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scenario s;
        s.ThreeEntries();
        c.arrange(s);
        std::string fallback = s.Installed(1);
        fallback.back() = '_';
        s.system.AddFile(fallback, "someone else's file");
        s.Press();
        ASSERT_EQ(s.system.boxes.size(), 1u);
        EXPECT_EQ(s.system.boxes[0].text, msg::ExpansionError);
        EXPECT_EQ(testing_support::Text(s.system.FileBytes(fallback)), "someone else's file");
    }
}

// Nothing is read at the data offset, so neither a negative count nor an
// offset that cannot be reached matters.
TEST(InstallRunTest, NoEntriesIsASuccessThatWritesNothing) {
    struct {
        std::uint32_t count, dataOffset;
    } cases[] = {{0xFFFFFFFF, 100}, {0, 0xFFFFFFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << ", offset " << c.dataOffset);
        Scenario s;
        s.Package({});
        pkg::PutU32(s.package, s.package.size() - pkg::TrailerSize, c.dataOffset);
        pkg::PutU32(s.package, s.package.size() - pkg::TrailerSize + 4, c.count);
        s.system.AddFile(Exe, s.package);
        s.index = {};
        ASSERT_EQ(pkg::LoadPackageIndex(s.system, s.index).status, pkg::LoadStatus::Loaded);
        s.system.calls.clear();
        s.Press();
        EXPECT_EQ(s.view.positions, (std::vector<std::uint16_t>{0, 50, 100, 0}));
        ASSERT_EQ(s.system.boxes.size(), 1u);
        EXPECT_EQ(s.system.boxes[0].text, msg::InstallSucceeded);
        EXPECT_FALSE(s.Called("OpenWrite") || s.Called("LZ") || s.Called("DeleteFileA"));
        EXPECT_FALSE(s.view.enabled);
    }
}

// Each temporary and its installed file differ in the restored character.
TEST_F(InstallTest, ExpandFolderMayBeTheInstallFolder) {
    ThreeEntries();
    expandText = App;
    Press();
    ASSERT_EQ(system.boxes.size(), 1u);
    EXPECT_EQ(system.boxes[0].text, msg::InstallSucceeded);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(Called("OpenWrite " + Temporary(i, App)));
        EXPECT_EQ(system.FileBytes(Installed(i)), Content(i));
        EXPECT_FALSE(system.FileExists(Temporary(i, App)));
    }
}

TEST_F(InstallTest, ExistingFilesAreReplacedAndStaleTemporariesRemoved) {
    ThreeEntries();
    system.AddFile(Installed(0), "older version");
    system.AddFile(Temporary(1), "left by an earlier run");
    Press();
    EXPECT_EQ(system.FileBytes(Installed(0)), Content(0));
    EXPECT_EQ(system.FileBytes(Installed(1)), Content(1));
    EXPECT_FALSE(system.FileExists(Temporary(1)));
}

TEST_F(InstallTest, OnlyTheFirstUnderscoreIsRestored) {
    pkg::PackageRecord record = LiteralRecord("A_B.TXT", 40);  // stored A_B.TX_, restore T
    Package({record});
    Press();
    EXPECT_EQ(system.FileBytes("C:\\app\\ATB.TX_"), Pattern(40, 1));
    EXPECT_FALSE(system.FileExists("C:\\app\\A_B.TXT"));
}

// The copy goes through a fixed buffer: entries above its size arrive whole.
TEST_F(InstallTest, LargeEntriesPassThroughInPieces) {
    std::vector<std::uint8_t> big(2 * install::CopyChunkSize + 1000);
    std::uint32_t x = 7;
    for (auto& byte : big) byte = static_cast<std::uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    Package({pkg::MakeRecord("BIG.DAT", big), pkg::MakeRecord("SMALL.TXT", "small\r\n")});
    ASSERT_GT(index.entries[0].storedSize, 2 * install::CopyChunkSize);
    Press();
    ASSERT_EQ(system.boxes.size(), 1u);
    EXPECT_EQ(system.boxes[0].text, msg::InstallSucceeded);
    EXPECT_EQ(system.FileBytes("C:\\app\\BIG.DAT"), big);
    EXPECT_EQ(system.FileBytes("C:\\app\\SMALL.TXT"), testing_support::Bytes("small\r\n"));
}

TEST_F(InstallTest, RelativeFoldersAreResolvedBeforeTheRun) {
    ThreeEntries();
    system.currentDirectory = "C:\\tmp\\";
    expandText = "";
    installText = "..\\app";
    Press();
    EXPECT_STREQ(folders.expand, "C:\\");
    EXPECT_STREQ(folders.install, "C:\\app\\");
    EXPECT_TRUE(Called("OpenWrite C:\\SETUP.EX_"));
    EXPECT_EQ(system.FileBytes(Installed(2)), Content(2));
}

// Q: does not exist: the folder stays as typed and its first temporary fails.
TEST_F(InstallTest, FolderOnAMissingDriveFailsAtItsFirstTemporary) {
    ThreeEntries();
    expandText = "Q:work";
    Press();
    EXPECT_STREQ(folders.expand, "Q:work\\");
    ASSERT_EQ(system.boxes.size(), 1u);
    EXPECT_EQ(system.boxes[0].text, "Q:work\\SETUP.EX_");
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(view.positions, std::vector<std::uint16_t>{0});
}

TEST_F(InstallTest, PressingAgainAfterATemporaryFailedStartsOver) {
    ThreeEntries();
    system.failOpenWrite.insert(Temporary(1));
    Press();
    ASSERT_TRUE(view.enabled);
    ASSERT_TRUE(system.FileExists(Temporary(0)));
    system.failOpenWrite.clear();
    Press();
    ASSERT_EQ(system.boxes.size(), 2u);
    EXPECT_EQ(system.boxes[1].text, msg::InstallSucceeded);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(system.FileExists(Temporary(i)));
        EXPECT_EQ(system.FileBytes(Installed(i)), Content(i));
    }
}

// Before the run: a folder that cannot fit its buffer, a volume too small.
TEST_F(InstallTest, ChecksBeforeTheRunEndItWithNothingWritten) {
    const std::string tooLong = "C:\\" + std::string(256, 'x');  // 259 bytes, no backslash
    struct {
        const char* name;
        std::string expand, install;
        std::uint64_t freeBytes;
        const char* box;
        const char* expandBuffer;   // afterwards
        const char* installBuffer;
    } cases[] = {
        {"expand text too long", tooLong, App, 1u << 30, msg::FolderMissing, "C:\\old1\\",
         "C:\\old2\\"},
        {"install text too long", Tmp, tooLong, 1u << 30, msg::FolderMissing, Tmp, "C:\\old2\\"},
        {"expand volume full", Tmp, "D:\\app", 100, msg::ExpandVolumeFull, Tmp, "D:\\app\\"},
        {"install volume full", "D:\\app", App, 100, msg::InstallVolumeFull, "D:\\app\\", App},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scenario s;
        s.system.AddVolume('D');
        s.system.AddDirectory("D:\\app\\");
        s.system.VolumeOf('C').freeClusters = static_cast<std::uint32_t>(c.freeBytes / 4096);
        s.ThreeEntries();
        std::strcpy(s.folders.expand, "C:\\old1\\");
        std::strcpy(s.folders.install, "C:\\old2\\");
        s.expandText = c.expand;
        s.installText = c.install;
        s.view.position = 7;
        s.Press();
        ASSERT_EQ(s.system.boxes.size(), 1u);
        EXPECT_EQ(s.system.boxes[0].text, c.box);
        EXPECT_EQ(s.system.boxes[0].caption, msg::ErrorCaption);
        EXPECT_EQ(s.system.boxes[0].style, sys::MbOk | sys::MbIconWarning);
        EXPECT_EQ(s.CallsAfterBox(), Calls{});
        EXPECT_FALSE(s.Called("OpenRead"));
        EXPECT_TRUE(s.view.positions.empty());
        EXPECT_TRUE(s.view.enabled);
        EXPECT_STREQ(s.folders.expand, c.expandBuffer);
        EXPECT_STREQ(s.folders.install, c.installBuffer);
    }
}

// A box pumps messages, so Install can be pressed while one is open.
TEST_F(InstallTest, PressWhileARunIsInProgressIsIgnored) {
    ThreeEntries();
    std::size_t nestedCalls = 0;
    bool inBox = false;
    system.onMessageBox = [&](const sys::FakeSystem::Box&) {
        if (inBox) return;
        inBox = true;
        std::size_t before = system.calls.size();
        Press();
        nestedCalls += system.calls.size() - before;
        inBox = false;
    };
    system.VolumeOf('C').freeClusters = 0;
    Press();  // the free-space box
    system.VolumeOf('C').freeClusters = 1u << 20;
    system.failLzCopy.insert(Temporary(2));
    Press();  // the expansion failure's box
    EXPECT_EQ(nestedCalls, 0u);
    ASSERT_EQ(system.boxes.size(), 2u);
    EXPECT_EQ(system.boxes[0].text, msg::ExpandVolumeFull);
    EXPECT_EQ(system.boxes[1].text, msg::ExpansionError);
    EXPECT_EQ(system.FileBytes(Installed(1)), Content(1));
}

}  // namespace
