#include "platform/ModuleFolder.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

namespace quillon::platform {

std::string ModuleFolder() {
    // The module that holds this function: Quillon.dll in the plug-in, the program itself in the tools.
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ModuleFolder), &module))
        return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // truncated: try again with more room
    }
    const std::string file = win32::ForwardSlashes(win32::Narrow(path));
    const auto slash = file.find_last_of('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

} // namespace quillon::platform
