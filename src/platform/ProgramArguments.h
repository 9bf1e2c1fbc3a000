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

// Sets a console the program writes to to show UTF-8 and returns what to give RestoreConsole afterwards.
// Windows consoles decode output in their own code page, which is set to UTF-8 here; Linux terminals need
// nothing (0 comes back). Output into a file or a pipe is the same UTF-8 bytes on every system.
unsigned UseUtf8Console();
// Gives the console back the code page UseUtf8Console() replaced (`previous`, 0: nothing to do).
void RestoreConsole(unsigned previous);

// UseUtf8Console() for the lifetime of the object.
class Utf8Console {
public:
    Utf8Console() : previous_(UseUtf8Console()) {}
    ~Utf8Console() { RestoreConsole(previous_); }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned previous_;
};

} // namespace quillon::platform
