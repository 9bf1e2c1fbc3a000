// The settings store on Windows: string values (REG_SZ) of one registry key, under the same value names the
// Linux store uses.
//
// - The user's key: HKEY_CURRENT_USER\SOFTWARE\Brindmor Audio\Quillon. Every write goes here, and it is
//   read first.
// - The machine-wide key: HKEY_LOCAL_MACHINE\SOFTWARE\Brindmor Audio\Quillon, read for values the user's
//   key does not hold. An installation for every user puts "InstallFolder" and "Manual" there. A 32-bit
//   plug-in on 64-bit Windows sees the 32-bit view of that key (WOW6432Node), as its installer wrote it.
//
// A read is "found" when either key could be opened, even when the value is missing from both (its text is
// then empty); a value that is there with empty text is found and empty as well. Value names are matched
// without regard to case, as the registry does. Texts are stored as UTF-16 and handed over as UTF-8.
// Writes replace the one value; the registry keeps concurrent writers of different values apart. [gui]
#pragma once

#include "platform/ISettingsStore.h"

#include <string>

namespace quillon::platform {

class RegistrySettingsStore : public ISettingsStore {
public:
    static constexpr const char* kKey = "SOFTWARE\\Brindmor Audio\\Quillon";

    // The user's and the machine's keys at `key` (below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE).
    explicit RegistrySettingsStore(std::string key = kKey);

    SettingRead ReadSetting(const std::string& name) const override;
    bool WriteSetting(const std::string& name, const std::string& text) override;

    const std::string& Key() const { return key_; }

private:
    std::string key_;
};

} // namespace quillon::platform
