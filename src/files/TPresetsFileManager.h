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
// is not exactly header + payload size is refused as not valid. Saving writes through SafeFileWriter, so a
// failed save leaves the old file as it was; whether an existing file may be overwritten is the caller's
// question to ask.
//
// Every outcome comes back as a Status; the manager shows and asks nothing. Nothing is written into the
// caller's buffer unless the whole load succeeds. The parse and compose functions hold the format alone
// (no files) and serve every reader of these files, the command-line host's among them. [gui]
#pragma once

#include "files/ProgramRecord.h"
#include "platform/Status.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillon {

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

    // Reads a program file into `record`. kNotFound ("File not found!") for a missing file; kNotValid
    // ("The file is not a valid Quillon program!") for a wrong header, payload size or record size, or a
    // file longer than any valid one; kCorrupt ("Error") for a payload that is no zlib stream; kTooMuchData
    // ("ZLib error: target buffer may be too small") for one that inflates beyond the record; kReadError,
    // kChanged, ... naming the file when it cannot be read whole.
    Status LoadProgram(const std::string& path, ProgramSpan record);
    // Writes one record as a program file, replacing an existing one (asking first is the caller's part).
    // kWriteProtected ("The selected file is write protected!") for a protected target, kWriteError naming
    // the file and the reason when it cannot be written; the old file is then as it was.
    Status SaveProgram(const std::string& path, ConstProgramSpan record);
    // The same for bank files of 64 records back to back ("... not a valid Quillon bank!").
    Status LoadBank(const std::string& path, BankSpan records);
    Status SaveBank(const std::string& path, ConstBankSpan records);

    // The zlib payload of a program or bank file's bytes, after checking the header; kNotValid with the
    // reason ("not a valid Quillon program file (...)") otherwise.
    static Status ProgramPayload(std::span<const std::uint8_t> file, std::span<const std::uint8_t>& payload);
    static Status BankPayload(std::span<const std::uint8_t> file, std::span<const std::uint8_t>& payload);
    // A whole file's bytes into the records: the header checks, then the payload inflated. kNotValid with the
    // reason for a wrong header, a stream that ends short of the records or bytes after the stream;
    // kCorrupt for a payload that is no zlib stream; kTooMuchData for one longer than the records.
    static Status ParseProgram(std::span<const std::uint8_t> file, ProgramSpan record);
    static Status ParseBank(std::span<const std::uint8_t> file, BankSpan records);
    // The bytes of a file holding the records; kWriteError when they cannot be compressed.
    static Status ComposeProgram(ConstProgramSpan record, std::vector<std::uint8_t>& file);
    static Status ComposeBank(ConstBankSpan records, std::vector<std::uint8_t>& file);

    // The stored-format description of one file kind (program or bank).
    struct Format;
};

} // namespace quillon
