#include "engine/THarmonyFileManager.h"

#include "platform/SafeFileWriter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ios>

namespace quillon {

namespace {

void Refuse(std::string* message, const char* text) {
    if (message) *message = text;
}

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
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::ios_base::failure("Cannot open the file " + path);

    std::array<char, kHeaderSize> header{};
    if (!file.read(header.data(), kHeaderSize))
        throw std::ios_base::failure("The file " + path + " ends within its header");
    // The identifier is the text up to the first zero within the first 22 bytes.
    const std::size_t length = std::find(header.begin(), header.begin() + 22, '\0') - header.begin();
    const bool identified = std::string(header.data(), length) == kIdentifier;
    if (!identified || static_cast<std::uint8_t>(header[22]) > kVersion) {
        Refuse(message, kNotHarmonyFile);
        return false;
    }

    std::array<char, 2 * kHarmonicCount> data{};
    if (!file.read(data.data(), static_cast<std::streamsize>(data.size())))
        throw std::ios_base::failure("The file " + path + " ends within its harmonics");
    for (int j = 0; j < kHarmonicCount; ++j) {
        levels[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(data[static_cast<std::size_t>(j)]);
        phases[static_cast<std::size_t>(j)] =
            static_cast<std::uint8_t>(data[static_cast<std::size_t>(kHarmonicCount + j)]);
    }
    return true;
}

} // namespace quillon
