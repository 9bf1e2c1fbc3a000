// The MIDI assignment file: MIDI learn's controller → parameter bindings, global to the installation (not
// part of any program). Two files lie in the installation folder's "Data" sub-folder: factory.bma, shipped
// and only read, and custom.bma, written whenever learning changes a binding. A plug-in instance reads the
// custom file when it exists, else the factory file, when it is created and after a reset.
//
// File layout (543 bytes, little-endian):
//   offset 0, 29 bytes   the characters "Brindmor Midi Assignment File"
//   offset 29, 1 byte    0
//   offset 30, 1 byte    version, 1
//   offset 31, 512 bytes 128 signed 32-bit entries; entry c is the parameter index (0..123) bound to
//                        controller c, or −1 for none
//
// The manager only reads and writes files; it never shows anything itself. A refusal comes back as the
// text to show, so that the caller can show it at once (the editor's reset) or later (a plug-in being
// constructed while a host scans, with no window to show it in). [gui]
#pragma once

#include "platform/ISettingsStore.h"
#include "platform/IUserPrompt.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillon {

class TMidiLearnFileManager {
public:
    static constexpr int kControllerCount = 128;
    static constexpr int kParameterCount = 124; // entries outside −1 … 123 bind nothing
    static constexpr std::size_t kFileSize = 543;
    static constexpr std::size_t kHeaderSize = 31;
    static constexpr std::uint8_t kVersion = 1;
    // A longer file is refused as corrupted without being read (bytes after 543 are never looked at).
    static constexpr std::size_t kMaxFileBytes = 1 << 20;
    static constexpr const char* kIdentifier = "Brindmor Midi Assignment File";
    static constexpr const char* kCorruptedMessage = "The Midi Assignment File is corrupted and can not be read";
    static constexpr const char* kNewerVersionMessage =
        "The Midi Assignment File is a newer version and can not be read.";
    static constexpr const char* kResetQuestion = "Your Custom Midi Learn Assignments will be lost and the\r"
                                                  "factory defaults reinstated.\r\rDo you which to continue?";

    using Table = std::array<int, kControllerCount>;
    using FileBytes = std::array<std::uint8_t, kFileSize>;

    struct ReadResult {
        bool read = false;   // the table holds a file's bindings (otherwise every entry is −1)
        std::string message; // the refusal to show the user; empty when there is none
    };

    // The installation folder from the settings (see files/InstallFolder.h).
    explicit TMidiLearnFileManager(const platform::ISettingsStore& settings);
    explicit TMidiLearnFileManager(std::string installFolder);

    const std::string& InstallFolder() const { return installFolder_; }
    std::string CustomPath() const;  // <installation folder>/Data/custom.bma
    std::string FactoryPath() const; // <installation folder>/Data/factory.bma

    // Fills the table from the custom file if it exists, else from the factory file if it exists. Neither
    // file: every entry −1, no message. A file that cannot be opened, is shorter than 543 bytes or does not
    // start with the identifier: every entry −1 and kCorruptedMessage; a version above 1: every entry −1
    // and kNewerVersionMessage; a file that changes while it is read: every entry −1 and a message naming
    // it. A refused custom file does not fall back to the factory file.
    ReadResult ReadAssignments(std::span<int, kControllerCount> table) const;
    // Writes the custom file (creating the Data folder when missing), replacing it atomically: a failed
    // write leaves the old file as it was. Throws std::system_error with a readable text on failure.
    void WriteAssignments(std::span<const int, kControllerCount> table) const;
    // Asks whether the custom assignments may go (Yes/Cancel); on Yes deletes the custom file, so that the
    // factory file is read next. True when the user answered Yes. Throws std::system_error when the file
    // exists and cannot be deleted.
    bool DeleteCustomAssignments(platform::IUserPrompt& prompt) const;

    // The file image of a table, and a table from a file image (the checks of ReadAssignments).
    static FileBytes Encode(std::span<const int, kControllerCount> table);
    static ReadResult Decode(std::span<const std::uint8_t> bytes, std::span<int, kControllerCount> table);

private:
    std::string installFolder_;
};

} // namespace quillon
