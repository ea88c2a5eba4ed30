#include "app/Startup.h"

#include <cstring>

#include "install/Messages.h"
#include "package/Loader.h"

namespace app {

bool LoadPackage(sys::System& system, pkg::PackageIndex& index) {
    const char* message = nullptr;
    switch (pkg::LoadPackageIndex(system, index).status) {
        case pkg::LoadStatus::Loaded:
            return true;
        case pkg::LoadStatus::OpenFailed:
            message = msg::FileOpenError;
            break;
        case pkg::LoadStatus::Damaged:
            message = msg::FileReadError;
            break;
    }
    install::ShowFailure(system, message);
    return false;
}

void ReadDefaultFolders(sys::System& system, install::FolderBuffers& folders) {
    // 256 rather than the buffer's 260: a longer temporary path counts as
    // none, as it always has.
    constexpr std::uint32_t TempPathLimit = 256;
    std::uint32_t length = system.GetTempPathA(TempPathLimit, folders.expand);
    if (length == 0 || length >= TempPathLimit) folders.expand[0] = '\0';

    sys::RegistryKey key;
    if (!system.RegOpenKeyA(HostSettingsKey, key)) return;
    // Read aside, so that a value which does not fit with its terminating
    // zero counts as absent instead of leaving an unterminated buffer. Its
    // type is not looked at: any data reads as text up to its first zero.
    char value[install::FolderBufferSize];
    std::uint32_t size = sizeof value;
    if (system.RegQueryValueExA(key, ProgramsValue, value, size)) {
        const void* nul = std::memchr(value, 0, size);
        std::size_t textLength = nul ? static_cast<const char*>(nul) - value : size;
        if (textLength < sizeof value) {
            std::memcpy(folders.install, value, textLength);
            folders.install[textLength] = '\0';
        }
    }
    system.RegCloseKey(key);
}

}  // namespace app
