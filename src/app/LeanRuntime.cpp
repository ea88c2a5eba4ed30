// Linked into installer.exe only, to keep it small.
//
// A static libstdc++ reaches its string-based exception classes (and with
// them a second, copy-on-write string and much else) through the helpers
// below, which the containers call on misuse, and its verbose terminate
// handler pulls in the demangler. Our own versions throw a plain
// std::exception with the same message, which the application object shows
// like any other, and terminate without a word.
#include <cstdlib>
#include <exception>
#include <new>

namespace {

class LibraryError final : public std::exception {
public:
    explicit LibraryError(const char* what) : what_(what) {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;
};

}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() {
    throw std::bad_alloc();
}
void __throw_bad_array_new_length() {
    throw std::bad_array_new_length();
}
void __throw_logic_error(const char* what) {
    throw LibraryError(what);
}
void __throw_length_error(const char* what) {
    throw LibraryError(what);
}
void __throw_out_of_range(const char* what) {
    throw LibraryError(what);
}
void __throw_out_of_range_fmt(const char* what, ...) {
    throw LibraryError(what);
}
void __throw_invalid_argument(const char* what) {
    throw LibraryError(what);
}
}  // namespace std
