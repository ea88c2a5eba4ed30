#include "system/Win32System.h"

#include <cstddef>

#include <windows.h>
#include <lzexpand.h>

#include "system/StdioStream.h"

namespace sys {

static_assert(sizeof(OpenFileRecord) == sizeof(OFSTRUCT));
static_assert(offsetof(OpenFileRecord, pathName) == offsetof(OFSTRUCT, szPathName));
static_assert(LzMaxPath == OFS_MAXPATHNAME);
// The size GetVersionExA has always been told in dwOSVersionInfoSize.
static_assert(sizeof(OSVERSIONINFOA) == 148);

StreamPtr Win32System::OpenRead(const char* path) {
    // The C library opens without a sharing restriction, so readers and
    // writers elsewhere are not locked out.
    return StdioStream::Open(path, "rb");
}

StreamPtr Win32System::OpenWrite(const char* path) { return StdioStream::Open(path, "wb"); }

std::string Win32System::GetModuleFileNameA() {
    char path[MaxPath] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, path, MaxPath);
    if (length == 0 || length >= MaxPath) return {};
    return std::string(path, length);
}

int Win32System::MessageBoxA(const char* text, const char* caption, unsigned style) {
    return ::MessageBoxA(nullptr, text, caption, style);
}

std::uint32_t Win32System::GetFullPathNameA(const char* path, std::uint32_t bufferLength,
                                            char* buffer) {
    return ::GetFullPathNameA(path, bufferLength, buffer, nullptr);
}

unsigned Win32System::GetDriveTypeA(const char* root) { return ::GetDriveTypeA(root); }

void Win32System::GetVersionExA(OsVersion& version) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ::GetVersionExA(&info);
#pragma GCC diagnostic pop
    version.platformId = info.dwPlatformId;
    version.buildNumber = info.dwBuildNumber;
}

bool Win32System::GetDiskFreeSpaceExA(const char* folder, std::uint64_t& freeBytesToCaller,
                                      std::uint64_t& totalBytes) {
    // Looked up by name: the Windows 95 family before OSR2 lacks it.
    using Query = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    HMODULE kernel = ::LoadLibraryA("KERNEL32.DLL");
    if (kernel == nullptr) return false;
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
    if (query == nullptr) return false;
    ULARGE_INTEGER available, total;
    if (!query(folder, &available, &total, nullptr)) return false;
    freeBytesToCaller = available.QuadPart;
    totalBytes = total.QuadPart;
    return true;
}

bool Win32System::GetDiskFreeSpaceA(const char* root, std::uint32_t& sectorsPerCluster,
                                    std::uint32_t& bytesPerSector, std::uint32_t& freeClusters,
                                    std::uint32_t& totalClusters) {
    DWORD spc, bps, free, total;
    if (!::GetDiskFreeSpaceA(root, &spc, &bps, &free, &total)) return false;
    sectorsPerCluster = spc;
    bytesPerSector = bps;
    freeClusters = free;
    totalClusters = total;
    return true;
}

LzHandle Win32System::LZOpenFileA(const char* path, OpenFileRecord& record, std::uint16_t style) {
    return ::LZOpenFileA(const_cast<LPSTR>(path), reinterpret_cast<OFSTRUCT*>(&record), style);
}

std::int32_t Win32System::LZCopy(LzHandle source, LzHandle target) {
    return ::LZCopy(source, target);
}

void Win32System::LZClose(LzHandle handle) { ::LZClose(handle); }

bool Win32System::DeleteFileA(const char* path) { return ::DeleteFileA(path) != FALSE; }

std::uint32_t Win32System::GetFileAttributesA(const char* path) {
    return ::GetFileAttributesA(path);
}

std::uint32_t Win32System::GetTempPathA(std::uint32_t bufferLength, char* buffer) {
    return ::GetTempPathA(bufferLength, buffer);
}

bool Win32System::RegOpenKeyA(const char* subKey, RegistryKey& key) {
    HKEY opened = nullptr;
    if (::RegOpenKeyA(HKEY_CURRENT_USER, subKey, &opened) != ERROR_SUCCESS) return false;
    key = reinterpret_cast<RegistryKey>(opened);
    return true;
}

bool Win32System::RegQueryValueExA(RegistryKey key, const char* name, void* data,
                                   std::uint32_t& size) {
    DWORD length = size;
    LONG status = ::RegQueryValueExA(reinterpret_cast<HKEY>(key), name, nullptr, nullptr,
                                     static_cast<BYTE*>(data), &length);
    size = length;
    return status == ERROR_SUCCESS;
}

void Win32System::RegCloseKey(RegistryKey key) { ::RegCloseKey(reinterpret_cast<HKEY>(key)); }

}  // namespace sys
