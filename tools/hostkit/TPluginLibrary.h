// A plug-in's shared library as the host loads it: dlopen on Linux (RTLD_NOW | RTLD_LOCAL), LoadLibraryW
// on Windows (the path converted from UTF-8). The host finds the entry point through Symbol() and closes
// the library once the plug-in is gone. [gui]: one thread at a time; not copyable (it owns the handle).
#pragma once

#include <string>

namespace quillon {

class TPluginLibrary {
public:
    TPluginLibrary() = default;
    ~TPluginLibrary(); // Close()
    TPluginLibrary(const TPluginLibrary&) = delete;
    TPluginLibrary& operator=(const TPluginLibrary&) = delete;

    // Loads the library at `path` (closing one loaded before). False with the system's reason in `error`.
    bool Open(const std::string& path, std::string& error);
    // The address of the exported function `name`; null when it has none or nothing is loaded.
    void* Symbol(const char* name) const;
    // Unloads the library; nothing happens when none is loaded.
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr; // the dlopen handle, or the HMODULE
};

} // namespace quillon
