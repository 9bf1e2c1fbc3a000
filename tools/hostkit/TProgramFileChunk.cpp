#include "hostkit/TProgramFileChunk.h"

#include "hostkit/FileBytes.h"
#include "hostkit/TPluginHost.h"

#include <optional>

namespace quillon {

bool TProgramFileChunk::Fail(std::string message) {
    error_ = std::move(message);
    chunk_.clear();
    bankChunks_.clear();
    return false;
}

bool TProgramFileChunk::LoadProgramFile(const std::string& path) {
    std::string error;
    const std::optional<std::vector<std::uint8_t>> file = ReadFileBytes(path, kMaxFileBytes, error);
    if (!file) return Fail(error);
    if (!FromProgramFile(*file)) return Fail("'" + path + "': " + error_);
    return true;
}

bool TProgramFileChunk::LoadBankFile(const std::string& path, int slot) {
    std::string error;
    const std::optional<std::vector<std::uint8_t>> file = ReadFileBytes(path, kMaxFileBytes, error);
    if (!file) return Fail(error);
    if (!FromBankFile(*file, slot)) return Fail("'" + path + "': " + error_);
    return true;
}

bool TProgramFileChunk::FromProgramFile(std::span<const std::uint8_t> file) {
    error_.clear();
    std::span<const std::uint8_t> payload;
    if (const Status status = TPresetsFileManager::ProgramPayload(file, payload); !status.Ok())
        return Fail(status.message);
    if (payload.empty()) return Fail("not a valid Quillon program file (its payload is empty)");
    chunk_.assign(payload.begin(), payload.end());
    return true;
}

std::vector<std::uint8_t> TProgramFileChunk::BankRecords(std::span<const std::uint8_t> file) {
    std::vector<std::uint8_t> records(TPresetsFileManager::kBankBytes);
    const Status status = TPresetsFileManager::ParseBank(file, TPresetsFileManager::BankSpan(records));
    if (!status.Ok()) {
        Fail(status.message);
        return {};
    }
    return records;
}

std::vector<std::uint8_t> TProgramFileChunk::RecordChunk(const std::uint8_t* record) {
    // A program chunk is a program file's payload.
    std::vector<std::uint8_t> file;
    const Status status =
        TPresetsFileManager::ComposeProgram(TPresetsFileManager::ConstProgramSpan(record, kRecordBytes), file);
    if (!status.Ok()) {
        Fail("cannot compress the program (" + status.message + ")");
        return {};
    }
    file.erase(file.begin(), file.begin() + TPresetsFileManager::kProgramHeaderSize);
    return file;
}

bool TProgramFileChunk::FromBankFile(std::span<const std::uint8_t> file, int slot) {
    error_.clear();
    if (slot < 0 || slot >= kBankSlots)
        return Fail("bank slot " + std::to_string(slot) + " out of range (0.." + std::to_string(kBankSlots - 1) + ")");
    const std::vector<std::uint8_t> records = BankRecords(file);
    if (records.empty()) return false;
    std::vector<std::uint8_t> chunk = RecordChunk(records.data() + kRecordBytes * static_cast<std::size_t>(slot));
    if (chunk.empty()) return false;
    chunk_ = std::move(chunk);
    return true;
}

bool TProgramFileChunk::LoadWholeBankFile(const std::string& path) {
    std::string error;
    const std::optional<std::vector<std::uint8_t>> file = ReadFileBytes(path, kMaxFileBytes, error);
    if (!file) return Fail(error);
    if (!FromWholeBankFile(*file)) return Fail("'" + path + "': " + error_);
    return true;
}

bool TProgramFileChunk::FromWholeBankFile(std::span<const std::uint8_t> file) {
    error_.clear();
    bankChunks_.clear();
    const std::vector<std::uint8_t> records = BankRecords(file);
    if (records.empty()) return false;
    std::vector<std::vector<std::uint8_t>> chunks;
    for (int slot = 0; slot < kBankSlots; ++slot) {
        chunks.push_back(RecordChunk(records.data() + kRecordBytes * static_cast<std::size_t>(slot)));
        if (chunks.back().empty()) return false;
    }
    bankChunks_ = std::move(chunks);
    return true;
}

std::optional<std::string> SendSounds(TPluginHost& host, const TProgramFileChunk& file, int slot,
                                      const std::string& source) {
    const std::string refused = "the plug-in refused the program from '" + source + "'";
    if (file.BankChunks().empty())
        return host.SetChunk(file.Chunk(), true) == 0 ? std::optional(refused) : std::nullopt;
    const auto& chunks = file.BankChunks();
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        host.SetProgram(static_cast<vst2::VstInt32>(i));
        if (host.SetChunk(chunks[i], true) == 0) return refused;
    }
    host.SetProgram(slot);
    return std::nullopt;
}

} // namespace quillon
