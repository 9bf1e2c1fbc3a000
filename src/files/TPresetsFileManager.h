// Program files (.bpa, one program record) and bank files (.bpb, 64 records). Both hold the records
// byte for byte as the plug-in keeps them, as one zlib stream behind a short header. All integers are
// little-endian.
//
// Program file: 0 "Brindmor Patch File" + NUL (20 bytes) | 20 "Quillon" + 44 NULs (51 bytes) |
//               71 padding 0 | 72 int32 payload size | 76 payload (55,504 bytes inflated)
// Bank file:    0 "Brindmor Patch Bank File" + NUL (25 bytes) | 25 "Quillon" + 44 NULs (51 bytes) |
//               76 int32 payload size | 80 payload (3,552,256 bytes inflated)
//
// An identifier is read up to its first NUL; a field without NUL, another text, or a file whose length
// is not exactly header + payload size is refused as not valid. Saving asks before it overwrites and
// writes through SafeFileWriter, so a failed save leaves the old file as it was.
//
// The outcomes the user decides on or can mend (missing file, wrong file, write-protected target) are
// shown through the prompt and give false. Input/output and zlib failures below that level throw
// PresetsFileError; what() is the text to show (a file that changes while it is read is one of them).
// Nothing is written into the caller's buffer unless the whole load succeeds. [gui]
#pragma once

#include "files/ProgramRecord.h"
#include "platform/IUserPrompt.h"

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace quillon {

// An input/output or zlib failure while reading or writing a program or bank file.
class PresetsFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TPresetsFileManager {
public:
    static constexpr std::size_t kBankPrograms = 64;
    static constexpr std::size_t kBankBytes = kBankPrograms * record::kRecordSize; // 3,552,256
    static constexpr std::size_t kProgramHeaderSize = 76;
    static constexpr std::size_t kBankHeaderSize = 80;
    // No valid payload comes near this (a bank compresses to at most about 3.6 MB): a larger size stated
    // in a header is refused before anything is allocated for it.
    static constexpr std::int64_t kMaxPayloadSize = 64 << 20;

    using ProgramSpan = std::span<std::uint8_t, record::kRecordSize>;
    using ConstProgramSpan = std::span<const std::uint8_t, record::kRecordSize>;
    using BankSpan = std::span<std::uint8_t, kBankBytes>;
    using ConstBankSpan = std::span<const std::uint8_t, kBankBytes>;

    explicit TPresetsFileManager(platform::IUserPrompt& prompt) : prompt_(prompt) {}

    // Reads a program file into `record`. False after telling the user why (missing or not a valid
    // program file); throws PresetsFileError on read or zlib failures.
    bool LoadProgram(const std::string& path, ProgramSpan record);
    // Writes one record as a program file. False when the target is write protected or the user declines
    // to overwrite it; throws PresetsFileError on compression or write failures.
    bool SaveProgram(const std::string& path, ConstProgramSpan record);
    // The same for bank files of 64 records back to back.
    bool LoadBank(const std::string& path, BankSpan records);
    bool SaveBank(const std::string& path, ConstBankSpan records);

    // The stored-format description of one file kind (program or bank).
    struct Format;

private:
    bool Load(const Format& format, const std::string& path, std::span<std::uint8_t> target);
    bool Save(const Format& format, const std::string& path, std::span<const std::uint8_t> content);

    platform::IUserPrompt& prompt_;
};

} // namespace quillon
