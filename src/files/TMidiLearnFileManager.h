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
// The manager only reads and writes files; it never shows or asks anything itself. Every outcome comes
// back as a Status with the text to show, so that the caller can show it at once (the editor's reset) or
// later (a plug-in being constructed while a host scans, with no window to show it in). [gui]
#pragma once

#include "platform/ISettingsStore.h"
#include "platform/Status.h"

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

    using Table = std::array<int, kControllerCount>;
    using FileBytes = std::array<std::uint8_t, kFileSize>;

    // The installation folder from the settings (see files/InstallFolder.h).
    explicit TMidiLearnFileManager(const platform::ISettingsStore& settings);
    explicit TMidiLearnFileManager(std::string installFolder);

    const std::string& InstallFolder() const { return installFolder_; }
    std::string CustomPath() const;  // <installation folder>/Data/custom.bma
    std::string FactoryPath() const; // <installation folder>/Data/factory.bma

    // Fills the table from the custom file if it exists, else from the factory file if it exists; kOk when
    // the table holds a file's bindings. Otherwise every entry is −1 and the code says why: kNotFound with
    // no text when neither file exists (nothing learned, nothing to tell); kNotValid with kCorruptedMessage
    // for a file that cannot be opened, is shorter than 543 bytes or does not start with the identifier;
    // kNewerVersion with kNewerVersionMessage for a version above 1; kChanged naming the file when it
    // changes while it is read. A refused custom file does not fall back to the factory file.
    Status ReadAssignments(std::span<int, kControllerCount> table) const;
    // Writes the custom file (creating the Data folder when missing), replacing it atomically: a failed
    // write (kWriteError, or kNotFound when the installation folder is not known) leaves the old file as
    // it was.
    Status WriteAssignments(std::span<const int, kControllerCount> table) const;
    // Deletes the custom file, so that the factory file is read next; kOk when there is none. kWriteError
    // when the file exists and cannot be deleted.
    Status DeleteCustomAssignments() const;

    // The file image of a table, and a table from a file image (the checks of ReadAssignments).
    static FileBytes Encode(std::span<const int, kControllerCount> table);
    static Status Decode(std::span<const std::uint8_t> bytes, std::span<int, kControllerCount> table);

private:
    std::string installFolder_;
};

} // namespace quillon
