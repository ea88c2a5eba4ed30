// Byte classes of the ANSI code page, for scanning texts byte by byte without
// taking the second byte of a double-byte character (0x5C in "表" or "ソ")
// for a path separator.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace vcl {

struct ByteClasses {
    // Whether the system treats texts as double-byte at all; when it does
    // not, no byte is a trail byte.
    bool doubleByte = false;
    std::array<bool, 256> lead{};

    // `ranges` as CPINFO.LeadByte holds them: pairs of first and last byte,
    // ended by a zero pair.
    static ByteClasses FromLeadRanges(bool doubleByte, const unsigned char (&ranges)[12]) {
        ByteClasses classes;
        classes.doubleByte = doubleByte;
        for (std::size_t i = 0; i + 1 < 12 && ranges[i] != 0; i += 2) {
            for (unsigned c = ranges[i]; c <= ranges[i + 1]; ++c) classes.lead[c] = true;
        }
        return classes;
    }

    bool IsLeadByte(unsigned char c) const { return doubleByte && lead[c]; }

    // Whether text[index] is the second byte of a double-byte character: the
    // run of lead bytes right before it has odd length. A run that starts
    // after a byte that is no lead byte starts on a character boundary, so
    // the count pairs the run's bytes up from there.
    bool IsTrailByte(std::string_view text, std::size_t index) const {
        if (!doubleByte) return false;
        std::size_t leads = 0;
        while (index > leads && IsLeadByte(static_cast<unsigned char>(text[index - leads - 1]))) {
            ++leads;
        }
        return leads % 2 == 1;
    }
};

// The running system's classes: double-byte support from
// GetSystemMetrics(SM_DBCSENABLED), lead bytes from the ANSI code page.
// Windows only.
ByteClasses SystemByteClasses();

}  // namespace vcl
