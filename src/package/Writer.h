// Writing packages: the records and the trailer that follow the stub. Used by
// the packager and by tests; the installer only reads.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "package/Package.h"

namespace pkg {

std::array<std::uint8_t, TrailerSize> EncodeTrailer(const PackageTrailer& trailer);
// A record's first 64 bytes. `nameField` is copied into the 60-byte field
// and the rest of it is zero; it must not be longer than the field.
std::array<std::uint8_t, RecordHeaderSize> EncodeRecordHeader(std::uint32_t storedSize,
                                                              std::string_view nameField);

struct PackageRecord {
    std::string nameField;                    // bytes of the name field, zero-padded to 60
    std::vector<std::uint8_t> data;           // the SZDD data
    std::optional<std::uint32_t> storedSize;  // written instead of data.size() when set
};

// The stored name of a file: its name with the last byte replaced by "_".
std::string StoredNameFor(std::string_view fileName);

// A record for a file under the usual naming rule: the stored name is the
// name with its last byte replaced by "_", which is the restore character.
PackageRecord MakeRecord(std::string_view fileName, std::span<const std::uint8_t> content);
PackageRecord MakeRecord(std::string_view fileName, std::string_view content);

// The stub, the records in order and the trailer. The data offset is the
// stub's length and the entry count the number of records.
std::vector<std::uint8_t> BuildPackage(std::span<const std::uint8_t> stub, std::string_view notice,
                                       const std::vector<PackageRecord>& records);

// Little-endian 32-bit value at `offset` in `bytes`, for patching.
void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);

}  // namespace pkg
