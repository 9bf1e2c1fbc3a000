// The registry settings store against the registry, with HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE redirected
// (RegOverridePredefKey) to two keys of the test's own for its duration: the store runs unchanged, under its
// real key, and the user's and the machine's settings are never touched.
#include "platform/win32/RegistrySettingsStore.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace quillon::platform {
namespace {

class RegistrySettingsStoreTest : public ::testing::Test {
protected:
    // The store's key, as seen below the redirected roots.
    static constexpr const wchar_t* kKey = L"SOFTWARE\\Brindmor Audio\\Quillon";

    void SetUp() override {
        scratch_ = L"SOFTWARE\\Quillon Registry Test " + std::to_wstring(GetCurrentProcessId());
        RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str()); // left over by a crashed run
        user_ = CreateKey(HKEY_CURRENT_USER, scratch_ + L"\\user");
        machine_ = CreateKey(HKEY_CURRENT_USER, scratch_ + L"\\machine");
        ASSERT_TRUE(user_ && machine_);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, user_), ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_), ERROR_SUCCESS);
    }
    void TearDown() override {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr); // the real roots again
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        if (user_) RegCloseKey(user_);
        if (machine_) RegCloseKey(machine_);
        RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str());
    }

    static HKEY CreateKey(HKEY root, const std::wstring& path) {
        HKEY key = nullptr;
        return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
                       ERROR_SUCCESS
                   ? key
                   : nullptr;
    }
    // A value as the registry holds it below one of the redirected roots, through its own handle.
    static std::wstring Stored(HKEY root, const wchar_t* name) {
        wchar_t text[512] = {};
        DWORD bytes = sizeof text;
        if (RegGetValueW(root, kKey, name, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS) return L"<none>";
        return text;
    }
    static bool HasStoreKey(HKEY root) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    void SetMachineValue(const wchar_t* name, const std::wstring& text) const {
        const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        ASSERT_EQ(RegSetKeyValueW(machine_, kKey, name, REG_SZ, text.c_str(), bytes), ERROR_SUCCESS);
    }

    std::wstring scratch_;
    HKEY user_ = nullptr;
    HKEY machine_ = nullptr;
    RegistrySettingsStore store_;
};

TEST_F(RegistrySettingsStoreTest, KeepsMissingApartFromEmptyAndRoundTripsUtf8) {
    EXPECT_FALSE(store_.ReadSetting("PresetProgramDir").found) << "no key yet: the store does not exist";

    const std::string folder = "C:/Users/J\xC3\xB6rg/Musik/\xE9\x9F\xB3"; // ö and a CJK character
    ASSERT_TRUE(store_.WriteSetting("PresetProgramDir", folder));
    ASSERT_TRUE(store_.WriteSetting("AudioFileDir", ""));

    const SettingRead read = store_.ReadSetting("presetprogramdir"); // names ignore case, as in the registry
    EXPECT_TRUE(read.found);
    EXPECT_EQ(read.text, folder);
    const SettingRead empty = store_.ReadSetting("AudioFileDir");
    EXPECT_TRUE(empty.found);
    EXPECT_EQ(empty.text, "");
    const SettingRead missing = store_.ReadSetting("Manual");
    EXPECT_TRUE(missing.found) << "the key exists, so a missing value is found and empty";
    EXPECT_EQ(missing.text, "");

    ASSERT_TRUE(store_.WriteSetting("PresetProgramDir", "D:/Programs"));
    EXPECT_EQ(store_.ReadSetting("PresetProgramDir").text, "D:/Programs");
    EXPECT_EQ(Stored(user_, L"PresetProgramDir"), L"D:/Programs") << "written below the redirected user root";
}

TEST_F(RegistrySettingsStoreTest, RoundTripsEveryNamedSettingIntoTheUsersKeyOnly) {
    const std::vector<std::string> names = {kSettingPresetProgramDir, kSettingProgramBankDir, kSettingPresetHarmonyDir,
                                            kSettingAudioFileDir,     kSettingInstallFolder,  kSettingManual,
                                            kSettingFileDialog};
    for (const std::string& name : names)
        ASSERT_TRUE(store_.WriteSetting(name, "D:/Kl\xC3\xA4nge/" + name)) << name;
    ASSERT_TRUE(store_.WriteSetting(kSettingFileDialog, "system"));
    for (const std::string& name : names) {
        const SettingRead read = store_.ReadSetting(name);
        EXPECT_TRUE(read.found) << name;
        EXPECT_EQ(read.text, name == kSettingFileDialog ? "system" : "D:/Kl\xC3\xA4nge/" + name);
    }
    EXPECT_EQ(Stored(user_, L"ProgramBankDir"), L"D:/Kl\u00E4nge/ProgramBankDir");
    EXPECT_FALSE(HasStoreKey(machine_)) << "nothing is ever written for the whole machine";
    EXPECT_FALSE(store_.WriteSetting("", "x")) << "a value needs a name";
}

TEST_F(RegistrySettingsStoreTest, ReadsMachineValuesTheUserHasNotSet) {
    const std::wstring machine = L"C:\\Program Files\\Quillon";
    SetMachineValue(L"InstallFolder", machine);
    SetMachineValue(L"Manual", machine + L"\\Manual.pdf");
    const SettingRead unset = store_.ReadSetting("PresetHarmonyDir");
    EXPECT_TRUE(unset.found) << "the machine's key alone makes the store exist";
    EXPECT_EQ(unset.text, "");

    EXPECT_EQ(store_.ReadSetting("InstallFolder").text, "C:\\Program Files\\Quillon");
    ASSERT_TRUE(store_.WriteSetting("Manual", "C:/Users/me/manual.pdf"));
    EXPECT_EQ(store_.ReadSetting("Manual").text, "C:/Users/me/manual.pdf") << "the user's value comes first";
    EXPECT_EQ(store_.ReadSetting("InstallFolder").text, "C:\\Program Files\\Quillon");
    EXPECT_EQ(Stored(machine_, L"Manual"), machine + L"\\Manual.pdf") << "the machine's value stays";

    // A user's value that is no string does not hide the machine's.
    const DWORD number = 7;
    ASSERT_EQ(RegSetKeyValueW(user_, kKey, L"InstallFolder", REG_DWORD, &number, sizeof number), ERROR_SUCCESS);
    EXPECT_EQ(store_.ReadSetting("InstallFolder").text, "C:\\Program Files\\Quillon");
}

} // namespace
} // namespace quillon::platform
