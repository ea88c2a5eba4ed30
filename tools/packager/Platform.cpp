#include "Platform.h"

#include <atomic>
#include <cerrno>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <iconv.h>
#include <unistd.h>
#endif

namespace packager {
namespace {

#ifdef _WIN32
std::optional<std::wstring> Widen(std::string_view text, unsigned codePage) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(),
                                static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), n);
    return wide;
}

std::optional<std::string> Narrow(std::wstring_view wide, unsigned codePage) {
    if (wide.empty()) return std::string();
    // Best-fit mappings are refused; UTF-8 takes neither flag nor default.
    bool utf8 = codePage == CP_UTF8;
    BOOL usedDefault = FALSE;
    DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()),
                                nullptr, 0, nullptr, utf8 ? nullptr : &usedDefault);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                        nullptr, nullptr);
    return text;
}

std::optional<std::string> Convert(std::string_view text, unsigned from, unsigned to) {
    auto wide = Widen(text, from);
    if (!wide) return std::nullopt;
    return Narrow(*wide, to);
}
#else
std::optional<std::string> Convert(std::string_view text, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    std::string in(text);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char buffer[256];
    bool ok = true;
    while (ok && inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) ok = false;
        // Irreversible conversions are counted, not refused, by iconv.
        if (r != static_cast<std::size_t>(-1) && r > 0) ok = false;
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return out;
}
#endif

std::optional<std::string> ConvertExactly(std::string_view text, bool toCp932) {
#ifdef _WIN32
    const unsigned utf8 = CP_UTF8, cp932 = 932;
#else
    const char *utf8 = "UTF-8", *cp932 = "CP932";
#endif
    auto out = toCp932 ? Convert(text, utf8, cp932) : Convert(text, cp932, utf8);
    if (!out) return std::nullopt;
    auto back = toCp932 ? Convert(*out, cp932, utf8) : Convert(*out, utf8, cp932);
    if (!back || *back != text) return std::nullopt;
    return out;
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; wide != nullptr && i < count; ++i) {
        args.push_back(Narrow(wide[i], CP_UTF8).value_or(std::string()));
    }
    LocalFree(wide);
    return args;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

void PrepareConsole() {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
}

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    return ConvertExactly(utf8, true);
}
std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
    return ConvertExactly(cp932, false);
}

std::filesystem::path Utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

bool SeekFile(std::FILE* file, std::uint64_t position) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

bool PutInPlace(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef _WIN32
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    // Callers report errno.
    errno = GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_SHARING_VIOLATION
                ? EACCES
                : EIO;
    return false;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

std::filesystem::path TemporaryFor(const std::filesystem::path& path) {
    static std::atomic<unsigned> serial{0};
#ifdef _WIN32
    unsigned long process = static_cast<unsigned long>(_getpid());
#else
    unsigned long process = static_cast<unsigned long>(getpid());
#endif
    std::string suffix = ".";
    suffix += std::to_string(process);
    suffix += '-';
    suffix += std::to_string(serial++);
    suffix += ".partial";
    std::filesystem::path temporary = path;
    temporary += Utf8Path(suffix);
    return temporary;
}

}  // namespace packager
