#include "files/TMidiLearnFileManager.h"

#include "files/LittleEndian.h"
#include "files/InstallFolder.h"
#include "platform/ReadWholeFile.h"
#include "platform/SafeFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace quillon {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kIdentifierField = 30; // the identifier and its terminating 0
constexpr std::size_t kVersionOffset = 30;

std::string DataFile(const std::string& installFolder, const char* name) {
    if (installFolder.empty()) return {};
    return (fs::path(installFolder) / "Data" / name).string();
}

TMidiLearnFileManager::ReadResult Refused(std::span<int, TMidiLearnFileManager::kControllerCount> table,
                                          const char* message) {
    std::fill(table.begin(), table.end(), -1);
    return {false, message};
}

} // namespace

TMidiLearnFileManager::TMidiLearnFileManager(const platform::ISettingsStore& settings)
    : installFolder_(FindInstallFolder(settings)) {}

TMidiLearnFileManager::TMidiLearnFileManager(std::string installFolder) : installFolder_(std::move(installFolder)) {}

std::string TMidiLearnFileManager::CustomPath() const {
    return DataFile(installFolder_, "custom.bma");
}

std::string TMidiLearnFileManager::FactoryPath() const {
    return DataFile(installFolder_, "factory.bma");
}

TMidiLearnFileManager::FileBytes TMidiLearnFileManager::Encode(std::span<const int, kControllerCount> table) {
    FileBytes bytes{};
    std::memcpy(bytes.data(), kIdentifier, std::strlen(kIdentifier)); // byte 29 stays 0
    bytes[kVersionOffset] = kVersion;
    for (std::size_t c = 0; c < kControllerCount; ++c)
        le::StoreI32(bytes.data() + kHeaderSize + 4 * c, table[c]);
    return bytes;
}

TMidiLearnFileManager::ReadResult TMidiLearnFileManager::Decode(std::span<const std::uint8_t> bytes,
                                                                std::span<int, kControllerCount> table) {
    if (bytes.size() < kHeaderSize) return Refused(table, kCorruptedMessage);
    // The identifier is the text up to the first 0 within the first 30 bytes.
    const auto* field = reinterpret_cast<const char*>(bytes.data());
    const std::string identifier(field, strnlen(field, kIdentifierField));
    if (identifier != kIdentifier) return Refused(table, kCorruptedMessage);
    if (bytes[kVersionOffset] > kVersion) return Refused(table, kNewerVersionMessage);
    if (bytes.size() < kFileSize) return Refused(table, kCorruptedMessage); // the entries are cut off
    for (std::size_t c = 0; c < kControllerCount; ++c) {
        const int parameter = le::LoadI32(bytes.data() + kHeaderSize + 4 * c);
        // An entry no parameter answers to would only keep its controller from being learned.
        table[c] = parameter >= 0 && parameter < kParameterCount ? parameter : -1;
    }
    return {true, {}};
}

TMidiLearnFileManager::ReadResult TMidiLearnFileManager::ReadAssignments(std::span<int, kControllerCount> table) const {
    std::error_code error;
    std::string path = CustomPath();
    if (path.empty() || !fs::exists(path, error)) {
        path = FactoryPath();
        if (path.empty() || !fs::exists(path, error))
            return Refused(table, ""); // nothing installed, nothing learned: no message
    }
    // The whole file at once: one that changes while it is read is refused, never half taken.
    const platform::ReadFileResult file = platform::ReadWholeFile(path, kMaxFileBytes);
    if (file.status == platform::ReadFileStatus::kChanged) return Refused(table, file.message.c_str());
    if (!file.Ok()) return Refused(table, kCorruptedMessage);
    return Decode(file.bytes, table);
}

void TMidiLearnFileManager::WriteAssignments(std::span<const int, kControllerCount> table) const {
    if (installFolder_.empty())
        throw std::system_error(ENOENT, std::generic_category(), "The installation folder is not known");
    const fs::path data = fs::path(installFolder_) / "Data";
    std::error_code error;
    fs::create_directories(data, error);
    if (error) throw std::system_error(error, "Cannot create the folder " + data.string());
    const FileBytes bytes = Encode(table);
    SafeFileWriter::Write(CustomPath(), {std::span<const std::uint8_t>(bytes)});
}

bool TMidiLearnFileManager::DeleteCustomAssignments(platform::IUserPrompt& prompt) const {
    if (prompt.Ask(kResetQuestion, platform::PromptButtons::kYesCancel) != platform::PromptAnswer::kYes) return false;
    const std::string path = CustomPath();
    std::error_code error;
    if (!path.empty() && !fs::remove(path, error) && error)
        throw std::system_error(error, "Cannot delete the file " + path);
    return true;
}

} // namespace quillon
