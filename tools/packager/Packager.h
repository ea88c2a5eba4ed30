// The packager's commands, callable in-process so that tests run them without
// spawning the tool.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace packager {

inline constexpr int ExitOk = 0;
inline constexpr int ExitBadInput =
    1;  // bad or damaged input, or a file that cannot be read or written
inline constexpr int ExitUsage = 2;

struct Console {
    std::ostream& out;
    std::ostream& err;
    bool progress = false;  // `err` is a terminal: show progress of long work there
};

// Runs one command line, given as UTF-8 with the program's name first, and
// returns the exit status.
int Run(const std::vector<std::string>& args, Console console);

}  // namespace packager
