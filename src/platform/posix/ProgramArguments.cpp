#include "platform/ProgramArguments.h"

namespace quillon::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

unsigned UseUtf8Console() {
    return 0;
}

void RestoreConsole(unsigned /*previous*/) {}

} // namespace quillon::platform
