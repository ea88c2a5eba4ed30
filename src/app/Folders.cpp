#include "app/Folders.h"

namespace app {

bool FolderExists(sys::System& system, const std::string& text) {
    std::uint32_t attributes = system.GetFileAttributesA(text.c_str());
    return attributes != sys::InvalidFileAttributes &&
           (attributes & sys::FileAttributeDirectory) != 0;
}

std::string FolderPart(std::string_view name, const vcl::ByteClasses& classes) {
    auto isSeparator = [&](std::size_t i) {
        return (name[i] == '\\' || name[i] == ':') && !classes.IsTrailByte(name, i);
    };
    std::size_t end = name.size();  // one past the last separator, or 0
    while (end > 0 && !isSeparator(end - 1)) --end;
    // A backslash right after another real separator belongs to a root.
    if (end > 1 && name[end - 1] == '\\' && !isSeparator(end - 2)) --end;
    return std::string(name.substr(0, end));
}

}  // namespace app
