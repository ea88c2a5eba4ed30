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

// The progress position after an entry of `size` bytes in a phase of `total`
// bytes that spans 50 positions: position + floor(50 x size / total), exactly.
// A phase of total 0 does not move.
std::uint16_t AdvanceProgress(std::uint16_t position, std::uint32_t size, std::uint32_t total);

// The copy buffer between the package and a temporary: large entries pass
// through it in pieces, so memory does not grow with the package.
inline constexpr std::size_t CopyChunkSize = 64 * 1024;

// Ends with the Install button enabled when nothing was expanded yet (the
// package did not open, or a temporary could not be written; temporaries
// written so far stay), and disabled after every run that reached the
// expansion phase, whose temporaries are all deleted.
void RunInstallation(sys::System& system, const pkg::PackageIndex& index,
                     const FolderBuffers& folders, InstallView& view);

}  // namespace install
