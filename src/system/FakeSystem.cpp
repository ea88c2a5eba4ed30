#include "system/FakeSystem.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "system/ShiftJis.h"
#include "szdd/Szdd.h"

namespace sys {
namespace {

// Splits on backslashes that are not trail bytes.
std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (sjis::IsLeadByte(c) && i + 1 < path.size()) {
            parts.back() += path.substr(i, 2);
            ++i;
        } else if (c == '\\') {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(c);
        }
    }
    return parts;
}

char DriveLetter(const std::string& resolved) {
    if (resolved.size() >= 2 && resolved[1] == ':') return sjis::FoldAsciiCase(resolved.substr(0, 1))[0];
    return 0;
}

constexpr LzHandle LzErrorBadInHandle = -1;
constexpr LzHandle LzErrorBadOutHandle = -2;
constexpr LzHandle LzErrorRead = -3;
constexpr LzHandle LzErrorUnknownAlg = -8;

}  // namespace

class FakeSystem::FakeStream final : public Stream {
public:
    FakeStream(FakeSystem& owner, std::string path, std::string key, bool failWrite,
               bool failClose)
        : owner_(owner),
          path_(std::move(path)),
          key_(std::move(key)),
          file_(owner.files_.at(key_)),
          failWrite_(failWrite),
          failClose_(failClose) {
        ++owner_.openStreams_[key_];
    }
    ~FakeStream() override {
        if (open_) Close();
    }

    std::size_t Read(void* buffer, std::size_t size) override {
        auto& bytes = file_.bytes;
        if (!open_ || position_ >= static_cast<std::int64_t>(bytes.size())) return 0;
        std::size_t n = std::min<std::size_t>(size, bytes.size() - position_);
        std::memcpy(buffer, bytes.data() + position_, n);
        position_ += static_cast<std::int64_t>(n);
        return n;
    }

    std::size_t Write(const void* buffer, std::size_t size) override {
        if (!open_ || failWrite_) return 0;
        auto& bytes = file_.bytes;
        std::size_t end = static_cast<std::size_t>(position_) + size;
        if (bytes.size() < end) bytes.resize(end);
        std::memcpy(bytes.data() + position_, buffer, size);
        position_ = static_cast<std::int64_t>(end);
        return size;
    }

    bool Seek(std::int32_t offset, SeekOrigin origin) override {
        std::int64_t base = origin == SeekOrigin::Begin     ? 0
                            : origin == SeekOrigin::Current ? position_
                                                            : static_cast<std::int64_t>(file_.bytes.size());
        std::int64_t target = base + offset;
        if (!open_ || target < 0) return false;
        position_ = target;
        return true;
    }

    std::int32_t Tell() override {
        if (!open_ || position_ > INT32_MAX) return -1;
        return static_cast<std::int32_t>(position_);
    }

    bool Close() override {
        if (!open_) return false;
        open_ = false;
        if (--owner_.openStreams_[key_] == 0) owner_.openStreams_.erase(key_);
        owner_.calls.push_back("Close " + path_);
        return !failClose_;
    }

private:
    FakeSystem& owner_;
    std::string path_;
    std::string key_;
    File& file_;  // a file is not erased while a stream is open on it: see DeleteFileA
    bool failWrite_;
    bool failClose_;
    bool open_ = true;
    std::int64_t position_ = 0;
};

FakeSystem::FakeSystem() { AddVolume('C'); }

std::string FakeSystem::Resolve(const std::string& input) const {
    std::string path = input;
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.rfind("\\\\", 0) == 0) return path;  // UNC: left as it is

    std::string current = currentDirectory;
    if (current.empty() || current.back() != '\\') current += '\\';
    std::string absolute;
    if (path.size() >= 2 && path[1] == ':') {
        char drive = sjis::FoldAsciiCase(path.substr(0, 1))[0];
        std::string rest = path.substr(2);
        if (!rest.empty() && rest[0] == '\\') {
            absolute = std::string(1, drive) + ":" + rest;
        } else {
            std::string base = DriveLetter(current) == drive ? current : std::string(1, drive) + ":\\";
            absolute = base + rest;
        }
    } else if (!path.empty() && path[0] == '\\') {
        absolute = current.substr(0, 2) + path;
    } else {
        absolute = current + path;
    }

    // Drop "." and resolve "..", never above the root.
    std::vector<std::string> parts = SplitPath(absolute);
    bool trailing = parts.size() > 1 && parts.back().empty();
    std::vector<std::string> kept{parts[0]};
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (kept.size() > 1) kept.pop_back();
            continue;
        }
        kept.push_back(part);
    }
    std::string out = kept[0];
    for (std::size_t i = 1; i < kept.size(); ++i) out += "\\" + kept[i];
    if (kept.size() == 1 || trailing) out += "\\";
    return out;
}

