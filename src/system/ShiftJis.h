// Shift-JIS (code page 932) byte classes, for scanning names byte by byte
// without mistaking the second byte of a character for a separator.
#pragma once

#include <string>
#include <string_view>

namespace sjis {

inline bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

inline bool IsTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// ASCII letters folded to upper case; the bytes of double-byte characters are
// left alone. Equal results mean one name to Windows' ASCII case folding.
inline std::string FoldAsciiCase(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c)) {
            ++i;
        } else if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

}  // namespace sjis
