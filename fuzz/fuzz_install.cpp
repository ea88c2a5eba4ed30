// A press of Install over the fake system with arbitrary folder texts and an
// arbitrary package, which may change between start-up and the press.
//
// Input: expand text length, install text length, a flags byte, the two
// texts, then the executable's bytes. Flags: bit 0 the query by bytes;
// bit 1 the folders C:\tmp and C:\app instead of the texts; bits 2-7 cut the
// file to that many 64ths of its length after start-up (0: keep it whole).
//
// Beyond not crashing: every stream and LZ handle is closed, at most one box
// is shown, and no file appears outside the two folders.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "install/Install.h"
#include "package/Loader.h"
#include "system/FakeSystem.h"

namespace {

class NullView final : public install::InstallView {
public:
    std::uint16_t Position() override { return position_; }
    void SetPosition(std::uint16_t position) override { position_ = position; }
    void DisableStart() override {}

private:
    std::uint16_t position_ = 0;
};

bool StartsWith(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || size < 3u + data[0] + data[1]) return 0;
    const std::size_t expandLength = data[0], installLength = data[1];
    const std::uint8_t flags = data[2];
    const char* texts = reinterpret_cast<const char*>(data + 3);
    std::string expandText(texts, expandLength);
    std::string installText(texts + expandLength, installLength);
    if (flags & 2) {
        expandText = "C:\\tmp";
        installText = "C:\\app";
    }
    const std::uint8_t* file = data + 3 + expandLength + installLength;
    std::vector<std::uint8_t> bytes(file, data + size);

    sys::FakeSystem system;
    system.moduleFileName = "C:\\setup.exe";
    system.AddDirectory("C:\\tmp\\");
    system.AddDirectory("C:\\app\\");
    system.AddVolume('D');
    if (flags & 1) system.version = {sys::PlatformWin32Windows, 1111};
    system.AddFile(system.moduleFileName, bytes);
    pkg::PackageIndex index;
    if (pkg::LoadPackageIndex(system, index).status != pkg::LoadStatus::Loaded) return 0;
    if (flags >> 2) {
        bytes.resize(bytes.size() * (flags >> 2) / 64);
        system.AddFile(system.moduleFileName, bytes);
    }

    install::FolderBuffers folders;
    NullView view;
    install::Installer(system, index, folders).StartClick(expandText, installText, view);

    if (system.OpenStreams() != 0 || system.OpenLzHandles() != 0) std::abort();
    if (system.boxes.size() > 1) std::abort();
    const std::string expand = system.Resolve(folders.expand);
    const std::string install = system.Resolve(folders.install);
    for (const std::string& path : system.FilePaths()) {
        if (path == system.moduleFileName) continue;
        if (!StartsWith(path, expand) && !StartsWith(path, install)) std::abort();
    }
    return 0;
}
