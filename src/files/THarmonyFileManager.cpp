#include "files/THarmonyFileManager.h"

#include "platform/ReadWholeFile.h"
#include "platform/SafeFileWriter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <ios>
#include <stdexcept>

namespace quillon {

namespace {

void Refuse(std::string* message, const char* text) {
    if (message) *message = text;
}

// An input/output failure whose what() is the text alone: std::ios_base::failure itself appends
// ": iostream error", which would reach the user's message box.
class HarmonyFileError : public std::ios_base::failure {
public:
    explicit HarmonyFileError(const std::string& text) : std::ios_base::failure(text), text_(text) {}
    const char* what() const noexcept override { return text_.what(); }

private:
    std::runtime_error text_; // copies without throwing
};

} // namespace

std::array<std::uint8_t, THarmonyFileManager::kFileSize> THarmonyFileManager::Bytes() const {
    std::array<std::uint8_t, kFileSize> bytes{};
    std::memcpy(bytes.data(), kIdentifier, std::strlen(kIdentifier)); // the zero after it is already there
    bytes[22] = kVersion;
    std::copy(levels.begin(), levels.end(), bytes.begin() + kHeaderSize);
    std::copy(phases.begin(), phases.end(), bytes.begin() + kHeaderSize + kHarmonicCount);
    return bytes;
}

bool THarmonyFileManager::Save(const std::string& path) const {
    const auto bytes = Bytes();
    SafeFileWriter::Write(path, {std::span<const std::uint8_t>(bytes)});
    return true;
}

bool THarmonyFileManager::Load(const std::string& path, std::string* message) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        Refuse(message, kNotFound);
        return false;
    }
    // The whole file at once: a file that changes while it is read is refused, never half taken. No valid
    // file comes near the limit, which only bounds what a damaged one can make us allocate.
    const platform::ReadFileResult file = platform::ReadWholeFile(path, kMaxFileBytes);
    if (file.status == platform::ReadFileStatus::kTooLarge) {
        Refuse(message, kNotHarmonyFile);
        return false;
    }
    if (!file.Ok()) throw HarmonyFileError(file.message);
    const auto* bytes = reinterpret_cast<const char*>(file.bytes.data());

    if (file.bytes.size() < static_cast<std::size_t>(kHeaderSize))
        throw HarmonyFileError("The file " + path + " ends within its header");
    // The identifier is the text up to the first zero within the first 22 bytes.
    const std::size_t length = std::find(bytes, bytes + 22, '\0') - bytes;
    const bool identified = std::string(bytes, length) == kIdentifier;
    if (!identified || static_cast<std::uint8_t>(bytes[22]) > kVersion) {
        Refuse(message, kNotHarmonyFile);
        return false;
    }

    if (file.bytes.size() < static_cast<std::size_t>(kFileSize))
        throw HarmonyFileError("The file " + path + " ends within its harmonics");
    const char* data = bytes + kHeaderSize;
    for (int j = 0; j < kHarmonicCount; ++j) {
        levels[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(data[static_cast<std::size_t>(j)]);
        phases[static_cast<std::size_t>(j)] =
            static_cast<std::uint8_t>(data[static_cast<std::size_t>(kHarmonicCount + j)]);
    }
    return true;
}

} // namespace quillon
