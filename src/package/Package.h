// The package appended to the installer's executable, and its index.
//
//   [ executable ][ record 0 ][ record 1 ] ... [ record n-1 ][ trailer ]
//   0            data offset                              file length - 80
//
// Package trailer, the last 80 bytes of the file (little-endian):
//   0   4   data offset: file position of record 0
//   4   4   entry count, signed: 0 or less means no entries
//   8   8   reserved, ignored
//   16  64  notice text: up to the first NUL, or all 64 bytes
//
// Entry record, 64 + stored size bytes; records follow one another directly:
//   0   4   stored size: length of the SZDD data
//   4   60  stored name, NUL-terminated inside the field; bytes after the
//           NUL are undefined
//   64  ..  SZDD data: magic (8), mode (1), restore character at record
//           offset 73, expanded size at 74..77, then the LZSS stream
//
// The installed name is the stored name with its first underscore replaced by
// the restore character.
#pragma once

#include <cstdint>
#include <string_view>

#include "system/System.h"
#include "szdd/Szdd.h"

namespace pkg {

inline constexpr int MaxEntries = 64;
inline constexpr std::uint32_t TrailerSize = 80;
inline constexpr std::uint32_t NoticeOffset = 16;
inline constexpr std::uint32_t NoticeSize = 64;
inline constexpr std::uint32_t NameFieldSize = 60;
inline constexpr std::uint32_t MaxNameLength = NameFieldSize - 1;
inline constexpr std::uint32_t RecordHeaderSize = 4 + NameFieldSize;
// Record offsets of the SZDD header fields the installer reads.
inline constexpr std::uint32_t RecordMagicOffset = RecordHeaderSize;
inline constexpr std::uint32_t RecordModeOffset = RecordHeaderSize + 8;
inline constexpr std::uint32_t RecordRestoreOffset = RecordHeaderSize + 9;
inline constexpr std::uint32_t RecordExpandedOffset = RecordHeaderSize + 10;
inline constexpr std::uint32_t SzddHeaderSize = szdd::HeaderSize;
inline constexpr char RestoreMark = '_';

// The trailer's fields, decoded.
struct PackageTrailer {
    std::uint32_t dataOffset = 0;
    std::int32_t entryCount = 0;
    std::uint32_t reserved[2] = {};
    char notice[NoticeSize] = {};
};

struct PackageEntry {
    std::uint32_t storedSize = 0;
    std::uint8_t restoreChar = 0;
    std::uint32_t expandedSize = 0;

    friend bool operator==(const PackageEntry&, const PackageEntry&) = default;
};

struct PackageIndex {
    std::uint32_t dataOffset = 0;
    std::int32_t entryCount = 0;  // as read; may be negative or above MaxEntries
    char notice[NoticeSize + 1] = {};  // the last byte stays 0
    PackageEntry entries[MaxEntries] = {};
    std::uint32_t totalStoredSize = 0;    // modulo 2^32
    std::uint32_t totalExpandedSize = 0;  // modulo 2^32

    // The notice text: up to the first NUL, at most 64 bytes.
    std::string_view Notice() const { return notice; }

    friend bool operator==(const PackageIndex&, const PackageIndex&) = default;
};

// Reads the trailer and the header fields of every record from `stream` into
// `index`, which must start zeroed, exactly as the installer always has: no
// result of a read or a positioning is tested. A read cut by the end of the
// file keeps what it got, positioning past the end makes later reads deliver
// nothing, and a file shorter than the trailer is read from its start. Only
// the first MaxEntries records are read, whatever the count says.
void ReadPackageIndex(sys::Stream& stream, PackageIndex& index);

}  // namespace pkg
