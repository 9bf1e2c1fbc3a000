// The arguments a program was started with, and the console it writes to, in the UTF-8 the rest of the code
// works with. [any]
#pragma once

#include <string>
#include <vector>

namespace quillon::platform {

// The arguments after the program's name. On Linux these are argv[1..argc) as they are. On Windows argv
// holds the arguments in the ANSI code page, which loses every character outside it (a folder named
// "音色" on a Western system), so the arguments are taken from the UTF-16 command line instead and split
// by the same rules as argv; argc and argv are then only a fallback.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// While one lives, the UTF-8 text the program prints shows as such in a console. Windows consoles decode
// output in their own code page, so it is set to UTF-8 and set back afterwards; Linux terminals need
// nothing. Output into a file or a pipe is the same UTF-8 bytes on every system.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned previous_ = 0; // the code page to set back; 0 when none was changed
};

} // namespace quillon::platform
