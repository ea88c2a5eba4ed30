#include "install/Folders.h"

#include <cstring>

#include "system/ShiftJis.h"

namespace install {

bool EndsWithBackslash(std::string_view text) {
    bool last = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (sjis::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            ++i;
            last = false;
        } else {
            last = text[i] == '\\';
        }
    }
    return last;
}

FolderStatus NormaliseFolder(sys::System& system, std::string_view text,
                             char (&buffer)[FolderBufferSize]) {
    bool append = !EndsWithBackslash(text);
    if (text.size() + (append ? 1 : 0) >= FolderBufferSize) return FolderStatus::TooLong;
    std::memcpy(buffer, text.data(), text.size());
    std::size_t length = text.size();
    if (append) buffer[length++] = '\\';
    buffer[length] = '\0';

    // A separate buffer, so that a failed resolution leaves the text as typed.
    char full[FolderBufferSize];
    std::uint32_t fullLength = system.GetFullPathNameA(buffer, FolderBufferSize, full);
    if (fullLength == 0 || fullLength >= FolderBufferSize) return FolderStatus::AsTyped;
    // GetFullPathNameA resolves "Q:work" without asking whether Q: exists.
    if (full[1] == ':') {
        const char root[] = {full[0], ':', '\\', '\0'};
        if (system.GetDriveTypeA(root) < sys::DriveRemovable) return FolderStatus::AsTyped;
    }
    std::memcpy(buffer, full, fullLength + 1);
    return FolderStatus::Absolute;
}

}  // namespace install
