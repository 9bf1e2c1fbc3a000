#include "platform/ProgramArguments.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <shellapi.h>

namespace quillon::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        std::vector<std::string> arguments;
        for (int i = 1; i < count; ++i)
            arguments.push_back(win32::Narrow(wide[i]));
        LocalFree(wide);
        return arguments;
    }
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

unsigned UseUtf8Console() {
    const UINT current = GetConsoleOutputCP(); // 0 without a console
    return current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8) ? current : 0;
}

void RestoreConsole(unsigned previous) {
    if (previous != 0) SetConsoleOutputCP(previous);
}

} // namespace quillon::platform
