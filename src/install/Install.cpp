#include "install/Install.h"

#include "install/Folders.h"
#include "install/FreeSpace.h"
#include "install/Messages.h"
#include "install/Run.h"

namespace install {

void ShowFailure(sys::System& system, const char* text) {
    system.MessageBoxA(text, msg::ErrorCaption, sys::MbOk | sys::MbIconWarning);
}

Installer::Installer(sys::System& system, const pkg::PackageIndex& index, FolderBuffers& folders)
    : system_(system), index_(index), folders_(folders) {}

void Installer::StartClick(const std::string& expandText, const std::string& installText,
                           InstallView& view) {
    // The run's message boxes pump messages, so a second press can arrive
    // while the first is still writing.
    if (running_) return;
    running_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{running_};

    if (NormaliseFolder(system_, expandText, folders_.expand) == FolderStatus::TooLong ||
        NormaliseFolder(system_, installText, folders_.install) == FolderStatus::TooLong) {
        ShowFailure(system_, msg::FolderMissing);
        return;
    }
    switch (CheckFreeSpace(system_, index_, folders_)) {
    case SpaceStatus::ExpandVolumeFull:
        ShowFailure(system_, msg::ExpandVolumeFull);
        return;
    case SpaceStatus::InstallVolumeFull:
        ShowFailure(system_, msg::InstallVolumeFull);
        return;
    case SpaceStatus::Enough:
        break;
    }
    RunInstallation(system_, index_, folders_, view);
}

}  // namespace install
