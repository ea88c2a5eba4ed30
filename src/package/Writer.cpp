#include "package/Writer.h"

#include <algorithm>
#include <stdexcept>

#include "szdd/Szdd.h"

namespace pkg {
namespace {

template <std::size_t N>
void Put32(std::array<std::uint8_t, N>& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::array<std::uint8_t, TrailerSize> EncodeTrailer(const PackageTrailer& trailer) {
    std::array<std::uint8_t, TrailerSize> bytes{};
    Put32(bytes, 0, trailer.dataOffset);
    Put32(bytes, 4, static_cast<std::uint32_t>(trailer.entryCount));
    Put32(bytes, 8, trailer.reserved[0]);
    Put32(bytes, 12, trailer.reserved[1]);
    std::copy(trailer.notice, trailer.notice + NoticeSize, bytes.begin() + NoticeOffset);
    return bytes;
}

std::array<std::uint8_t, RecordHeaderSize> EncodeRecordHeader(std::uint32_t storedSize,
                                                              std::string_view nameField) {
    if (nameField.size() > NameFieldSize) throw std::invalid_argument("name field too long");
    std::array<std::uint8_t, RecordHeaderSize> bytes{};
    Put32(bytes, 0, storedSize);
    std::copy(nameField.begin(), nameField.end(), bytes.begin() + 4);
    return bytes;
}

std::string StoredNameFor(std::string_view fileName) {
    std::string stored(fileName);
    if (!stored.empty()) stored.back() = RestoreMark;
    return stored;
}

PackageRecord MakeRecord(std::string_view fileName, std::span<const std::uint8_t> content) {
    std::uint8_t restore = fileName.empty() ? 0 : static_cast<std::uint8_t>(fileName.back());
    return {StoredNameFor(fileName), szdd::Compress(content, restore), std::nullopt};
}

PackageRecord MakeRecord(std::string_view fileName, std::string_view content) {
    return MakeRecord(fileName, std::span(reinterpret_cast<const std::uint8_t*>(content.data()),
                                          content.size()));
}

std::vector<std::uint8_t> BuildPackage(std::span<const std::uint8_t> stub, std::string_view notice,
                                       const std::vector<PackageRecord>& records) {
    if (notice.size() > NoticeSize) throw std::invalid_argument("notice too long");
    std::vector<std::uint8_t> out(stub.begin(), stub.end());
    for (const PackageRecord& record : records) {
        auto header = EncodeRecordHeader(
            record.storedSize.value_or(static_cast<std::uint32_t>(record.data.size())),
            record.nameField);
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), record.data.begin(), record.data.end());
    }
    PackageTrailer trailer;
    trailer.dataOffset = static_cast<std::uint32_t>(stub.size());
    trailer.entryCount = static_cast<std::int32_t>(records.size());
    std::copy(notice.begin(), notice.end(), trailer.notice);
    auto bytes = EncodeTrailer(trailer);
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace pkg
