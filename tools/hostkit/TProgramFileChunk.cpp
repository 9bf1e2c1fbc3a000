#include "hostkit/TProgramFileChunk.h"

#include "hostkit/FileBytes.h"

#include <zlib.h>

#include <cstring>
#include <optional>

namespace quillon {

namespace {

constexpr const char* kProgramIdentifier = "Brindmor Patch File";
constexpr const char* kBankIdentifier = "Brindmor Patch Bank File";
constexpr const char* kProduct = "Quillon";
constexpr std::size_t kProgramIdentifierBytes = 20;
constexpr std::size_t kBankIdentifierBytes = 25;
constexpr std::size_t kProductBytes = 51;
constexpr std::size_t kProgramHeaderBytes = 76; // identifier, product, one padding byte, payload size
constexpr std::size_t kBankHeaderBytes = 80;    // identifier, product, payload size

// The text of a fixed field up to its first NUL; nothing when the field holds no NUL.
std::optional<std::string> FieldText(std::span<const std::uint8_t> field) {
    const auto* begin = reinterpret_cast<const char*>(field.data());
    const void* nul = std::memchr(begin, '\0', field.size());
    if (nul == nullptr) return std::nullopt;
    return std::string(begin, static_cast<const char*>(nul));
}

} // namespace

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

std::span<const std::uint8_t> TProgramFileChunk::Payload(std::span<const std::uint8_t> file,
                                                         const std::string& identifier, std::size_t identifierBytes,
                                                         std::size_t headerBytes, const char* kind) {
    const std::string invalid = std::string("not a valid Quillon ") + kind + " file";
    if (file.size() < headerBytes) {
        Fail(invalid + " (shorter than its " + std::to_string(headerBytes) + "-byte header)");
        return {};
    }
    if (FieldText(file.subspan(0, identifierBytes)) != identifier) {
        Fail(invalid + " (file identifier is not \"" + identifier + "\")");
        return {};
    }
    if (FieldText(file.subspan(identifierBytes, kProductBytes)) != std::string(kProduct)) {
        Fail(invalid + " (product is not \"" + kProduct + "\")");
        return {};
    }
    const std::size_t at = headerBytes - 4;
    const auto size = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(file[at]) | static_cast<std::uint32_t>(file[at + 1]) << 8 |
        static_cast<std::uint32_t>(file[at + 2]) << 16 | static_cast<std::uint32_t>(file[at + 3]) << 24);
    if (size <= 0 || static_cast<std::size_t>(size) != file.size() - headerBytes) {
        Fail(invalid + " (payload size " + std::to_string(size) + " but " + std::to_string(file.size() - headerBytes) +
             " bytes follow the header)");
        return {};
    }
    return file.subspan(headerBytes);
}

bool TProgramFileChunk::FromProgramFile(std::span<const std::uint8_t> file) {
    error_.clear();
    const std::span<const std::uint8_t> payload =
        Payload(file, kProgramIdentifier, kProgramIdentifierBytes, kProgramHeaderBytes, "program");
    if (payload.empty()) return false;
    chunk_.assign(payload.begin(), payload.end());
    return true;
}

std::vector<std::uint8_t> TProgramFileChunk::BankRecords(std::span<const std::uint8_t> file) {
    const std::span<const std::uint8_t> payload =
        Payload(file, kBankIdentifier, kBankIdentifierBytes, kBankHeaderBytes, "bank");
    if (payload.empty()) return {};

    // The payload must be one zlib stream of exactly 64 records.
    std::vector<std::uint8_t> records(kRecordBytes * kBankSlots + 1);
    uLongf inflated = static_cast<uLongf>(records.size());
    uLong consumed = static_cast<uLong>(payload.size());
    const int inflateResult = uncompress2(records.data(), &inflated, payload.data(), &consumed);
    if (inflateResult != Z_OK) {
        Fail("bank payload does not inflate (" + std::string(zError(inflateResult)) + ")");
        return {};
    }
    if (consumed != payload.size()) {
        Fail(std::to_string(payload.size() - consumed) + " bytes after the end of the bank's zlib stream");
        return {};
    }
    if (inflated != kRecordBytes * kBankSlots) {
        Fail("bank payload inflates to " + std::to_string(inflated) + " bytes, not " +
             std::to_string(kRecordBytes * kBankSlots));
        return {};
    }
    records.resize(inflated);
    return records;
}

std::vector<std::uint8_t> TProgramFileChunk::RecordChunk(const std::uint8_t* record) {
    uLongf deflated = compressBound(kRecordBytes);
    std::vector<std::uint8_t> chunk(deflated);
    const int deflateResult = compress2(chunk.data(), &deflated, record, kRecordBytes, Z_BEST_COMPRESSION);
    if (deflateResult != Z_OK) {
        Fail("cannot compress the program (" + std::string(zError(deflateResult)) + ")");
        return {};
    }
    chunk.resize(deflated);
    return chunk;
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

} // namespace quillon
