// The seam between the installer's logic and the operating system.
//
// Everything the core does to the outside world goes through `System`: byte
// streams, path and volume queries, the LZ expansion services, the message box,
// the temporary folder and the registry. Win32System calls the real API;
// FakeSystem keeps files, volumes and dialogs in memory for host tests.
//
// The operations bear the names of the Windows calls they stand for and keep
// their shape (buffer plus length, signed LZ handles, attribute words), so the
// code above the seam reads like the program it is and the fake can reproduce
// their edge cases. (The A-suffixed names are real functions, not the macros
// that <windows.h> defines for the unsuffixed ones.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace sys {

inline constexpr std::uint32_t MaxPath = 260;

// MessageBoxA styles.
inline constexpr unsigned MbOk = 0x00;
inline constexpr unsigned MbIconWarning = 0x30;
inline constexpr unsigned MbIconInformation = 0x40;

// GetDriveTypeA results.
inline constexpr unsigned DriveUnknown = 0;
inline constexpr unsigned DriveNoRootDir = 1;
inline constexpr unsigned DriveRemovable = 2;
inline constexpr unsigned DriveFixed = 3;

// OSVERSIONINFOA platform ids.
inline constexpr std::uint32_t PlatformWin32s = 0;
inline constexpr std::uint32_t PlatformWin32Windows = 1;
inline constexpr std::uint32_t PlatformWin32Nt = 2;

// GetFileAttributesA.
inline constexpr std::uint32_t InvalidFileAttributes = 0xFFFFFFFF;
inline constexpr std::uint32_t FileAttributeDirectory = 0x10;

// LZOpenFileA styles; a negative handle is a failure. LZOpenFileA opens
// through OpenFile, whose record holds a path of at most 127 bytes: a longer
// path fails, whatever the style.
inline constexpr std::uint32_t LzMaxPath = 128;
inline constexpr std::uint16_t OfRead = 0x0000;
inline constexpr std::uint16_t OfCreate = 0x1000;
using LzHandle = std::int32_t;

enum class SeekOrigin { Begin, Current, End };

// A buffered binary stream, as the C library's FILE. Positions are signed
// 32-bit, as on Win32.
class Stream {
public:
    virtual ~Stream() = default;  // closes the stream if Close was not called
    // Reads up to `size` bytes into `buffer` and returns how many arrived. A
    // read that meets the end of the file stores the bytes that were there and
    // leaves the rest of `buffer` untouched.
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
    // Returns the number of bytes accepted; fewer than `size` is a failure.
    virtual std::size_t Write(const void* buffer, std::size_t size) = 0;
    // Positioning beyond the end succeeds (later reads deliver nothing); a
    // target before the start fails and leaves the position unchanged.
    virtual bool Seek(std::int32_t offset, SeekOrigin origin) = 0;
    // The current position, or -1 when it cannot be told.
    virtual std::int32_t Tell() = 0;
    // Flushes and closes. False when buffered data could not be written.
    virtual bool Close() = 0;
};
using StreamPtr = std::unique_ptr<Stream>;

struct OsVersion {
    std::uint32_t platformId = 0;
    std::uint32_t buildNumber = 0;
};

// The open-file record that LZOpenFileA fills in, laid out as an OFSTRUCT.
struct OpenFileRecord {
    std::uint8_t length = sizeof(OpenFileRecord);
    std::uint8_t fixedDisk = 0;
    std::uint16_t errorCode = 0;
    std::uint16_t reserved[2] = {};
    // The full path of the file actually opened, in the OEM code page. When
    // LZOpenFileA cannot open the name it was given it tries the name with
    // its last character replaced by "_", and this says so.
    char pathName[LzMaxPath] = {};
};
static_assert(sizeof(OpenFileRecord) == 136);

using RegistryKey = std::uintptr_t;

class System {
public:
    virtual ~System() = default;

    // Streams. OpenRead is fopen "rb" with reading and writing shared with
    // other openers; OpenWrite is "wb" (created, or truncated). Null on failure.
    virtual StreamPtr OpenRead(const char* path) = 0;
    virtual StreamPtr OpenWrite(const char* path) = 0;

    // The full path of the running executable (at most 259 bytes); empty when
    // there is none.
    virtual std::string GetModuleFileNameA() = 0;

    // MessageBoxA with no owner window. Returns the button pressed.
    virtual int MessageBoxA(const char* text, const char* caption, unsigned style) = 0;

    // GetFullPathNameA: the length written without its NUL, the length needed
    // (with NUL) when `bufferLength` is too small, 0 on failure.
    virtual std::uint32_t GetFullPathNameA(const char* path, std::uint32_t bufferLength,
                                           char* buffer) = 0;
    virtual unsigned GetDriveTypeA(const char* root) = 0;
    // GetVersionExA; like the program, callers do not test the result.
    virtual void GetVersionExA(OsVersion& version) = 0;
    // GetDiskFreeSpaceExA, looked up by name in KERNEL32.DLL. False when the
    // lookup or the query fails; the outputs are then untouched.
    virtual bool GetDiskFreeSpaceExA(const char* folder, std::uint64_t& freeBytesToCaller,
                                     std::uint64_t& totalBytes) = 0;
    // GetDiskFreeSpaceA. False when the query fails; the outputs are then
    // untouched.
    virtual bool GetDiskFreeSpaceA(const char* root, std::uint32_t& sectorsPerCluster,
                                   std::uint32_t& bytesPerSector, std::uint32_t& freeClusters,
                                   std::uint32_t& totalClusters) = 0;

    // The LZ expansion services (LZ32).
    virtual LzHandle LZOpenFileA(const char* path, OpenFileRecord& record, std::uint16_t style) = 0;
    // The size of the target file on success, negative on failure.
    virtual std::int32_t LZCopy(LzHandle source, LzHandle target) = 0;
    virtual void LZClose(LzHandle handle) = 0;

    virtual bool DeleteFileA(const char* path) = 0;
    virtual std::uint32_t GetFileAttributesA(const char* path) = 0;
    // GetTempPathA: the length written without its NUL, the length needed
    // when `bufferLength` is too small, 0 on failure.
    virtual std::uint32_t GetTempPathA(std::uint32_t bufferLength, char* buffer) = 0;

    // The registry: RegOpenKeyA under HKEY_CURRENT_USER only.
    virtual bool RegOpenKeyA(const char* subKey, RegistryKey& key) = 0;
    // RegQueryValueExA without the type: on entry `size` is the buffer's
    // length, on success the length of the data. False on any failure,
    // including data that does not fit; `data` is then unreliable.
    virtual bool RegQueryValueExA(RegistryKey key, const char* name, void* data,
                                  std::uint32_t& size) = 0;
    virtual void RegCloseKey(RegistryKey key) = 0;
};

}  // namespace sys
