#include "package/Package.h"

#include <algorithm>

namespace pkg {
namespace {

// A little-endian field read into the low-order bytes of a zeroed value: a
// read cut short by the end of the file leaves the missing high bytes 0.
std::uint32_t ReadU32(sys::Stream& stream) {
    std::uint8_t bytes[4] = {};
    stream.Read(bytes, sizeof bytes);
    return static_cast<std::uint32_t>(bytes[0]) | bytes[1] << 8 | bytes[2] << 16 |
           static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint8_t ReadU8(sys::Stream& stream) {
    std::uint8_t byte = 0;
    stream.Read(&byte, 1);
    return byte;
}

}  // namespace

void ReadPackageIndex(sys::Stream& stream, PackageIndex& index) {
    stream.Seek(0, sys::SeekOrigin::End);
    std::int32_t length = stream.Tell();
    stream.Seek(0, sys::SeekOrigin::Begin);
    // In a file shorter than the trailer this positioning fails; the stream
    // stays at the start and the trailer is read from there.
    stream.Seek(length - static_cast<std::int32_t>(TrailerSize), sys::SeekOrigin::Begin);

    index.dataOffset = ReadU32(stream);
    index.entryCount = static_cast<std::int32_t>(ReadU32(stream));
    stream.Seek(8, sys::SeekOrigin::Current);
    stream.Read(index.notice, NoticeSize);

    index.totalStoredSize = 0;
    index.totalExpandedSize = 0;
    // Positions are signed 32-bit, as the stream's are: a data offset of
    // 2 GiB or more is a position before the start and is not reached.
    stream.Seek(static_cast<std::int32_t>(index.dataOffset), sys::SeekOrigin::Begin);
    int count = std::min(index.entryCount, MaxEntries);
    for (int i = 0; i < count; ++i) {
        PackageEntry& entry = index.entries[i];
        entry.storedSize = ReadU32(stream);
        stream.Seek(NameFieldSize + 8 + 1, sys::SeekOrigin::Current);
        entry.restoreChar = ReadU8(stream);
        entry.expandedSize = ReadU32(stream);
        // Onto the next record; a stored size below 14 moves backwards.
        stream.Seek(static_cast<std::int32_t>(entry.storedSize - SzddHeaderSize),
                    sys::SeekOrigin::Current);
        index.totalStoredSize += entry.storedSize;
        index.totalExpandedSize += entry.expandedSize;
    }
}

}  // namespace pkg