std::string FakeSystem::Key(const std::string& resolved) {
    std::string key = sjis::FoldAsciiCase(resolved);
    // A trailing backslash that is not the trail byte of a character.
    std::vector<std::string> parts = SplitPath(key);
    if (parts.size() > 1 && parts.back().empty()) key.pop_back();
    return key;
}

bool FakeSystem::Listed(const std::set<std::string>& set, const std::string& key) const {
    return std::any_of(set.begin(), set.end(),
                       [&](const std::string& entry) { return Key(Resolve(entry)) == key; });
}

bool FakeSystem::ParentExists(const std::string& key) const {
    std::vector<std::string> parts = SplitPath(key);
    if (parts.size() < 2) return false;
    std::string parent = parts[0];
    for (std::size_t i = 1; i + 1 < parts.size(); ++i) parent += "\\" + parts[i];
    return directories_.count(parent) != 0;
}

FakeSystem::File* FakeSystem::CreateFile(const std::string& resolved) {
    std::string key = Key(resolved);
    if (resolved.size() >= MaxPath || directories_.count(key) || !ParentExists(key)) return nullptr;
    auto [it, inserted] = files_.try_emplace(key);
    if (inserted) it->second.path = resolved;
    it->second.bytes.clear();
    return &it->second;
}

const FakeSystem::Volume* FakeSystem::FindVolume(const std::string& resolved) const {
    auto it = volumes_.find(DriveLetter(resolved));
    return it == volumes_.end() ? nullptr : &it->second;
}

void FakeSystem::AddFile(const std::string& path, std::vector<std::uint8_t> bytes) {
    std::string resolved = Resolve(path);
    std::vector<std::string> parts = SplitPath(resolved);
    std::string parent = parts[0];
    for (std::size_t i = 1; i + 1 < parts.size(); ++i) parent += "\\" + parts[i];
    AddDirectory(parent + "\\");
    File* file = CreateFile(resolved);
    if (file == nullptr) throw std::invalid_argument("FakeSystem: cannot add file " + path);
    file->bytes = std::move(bytes);
}

void FakeSystem::AddFile(const std::string& path, const std::string& text) {
    AddFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void FakeSystem::AddDirectory(const std::string& path) {
    std::vector<std::string> parts = SplitPath(Key(Resolve(path)));
    std::string key = parts[0];
    if (!directories_.count(key)) throw std::invalid_argument("FakeSystem: no drive for " + path);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        key += "\\" + parts[i];
        if (files_.count(key)) throw std::invalid_argument("FakeSystem: a file is in the way: " + path);
        directories_.insert(key);
    }
}

FakeSystem::Volume& FakeSystem::AddVolume(char letter) {
    char drive = sjis::FoldAsciiCase(std::string(1, letter))[0];
    directories_.insert(std::string(1, drive) + ":");
    return volumes_[drive];
}

FakeSystem::Volume& FakeSystem::VolumeOf(char letter) {
    return volumes_.at(sjis::FoldAsciiCase(std::string(1, letter))[0]);
}

bool FakeSystem::FileExists(const std::string& path) const {
    return files_.count(Key(Resolve(path))) != 0;
}

bool FakeSystem::DirectoryExists(const std::string& path) const {
    return directories_.count(Key(Resolve(path))) != 0;
}

const std::vector<std::uint8_t>& FakeSystem::FileBytes(const std::string& path) const {
    return files_.at(Key(Resolve(path))).bytes;
}

int FakeSystem::OpenStreams() const {
    int open = 0;
    for (const auto& [key, count] : openStreams_) open += count;
    return open;
}

std::vector<std::string> FakeSystem::FilePaths() const {
    std::vector<std::string> paths;
    for (const auto& [key, file] : files_) paths.push_back(file.path);
    return paths;
}

StreamPtr FakeSystem::OpenRead(const char* path) {
    std::string resolved = Resolve(path);
    std::string key = Key(resolved);
    auto it = files_.find(key);
    if (resolved.size() >= MaxPath || it == files_.end() || Listed(failOpenRead, key)) {
        calls.push_back(std::string("OpenRead ") + path + " failed");
        return nullptr;
    }
    calls.push_back(std::string("OpenRead ") + path);
    return std::make_unique<FakeStream>(*this, path, key, false, false);
}

