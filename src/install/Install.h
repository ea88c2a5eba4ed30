// The work behind the Install button: folder normalisation, the free-space
// check and the installation run (extract, expand, delete, report).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/Package.h"
#include "system/System.h"

namespace install {

inline constexpr std::size_t FolderBufferSize = 260;

// The two process-wide folder buffers, each a NUL-terminated byte string:
// filled at start-up, overwritten with the normalised folders by every press
// of Install, read by the run and by a folder field's reset.
struct FolderBuffers {
    char expand[FolderBufferSize] = {};
    char install[FolderBufferSize] = {};
};

// What the run sees of the window: the progress bar (0 to 100) and the
// Install button.
class InstallView {
public:
    virtual ~InstallView() = default;
    virtual std::uint16_t Position() = 0;
    virtual void SetPosition(std::uint16_t position) = 0;
    virtual void DisableStart() = 0;
};

// A failure box: the text, caption "ｴﾗｰ", warning icon, OK button, no owner
// window.
void ShowFailure(sys::System& system, const char* text);

class Installer {
public:
    Installer(sys::System& system, const pkg::PackageIndex& index, FolderBuffers& folders);

    // A press of Install, given the texts of the two folder fields. Reports
    // only through message boxes and `view`. A press while a run is in
    // progress (its message boxes pump messages) is ignored. The steps are
    // NormaliseFolder (Folders.h), CheckFreeSpace (FreeSpace.h) and
    // RunInstallation (Run.h).
    void StartClick(const std::string& expandText, const std::string& installText,
                    InstallView& view);

private:
    sys::System& system_;
    const pkg::PackageIndex& index_;
    FolderBuffers& folders_;
    bool running_ = false;
};

}  // namespace install
