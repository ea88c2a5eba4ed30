// An in-memory System for tests: files and folders in maps, volumes with
// chosen free space and geometry, a chosen OS version, a log of every call and
// of every message box, and injected failures.
//
// Paths behave as on Windows: backslash separators (a slash is accepted too),
// drive letters, case-insensitive names, relative paths resolved against the
// current directory, and nothing of 260 bytes or more can be opened.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "system/System.h"

namespace sys {

class FakeSystem final : public System {
public:
    struct Volume {
        unsigned driveType = DriveFixed;
        std::uint64_t freeBytesToCaller = 1ull << 32;
        std::uint64_t totalBytes = 1ull << 34;
        std::uint32_t sectorsPerCluster = 8;
        std::uint32_t bytesPerSector = 512;
        std::uint32_t freeClusters = 1u << 20;
        std::uint32_t totalClusters = 1u << 22;
        bool bytesQueryFails = false;     // GetDiskFreeSpaceExA
        bool clustersQueryFails = false;  // GetDiskFreeSpaceA
    };

    struct Box {
        std::string text;
        std::string caption;
        unsigned style;
    };

    // Drive C: exists with a root folder; the current directory is C:\.
    FakeSystem();

    // --- Arranging the world -------------------------------------------------
    void AddFile(const std::string& path, std::vector<std::uint8_t> bytes);
    void AddFile(const std::string& path, const std::string& text);
    // Creates the folder and every missing parent (on an existing drive).
    void AddDirectory(const std::string& path);
    Volume& AddVolume(char letter);  // with a root folder
    Volume& VolumeOf(char letter);

    // --- Looking at it ---------------------------------------------------------
    bool FileExists(const std::string& path) const;
    bool DirectoryExists(const std::string& path) const;
    // The bytes of a file; throws std::out_of_range when there is none.
    const std::vector<std::uint8_t>& FileBytes(const std::string& path) const;
    // Every file, by its resolved path as first created.
    std::vector<std::string> FilePaths() const;
    // Streams and LZ handles still open.
    int OpenStreams() const;
    int OpenLzHandles() const { return static_cast<int>(lzHandles_.size()); }

    // --- Settings ----------------------------------------------------------------
    std::string moduleFileName;
    std::string currentDirectory = "C:\\";
    OsVersion version{PlatformWin32Nt, 2600};
    std::string tempPath = "C:\\TEMP\\";  // empty: GetTempPathA fails
    std::map<std::string, std::map<std::string, std::vector<std::uint8_t>>> registry;
    // Replaces the built-in resolution when set.
    std::function<std::uint32_t(const char*, std::uint32_t, char*)> fullPathHook;
    // Runs while a message box is "open", before it returns.
    std::function<void(const Box&)> onMessageBox;

    // Injected failures, by resolved path (case-insensitive).
    std::set<std::string> failOpenRead;
    std::set<std::string> failOpenWrite;
    std::set<std::string> failWrite;  // every Write accepts nothing
    std::set<std::string> failClose;  // Close reports a failure
    std::set<std::string> failLzOpen;
    std::set<std::string> failLzCreate;
    std::set<std::string> failLzCopy;  // keyed by the source path
    // LZCopy returns this value (after copying) for a source path.
    std::map<std::string, std::int32_t> lzCopyResult;

    // Every call, in order, as "Name argument..." (see the .cpp for the forms).
    std::vector<std::string> calls;
    std::vector<Box> boxes;

    // --- System --------------------------------------------------------------------
    StreamPtr OpenRead(const char* path) override;
    StreamPtr OpenWrite(const char* path) override;
    std::string GetModuleFileNameA() override;
    int MessageBoxA(const char* text, const char* caption, unsigned style) override;
    std::uint32_t GetFullPathNameA(const char* path, std::uint32_t bufferLength,
                                   char* buffer) override;
    unsigned GetDriveTypeA(const char* root) override;
    void GetVersionExA(OsVersion& out) override;
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

    // The absolute form of a path as this fake resolves it ("" when it cannot).
    std::string Resolve(const std::string& path) const;

private:
    class FakeStream;
    struct File {
        std::string path;  // as first created
        std::vector<std::uint8_t> bytes;
    };
    struct LzOpen {
        std::string key;
        bool target;
    };

    static std::string Key(const std::string& resolved);
    bool Listed(const std::set<std::string>& set, const std::string& key) const;
    bool ParentExists(const std::string& key) const;
    File* CreateFile(const std::string& resolved);  // null when it cannot be created
    const Volume* FindVolume(const std::string& resolved) const;

    std::map<char, Volume> volumes_;
    std::map<std::string, File> files_;  // by Key
    std::set<std::string> directories_;  // by Key, without the trailing backslash
    std::map<LzHandle, LzOpen> lzHandles_;
    LzHandle nextLzHandle_ = 1;
    std::map<RegistryKey, std::string> openKeys_;
    RegistryKey nextKey_ = 0x100;
    std::map<std::string, int> openStreams_;  // by Key
};

}  // namespace sys
