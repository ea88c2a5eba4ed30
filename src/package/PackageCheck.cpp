#include "package/PackageCheck.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "system/ShiftJis.h"

namespace pkg {
namespace {

// An LZSS group is a control byte and eight items; eight 18-byte matches in
// 17 bytes expand the most, under 9 bytes out per byte in.
constexpr std::uint64_t MaxExpansion = 9;

bool IsDeviceName(std::string_view name) {
    // Windows takes the part before the first dot, trailing spaces removed.
    std::string base = sjis::FoldAsciiCase(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
           base[3] >= '1' && base[3] <= '9';
}

// Whether the byte at `at` is the second byte of a double-byte character.
bool IsTrailByteAt(std::string_view name, std::size_t at) {
    for (std::size_t i = 0; i < at; ++i) {
        if (sjis::IsLeadByte(static_cast<unsigned char>(name[i])) && ++i == at) return true;
    }
    return false;
}

}  // namespace

bool CheckFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (sjis::IsLeadByte(c)) {
            if (i + 1 == name.size() || !sjis::IsTrailByte(static_cast<unsigned char>(name[i + 1]))) {
                return false;
            }
            ++i;
        } else if (c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) {
            return false;
        }
    }
    return !IsDeviceName(name);
}

PackageFault CheckEntryNames(std::string_view stored, std::uint8_t restoreChar) {
    if (!CheckFileName(stored)) return PackageFault::BadStoredName;
    std::size_t mark = stored.find(RestoreMark);
    if (mark == std::string_view::npos) return PackageFault::NoUnderscore;
    // The installer replaces the first "_" byte; inside a character that
    // would turn the character into another and keep the real mark.
    if (IsTrailByteAt(stored, mark)) return PackageFault::UnderscoreInCharacter;
    if (restoreChar == RestoreMark) return PackageFault::RestoreIsUnderscore;
    if (!CheckFileName(InstalledName(stored, restoreChar))) return PackageFault::BadInstalledName;
    return PackageFault::None;
}

std::string_view StoredName(const char (&field)[NameFieldSize]) {
    const void* nul = std::memchr(field, 0, NameFieldSize);
    std::size_t length = nul ? static_cast<const char*>(nul) - field : NameFieldSize;
    return {field, length};
}

std::string InstalledName(std::string_view storedName, std::uint8_t restoreChar) {
    std::string name(storedName);
    std::size_t mark = name.find(RestoreMark);
    if (mark != std::string::npos) name[mark] = static_cast<char>(restoreChar);
    return name;
}

