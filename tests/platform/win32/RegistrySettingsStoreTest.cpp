// The registry settings store against the real registry, under a key of its own that is removed afterwards.
#include "platform/win32/RegistrySettingsStore.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace quillon::platform {
namespace {

class RegistrySettingsStoreTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kKey = L"SOFTWARE\\Brindmor Audio\\Quillon Registry Test";

    void SetUp() override { TearDown(); }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey);
    }

    RegistrySettingsStore store_{"SOFTWARE\\Brindmor Audio\\Quillon Registry Test"};
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
}

TEST_F(RegistrySettingsStoreTest, ReadsMachineValuesTheUserHasNotSet) {
    const std::wstring machine = L"C:\\Program Files\\Quillon";
    const auto bytes = static_cast<DWORD>((machine.size() + 1) * sizeof(wchar_t));
    for (const wchar_t* name : {L"InstallFolder", L"Manual"})
        if (RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, name, REG_SZ, machine.c_str(), bytes) != ERROR_SUCCESS)
            GTEST_SKIP() << "HKEY_LOCAL_MACHINE is not writable here";

    EXPECT_EQ(store_.ReadSetting("InstallFolder").text, "C:\\Program Files\\Quillon");
    ASSERT_TRUE(store_.WriteSetting("Manual", "C:/Users/me/manual.pdf"));
    EXPECT_EQ(store_.ReadSetting("Manual").text, "C:/Users/me/manual.pdf") << "the user's value comes first";
    EXPECT_EQ(store_.ReadSetting("InstallFolder").text, "C:\\Program Files\\Quillon");
}

} // namespace
} // namespace quillon::platform
