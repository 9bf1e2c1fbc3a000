// The arguments a program was started with, as the UTF-8 strings the rest of the code works with. [any]
#pragma once

#include <string>
#include <vector>

namespace quillon::platform {

// The arguments after the program's name. On Linux these are argv[1..argc) as they are. On Windows argv
// holds the arguments in the ANSI code page, which loses every character outside it (a folder named
// "音色" on a Western system), so the arguments are taken from the UTF-16 command line instead and split
// by the same rules as argv; argc and argv are then only a fallback.
std::vector<std::string> ProgramArguments(int argc, char** argv);

} // namespace quillon::platform
