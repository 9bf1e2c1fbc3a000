#include "files/TMidiLearnFileManager.h"

#include "files/InstallFolder.h"
#include "files/LittleEndian.h"
#include "platform/ReadWholeFile.h"
#include "platform/SafeFileWriter.h"
#include "platform/Utf8Path.h"

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
    return platform::Utf8FromPath(platform::PathFromUtf8(installFolder) / "Data" / name);
}

Status Refused(std::span<int, TMidiLearnFileManager::kControllerCount> table, StatusCode code, std::string message) {
    std::fill(table.begin(), table.end(), -1);
    return Status::Failure(code, std::move(message));
}

Status Corrupted(std::span<int, TMidiLearnFileManager::kControllerCount> table) {
    return Refused(table, StatusCode::kNotValid, TMidiLearnFileManager::kCorruptedMessage);
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

Status TMidiLearnFileManager::Decode(std::span<const std::uint8_t> bytes, std::span<int, kControllerCount> table) {
    if (bytes.size() < kHeaderSize) return Corrupted(table);
    // The identifier is the text up to the first 0 within the first 30 bytes.
    const auto* field = reinterpret_cast<const char*>(bytes.data());
    const std::string identifier(field, strnlen(field, kIdentifierField));
    if (identifier != kIdentifier) return Corrupted(table);
    if (bytes[kVersionOffset] > kVersion) return Refused(table, StatusCode::kNewerVersion, kNewerVersionMessage);
    if (bytes.size() < kFileSize) return Corrupted(table); // the entries are cut off
    for (std::size_t c = 0; c < kControllerCount; ++c) {
        const int parameter = le::LoadI32(bytes.data() + kHeaderSize + 4 * c);
        // An entry no parameter answers to would only keep its controller from being learned.
        table[c] = parameter >= 0 && parameter < kParameterCount ? parameter : -1;
    }
    return Status::Success();
}

Status TMidiLearnFileManager::ReadAssignments(std::span<int, kControllerCount> table) const {
    std::error_code error;
    std::string path = CustomPath();
    if (path.empty() || !fs::exists(platform::PathFromUtf8(path), error)) {
        path = FactoryPath();
        if (path.empty() || !fs::exists(platform::PathFromUtf8(path), error))
            return Refused(table, StatusCode::kNotFound, ""); // nothing installed, nothing learned: no message
    }
    // The whole file at once: one that changes while it is read is refused, never half taken.
    const platform::ReadFileResult file = platform::ReadWholeFile(path, kMaxFileBytes);
    if (file.status.code == StatusCode::kChanged) return Refused(table, StatusCode::kChanged, file.status.message);
    if (!file.Ok()) return Corrupted(table);
    return Decode(file.bytes, table);
}

Status TMidiLearnFileManager::WriteAssignments(std::span<const int, kControllerCount> table) const {
    if (installFolder_.empty())
        return Status::Failure(StatusCode::kNotFound,
                               "The installation folder is not known: " + std::generic_category().message(ENOENT));
    const fs::path data = platform::PathFromUtf8(installFolder_) / "Data";
    std::error_code error;
    fs::create_directories(data, error);
    if (error)
        return Status::Failure(StatusCode::kWriteError,
                               "Cannot create the folder " + platform::Utf8FromPath(data) + ": " + error.message());
    const FileBytes bytes = Encode(table);
    return SafeFileWriter::Write(CustomPath(), {std::span<const std::uint8_t>(bytes)});
}

Status TMidiLearnFileManager::DeleteCustomAssignments() const {
    const std::string path = CustomPath();
    std::error_code error;
    if (!path.empty() && !fs::remove(platform::PathFromUtf8(path), error) && error)
        return Status::Failure(StatusCode::kWriteError, "Cannot delete the file " + path + ": " + error.message());
    return Status::Success();
}

} // namespace quillon
