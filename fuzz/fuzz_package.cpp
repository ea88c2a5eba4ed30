// The package loader and its check over arbitrary files. Beyond not crashing:
// a package that passes the check has every record inside the file and names
// that stay inside the chosen folders.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "package/Loader.h"
#include "system/FakeSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sys::FakeSystem system;
    system.moduleFileName = "C:\\setup.exe";
    system.AddFile(system.moduleFileName, std::vector<std::uint8_t>(data, data + size));
    pkg::PackageIndex index;
    pkg::LoadResult result = pkg::LoadPackageIndex(system, index);
    if (result.status != pkg::LoadStatus::Loaded) return 0;

    std::uint64_t end = index.dataOffset;
    for (int i = 0; i < index.entryCount; ++i) {
        const pkg::PackageEntry& entry = index.entries[i];
        if (entry.storedSize < pkg::SzddHeaderSize) std::abort();
        std::uint64_t start = end;
        end += pkg::RecordHeaderSize + std::uint64_t{entry.storedSize};
        if (end > size - pkg::TrailerSize) std::abort();
        char field[pkg::NameFieldSize];
        for (std::size_t k = 0; k < pkg::NameFieldSize; ++k) field[k] = static_cast<char>(data[start + 4 + k]);
        std::string_view stored = pkg::StoredName(field);
        if (!pkg::CheckFileName(stored) || !pkg::CheckFileName(pkg::InstalledName(stored, entry.restoreChar))) {
            std::abort();
        }
    }
    return 0;
}
