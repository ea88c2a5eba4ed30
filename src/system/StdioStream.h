// A Stream over the C library's FILE, for the Win32 system and the packager.
#pragma once

#include <cstdio>

#include "system/System.h"

namespace sys {

class StdioStream final : public Stream {
public:
    // Whether the stream closes its file: a borrowed one stays open for the
    // code that opened it.
    enum class Ownership { Owned, Borrowed };

    // `mode` as for fopen; null when the file cannot be opened.
    static StreamPtr Open(const char* path, const char* mode);

    explicit StdioStream(std::FILE* file, Ownership ownership = Ownership::Owned)
        : file_(file), owned_(ownership == Ownership::Owned) {}
    ~StdioStream() override;
    StdioStream(const StdioStream&) = delete;
    StdioStream& operator=(const StdioStream&) = delete;

    std::size_t Read(void* buffer, std::size_t size) override;
    std::size_t Write(const void* buffer, std::size_t size) override;
    bool Seek(std::int32_t offset, SeekOrigin origin) override;
    std::int32_t Tell() override;
    bool Close() override;

private:
    std::FILE* file_;
    bool owned_;
};

}  // namespace sys
