// The settings store: a handful of named text values the plug-in keeps between sessions — the remembered
// folders of the file dialogs, the installation folder and the path of the user's manual. Everything else
// that persists lives in programs, banks, host chunks and the MIDI assignment file.
//
// Threads: the store reads and writes files; it is used on the host's GUI thread and while the plug-in is
// constructed, never on the audio thread [gui].
#pragma once

#include <memory>
#include <string>

namespace quillon::platform {

// The value names.
inline constexpr const char* kSettingPresetProgramDir = "PresetProgramDir"; // folder of program files (.bpa)
inline constexpr const char* kSettingProgramBankDir = "ProgramBankDir";     // folder of bank files (.bpb)
inline constexpr const char* kSettingPresetHarmonyDir = "PresetHarmonyDir"; // folder of harmony files (.bha)
inline constexpr const char* kSettingAudioFileDir = "AudioFileDir";         // folder of WAV files to analyse
inline constexpr const char* kSettingInstallFolder = "InstallFolder";       // holds the "Data" folder
inline constexpr const char* kSettingManual = "Manual";                     // path of the user's manual
// Whose file dialogs and message boxes the editor shows: "system" the system's (on Linux the desktop's file
// dialogs, zenity or kdialog, where one is found), "editor" (any other text) its own; empty or missing, the
// platform's choice: the system's on Windows, the editor's own on Linux (SystemDialogsByDefault).
inline constexpr const char* kSettingFileDialog = "FileDialog";

struct SettingRead {
    // True when the store could be opened. A value missing from an opened store is still "found", with
    // empty text; callers tell "the store exists" from "the value is set" this way.
    bool found = false;
    std::string text; // the value; empty when it does not exist or the store could not be opened
};

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // Reads one value. [gui]
    virtual SettingRead ReadSetting(const std::string& name) const = 0;
    // Stores one value, creating the store when it is missing. False when the store could not be written;
    // nothing is reported to the user (callers ignore the result). [gui]
    virtual bool WriteSetting(const std::string& name, const std::string& text) = 0;
};

// The store of this platform for the user running the plug-in (on Linux the XDG configuration files).
std::unique_ptr<ISettingsStore> MakeSettingsStore();

} // namespace quillon::platform
