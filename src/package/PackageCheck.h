// Refusing a damaged package before anything is shown or written.
//
// The index loader tests nothing, so a damaged package would install garbage
// or write outside the chosen folders. The check runs right after loading, on
// the same stream, and names the first fault it finds.
#pragma once

#include <string>
#include <string_view>

#include "package/Package.h"

namespace pkg {

enum class PackageFault {
    None,
    FileTooShort,          // shorter than the trailer
    FileTooLarge,          // 2 GiB or more: positions are signed 32-bit
    TooManyEntries,        // more than MaxEntries
    RecordOutOfBounds,     // a record not wholly between the data offset and the trailer
    StoredSizeTooSmall,    // below the 14-byte SZDD header
    BadMagic,              // not the SZDD signature
    BadMode,               // compression mode other than 'A'
    ExpandedSizeTooLarge,  // more than any LZSS stream of that length can give
    TotalTooLarge,         // the expanded sizes add up to 2^32 or more
    NameNotTerminated,     // no NUL in the 60-byte name field
    BadStoredName,         // not a plain file name (see CheckFileName)
    NoUnderscore,          // nothing for the restore character to replace
    UnderscoreInCharacter, // the first "_" byte is the second byte of a double-byte character
    RestoreIsUnderscore,   // the installed name would be the stored name
    BadInstalledName,      // the restored name is not a plain file name
    DuplicateStoredName,
    DuplicateInstalledName,
    InstalledNameIsStoredName,  // one entry's file would overwrite another's temporary
};

struct PackageCheck {
    PackageFault fault = PackageFault::None;
    int entry = -1;       // the entry at fault, when there is one
    int otherEntry = -1;  // the earlier entry of a clash

    bool Ok() const { return fault == PackageFault::None; }
};

// Checks the package in `stream` whose index `index` was read from it.
PackageCheck CheckPackage(sys::Stream& stream, const PackageIndex& index);

// Whether `name` can be used as a file name inside a chosen folder, and
// nothing more: not empty, "." or "..", no trailing dot or space, no path
// separator, drive colon, wildcard or other character Windows reserves, no
// control byte, no device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or
// without an extension), and well-formed Shift-JIS, whose second bytes are
// not separators.
bool CheckFileName(std::string_view name);

// The first fault of one entry's stored name and restore character, or
// None: both names plain file names, and an underscore, outside any
// double-byte character, for a restore character other than "_" to replace.
PackageFault CheckEntryNames(std::string_view stored, std::uint8_t restoreChar);

// The stored name in a 60-byte name field: the bytes before the first NUL.
std::string_view StoredName(const char (&field)[NameFieldSize]);
// The stored name with its first underscore replaced by `restoreChar`.
std::string InstalledName(std::string_view storedName, std::uint8_t restoreChar);

// A short English description, for tools.
const char* Describe(PackageFault fault);

}  // namespace pkg
