#include "files/InstallFolder.h"

#include "platform/ModuleFolder.h"
#include "platform/Utf8Path.h"

#include <filesystem>

namespace quillon {

namespace {
constexpr const char* kFolderName = "Quillon";
}

std::string InstallFolderBeside(const std::string& libraryFolder) {
    namespace fs = std::filesystem;
    if (libraryFolder.empty()) return {};
    const fs::path library = platform::PathFromUtf8(libraryFolder);
    const fs::path beside = library / kFolderName;
    const fs::path shared = library.parent_path().parent_path() / "share" / kFolderName;
    std::error_code error;
    for (const fs::path& candidate : {beside, shared})
        if (fs::is_directory(candidate / "Data", error)) return platform::Utf8FromPath(candidate.lexically_normal());
    return platform::Utf8FromPath(beside.lexically_normal());
}

std::string FindInstallFolder(const platform::ISettingsStore& settings) {
    const platform::SettingRead setting = settings.ReadSetting(platform::kSettingInstallFolder);
    if (!setting.text.empty()) return setting.text;
    return InstallFolderBeside(platform::ModuleFolder());
}

} // namespace quillon
