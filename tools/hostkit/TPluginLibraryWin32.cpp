#include "hostkit/TPluginLibrary.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

namespace quillon {

TPluginLibrary::~TPluginLibrary() {
    Close();
}

bool TPluginLibrary::Open(const std::string& path, std::string& error) {
    Close();
    // The library's own folder is searched for the DLLs it imports, as hosts on Windows do.
    HMODULE module = LoadLibraryExW(platform::win32::Widen(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        error = path + ": " + platform::win32::ErrorText(GetLastError());
        return false;
    }
    handle_ = module;
    return true;
}

void* TPluginLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void TPluginLibrary::Close() {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

} // namespace quillon
