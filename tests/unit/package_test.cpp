// Reading the package index exactly as the installer does, and refusing
// damaged packages.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

#include "package/Loader.h"
#include "package/Writer.h"
#include "support/Bytes.h"
#include "system/FakeSystem.h"
#include "szdd/Szdd.h"

namespace {

using testing_support::Bytes;
using namespace pkg;

constexpr char ExePath[] = "C:\\setup.exe";

// SZDD data of exactly `storedSize` bytes whose header claims `expandedSize`.
std::vector<std::uint8_t> SzddData(std::uint8_t restore, std::uint32_t expandedSize,
                                   std::uint32_t storedSize) {
    auto header = szdd::EncodeHeader({restore, expandedSize});
    std::vector<std::uint8_t> data(header.begin(), header.end());
    data.resize(storedSize, 0x5A);
    return data;
}

PackageIndex ReadIndex(const std::vector<std::uint8_t>& file) {
    sys::FakeSystem system;
    system.AddFile(ExePath, file);
    auto stream = system.OpenRead(ExePath);
    PackageIndex index;
    ReadPackageIndex(*stream, index);
    return index;
}

PackageCheck Check(const std::vector<std::uint8_t>& file) {
    sys::FakeSystem system;
    system.AddFile(ExePath, file);
    auto stream = system.OpenRead(ExePath);
    PackageIndex index;
    ReadPackageIndex(*stream, index);
    return CheckPackage(*stream, index);
}

std::size_t TrailerAt(const std::vector<std::uint8_t>& file) { return file.size() - TrailerSize; }

// The package of the worked example: a 289,280-byte executable and three
// entries; name fields carry garbage after their NUL.
std::vector<std::uint8_t> WorkedExample() {
    std::vector<std::uint8_t> stub(289280, 0xCC);
    stub[0] = 'M';
    stub[1] = 'Z';
    const std::uint32_t stored[] = {5373, 66772, 124525};
    const std::uint32_t expanded[] = {11776, 150016, 269312};
    const char* names[] = {"CORVINEL.EX_", "CVDATA.DL_", "README.TX_"};
    const char restore[] = {'E', 'L', 'T'};
    std::vector<PackageRecord> records;
    for (int i = 0; i < 3; ++i) {
        std::string field(names[i]);
        field += '\0';
        field += "garbage after the NUL";
        records.push_back({field, SzddData(restore[i], expanded[i], stored[i]), std::nullopt});
    }
    return BuildPackage(stub, "Update 2.00 of the application, for testing", records);
}

TEST(PackageIndexTest, WorkedExample) {
    auto file = WorkedExample();
    ASSERT_EQ(file.size(), 486222u);
    PackageIndex index = ReadIndex(file);
    EXPECT_EQ(index.dataOffset, 289280u);
    EXPECT_EQ(index.entryCount, 3);
    EXPECT_EQ(index.Notice().size(), 43u);
    EXPECT_EQ(index.Notice(), "Update 2.00 of the application, for testing");
    EXPECT_EQ(index.entries[0].storedSize, 5373u);
    EXPECT_EQ(index.entries[1].storedSize, 66772u);
    EXPECT_EQ(index.entries[2].storedSize, 124525u);
    EXPECT_EQ(index.entries[0].expandedSize, 11776u);
    EXPECT_EQ(index.entries[2].expandedSize, 269312u);
    EXPECT_EQ(index.entries[1].restoreChar, 'L');
    EXPECT_EQ(index.totalStoredSize, 196670u);
    EXPECT_EQ(index.totalExpandedSize, 431104u);
    EXPECT_TRUE(Check(file).Ok());
}

TEST(PackageIndexTest, NoEntriesReadsNothingAtTheDataOffset) {
    for (std::int32_t count : {0, -1, INT32_MIN}) {
        SCOPED_TRACE(count);
        // The data offset points at bytes that would make a record.
        auto file = BuildPackage(Bytes("MZ"), "", {MakeRecord("A.TXT", "hello")});
        PutU32(file, TrailerAt(file) + 4, static_cast<std::uint32_t>(count));
        PackageIndex index = ReadIndex(file);
        EXPECT_EQ(index.entryCount, count);
        EXPECT_EQ(index.entries[0].storedSize, 0u);
        EXPECT_EQ(index.totalStoredSize, 0u);
        EXPECT_EQ(index.totalExpandedSize, 0u);
        EXPECT_TRUE(Check(file).Ok());
    }
}

TEST(PackageIndexTest, NoticeText) {
    std::string full(64, 'N');
    auto file = BuildPackage(Bytes("MZ"), full, {});
    EXPECT_EQ(ReadIndex(file).Notice(), full);

    std::string leadingNul("\0rest", 5);
    file = BuildPackage(Bytes("MZ"), leadingNul, {});
    EXPECT_EQ(ReadIndex(file).Notice(), "");
}

TEST(PackageIndexTest, StoredSizeOf14StepsRightPastTheHeader) {
    // An empty stream: the next record begins right after the SZDD header.
    std::vector<PackageRecord> records = {
        {"EMPTY.TX_", SzddData('T', 0, 14), std::nullopt},
        MakeRecord("NEXT.TXT", "next"),
    };
    PackageIndex index = ReadIndex(BuildPackage(Bytes("MZ"), "", records));
    EXPECT_EQ(index.entries[0].storedSize, 14u);
    EXPECT_EQ(index.entries[1].restoreChar, 'T');
    EXPECT_EQ(index.entries[1].expandedSize, 4u);
}

TEST(PackageIndexTest, StoredSizeBelow14MovesBackwards) {
    // Record 0 claims 10 bytes: the stream moves back 4 bytes from the end of
    // its header, so entry 1 is read at record offset 74, the expanded size.
    auto data = SzddData('X', 0x11223344, 200);
    std::vector<PackageRecord> records = {{"A.TX_", data, 10u}};
    auto file = BuildPackage(Bytes("MZ"), "", records);
    PutU32(file, TrailerAt(file) + 4, 2);
    // Entry 1 then takes its restore character and expanded size from record
    // offsets 74 + 73 = 147 and 148..151, in the filler (0x5A).
    PackageIndex index = ReadIndex(file);
    EXPECT_EQ(index.entries[0].storedSize, 10u);
    EXPECT_EQ(index.entries[1].storedSize, 0x11223344u);
    EXPECT_EQ(index.entries[1].restoreChar, 0x5A);
    EXPECT_EQ(index.entries[1].expandedSize, 0x5A5A5A5Au);
    EXPECT_EQ(index.totalStoredSize, 10u + 0x11223344u);
    EXPECT_EQ(Check(file).fault, PackageFault::StoredSizeTooSmall);
}

TEST(PackageIndexTest, RecordsCutByTheEndOfTheFile) {
    // No trailer at the end: the "trailer" read from the last 80 bytes
    // points its data offset near the end, so the record is cut short.
    std::vector<std::uint8_t> file(200, 0);
    const std::uint32_t dataOffset = 200 - 76;  // the stored size field at 124..127
    PutU32(file, 120, dataOffset);              // trailer's data offset (file end - 80)
    PutU32(file, 124, 1);                       // trailer's entry count, also the stored size
    // Record: stored size 1 at 124; restore character at 124 + 73 = 197, and
    // the expanded size at 198..201, cut after two bytes.
    file[197] = 'Q';
    file[198] = 0x34;
    file[199] = 0x12;
    PackageIndex index = ReadIndex(file);
    EXPECT_EQ(index.entries[0].storedSize, 1u);
    EXPECT_EQ(index.entries[0].restoreChar, 'Q');
    EXPECT_EQ(index.entries[0].expandedSize, 0x1234u);

    // A stored size field cut after one byte.
    std::vector<std::uint8_t> cut(100, 0);
    PutU32(cut, 20, 99);  // data offset: the last byte
    PutU32(cut, 24, 1);
    cut[99] = 0xAB;
    index = ReadIndex(cut);
    EXPECT_EQ(index.entries[0].storedSize, 0xABu);
    EXPECT_EQ(index.entries[0].expandedSize, 0u);
    EXPECT_EQ(Check(cut).fault, PackageFault::RecordOutOfBounds);
}

TEST(PackageIndexTest, DataOffsetAtOrPastTheEndGivesZeros) {
    for (std::uint32_t offset : {486222u, 1u << 20, 0x80000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(offset);
        auto file = WorkedExample();
        PutU32(file, TrailerAt(file), offset);
        PackageIndex index = ReadIndex(file);
        EXPECT_EQ(index.entryCount, 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(index.entries[i].storedSize, 0u);
            EXPECT_EQ(index.entries[i].restoreChar, 0);
            EXPECT_EQ(index.entries[i].expandedSize, 0u);
        }
        EXPECT_EQ(index.totalStoredSize, 0u);
        EXPECT_EQ(Check(file).fault, PackageFault::RecordOutOfBounds);
    }
}

TEST(PackageIndexTest, FileShorterThanTheTrailerIsReadFromItsStart) {
    std::vector<std::uint8_t> file(40, 0);
    PutU32(file, 0, 1000);
    PutU32(file, 4, 2);
    std::memcpy(file.data() + 16, "short", 5);
    PackageIndex index = ReadIndex(file);
    EXPECT_EQ(index.dataOffset, 1000u);
    EXPECT_EQ(index.entryCount, 2);
    EXPECT_EQ(index.Notice(), "short");
    EXPECT_EQ(Check(file).fault, PackageFault::FileTooShort);
}

TEST(PackageIndexTest, TotalsWrapModulo2To32) {
    auto file = BuildPackage(Bytes("MZ"), "", {MakeRecord("A.TXT", "a"), MakeRecord("B.TXT", "b")});
    const std::size_t second = 2 + RecordHeaderSize + file[2];  // record 1 starts after record 0
    PutU32(file, 2 + pkg::RecordExpandedOffset, 0xFFFFFFFFu);
    PutU32(file, second + pkg::RecordExpandedOffset, 2);
    PackageIndex index = ReadIndex(file);
    EXPECT_EQ(index.totalExpandedSize, 1u);
}

TEST(PackageIndexTest, MoreThanMaxEntriesFillsOnlyTheTable) {
    std::vector<PackageRecord> records;
    for (int i = 0; i < 70; ++i) records.push_back(MakeRecord("F" + std::to_string(i) + ".TXT", "x"));
    auto file = BuildPackage(Bytes("MZ"), "", records);
    PackageIndex index = ReadIndex(file);
    EXPECT_EQ(index.entryCount, 70);
    EXPECT_EQ(index.totalExpandedSize, 64u);
    EXPECT_EQ(Check(file).fault, PackageFault::TooManyEntries);
}

// --- The package check -----------------------------------------------------

struct CheckCase {
    const char* name;
    std::function<std::vector<std::uint8_t>()> file;
    PackageFault fault;
    int entry;
};

void PrintTo(const CheckCase& test, std::ostream* out) { *out << test.name; }

std::vector<std::uint8_t> Package(std::vector<PackageRecord> records) {
    return BuildPackage(Bytes("MZ stub"), "notice", records);
}

// A record with a given stored name and restore character.
PackageRecord Named(std::string storedName, char restore, std::string_view content = "data") {
    PackageRecord record = MakeRecord("X", content);
    record.nameField = std::move(storedName);
    record.data[9] = static_cast<std::uint8_t>(restore);
    return record;
}

// Two sound records around one under test.
std::vector<std::uint8_t> WithEntry(PackageRecord record) {
    return Package({MakeRecord("FIRST.TXT", "one"), std::move(record), MakeRecord("LAST.TXT", "3")});
}

// Where the record under test starts: after "MZ stub" and record 0.
const std::size_t Entry1 = 7 + RecordHeaderSize + MakeRecord("FIRST.TXT", "one").data.size();

std::vector<CheckCase> CheckCases() {
    using F = PackageFault;
    auto patched = [](std::size_t offset, std::uint8_t value) {
        return [=] {
            auto file = WithEntry(MakeRecord("FILE.TXT", "content"));
            file.at(offset) = value;
            return file;
        };
    };
    return {
        // Sound packages.
        {"Sound", [] { return WithEntry(MakeRecord("FILE.TXT", "content")); }, F::None, -1},
        {"NoEntries", [] { return Package({}); }, F::None, -1},
        {"LongestName", [] { return WithEntry(MakeRecord(std::string(59, 'N'), "x")); }, F::None, -1},
        {"EmptyStream", [] { return WithEntry({"EMPTY.TX_", SzddData('T', 0, 14), std::nullopt}); },
         F::None, -1},
        {"MostExpansion", [] { return WithEntry({"BIG.BI_", SzddData('N', 9 * 16, 30), std::nullopt}); },
         F::None, -1},
        {"SlackBeforeTrailer",
         [] {
             auto file = Package({MakeRecord("A.TXT", "a")});
             file.insert(file.end() - TrailerSize, 5, 0);
             return file;
         },
         F::None, -1},
        {"TwoUnderscores", [] { return WithEntry(Named("MY_FILE_", 'X')); }, F::None, -1},
        {"ShiftJisTrailBackslash", [] { return WithEntry(Named("\x95\x5C_", 'A')); }, F::None, -1},
        {"ShiftJisHalfWidthKana", [] { return WithEntry(Named("\xB2\xDD\xBD\xC4.TX_", 'T')); },
         F::None, -1},

        // The file and the trailer.
        {"TooShort", [] { return std::vector<std::uint8_t>(79, 0); }, F::FileTooShort, -1},
        {"CountAbove64",
         [] {
             auto file = Package({});
             PutU32(file, TrailerAt(file) + 4, 65);
             return file;
         },
         F::TooManyEntries, -1},

        // Record bounds.
        {"DataOffsetPastTrailer",
         [] {
             auto file = WithEntry(MakeRecord("FILE.TXT", "x"));
             PutU32(file, TrailerAt(file), static_cast<std::uint32_t>(TrailerAt(file) + 1));
             return file;
         },
         F::RecordOutOfBounds, 0},
        {"CountAboveRecords",
         [] {
             auto file = WithEntry(MakeRecord("FILE.TXT", "x"));
             PutU32(file, TrailerAt(file) + 4, 4);
             return file;
         },
         F::RecordOutOfBounds, 3},
        {"StoredSizeIntoTrailer",
         [] {
             auto file = Package({MakeRecord("A.TXT", "a")});
             PutU32(file, 7, 14 + 4 + 1);
             return file;
         },
         F::RecordOutOfBounds, 0},
        {"StoredSizeWraps",
         [] {
             auto file = WithEntry(MakeRecord("FILE.TXT", "x"));
             PutU32(file, Entry1, 0xFFFFFFF0u);
             return file;
         },
         F::RecordOutOfBounds, 1},

        // SZDD header.
        {"StoredSize13",
         [] { return WithEntry({"SHORT.TX_", SzddData('T', 0, 13), std::nullopt}); },
         F::StoredSizeTooSmall, 1},
        {"BadMagic", patched(Entry1 + RecordMagicOffset + 7, 0x34), F::BadMagic, 1},
        {"BadMode", patched(Entry1 + RecordModeOffset, 'B'), F::BadMode, 1},
        {"ImpossibleExpansion",
         [] { return WithEntry({"BIG.BI_", SzddData('N', 9 * 16 + 1, 30), std::nullopt}); },
         F::ExpandedSizeTooLarge, 1},

        // Names.
        {"NameWithoutNul", [] { return WithEntry(Named(std::string(60, 'N'), 'X')); },
         F::NameNotTerminated, 1},
        {"EmptyName", [] { return WithEntry(Named("", 'X')); }, F::BadStoredName, 1},
        {"Dot", [] { return WithEntry(Named(".", 'X')); }, F::BadStoredName, 1},
        {"DotDot", [] { return WithEntry(Named("..", 'X')); }, F::BadStoredName, 1},
        {"TrailingDot", [] { return WithEntry(Named("FILE_.", 'X')); }, F::BadStoredName, 1},
        {"TrailingSpace", [] { return WithEntry(Named("FILE_ ", 'X')); }, F::BadStoredName, 1},
        {"Backslash", [] { return WithEntry(Named("..\\EVIL.EX_", 'E')); }, F::BadStoredName, 1},
        {"Slash", [] { return WithEntry(Named("SUB/FILE_", 'X')); }, F::BadStoredName, 1},
        {"DriveColon", [] { return WithEntry(Named("C:FILE_", 'X')); }, F::BadStoredName, 1},
        {"ControlByte", [] { return WithEntry(Named("FI\x1FLE_", 'X')); }, F::BadStoredName, 1},
        {"Wildcard", [] { return WithEntry(Named("FI*LE_", 'X')); }, F::BadStoredName, 1},
        {"DeviceWithExtension", [] { return WithEntry(Named("com1.tx_", 'T')); }, F::BadStoredName, 1},
        {"DeviceWithSpaces", [] { return WithEntry(Named("NUL  .tx_", 'T')); }, F::BadStoredName, 1},
        {"LoneLeadByte", [] { return WithEntry(Named("FILE_\x81", 'X')); }, F::BadStoredName, 1},
        {"BadTrailByte", [] { return WithEntry(Named("FI\x81\x1FLE_", 'X')); }, F::BadStoredName, 1},
        {"NoUnderscore", [] { return WithEntry(Named("FILE.TXT", 'X')); }, F::NoUnderscore, 1},
        // "ダ" is 83 5F: its second byte is the first underscore byte.
        {"UnderscoreInCharacter", [] { return WithEntry(Named("\x83\x5F_", 'X')); },
         F::UnderscoreInCharacter, 1},
        {"RestoresUnderscore", [] { return WithEntry(Named("FILE_", '_')); }, F::RestoreIsUnderscore, 1},
        {"RestoresBackslash", [] { return WithEntry(Named("EVIL_", '\\')); }, F::BadInstalledName, 1},
        {"RestoresColon", [] { return WithEntry(Named("C_EVIL", ':')); }, F::BadInstalledName, 1},
        {"RestoresNul", [] { return WithEntry(Named("FILE_", '\0')); }, F::BadInstalledName, 1},
        {"RestoresTrailingDot", [] { return WithEntry(Named("FILE_", '.')); }, F::BadInstalledName, 1},
        {"RestoresDevice", [] { return WithEntry(Named("PR_.TXT", 'N')); }, F::BadInstalledName, 1},
        {"RestoresLeadByte", [] { return WithEntry(Named("FILE_", '\x81')); }, F::BadInstalledName, 1},

        // Clashes between entries.
        {"SameStoredName",
         [] { return Package({MakeRecord("A.TXT", "1"), MakeRecord("a.txT", "2")}); },
         F::DuplicateStoredName, 1},
        {"SameInstalledName",
         [] { return Package({Named("AB_", 'C'), Named("a_c", 'b')}); }, F::DuplicateInstalledName, 1},
        {"InstalledIsLaterStored",
         [] { return Package({Named("A__", 'B'), Named("AB_", 'C')}); },
         F::InstalledNameIsStoredName, 1},
        {"InstalledIsEarlierStored",
         [] { return Package({Named("AB_", 'C'), Named("A__", 'B')}); },
         F::InstalledNameIsStoredName, 1},
    };
}

class PackageCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(PackageCheckTest, FindsTheFault) {
    PackageCheck check = Check(GetParam().file());
    EXPECT_EQ(check.fault, GetParam().fault) << Describe(check.fault);
    EXPECT_EQ(check.entry, GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(Rules, PackageCheckTest, ::testing::ValuesIn(CheckCases()),
                         [](const auto& test) { return std::string(test.param.name); });

// A stream over a file too large to hold: a length, and a few bytes placed in
// otherwise zero content.
class SparseStream final : public sys::Stream {
public:
    SparseStream(std::int64_t length, std::map<std::int64_t, std::vector<std::uint8_t>> parts)
        : length_(length), parts_(std::move(parts)) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        if (position_ >= length_) return 0;
        std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(size, length_ - position_));
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::memset(out, 0, n);
        for (const auto& [at, bytes] : parts_) {
            for (std::size_t k = 0; k < bytes.size(); ++k) {
                std::int64_t p = at + static_cast<std::int64_t>(k) - position_;
                if (p >= 0 && p < static_cast<std::int64_t>(n)) out[p] = bytes[k];
            }
        }
        position_ += static_cast<std::int64_t>(n);
        return n;
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    bool Seek(std::int32_t offset, sys::SeekOrigin origin) override {
        std::int64_t base = origin == sys::SeekOrigin::Begin ? 0
                            : origin == sys::SeekOrigin::End ? length_
                                                             : position_;
        if (base + offset < 0) return false;
        position_ = base + offset;
        return true;
    }
    std::int32_t Tell() override { return position_ > INT32_MAX ? -1 : static_cast<std::int32_t>(position_); }
    bool Close() override { return true; }

private:
    std::int64_t length_;
    std::int64_t position_ = 0;
    std::map<std::int64_t, std::vector<std::uint8_t>> parts_;
};

TEST(PackageCheckLargeTest, ExpandedSizesAddingUpTo4GiB) {
    // Two records of 300 MB, each claiming nine times that.
    const std::uint32_t stored = 300u << 20;
    const std::uint32_t expanded = 9 * (stored - 14);
    std::map<std::int64_t, std::vector<std::uint8_t>> parts;
    std::int64_t position = 2;
    for (const char* name : {"A.BI_", "B.BI_"}) {
        auto header = EncodeRecordHeader(stored, name);
        auto szdd = szdd::EncodeHeader({'N', expanded});
        std::vector<std::uint8_t> bytes(header.begin(), header.end());
        bytes.insert(bytes.end(), szdd.begin(), szdd.end());
        parts[position] = bytes;
        position += RecordHeaderSize + stored;
    }
    PackageTrailer trailer;
    trailer.dataOffset = 2;
    trailer.entryCount = 2;
    auto bytes = EncodeTrailer(trailer);
    parts[position] = {bytes.begin(), bytes.end()};
    SparseStream stream(position + TrailerSize, parts);
    PackageIndex index;
    ReadPackageIndex(stream, index);
    EXPECT_EQ(index.totalExpandedSize, static_cast<std::uint32_t>(2ull * expanded));
    PackageCheck check = CheckPackage(stream, index);
    EXPECT_EQ(check.fault, PackageFault::TotalTooLarge);
    EXPECT_EQ(check.entry, 1);
}

TEST(PackageCheckLargeTest, FileOf2GiBIsRefused) {
    SparseStream stream(std::int64_t{1} << 31, {});
    PackageIndex index;
    ReadPackageIndex(stream, index);
    EXPECT_EQ(CheckPackage(stream, index).fault, PackageFault::FileTooLarge);
}

// --- Loading the running executable ------------------------------------------

TEST(LoadPackageIndexTest, OpensChecksAndCloses) {
    sys::FakeSystem system;
    system.moduleFileName = ExePath;
    system.AddFile(ExePath, WorkedExample());
    PackageIndex index;
    LoadResult result = LoadPackageIndex(system, index);
    EXPECT_EQ(result.status, LoadStatus::Loaded);
    EXPECT_EQ(index.totalExpandedSize, 431104u);
    EXPECT_EQ(system.OpenStreams(), 0);
}

TEST(LoadPackageIndexTest, ExecutableThatCannotBeOpened) {
    sys::FakeSystem system;
    system.moduleFileName = ExePath;
    system.AddFile(ExePath, WorkedExample());
    system.failOpenRead.insert(ExePath);
    PackageIndex index;
    EXPECT_EQ(LoadPackageIndex(system, index).status, LoadStatus::OpenFailed);
    EXPECT_EQ(index.entryCount, 0);
}

TEST(LoadPackageIndexTest, DamagedPackage) {
    sys::FakeSystem system;
    system.moduleFileName = ExePath;
    system.AddFile(ExePath, WithEntry(Named("..\\EVIL.EX_", 'E')));
    PackageIndex index;
    LoadResult result = LoadPackageIndex(system, index);
    EXPECT_EQ(result.status, LoadStatus::Damaged);
    EXPECT_EQ(result.check.fault, PackageFault::BadStoredName);
    EXPECT_EQ(system.OpenStreams(), 0);
}

}  // namespace
