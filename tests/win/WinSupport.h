// Helpers for tests against the real Win32 services: the real system told
// which file is the running executable, with message boxes recorded instead
// of shown, and scratch folders that clean up after themselves.
#pragma once

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "system/Win32System.h"

namespace testing_support {

class PackagedSystem final : public sys::Win32System {
public:
    struct Box {
        std::string text;
        std::string caption;
        unsigned style;
    };

    explicit PackagedSystem(std::string executable) : executable_(std::move(executable)) {}

    std::string GetModuleFileNameA() override { return executable_; }
    int MessageBoxA(const char* text, const char* caption, unsigned style) override {
        boxes.push_back({text, caption, style});
        return IDOK;
    }
    void GetVersionExA(sys::OsVersion& out) override {
        if (version) {
            out = *version;
        } else {
            Win32System::GetVersionExA(out);
        }
    }

    std::vector<Box> boxes;
    std::optional<sys::OsVersion> version;  // the real one when empty

private:
    std::string executable_;
};

inline bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    std::uint8_t buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    std::fclose(file);
    return bytes;
}

// The names of the files in `folder` (which ends with a backslash).
inline std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// A folder that exists, empty, for the life of the object.
class ScratchFolder {
public:
    explicit ScratchFolder(std::string path) : path_(std::move(path)) {
        Empty();
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchFolder() {
        Empty();
        RemoveDirectoryA(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // With its trailing backslash.
    std::string Path() const { return path_ + "\\"; }

private:
    void Empty() {
        for (const std::string& name : FilesIn(Path())) DeleteFileA((Path() + name).c_str());
    }
    std::string path_;
};

}  // namespace testing_support