StreamPtr FakeSystem::OpenWrite(const char* path) {
    std::string resolved = Resolve(path);
    std::string key = Key(resolved);
    File* file = Listed(failOpenWrite, key) ? nullptr : CreateFile(resolved);
    if (file == nullptr) {
        calls.push_back(std::string("OpenWrite ") + path + " failed");
        return nullptr;
    }
    calls.push_back(std::string("OpenWrite ") + path);
    return std::make_unique<FakeStream>(*this, path, key, Listed(failWrite, key),
                                        Listed(failClose, key));
}

std::string FakeSystem::GetModuleFileNameA() { return moduleFileName; }

int FakeSystem::MessageBoxA(const char* text, const char* caption, unsigned style) {
    calls.push_back(std::string("MessageBoxA ") + caption + ": " + text);
    boxes.push_back({text, caption, style});
    if (onMessageBox) onMessageBox(boxes.back());
    return 1;  // IDOK
}

std::uint32_t FakeSystem::GetFullPathNameA(const char* path, std::uint32_t bufferLength,
                                           char* buffer) {
    calls.push_back(std::string("GetFullPathNameA ") + path);
    if (fullPathHook) return fullPathHook(path, bufferLength, buffer);
    std::string resolved = Resolve(path);
    if (resolved.empty()) return 0;
    if (resolved.size() + 1 > bufferLength) return static_cast<std::uint32_t>(resolved.size() + 1);
    std::memcpy(buffer, resolved.c_str(), resolved.size() + 1);
    return static_cast<std::uint32_t>(resolved.size());
}

unsigned FakeSystem::GetDriveTypeA(const char* root) {
    calls.push_back(std::string("GetDriveTypeA ") + root);
    std::string text = root;
    if (text.size() != 3 || text[1] != ':' || text[2] != '\\') return DriveNoRootDir;
    const Volume* volume = FindVolume(text);
    return volume == nullptr ? DriveNoRootDir : volume->driveType;
}

void FakeSystem::GetVersionExA(OsVersion& out) {
    calls.push_back("GetVersionExA");
    out = version;
}

bool FakeSystem::GetDiskFreeSpaceExA(const char* folder, std::uint64_t& freeBytesToCaller,
                                     std::uint64_t& totalBytes) {
    calls.push_back(std::string("GetDiskFreeSpaceExA ") + folder);
    std::string resolved = Resolve(folder);
    const Volume* volume = FindVolume(resolved);
    if (volume == nullptr || volume->bytesQueryFails || !directories_.count(Key(resolved))) {
        return false;
    }
    freeBytesToCaller = volume->freeBytesToCaller;
    totalBytes = volume->totalBytes;
    return true;
}

bool FakeSystem::GetDiskFreeSpaceA(const char* root, std::uint32_t& sectorsPerCluster,
                                   std::uint32_t& bytesPerSector, std::uint32_t& freeClusters,
                                   std::uint32_t& totalClusters) {
    calls.push_back(std::string("GetDiskFreeSpaceA ") + root);
    std::string text = root;
    const Volume* volume = FindVolume(text);
    if (text.size() != 3 || text[2] != '\\' || volume == nullptr || volume->clustersQueryFails) {
        return false;
    }
    sectorsPerCluster = volume->sectorsPerCluster;
    bytesPerSector = volume->bytesPerSector;
    freeClusters = volume->freeClusters;
    totalClusters = volume->totalClusters;
    return true;
}

LzHandle FakeSystem::LZOpenFileA(const char* path, OpenFileRecord& record, std::uint16_t style) {
    bool create = (style & OfCreate) != 0;
    auto open = [&](const std::string& name) {
        std::string resolved = Resolve(name);
        std::string key = Key(resolved);
        record = {};
        std::memcpy(record.pathName, resolved.c_str(), std::min<std::size_t>(resolved.size(), LzMaxPath - 1));
        LzHandle handle = LzErrorBadInHandle;
        if (resolved.size() >= LzMaxPath) {
            // Refused before anything is created.
        } else if (create) {
            if (!Listed(failLzCreate, key) && CreateFile(resolved) != nullptr) handle = nextLzHandle_++;
        } else if (auto it = files_.find(key); it != files_.end() && !Listed(failLzOpen, key)) {
            const auto& bytes = it->second.bytes;
            bool unknownMode = szdd::HasMagic(bytes) && bytes.size() > 8 && bytes[8] != szdd::ModeA;
            handle = unknownMode ? LzErrorUnknownAlg : nextLzHandle_++;
        }
        if (handle >= 0) lzHandles_[handle] = {key, create};
        return handle;
    };
    std::string name = path;
    LzHandle handle = open(name);
    std::string log = std::string("LZOpenFileA ") + path + (create ? " create" : " read") + " -> ";
    // As LZ32 does: a name that cannot be opened is tried again with its last
    // character replaced by "_", for reading and for creating alike.
    if (handle == LzErrorBadInHandle && !name.empty() && name.back() != '_') {
        name.back() = '_';
        handle = open(name);
        if (handle >= 0) log += name + " ";
    }
    calls.push_back(log + std::to_string(handle));
    return handle;
}

