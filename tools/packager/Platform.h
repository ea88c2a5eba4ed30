// What the packager needs from the operating system beyond standard C++:
// UTF-8 paths and arguments, code page 932, terminals and atomic replacement.
// Everything here has one Linux and one Windows body.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace packager {

// The command line as UTF-8 (on Windows from the wide command line, so that
// names outside the ANSI code page survive).
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// Lets a Windows console show the UTF-8 the tool prints.
void PrepareConsole();
bool StderrIsTerminal();

// Text converted exactly, or nothing when a character has no form in the
// other encoding or would come back as a different one (best-fit mappings
// such as U+00A5 to 5Ch are refused).
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);

std::filesystem::path Utf8Path(std::string_view utf8);
std::string Utf8Of(const std::filesystem::path& path);

// fopen for a UTF-8 path; null on failure.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);
bool SeekFile(std::FILE* file, std::uint64_t position);
// Replaces `to` with `from` in one step.
bool PutInPlace(const std::filesystem::path& from, const std::filesystem::path& to);
// A name next to `path` for a file that becomes `path` when complete.
std::filesystem::path TemporaryFor(const std::filesystem::path& path);

}  // namespace packager
