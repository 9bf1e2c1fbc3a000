// The settings store on Linux: text files in the XDG configuration folders.
//
// - Per-user file: $XDG_CONFIG_HOME/Brindmor Audio/Quillon/settings.conf ($XDG_CONFIG_HOME defaults to
//   ~/.config). Every write goes here.
// - Machine-wide files: the same relative path under each folder of $XDG_CONFIG_DIRS (default /etc/xdg),
//   read, in that order, for values the user's file does not hold. An installation for every user puts its
//   "InstallFolder" there.
//
// File format: UTF-8 text, one value per line, `Name=text`. The name is everything before the first "=",
// without surrounding blanks, matched without regard to ASCII case (as the value names of a registry key
// are); the text is everything after it, verbatim, with these escapes: \\ a backslash, \n a line feed,
// \r a carriage return, \t a tab, \xHH any other byte below 0x20 or 0x7F. Empty lines and lines starting
// with "#" or ";" are comments. When a name appears twice the later line wins.
//
// A write reads the user's file, replaces (or appends) the one line and replaces the file atomically
// (temporary file, flush, rename), holding an exclusive lock on the folder so that two plug-in instances
// writing at once do not lose each other's values. Other lines, comments included, are kept. [gui]
#pragma once

#include "platform/ISettingsStore.h"

#include <string>
#include <vector>

namespace quillon::platform {

class XdgSettingsStore : public ISettingsStore {
public:
    // The files named by the environment as it is now.
    XdgSettingsStore();
    // Explicit files: the user's file (read and written) and machine-wide files (read only, in order).
    XdgSettingsStore(std::string userFile, std::vector<std::string> machineFiles);

    SettingRead ReadSetting(const std::string& name) const override;
    bool WriteSetting(const std::string& name, const std::string& text) override;

    const std::string& UserFile() const { return userFile_; }
    const std::vector<std::string>& MachineFiles() const { return machineFiles_; }

    // Path of the settings file below a configuration folder: "<folder>/Brindmor Audio/Quillon/settings.conf".
    static std::string FileBelow(const std::string& configFolder);
    // The text of a value as stored in a line, and back. Unescape leaves an unknown escape as it stands.
    static std::string Escape(const std::string& text);
    static std::string Unescape(const std::string& stored);

private:
    std::string userFile_;
    std::vector<std::string> machineFiles_;
};

} // namespace quillon::platform
