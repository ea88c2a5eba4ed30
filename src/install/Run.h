// The installation run behind a passed free-space check: extract every
// entry's SZDD data into the expand folder, expand each temporary into the
// install folder under its installed name, delete the temporaries, report.
//
// Every failure is shown in a box before anything is closed or deleted, so
// the user reads it while the run's state is still as it went wrong. The run
// is not transactional: files installed before a failure stay.
#pragma once

#include <cstdint>

#include "install/Install.h"

namespace install {

enum class RunOutcome {
    PackageNotOpened,  // nothing written; the Install button stays enabled
    ExtractionFailed,  // temporaries written so far stay; the Install button stays enabled
    ExpansionFailed,   // temporaries deleted; the Install button is disabled
    Succeeded,         // temporaries deleted; the Install button is disabled
};

// The progress position after an entry of `size` bytes in a phase of `total`
// bytes that spans 50 positions: position + floor(50 x size / total), exactly.
// A phase of total 0 does not move.
std::uint16_t AdvanceProgress(std::uint16_t position, std::uint32_t size, std::uint32_t total);

// The copy buffer between the package and a temporary: large entries pass
// through it in pieces, so memory does not grow with the package.
inline constexpr std::size_t CopyChunkSize = 64 * 1024;

// A failure box: warning icon, OK button, no owner window.
void ShowFailure(sys::System& system, const char* text);

RunOutcome RunInstallation(sys::System& system, const pkg::PackageIndex& index,
                           const FolderBuffers& folders, InstallView& view);

}  // namespace install
