// Whether the volumes of the two folders have room for the package: the
// expand folder's for the stored sizes, the install folder's for the expanded
// sizes. Each volume is compared with its own total, never with their sum.
#pragma once

#include <cstdint>
#include <optional>

#include "install/Install.h"

namespace install {

enum class SpaceStatus { Enough, ExpandVolumeFull, InstallVolumeFull };

// GetDiskFreeSpaceExA exists from Windows 95 OSR2 (build 1111) on; before it
// only the cluster counts of GetDiskFreeSpaceA are there. NT reports true
// cluster counts, so it keeps using those.
bool UsesByteQuery(const sys::OsVersion& version);

// Free bytes of the volume holding `folder`, or nothing when the query
// fails. The query by clusters asks about the folder's drive root.
std::optional<std::uint64_t> FreeBytes(sys::System& system, bool byteQuery, const char* folder);

// Queries the expand folder's volume, then the install folder's. A volume
// whose query fails is not held against the run: the files will tell.
SpaceStatus CheckFreeSpace(sys::System& system, const pkg::PackageIndex& index,
                           const FolderBuffers& folders);

}  // namespace install
