// Reads and writes harmony files (.bha): one harmony frame's 251 level bytes and 251 phase bytes
// (harmonics 0 … 250, element 0 being DC). The file is 525 bytes:
//   offset 0   21 bytes  "Brindmor Harmony File" (ASCII, no length prefix)
//   offset 21   1 byte   0, ending the identifier
//   offset 22   1 byte   version, written as 1 (0 and 1 are read)
//   offset 23 251 bytes  levels (0 full level, 0.5 dB steps of attenuation, 255 silent)
//   offset 274 251 bytes phases (128 = 0 rad)
// A manager is made for one operation. Every outcome comes back as a Status with the text for the user;
// the manager shows nothing itself.
//
// Threads: a manager serves one thread [gui].
#pragma once

#include "platform/Status.h"

#include <array>
#include <cstdint>
#include <string>

namespace quillon {

class THarmonyFileManager {
public:
    static constexpr int kHarmonicCount = 251;
    static constexpr int kHeaderSize = 23;
    static constexpr int kFileSize = kHeaderSize + 2 * kHarmonicCount; // 525
    static constexpr std::uint8_t kVersion = 1;
    static constexpr const char* kIdentifier = "Brindmor Harmony File";
    static constexpr const char* kNotFound = "File not found!";
    static constexpr const char* kNotHarmonyFile = "The file is not a valid Harmony file!";
    // Longer files are refused as not valid without being read (the bytes after 525 are never looked at).
    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    std::array<std::uint8_t, kHarmonicCount> levels{};
    std::array<std::uint8_t, kHarmonicCount> phases{};

    // Replaces the file at `path` with the header and the 502 data bytes. The new content is written to a
    // temporary file in the same folder and renamed over the old one, so a failure or a crash never leaves
    // a half-written file (kWriteError, naming the file and the reason).
    Status Save(const std::string& path) const;
    // Reads the file at `path` into levels and phases; on any failure the data is unchanged. kNotFound
    // (kNotFound text) for a missing file; kNotValid (kNotHarmonyFile) for a wrong identifier or version or
    // a file longer than kMaxFileBytes; kCannotOpen, kNotAFile, kChanged or kReadError naming the file when
    // it cannot be read, changes while it is read or holds fewer bytes than its header announces.
    Status Load(const std::string& path);

    // The 525 bytes of a file holding the current data.
    std::array<std::uint8_t, kFileSize> Bytes() const;
};

} // namespace quillon
