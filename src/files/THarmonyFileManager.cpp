#include "files/THarmonyFileManager.h"

#include "platform/ReadWholeFile.h"
#include "platform/SafeFileWriter.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace quillon {

std::array<std::uint8_t, THarmonyFileManager::kFileSize> THarmonyFileManager::Bytes() const {
    std::array<std::uint8_t, kFileSize> bytes{};
    std::memcpy(bytes.data(), kIdentifier, std::strlen(kIdentifier)); // the zero after it is already there
    bytes[22] = kVersion;
    std::copy(levels.begin(), levels.end(), bytes.begin() + kHeaderSize);
    std::copy(phases.begin(), phases.end(), bytes.begin() + kHeaderSize + kHarmonicCount);
    return bytes;
}

Status THarmonyFileManager::Save(const std::string& path) const {
    const auto bytes = Bytes();
    return SafeFileWriter::Write(path, {std::span<const std::uint8_t>(bytes)});
}

Status THarmonyFileManager::Load(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(platform::PathFromUtf8(path), error))
        return Status::Failure(StatusCode::kNotFound, kNotFound);
    // The whole file at once: a file that changes while it is read is refused, never half taken. No valid
    // file comes near the limit, which only bounds what a damaged one can make us allocate.
    const platform::ReadFileResult file = platform::ReadWholeFile(path, kMaxFileBytes);
    if (file.status.code == StatusCode::kTooLarge) return Status::Failure(StatusCode::kNotValid, kNotHarmonyFile);
    if (!file.Ok()) return file.status;
    const auto* bytes = reinterpret_cast<const char*>(file.bytes.data());

    if (file.bytes.size() < static_cast<std::size_t>(kHeaderSize))
        return Status::Failure(StatusCode::kReadError, "The file " + path + " ends within its header");
    // The identifier is the text up to the first zero within the first 22 bytes.
    const std::size_t length = std::find(bytes, bytes + 22, '\0') - bytes;
    const bool identified = std::string(bytes, length) == kIdentifier;
    if (!identified || static_cast<std::uint8_t>(bytes[22]) > kVersion)
        return Status::Failure(StatusCode::kNotValid, kNotHarmonyFile);

    if (file.bytes.size() < static_cast<std::size_t>(kFileSize))
        return Status::Failure(StatusCode::kReadError, "The file " + path + " ends within its harmonics");
    const char* data = bytes + kHeaderSize;
    for (int j = 0; j < kHarmonicCount; ++j) {
        levels[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(data[static_cast<std::size_t>(j)]);
        phases[static_cast<std::size_t>(j)] =
            static_cast<std::uint8_t>(data[static_cast<std::size_t>(kHarmonicCount + j)]);
    }
    return Status::Success();
}

} // namespace quillon
