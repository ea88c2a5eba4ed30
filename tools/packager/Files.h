// Files and streaming through the codec, with fixed memory whatever the size
// of a file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "Packager.h"
#include "szdd/Szdd.h"

namespace packager {

// What ends a command: the message for stderr and the exit status.
struct Failure {
    int status;
    std::string message;
};
[[noreturn]] void Fail(std::string message);

// A path for messages.
std::string Show(const std::filesystem::path& path);

class File {
public:
    File() = default;
    explicit File(std::FILE* file) : file_(file) {}
    File(File&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
    File& operator=(File&& other) noexcept;
    ~File();

    std::FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

    // Opens an existing file for reading, or fails naming `path`.
    static File Read(const std::filesystem::path& path);
    // Reads up to `size` bytes; fewer only at the end of the file.
    std::size_t ReadSome(void* buffer, std::size_t size, const std::filesystem::path& path);
    // Reads exactly `size` bytes or fails.
    void ReadExactly(void* buffer, std::size_t size, const std::filesystem::path& path);
    void Seek(std::uint64_t position, const std::filesystem::path& path);

private:
    std::FILE* file_ = nullptr;
};

// A file written under a temporary name and put in place by Publish, so that
// a failure leaves nothing behind: the temporary goes with the object.
class OutputFile {
public:
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(std::span<const std::uint8_t> bytes);
    // Overwrites bytes already written; the next Write appends again.
    void WriteAt(std::uint64_t position, std::span<const std::uint8_t> bytes);
    std::uint64_t Size() const { return size_; }
    // Flushes and closes; the complete file can then be read at Temporary().
    void Close();
    const std::filesystem::path& Temporary() const { return temporary_; }
    // Replaces the target with the closed file.
    void Publish();

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    File file_;
    std::uint64_t size_ = 0;
    bool published_ = false;
};

// "label NN%" on a terminal, once the work has taken more than a moment.
// (Timed with the C clock: <chrono> holds a literal that code page 932
// cannot encode.)
class Progress {
public:
    Progress(const Console& console, std::string label, std::uint64_t total);
    ~Progress() { Done(); }
    void Advance(std::uint64_t done);
    // Clears the line, before anything else is printed.
    void Done();

private:
    std::ostream* err_;
    std::string label_;
    std::uint64_t total_;
    std::uint64_t done_ = 0;
    std::clock_t start_ = std::clock();
    std::clock_t shown_ = 0;
    bool visible_ = false;
};

struct Compressed {
    std::uint64_t expandedSize = 0;
    std::uint64_t streamSize = 0;  // the stream alone, without the 14-byte header
};

// Compresses `in` from its position to its end onto the end of `out`,
// stream only. Fails when the input reaches 4 GiB, which no SZDD header holds.
Compressed CompressStream(File& in, const std::filesystem::path& inPath, OutputFile& out,
                          szdd::Level level, Progress& progress);

// Expands `length` bytes of SZDD file, header included, from the position of
// `in`, strictly, handing the output to `sink` piece by piece.
using Sink = std::function<void(std::span<const std::uint8_t>)>;
szdd::Status ExpandStream(File& in, const std::filesystem::path& inPath, std::uint64_t length,
                          const Sink& sink, Progress* progress);

}  // namespace packager
