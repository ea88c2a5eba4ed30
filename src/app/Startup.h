// What the installer window does before it is first shown, apart from the
// window itself: loading the package and reading the default folders.
#pragma once

#include "install/Install.h"
#include "package/Package.h"
#include "system/System.h"

namespace app {

// Where the host application keeps its program folder, the default install
// folder: value "programs" under this key of HKEY_CURRENT_USER.
inline constexpr char HostSettingsKey[] = "Software\\VB and VBA Program Settings\\corvinel\\env";
inline constexpr char ProgramsValue[] = "programs";

// Loads the package index of the running executable. When the executable
// cannot be opened or its package is damaged, shows why and returns false:
// the process must then end without showing its window.
bool LoadPackage(sys::System& system, pkg::PackageIndex& index);

// Fills the folder buffers with the start-up defaults: the temporary folder
// and the host application's program folder. A folder that cannot be read
// leaves its buffer empty; nothing is reported.
void ReadDefaultFolders(sys::System& system, install::FolderBuffers& folders);

// The position that centres a window of `window` pixels on a screen of
// `screen` pixels: may be negative, truncated toward zero.
inline int Centre(int screen, int window) {
    return (screen - window) / 2;
}

}  // namespace app
