#include "files/TPresetsFileManager.h"

#include "files/LittleEndian.h"
#include "files/ZlibCodec.h"
#include "platform/ReadWholeFile.h"
#include "platform/SafeFileWriter.h"
#include "platform/Utf8Path.h"

#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

namespace quillon {

namespace fs = std::filesystem;

struct TPresetsFileManager::Format {
    std::string_view identifier;   // file identifier text, stored with a NUL in a field of identifierField
    std::size_t identifierField;   // bytes
    std::size_t payloadSizeOffset; // int32 payload size in bytes
    std::size_t headerSize;        // bytes before the payload
    std::size_t contentSize;       // inflated payload: the records, bytes
    const char* kind;              // "program" or "bank", for the reasons of a refusal
    const char* notValidMessage;   // the refusal as the plug-in shows it
};

namespace {

constexpr std::string_view kProduct = "Quillon";
constexpr std::size_t kProductField = 51; // bytes, right after the file identifier

constexpr TPresetsFileManager::Format kProgramFormat{
    .identifier = "Brindmor Patch File",
    .identifierField = 20,
    .payloadSizeOffset = 72,
    .headerSize = TPresetsFileManager::kProgramHeaderSize,
    .contentSize = record::kRecordSize,
    .kind = "program",
    .notValidMessage = "The file is not a valid Quillon program!",
};
constexpr TPresetsFileManager::Format kBankFormat{
    .identifier = "Brindmor Patch Bank File",
    .identifierField = 25,
    .payloadSizeOffset = 76,
    .headerSize = TPresetsFileManager::kBankHeaderSize,
    .contentSize = TPresetsFileManager::kBankBytes,
    .kind = "bank",
    .notValidMessage = "The file is not a valid Quillon bank!",
};

static_assert(kProgramFormat.identifierField + kProductField + 1 == kProgramFormat.payloadSizeOffset);
static_assert(kBankFormat.identifierField + kProductField == kBankFormat.payloadSizeOffset);

constexpr const char* kFileNotFound = "File not found!";
constexpr const char* kWriteProtected = "The selected file is write protected!";
constexpr const char* kZlibRejected = "Error";
constexpr const char* kZlibTooMuchData = "ZLib error: target buffer may be too small";

// The text of a fixed-size identifier field: its characters up to the first NUL. A field without NUL has
// no valid text (it can never equal an identifier, which is always shorter than its field).
bool FieldHolds(const std::uint8_t* field, std::size_t size, std::string_view expected) {
    const void* nul = std::memchr(field, 0, size);
    if (!nul) return false;
    const auto length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - field);
    return std::string_view(reinterpret_cast<const char*>(field), length) == expected;
}

Status Payload(const TPresetsFileManager::Format& format, std::span<const std::uint8_t> file,
               std::span<const std::uint8_t>& payload) {
    const std::string invalid = std::string("not a valid Quillon ") + format.kind + " file";
    if (file.size() < format.headerSize)
        return Status::Failure(StatusCode::kNotValid,
                               invalid + " (shorter than its " + std::to_string(format.headerSize) + "-byte header)");
    if (!FieldHolds(file.data(), format.identifierField, format.identifier))
        return Status::Failure(StatusCode::kNotValid,
                               invalid + " (file identifier is not \"" + std::string(format.identifier) + "\")");
    if (!FieldHolds(file.data() + format.identifierField, kProductField, kProduct))
        return Status::Failure(StatusCode::kNotValid, invalid + " (product is not \"" + std::string(kProduct) + "\")");
    const std::int64_t size = le::LoadI32(file.data() + format.payloadSizeOffset);
    const std::size_t follows = file.size() - format.headerSize;
    if (size < 0 || size > TPresetsFileManager::kMaxPayloadSize || static_cast<std::size_t>(size) != follows)
        return Status::Failure(StatusCode::kNotValid, invalid + " (payload size " + std::to_string(size) + " but " +
                                                          std::to_string(follows) + " bytes follow the header)");
    payload = file.subspan(format.headerSize);
    return Status::Success();
}

Status Parse(const TPresetsFileManager::Format& format, std::span<const std::uint8_t> file,
             std::span<std::uint8_t> target) {
    std::span<const std::uint8_t> payload;
    if (Status header = Payload(format, file, payload); !header.Ok()) return header;
    // Inflate into a buffer of our own, so that a failure leaves the caller's records untouched.
    std::vector<std::uint8_t> content(format.contentSize);
    std::size_t produced = 0;
    std::size_t consumed = 0;
    const std::string kind = format.kind;
    switch (ZlibInflate(payload, content, &produced, &consumed)) {
    case InflateResult::kComplete:
        break;
    case InflateResult::kShort:
        // Fewer bytes than the records need: taking them would leave part of a slot as it was before.
        return Status::Failure(StatusCode::kNotValid, kind + " payload inflates to " + std::to_string(produced) +
                                                          " bytes, not " + std::to_string(content.size()));
    case InflateResult::kTooMuchData:
        return Status::Failure(StatusCode::kTooMuchData,
                               kind + " payload inflates to more than " + std::to_string(content.size()) + " bytes");
    case InflateResult::kCorrupt:
        return Status::Failure(StatusCode::kCorrupt, kind + " payload does not inflate (no valid zlib stream)");
    }
    if (consumed != payload.size())
        return Status::Failure(StatusCode::kNotValid, std::to_string(payload.size() - consumed) +
                                                          " bytes after the end of the " + kind + "'s zlib stream");
    std::memcpy(target.data(), content.data(), content.size());
    return Status::Success();
}

Status Compose(const TPresetsFileManager::Format& format, std::span<const std::uint8_t> content,
               std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> payload;
    try {
        payload = ZlibCompress(content);
    } catch (const ZlibError& e) {
        return Status::Failure(StatusCode::kWriteError, e.what());
    }
    file.assign(format.headerSize, 0);
    std::memcpy(file.data(), format.identifier.data(), format.identifier.size());
    std::memcpy(file.data() + format.identifierField, kProduct.data(), kProduct.size());
    le::StoreI32(file.data() + format.payloadSizeOffset, static_cast<std::int32_t>(payload.size()));
    file.insert(file.end(), payload.begin(), payload.end());
    return Status::Success();
}

Status Load(const TPresetsFileManager::Format& format, const std::string& path, std::span<std::uint8_t> target) {
    std::error_code error;
    if (!fs::is_regular_file(platform::PathFromUtf8(path), error))
        return Status::Failure(StatusCode::kNotFound, kFileNotFound);
    // The whole file at once: a file that changes while it is read is refused, never half taken.
    const platform::ReadFileResult file =
        platform::ReadWholeFile(path, format.headerSize + TPresetsFileManager::kMaxPayloadSize);
    if (file.status.code == StatusCode::kTooLarge) // longer than any valid file
        return Status::Failure(StatusCode::kNotValid, format.notValidMessage);
    if (!file.Ok()) return file.status;
    if (file.bytes.size() < format.headerSize)
        return Status::Failure(StatusCode::kReadError, "Cannot read the file " + path + ": it ends within its " +
                                                           std::to_string(format.headerSize) + "-byte header");
    Status status = Parse(format, file.bytes, target);
    // The plug-in tells the user the kind of failure; the reasons in detail are for the command line.
    switch (status.code) {
    case StatusCode::kNotValid:
        status.message = format.notValidMessage;
        break;
    case StatusCode::kCorrupt:
        status.message = kZlibRejected;
        break;
    case StatusCode::kTooMuchData:
        status.message = kZlibTooMuchData;
        break;
    default:
        break;
    }
    return status;
}

Status Save(const TPresetsFileManager::Format& format, const std::string& path, std::span<const std::uint8_t> content) {
    if (SafeFileWriter::IsWriteProtected(path)) return Status::Failure(StatusCode::kWriteProtected, kWriteProtected);
    std::vector<std::uint8_t> file;
    if (Status composed = Compose(format, content, file); !composed.Ok()) return composed;
    return SafeFileWriter::Write(path, {file});
}

} // namespace

