// Turns a Quillon program file (.bpa), or each sound of a bank file (.bpb), into the program chunk that
// the plug-in takes through effSetChunk (isPreset = 1): a zlib stream of exactly one program record.
//
// The file format is TPresetsFileManager's (files/TPresetsFileManager.h): a short header, then a zlib
// payload of one record (program file) or 64 records back to back (bank file). A program file's payload
// already is a program chunk and is passed on as it is; a bank's payload is inflated and the chosen record
// deflated again.
#pragma once

#include "files/TPresetsFileManager.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

class TProgramFileChunk {
public:
    static constexpr std::size_t kRecordBytes = record::kRecordSize;                        // one program record
    static constexpr int kBankSlots = static_cast<int>(TPresetsFileManager::kBankPrograms); // records in a bank
    static constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

    // Each returns false and keeps a one-line reason in Error() on failure, with Chunk() then empty.
    bool LoadProgramFile(const std::string& path);
    bool LoadBankFile(const std::string& path, int slot); // slot 0..63
    bool FromProgramFile(std::span<const std::uint8_t> file);
    bool FromBankFile(std::span<const std::uint8_t> file, int slot);
    // Every sound of a bank file: BankChunks() then holds 64 program chunks, slot 0 first.
    bool LoadWholeBankFile(const std::string& path);
    bool FromWholeBankFile(std::span<const std::uint8_t> file);

    const std::vector<std::uint8_t>& Chunk() const { return chunk_; }
    const std::vector<std::vector<std::uint8_t>>& BankChunks() const { return bankChunks_; }
    const std::string& Error() const { return error_; }

private:
    bool Fail(std::string message);
    // The 64 records of a bank file's payload, back to back; empty with Error() set on failure.
    std::vector<std::uint8_t> BankRecords(std::span<const std::uint8_t> file);
    // One record deflated into a program chunk; empty with Error() set on failure.
    std::vector<std::uint8_t> RecordChunk(const std::uint8_t* record);

    std::vector<std::uint8_t> chunk_;
    std::vector<std::vector<std::uint8_t>> bankChunks_;
    std::string error_;
};

class TPluginHost;

// Puts what `file` holds into the loaded plug-in through effSetChunk: a bank's 64 sounds into programs 0..63,
// after which program `slot` is chosen, or else the program file's sound into the current program. Returns
// the text to show when the plug-in refuses a chunk; `source` names the file in it.
std::optional<std::string> SendSounds(TPluginHost& host, const TProgramFileChunk& file, int slot,
                                      const std::string& source);

} // namespace quillon
