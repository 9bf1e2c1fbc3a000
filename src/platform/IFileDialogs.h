// The file dialogs through which the user picks program, bank, harmony and audio files, and the folder
// chooser. What each dialog shows is fixed data here; how it is shown is the platform's, behind
// IFileDialogs (the editor brings the implementation).
//
// Every dialog is modal and starts in a remembered folder: its folder setting, read from the settings store
// whenever the store could be opened — even when the value is empty, which leaves the start to the system's
// default folder. Nothing else is preset: no file name, filter index 1. The program and bank save dialogs do
// not ask before overwriting, since those file commands ask themselves; the harmony save, whose command asks
// nobody, asks in its dialog. [gui]
#pragma once

#include "platform/ISettingsStore.h"

#include <optional>
#include <string>

namespace quillon::platform {

enum class FileDialogMode { kOpen, kSave };

struct FileDialogSpec {
    FileDialogMode mode;
    const char* title;
    const char* defaultExtension; // without the dot; added to a typed name without one
    const char* filter;           // one entry: description, "|", pattern
    const char* folderSetting;    // the settings value that holds the start folder
};

inline constexpr FileDialogSpec kOpenProgramDialog{FileDialogMode::kOpen, "Open Program File", "bpa",
                                                   "Brindmor Program|*.bpa", kSettingPresetProgramDir};
inline constexpr FileDialogSpec kSaveProgramDialog{FileDialogMode::kSave, "Save Program File", "bpa",
                                                   "Brindmor Program|*.bpa", kSettingPresetProgramDir};
inline constexpr FileDialogSpec kOpenAudioFileDialog{FileDialogMode::kOpen, "Open Audio File", "wav", "Wave File|*.wav",
                                                     kSettingAudioFileDir};
inline constexpr FileDialogSpec kSaveProgramBankDialog{FileDialogMode::kSave, "Save Program Bank", "bpb",
                                                       "Brindmor Program Bank|*.bpb", kSettingProgramBankDir};
inline constexpr FileDialogSpec kOpenHarmonyDialog{FileDialogMode::kOpen, "Open Harmony File", "bha",
                                                   "Brindmor Harmony|*.bha", kSettingPresetHarmonyDir};
inline constexpr FileDialogSpec kSaveHarmonyDialog{FileDialogMode::kSave, "Save Harmony File", "bha",
                                                   "Brindmor Harmony|*.bha", kSettingPresetHarmonyDir};

// Captions of the folder chooser as the editor uses it; a confirmed folder is stored with WriteSetting.
inline constexpr const char* kChooseProgramFolderCaption = "Change default directory for programs.";
inline constexpr const char* kChooseBankFolderCaption = "Change default directory for banks.";
inline constexpr const char* kChooseHarmonyFolderCaption = "Change default directory for harmony files.";

// The folder a dialog starts in: the setting's text when the store could be opened (possibly empty, which
// means the system's default), nothing when it could not.
inline std::optional<std::string> DialogStartFolder(const FileDialogSpec& dialog, const ISettingsStore& settings) {
    SettingRead read = settings.ReadSetting(dialog.folderSetting);
    if (!read.found) return std::nullopt;
    return std::move(read.text);
}

class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;

    // Shows a dialog modally, starting in `startFolder` (the system's default when empty or absent). The
    // chosen path when the user confirms, nothing when the user cancels.
    virtual std::optional<std::string> ShowFileDialog(const FileDialogSpec& dialog,
                                                      const std::optional<std::string>& startFolder) = 0;

    // The folder chooser: a modal browser of file-system folders titled `caption`, rooted at `root` (the
    // whole file system when empty). A `path` that is not an existing folder is cleared first; a non-empty
    // one is selected when the browser opens. While it is open the plug-in's other windows take no input.
    // When the user picks a folder, `path` becomes it and the result is true; otherwise `path` is left as
    // it is (after the clearing) and the result is false.
    virtual bool ChooseFolder(const std::string& caption, const std::string& root, std::string& path) = 0;
};

} // namespace quillon::platform