std::int32_t FakeSystem::LZCopy(LzHandle source, LzHandle target) {
    auto from = lzHandles_.find(source);
    auto to = lzHandles_.find(target);
    std::int32_t result;
    if (from == lzHandles_.end() || from->second.target) {
        result = LzErrorBadInHandle;
    } else if (to == lzHandles_.end() || !to->second.target) {
        result = LzErrorBadOutHandle;
    } else if (Listed(failLzCopy, from->second.key)) {
        result = LzErrorRead;
    } else {
        const auto& bytes = files_.at(from->second.key).bytes;
        std::vector<std::uint8_t> expanded;
        if (!szdd::HasMagic(bytes)) {
            expanded = bytes;
        } else if (bytes.size() >= szdd::HeaderSize) {
            expanded = szdd::ExpandLenient(std::span(bytes).subspan(szdd::HeaderSize));
        }
        files_.at(to->second.key).bytes = expanded;
        result = static_cast<std::int32_t>(expanded.size());
        for (const auto& [path, value] : lzCopyResult) {
            if (Key(Resolve(path)) == from->second.key) result = value;
        }
    }
    calls.push_back("LZCopy " + std::to_string(source) + " " + std::to_string(target) + " -> " +
                    std::to_string(result));
    return result;
}

void FakeSystem::LZClose(LzHandle handle) {
    calls.push_back("LZClose " + std::to_string(handle));
    lzHandles_.erase(handle);
}

bool FakeSystem::DeleteFileA(const char* path) {
    calls.push_back(std::string("DeleteFileA ") + path);
    std::string key = Key(Resolve(path));
    // Windows refuses to delete a file that is open.
    bool inUse = openStreams_.count(key) ||
                 std::any_of(lzHandles_.begin(), lzHandles_.end(),
                             [&](const auto& open) { return open.second.key == key; });
    if (inUse) return false;
    return files_.erase(key) != 0;
}

std::uint32_t FakeSystem::GetFileAttributesA(const char* path) {
    calls.push_back(std::string("GetFileAttributesA ") + path);
    std::string resolved = Resolve(path);
    std::string key = Key(resolved);
    if (std::string(path).empty() || resolved.size() >= MaxPath) return InvalidFileAttributes;
    if (directories_.count(key)) return FileAttributeDirectory;
    if (files_.count(key)) return 0x20;  // FILE_ATTRIBUTE_ARCHIVE
    return InvalidFileAttributes;
}

std::uint32_t FakeSystem::GetTempPathA(std::uint32_t bufferLength, char* buffer) {
    calls.push_back("GetTempPathA " + std::to_string(bufferLength));
    if (tempPath.empty()) return 0;
    if (tempPath.size() + 1 > bufferLength) return static_cast<std::uint32_t>(tempPath.size() + 1);
    std::memcpy(buffer, tempPath.c_str(), tempPath.size() + 1);
    return static_cast<std::uint32_t>(tempPath.size());
}

bool FakeSystem::RegOpenKeyA(const char* subKey, RegistryKey& key) {
    calls.push_back(std::string("RegOpenKeyA ") + subKey);
    for (const auto& [name, values] : registry) {
        if (sjis::FoldAsciiCase(name) == sjis::FoldAsciiCase(subKey)) {
            key = nextKey_++;
            openKeys_[key] = name;
            return true;
        }
    }
    return false;
}

bool FakeSystem::RegQueryValueExA(RegistryKey key, const char* name, void* data,
                                  std::uint32_t& size) {
    calls.push_back(std::string("RegQueryValueExA ") + name);
    auto open = openKeys_.find(key);
    if (open == openKeys_.end()) return false;
    for (const auto& [valueName, bytes] : registry.at(open->second)) {
        if (sjis::FoldAsciiCase(valueName) != sjis::FoldAsciiCase(name)) continue;
        bool fits = bytes.size() <= size;
        size = static_cast<std::uint32_t>(bytes.size());
        if (!fits) return false;
        if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        return true;
    }
    return false;
}

void FakeSystem::RegCloseKey(RegistryKey key) {
    calls.push_back("RegCloseKey");
    openKeys_.erase(key);
}

}  // namespace sys
