// Turning the texts of the two folder fields into the folders the run uses:
// absolute, ending with a backslash, in their 260-byte buffers.
#pragma once

#include <string_view>

#include "install/Install.h"

namespace install {

enum class FolderStatus {
    Absolute,  // the buffer holds the full path
    AsTyped,   // the text could not be made absolute; the buffer holds it with its backslash
    TooLong,   // the text and its backslash do not fit; the buffer is untouched
};

// True when the last character of `text` is a backslash. A backslash byte
// that ends a double-byte character ("表" is 95 5C) is not one.
bool EndsWithBackslash(std::string_view text);

// Copies `text` into `buffer`, appends a backslash unless it ends with one
// and makes it absolute with GetFullPathNameA. A result that names a drive
// that does not exist is not taken.
FolderStatus NormaliseFolder(sys::System& system, std::string_view text,
                             char (&buffer)[FolderBufferSize]);

}  // namespace install