PackageCheck CheckPackage(sys::Stream& stream, const PackageIndex& index) {
    auto fault = [](PackageFault f, int entry = -1, int other = -1) {
        return PackageCheck{f, entry, other};
    };

    // A stream cannot tell a position of 2 GiB or more.
    stream.Seek(0, sys::SeekOrigin::End);
    std::int32_t length = stream.Tell();
    if (length < 0) return fault(PackageFault::FileTooLarge);
    if (length < static_cast<std::int32_t>(TrailerSize)) return fault(PackageFault::FileTooShort);
    if (index.entryCount > MaxEntries) return fault(PackageFault::TooManyEntries);

    const std::int64_t trailerStart = length - std::int64_t{TrailerSize};
    std::vector<std::string> storedNames;
    std::vector<std::string> installedNames;
    std::uint64_t totalExpanded = 0;
    std::int64_t position = index.dataOffset;
    for (int i = 0; i < index.entryCount; ++i) {
        const PackageEntry& entry = index.entries[i];
        std::int64_t end = position + RecordHeaderSize + std::int64_t{entry.storedSize};
        if (position > trailerStart || end > trailerStart) {
            return fault(PackageFault::RecordOutOfBounds, i);
        }
        if (entry.storedSize < SzddHeaderSize) return fault(PackageFault::StoredSizeTooSmall, i);

        // The record lies in the file, so one read gets all of its header.
        struct {
            std::uint8_t size[4];
            char name[NameFieldSize];
            std::uint8_t magic[8];
            std::uint8_t mode;
        } record;
        static_assert(sizeof record == RecordModeOffset + 1);
        stream.Seek(static_cast<std::int32_t>(position), sys::SeekOrigin::Begin);
        if (stream.Read(&record, sizeof record) != sizeof record) {
            return fault(PackageFault::RecordOutOfBounds, i);
        }
        if (!std::equal(szdd::Magic.begin(), szdd::Magic.end(), record.magic)) {
            return fault(PackageFault::BadMagic, i);
        }
        if (record.mode != szdd::ModeA) return fault(PackageFault::BadMode, i);
        if (entry.expandedSize > MaxExpansion * (entry.storedSize - SzddHeaderSize)) {
            return fault(PackageFault::ExpandedSizeTooLarge, i);
        }
        totalExpanded += entry.expandedSize;
        if (totalExpanded >= (std::uint64_t{1} << 32)) return fault(PackageFault::TotalTooLarge, i);

        if (std::memchr(record.name, 0, NameFieldSize) == nullptr) {
            return fault(PackageFault::NameNotTerminated, i);
        }
        std::string_view stored = StoredName(record.name);
        if (PackageFault names = CheckEntryNames(stored, entry.restoreChar);
            names != PackageFault::None) {
            return fault(names, i);
        }
        std::string installed = InstalledName(stored, entry.restoreChar);

        storedNames.push_back(sjis::FoldAsciiCase(stored));
        installedNames.push_back(sjis::FoldAsciiCase(installed));
        for (int j = 0; j < i; ++j) {
            if (storedNames[j] == storedNames[i]) return fault(PackageFault::DuplicateStoredName, i, j);
            if (installedNames[j] == installedNames[i]) {
                return fault(PackageFault::DuplicateInstalledName, i, j);
            }
            if (installedNames[j] == storedNames[i] || storedNames[j] == installedNames[i]) {
                return fault(PackageFault::InstalledNameIsStoredName, i, j);
            }
        }
        position = end;
    }
    return {};
}

const char* Describe(PackageFault fault) {
    switch (fault) {
        case PackageFault::None: return "sound";
        case PackageFault::FileTooShort: return "the file is shorter than the 80-byte trailer";
        case PackageFault::FileTooLarge: return "the file is 2 GiB or larger";
        case PackageFault::TooManyEntries: return "the entry count is above 64";
        case PackageFault::RecordOutOfBounds:
            return "the record does not lie between the data offset and the trailer";
        case PackageFault::StoredSizeTooSmall: return "the stored size is below the SZDD header's 14 bytes";
        case PackageFault::BadMagic: return "the data does not start with the SZDD signature";
        case PackageFault::BadMode: return "the SZDD compression mode is not 'A'";
        case PackageFault::ExpandedSizeTooLarge:
            return "the expanded size is larger than the compressed data can give";
        case PackageFault::TotalTooLarge: return "the expanded sizes add up to 4 GiB or more";
        case PackageFault::NameNotTerminated: return "the name field holds no NUL";
        case PackageFault::BadStoredName: return "the stored name is not a plain file name";
        case PackageFault::NoUnderscore: return "the stored name has no underscore";
        case PackageFault::UnderscoreInCharacter:
            return "the stored name's first underscore byte is part of a double-byte character";
        case PackageFault::RestoreIsUnderscore: return "the restore character is an underscore";
        case PackageFault::BadInstalledName: return "the installed name is not a plain file name";
        case PackageFault::DuplicateStoredName: return "two entries have the same stored name";
        case PackageFault::DuplicateInstalledName: return "two entries have the same installed name";
        case PackageFault::InstalledNameIsStoredName:
            return "an installed name is another entry's stored name";
    }
    return "unknown fault";
}

}  // namespace pkg
