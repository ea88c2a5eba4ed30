// Loading the installer's own package at start-up.
#pragma once

#include "package/PackageCheck.h"

namespace pkg {

enum class LoadStatus {
    Loaded,
    OpenFailed,  // the executable could not be opened: the caller reports it and ends
    Damaged,     // the package failed its check: the caller reports it and ends
};

struct LoadResult {
    LoadStatus status = LoadStatus::OpenFailed;
    PackageCheck check;
};

// Opens the running executable, reads its package index into `index` (which
// must start zeroed), checks the package on the same stream and closes it.
LoadResult LoadPackageIndex(sys::System& system, PackageIndex& index);

}  // namespace pkg
