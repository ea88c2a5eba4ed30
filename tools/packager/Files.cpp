#include "Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "Platform.h"

namespace packager {
namespace {

constexpr std::size_t IoBuffer = std::size_t{1} << 18;
constexpr std::uint64_t FourGiB = std::uint64_t{1} << 32;

std::string Reason() {
    return std::strerror(errno);
}

}  // namespace

void Fail(std::string message) {
    throw Failure{ExitBadInput, std::move(message)};
}

std::string Show(const std::filesystem::path& path) {
    // Appended rather than "'" + ... + "'", which GCC 12 warns about wrongly.
    std::string shown(1, '\'');
    shown += Utf8Of(path);
    shown += '\'';
    return shown;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (file_ != nullptr) std::fclose(file_);
        file_ = other.file_;
        other.file_ = nullptr;
    }
    return *this;
}

File::~File() {
    if (file_ != nullptr) std::fclose(file_);
}

File File::Read(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        Fail("cannot read " + Show(path) + ": it is a folder");
    }
    File file(OpenFile(path, "rb"));
    if (!file) Fail("cannot read " + Show(path) + ": " + Reason());
    return file;
}

std::size_t File::ReadSome(void* buffer, std::size_t size, const std::filesystem::path& path) {
    std::size_t n = std::fread(buffer, 1, size, file_);
    if (n < size && std::ferror(file_)) Fail("cannot read " + Show(path) + ": " + Reason());
    return n;
}

void File::ReadExactly(void* buffer, std::size_t size, const std::filesystem::path& path) {
    if (ReadSome(buffer, size, path) != size) {
        Fail("cannot read " + Show(path) + ": it ended early");
    }
}

void File::Seek(std::uint64_t position, const std::filesystem::path& path) {
    if (!SeekFile(file_, position)) Fail("cannot read " + Show(path) + ": " + Reason());
}

OutputFile::OutputFile(std::filesystem::path target)
    : target_(std::move(target)), temporary_(TemporaryFor(target_)) {
    file_ = File(OpenFile(temporary_, "wb"));
    if (!file_) Fail("cannot write " + Show(target_) + ": " + Reason());
}

OutputFile::~OutputFile() {
    file_ = File();
    if (!published_) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

void OutputFile::Write(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
        Fail("cannot write " + Show(target_) + ": " + Reason());
    }
    size_ += bytes.size();
}

void OutputFile::WriteAt(std::uint64_t position, std::span<const std::uint8_t> bytes) {
    bool ok = SeekFile(file_.get(), position) &&
              std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size() &&
              SeekFile(file_.get(), size_);
    if (!ok) Fail("cannot write " + Show(target_) + ": " + Reason());
}

void OutputFile::Close() {
    std::FILE* file = file_.get();
    bool ok = std::fflush(file) == 0 && std::ferror(file) == 0;
    file_ = File();  // closes
    if (!ok) Fail("cannot write " + Show(target_) + ": " + Reason());
}

void OutputFile::Publish() {
    if (file_) Close();
    if (!PutInPlace(temporary_, target_)) Fail("cannot write " + Show(target_) + ": " + Reason());
    published_ = true;
}

Progress::Progress(const Console& console, std::string label, std::uint64_t total)
    : err_(console.progress ? &console.err : nullptr), label_(std::move(label)), total_(total) {}

void Progress::Done() {
    if (visible_) *err_ << '\r' << std::string(label_.size() + 6, ' ') << '\r' << std::flush;
    visible_ = false;
    err_ = nullptr;
}

void Progress::Advance(std::uint64_t done) {
    done_ += done;
    if (err_ == nullptr || total_ == 0) return;
    const std::clock_t now = std::clock();
    const std::clock_t moment = CLOCKS_PER_SEC / 3, step = CLOCKS_PER_SEC / 10;
    if (now - start_ < moment || (visible_ && now - shown_ < step)) return;
    shown_ = now;
    visible_ = true;
    *err_ << '\r' << label_ << ' ' << std::min<std::uint64_t>(done_ * 100 / total_, 100) << '%'
          << std::flush;
}

Compressed CompressStream(File& in, const std::filesystem::path& inPath, OutputFile& out,
                          szdd::Level level, Progress& progress) {
    szdd::Encoder encoder({level});
    std::vector<std::uint8_t> buffer(IoBuffer);
    std::vector<std::uint8_t> stream;
    Compressed result;
    for (;;) {
        std::size_t n = in.ReadSome(buffer.data(), buffer.size(), inPath);
        if (n == 0) break;
        result.expandedSize += n;
        if (result.expandedSize >= FourGiB) {
            Fail(Show(inPath) + " is 4 GiB or larger; an SZDD header cannot hold its size");
        }
        encoder.Update(std::span(buffer).first(n), stream);
        out.Write(stream);
        result.streamSize += stream.size();
        stream.clear();
        progress.Advance(n);
    }
    encoder.Finish(stream);
    out.Write(stream);
    result.streamSize += stream.size();
    return result;
}

szdd::Status ExpandStream(File& in, const std::filesystem::path& inPath, std::uint64_t length,
                          const Sink& sink, Progress* progress) {
    std::uint8_t header[szdd::HeaderSize];
    if (length < szdd::HeaderSize) return szdd::Status::ShortHeader;
    in.ReadExactly(header, sizeof header, inPath);
    if (szdd::Status status = szdd::CheckHeader(header); status != szdd::Status::Ok) return status;
    const szdd::Header fields = *szdd::ParseHeader(header);

    szdd::Decoder decoder(fields.expandedSize);
    std::vector<std::uint8_t> buffer(IoBuffer);
    std::uint64_t left = length - szdd::HeaderSize;
    // With no input left, a call still finishes a match that did not fit.
    bool last = false;
    while (!last) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        in.ReadExactly(buffer.data(), n, inPath);
        left -= n;
        last = n == 0;
        std::span<const std::uint8_t> input(buffer.data(), n);
        for (;;) {
            std::size_t used = 0;
            std::span<const std::uint8_t> chunk = decoder.Decode(input, used);
            input = input.subspan(used);
            if (!chunk.empty()) sink(chunk);
            if (decoder.Overflowed()) return szdd::Status::TooLong;
            if (chunk.empty() && input.empty()) break;
        }
        if (progress != nullptr) progress->Advance(n);
    }
    if (decoder.InsideToken()) return szdd::Status::Truncated;
    if (decoder.Produced() != fields.expandedSize) return szdd::Status::TooShort;
    return szdd::Status::Ok;
}

}  // namespace packager
