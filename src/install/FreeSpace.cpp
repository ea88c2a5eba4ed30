#include "install/FreeSpace.h"

namespace install {

bool UsesByteQuery(const sys::OsVersion& version) {
    return version.platformId == sys::PlatformWin32Windows &&
           (version.buildNumber & 0xFFFF) > 1000;
}

std::optional<std::uint64_t> FreeBytes(sys::System& system, bool byteQuery, const char* folder) {
    if (byteQuery) {
        std::uint64_t available = 0, total = 0;
        if (!system.GetDiskFreeSpaceExA(folder, available, total)) return std::nullopt;
        return available;
    }
    const char root[] = {folder[0], ':', '\\', '\0'};
    std::uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!system.GetDiskFreeSpaceA(root, sectorsPerCluster, bytesPerSector, freeClusters,
                                  totalClusters)) {
        return std::nullopt;
    }
    // Three 32-bit counts can exceed 64 bits; no volume that large needs telling apart.
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(std::uint64_t{freeClusters} * sectorsPerCluster, bytesPerSector,
                               &bytes)) {
        return UINT64_MAX;
    }
    return bytes;
}

SpaceStatus CheckFreeSpace(sys::System& system, const pkg::PackageIndex& index,
                           const FolderBuffers& folders) {
    sys::OsVersion version;
    system.GetVersionExA(version);
    bool byteQuery = UsesByteQuery(version);
    // Ties pass: a volume with exactly the bytes needed is enough.
    auto tooSmall = [&](const char* folder, std::uint32_t needed) {
        std::optional<std::uint64_t> free = FreeBytes(system, byteQuery, folder);
        return free && *free < needed;
    };
    if (tooSmall(folders.expand, index.totalStoredSize)) return SpaceStatus::ExpandVolumeFull;
    if (tooSmall(folders.install, index.totalExpandedSize)) return SpaceStatus::InstallVolumeFull;
    return SpaceStatus::Enough;
}

}  // namespace install
