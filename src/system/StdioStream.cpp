#include "system/StdioStream.h"

#include <climits>

namespace sys {

StreamPtr StdioStream::Open(const char* path, const char* mode) {
    std::FILE* file = std::fopen(path, mode);
    if (file == nullptr) return nullptr;
    return std::make_unique<StdioStream>(file);
}

StdioStream::~StdioStream() {
    if (file_ != nullptr && owned_) std::fclose(file_);
}

std::size_t StdioStream::Read(void* buffer, std::size_t size) {
    if (file_ == nullptr || size == 0) return 0;
    // Element size 1, so that a read cut by the end of the file still counts
    // the bytes it stored.
    return std::fread(buffer, 1, size, file_);
}

std::size_t StdioStream::Write(const void* buffer, std::size_t size) {
    if (file_ == nullptr || size == 0) return 0;
    return std::fwrite(buffer, 1, size, file_);
}

bool StdioStream::Seek(std::int32_t offset, SeekOrigin origin) {
    if (file_ == nullptr) return false;
    int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR
                                                                                         : SEEK_END;
    return std::fseek(file_, static_cast<long>(offset), whence) == 0;
}

std::int32_t StdioStream::Tell() {
    if (file_ == nullptr) return -1;
    long position = std::ftell(file_);
    if (position < 0 || position > INT32_MAX) return -1;
    return static_cast<std::int32_t>(position);
}

bool StdioStream::Close() {
    if (file_ == nullptr) return false;
    bool ok = std::ferror(file_) == 0;
    // A borrowed file is flushed and closed by its owner.
    if (owned_) ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

}  // namespace sys
