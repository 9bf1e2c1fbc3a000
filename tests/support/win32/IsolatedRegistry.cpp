// The Windows counterpart of IsolatedSettings.cpp, for the portable suite run on Windows: before any test,
// HKEY_CURRENT_USER is redirected (RegOverridePredefKey) to a fresh key of this run whose settings name an
// empty installation folder and choose the editor's own dialogs, so every plug-in the tests construct starts without
// learned controllers and writes nothing into the user's registry or folders. The user's key is read before the
// machine's, so the machine's values of an installed Quillon are hidden as well. Removed again after the last test.
#include "platform/ISettingsStore.h"
#include "platform/Utf8Path.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

class IsolatedRegistry : public ::testing::Environment {
public:
    void SetUp() override {
        scratch_ = L"SOFTWARE\\Quillon Tests " + std::to_wstring(GetCurrentProcessId());
        if (RegCreateKeyExW(HKEY_CURRENT_USER, scratch_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &user_,
                            nullptr) != ERROR_SUCCESS ||
            RegOverridePredefKey(HKEY_CURRENT_USER, user_) != ERROR_SUCCESS)
            throw std::runtime_error("cannot redirect HKEY_CURRENT_USER for the tests");
        folder_ = std::make_unique<quillon::test::TemporaryDirectory>();
        std::filesystem::create_directory(quillon::platform::PathFromUtf8(*folder_ / "install"));
        quillon::platform::RegistrySettingsStore().WriteSetting(quillon::platform::kSettingInstallFolder,
                                                                *folder_ / "install");
        quillon::platform::RegistrySettingsStore().WriteSetting(quillon::platform::kSettingManual, "");
        // The editor's own message boxes and file dialogs, as on Linux: the system's are modal and would wait
        // for a user.
        quillon::platform::RegistrySettingsStore().WriteSetting(quillon::platform::kSettingFileDialog, "editor");
    }
    void TearDown() override {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (user_) RegCloseKey(user_);
        RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str());
        folder_.reset();
    }

private:
    std::wstring scratch_;
    HKEY user_ = nullptr;
    std::unique_ptr<quillon::test::TemporaryDirectory> folder_;
};

[[maybe_unused]] ::testing::Environment* const kIsolatedRegistry =
    ::testing::AddGlobalTestEnvironment(new IsolatedRegistry);

} // namespace
