#include "files/TPresetsFileManager.h"

#include "files/LittleEndian.h"
#include "files/ZlibCodec.h"
#include "platform/ReadWholeFile.h"
#include "platform/SafeFileWriter.h"

#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillon {

namespace fs = std::filesystem;
using platform::PromptAnswer;
using platform::PromptButtons;

struct TPresetsFileManager::Format {
    std::string_view identifier;   // file identifier text, stored with a NUL in a field of identifierField
    std::size_t identifierField;   // bytes
    std::size_t payloadSizeOffset; // int32 payload size in bytes
    std::size_t headerSize;        // bytes before the payload
    std::size_t contentSize;       // inflated payload: the records, bytes
    const char* notValidMessage;
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
    .notValidMessage = "The file is not a valid Quillon program!",
};
constexpr TPresetsFileManager::Format kBankFormat{
    .identifier = "Brindmor Patch Bank File",
    .identifierField = 25,
    .payloadSizeOffset = 76,
    .headerSize = TPresetsFileManager::kBankHeaderSize,
    .contentSize = TPresetsFileManager::kBankBytes,
    .notValidMessage = "The file is not a valid Quillon bank!",
};

static_assert(kProgramFormat.identifierField + kProductField + 1 == kProgramFormat.payloadSizeOffset);
static_assert(kBankFormat.identifierField + kProductField == kBankFormat.payloadSizeOffset);

constexpr const char* kFileNotFound = "File not found!";
constexpr const char* kWriteProtected = "The selected file is write protected!";
constexpr const char* kOverwriteQuestion = "Do you want to overwrite the existing file?";
constexpr const char* kZlibRejected = "Error";
constexpr const char* kZlibTooMuchData = "ZLib error: target buffer may be too small";

// The text of a fixed-size identifier field: its characters up to the first NUL. A field without NUL has
// no valid text (it can never equal an identifier, which is always shorter than its field).
bool FieldHolds(const std::uint8_t* field, std::size_t size, std::string_view expected) {
    const void* nul = std::memchr(field, 0, size);
    if (!nul)
        return false;
    const auto length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - field);
    return std::string_view(reinterpret_cast<const char*>(field), length) == expected;
}

} // namespace

bool TPresetsFileManager::LoadProgram(const std::string& path, ProgramSpan record) {
    return Load(kProgramFormat, path, record);
}

bool TPresetsFileManager::SaveProgram(const std::string& path, ConstProgramSpan record) {
    return Save(kProgramFormat, path, record);
}

bool TPresetsFileManager::LoadBank(const std::string& path, BankSpan records) {
    return Load(kBankFormat, path, records);
}

bool TPresetsFileManager::SaveBank(const std::string& path, ConstBankSpan records) {
    return Save(kBankFormat, path, records);
}

bool TPresetsFileManager::Load(const Format& format, const std::string& path, std::span<std::uint8_t> target) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        prompt_.ShowMessage(kFileNotFound);
        return false;
    }
    // The whole file at once: a file that changes while it is read is refused, never half taken.
    const platform::ReadFileResult file = platform::ReadWholeFile(path, format.headerSize + kMaxPayloadSize);
    if (file.status == platform::ReadFileStatus::kTooLarge) {
        prompt_.ShowMessage(format.notValidMessage); // longer than any valid file
        return false;
    }
    if (!file.Ok())
        throw PresetsFileError(file.message);
    const std::uintmax_t fileLength = file.bytes.size();
    if (fileLength < format.headerSize)
        throw PresetsFileError("Cannot read the file " + path + ": it ends within its " +
                               std::to_string(format.headerSize) + "-byte header");
    const std::uint8_t* header = file.bytes.data();

    const std::int64_t payloadSize = le::LoadI32(header + format.payloadSizeOffset);
    const bool valid = FieldHolds(header, format.identifierField, format.identifier) &&
                       FieldHolds(header + format.identifierField, kProductField, kProduct) &&
                       payloadSize >= 0 && static_cast<std::uintmax_t>(payloadSize) + format.headerSize == fileLength &&
                       payloadSize <= kMaxPayloadSize;
    if (!valid) {
        prompt_.ShowMessage(format.notValidMessage);
        return false;
    }
    const auto payload = std::span<const std::uint8_t>(file.bytes).subspan(format.headerSize);

    // Inflate into a buffer of our own, so that a failure leaves the caller's records untouched.
    std::vector<std::uint8_t> content(format.contentSize);
    switch (ZlibInflate(payload, content)) {
    case InflateResult::kComplete:
        break;
    case InflateResult::kShort:
        // Fewer bytes than the records need: taking them would leave part of a slot as it was before.
        prompt_.ShowMessage(format.notValidMessage);
        return false;
    case InflateResult::kTooMuchData:
        throw PresetsFileError(kZlibTooMuchData);
    case InflateResult::kCorrupt:
        throw PresetsFileError(kZlibRejected);
    }
    std::memcpy(target.data(), content.data(), content.size());
    return true;
}

bool TPresetsFileManager::Save(const Format& format, const std::string& path, std::span<const std::uint8_t> content) {
    std::error_code error;
    if (fs::exists(path, error)) {
        if (SafeFileWriter::IsWriteProtected(path)) {
            prompt_.ShowMessage(kWriteProtected);
            return false;
        }
        if (prompt_.Ask(kOverwriteQuestion, PromptButtons::kYesCancel) != PromptAnswer::kYes)
            return false;
    }

    std::vector<std::uint8_t> payload;
    try {
        payload = ZlibCompress(content);
    } catch (const ZlibError& e) {
        throw PresetsFileError(e.what());
    }

    std::vector<std::uint8_t> header(format.headerSize, 0);
    std::memcpy(header.data(), format.identifier.data(), format.identifier.size());
    std::memcpy(header.data() + format.identifierField, kProduct.data(), kProduct.size());
    le::StoreI32(header.data() + format.payloadSizeOffset, static_cast<std::int32_t>(payload.size()));

    try {
        SafeFileWriter::Write(path, {header, payload});
    } catch (const std::system_error& e) {
        throw PresetsFileError(e.what());
    }
    return true;
}

} // namespace quillon