Status TPresetsFileManager::LoadProgram(const std::string& path, ProgramSpan record) {
    return Load(kProgramFormat, path, record);
}

Status TPresetsFileManager::SaveProgram(const std::string& path, ConstProgramSpan record) {
    return Save(kProgramFormat, path, record);
}

Status TPresetsFileManager::LoadBank(const std::string& path, BankSpan records) {
    return Load(kBankFormat, path, records);
}

Status TPresetsFileManager::SaveBank(const std::string& path, ConstBankSpan records) {
    return Save(kBankFormat, path, records);
}

Status TPresetsFileManager::ProgramPayload(std::span<const std::uint8_t> file, std::span<const std::uint8_t>& payload) {
    return Payload(kProgramFormat, file, payload);
}

Status TPresetsFileManager::BankPayload(std::span<const std::uint8_t> file, std::span<const std::uint8_t>& payload) {
    return Payload(kBankFormat, file, payload);
}

Status TPresetsFileManager::ParseProgram(std::span<const std::uint8_t> file, ProgramSpan record) {
    return Parse(kProgramFormat, file, record);
}

Status TPresetsFileManager::ParseBank(std::span<const std::uint8_t> file, BankSpan records) {
    return Parse(kBankFormat, file, records);
}

Status TPresetsFileManager::ComposeProgram(ConstProgramSpan record, std::vector<std::uint8_t>& file) {
    return Compose(kProgramFormat, record, file);
}

Status TPresetsFileManager::ComposeBank(ConstBankSpan records, std::vector<std::uint8_t>& file) {
    return Compose(kBankFormat, records, file);
}

} // namespace quillon
