// Helpers shared by the fuzz targets: a private temporary folder for the file readers, a settings folder
// that keeps the plug-in away from the user's own settings, and the host callback the plug-in targets
// construct the plug-in with.
#pragma once

#include "host/vst2.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace quillon::fuzz {

// A folder of this process's own under the system's temporary folder, made once.
inline const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("quillon-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

// Writes `size` bytes to `name` in the work folder and returns the file's path.
inline std::string WriteInput(const char* name, const std::uint8_t* data, std::size_t size) {
    std::string path = WorkFolder() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write the fuzz input to %s\n", path.c_str());
        std::abort();
    }
    return path;
}

// Points the settings at an empty folder of the work folder, so a plug-in made by a fuzz target reads no
// learned controllers and writes nothing into the user's folders. Call before constructing a plug-in.
inline void IsolateSettings() {
    const auto config = WorkFolder() / "config";
    std::filesystem::create_directories(config);
    // Called once, before the target constructs a plug-in (and with it any thread), so no thread reads the
    // environment meanwhile.
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);                     // NOLINT(concurrency-mt-unsafe)
    setenv("XDG_CONFIG_DIRS", (WorkFolder() / "machine").c_str(), 1); // NOLINT(concurrency-mt-unsafe)
}

// The host: VST 2.4, offline processing (program switches happen synchronously in the call).
inline vst2::VstIntPtr HostCallback(vst2::AEffect*, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr, void*,
                                    float) {
    switch (opcode) {
    case vst2::audioMasterVersion:
        return 2400;
    case vst2::audioMasterGetCurrentProcessLevel:
        return vst2::kVstProcessLevelOffline;
    default:
        return 0;
    }
}

} // namespace quillon::fuzz
