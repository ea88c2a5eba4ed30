// The system seam over the real Windows API.
#pragma once

#include "system/System.h"

namespace sys {

class Win32System : public System {
public:
    StreamPtr OpenRead(const char* path) override;
    StreamPtr OpenWrite(const char* path) override;
    std::string GetModuleFileNameA() override;
    int MessageBoxA(const char* text, const char* caption, unsigned style) override;
    std::uint32_t GetFullPathNameA(const char* path, std::uint32_t bufferLength,
                                   char* buffer) override;
    unsigned GetDriveTypeA(const char* root) override;
    void GetVersionExA(OsVersion& version) override;
    bool GetDiskFreeSpaceExA(const char* folder, std::uint64_t& freeBytesToCaller,
                             std::uint64_t& totalBytes) override;
    bool GetDiskFreeSpaceA(const char* root, std::uint32_t& sectorsPerCluster,
                           std::uint32_t& bytesPerSector, std::uint32_t& freeClusters,
                           std::uint32_t& totalClusters) override;
    LzHandle LZOpenFileA(const char* path, OpenFileRecord& record, std::uint16_t style) override;
    std::int32_t LZCopy(LzHandle source, LzHandle target) override;
    void LZClose(LzHandle handle) override;
    bool DeleteFileA(const char* path) override;
    std::uint32_t GetFileAttributesA(const char* path) override;
    std::uint32_t GetTempPathA(std::uint32_t bufferLength, char* buffer) override;
    bool RegOpenKeyA(const char* subKey, RegistryKey& key) override;
    bool RegQueryValueExA(RegistryKey key, const char* name, void* data,
                          std::uint32_t& size) override;
    void RegCloseKey(RegistryKey key) override;
};

}  // namespace sys
