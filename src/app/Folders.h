// The folder fields' two services, free of any window so that tests run them
// on any host.
#pragma once

#include <string>
#include <string_view>

#include "system/System.h"
#include "vcl/Mbcs.h"

namespace app {

// Whether `text` names an existing folder: an existing file, a missing path
// and an empty text do not. A relative text is taken from the current folder.
bool FolderExists(sys::System& system, const std::string& text);

// The folder part of a file name: everything before its last separator ("\"
// or ":"), keeping the backslash of a drive root ("C:\") and after another
// separator. A 0x5C that is the second byte of a double-byte character is no
// separator.
std::string FolderPart(std::string_view name, const vcl::ByteClasses& classes);

}  // namespace app
