// Quillon program (.bpa) and bank (.bpb) files built in memory for tests, and the zlib steps their
// payloads need.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace quillon::test {

inline constexpr std::size_t kPatchRecordBytes = 55504;

// A zlib stream of `data` at level 9, as the plug-in and its files write them.
inline std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

// The inflated stream when it holds exactly `expected` bytes.
inline std::optional<std::vector<std::uint8_t>> Inflate(const std::vector<std::uint8_t>& data, std::size_t expected) {
    std::vector<std::uint8_t> out(expected + 1);
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &size, data.data(), static_cast<uLong>(data.size())) != Z_OK || size != expected)
        return std::nullopt;
    out.resize(size);
    return out;
}

// Header fields: a NUL-terminated identifier and product in fixed fields, then the little-endian
// payload size (a program file has one padding byte before it).
inline std::vector<std::uint8_t> PatchFileBytes(bool bank, const std::vector<std::uint8_t>& payload) {
    const char* identifier = bank ? "Brindmor Patch Bank File" : "Brindmor Patch File";
    const std::size_t identifierBytes = bank ? 25 : 20;
    const std::size_t headerBytes = bank ? 80 : 76;
    std::vector<std::uint8_t> file(headerBytes, 0);
    std::memcpy(file.data(), identifier, std::strlen(identifier));
    std::memcpy(file.data() + identifierBytes, "Quillon", 7);
    const auto size = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i)
        file[headerBytes - 4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    file.insert(file.end(), payload.begin(), payload.end());
    return file;
}

inline std::vector<std::uint8_t> ProgramFileBytes(const std::vector<std::uint8_t>& payload) {
    return PatchFileBytes(false, payload);
}
inline std::vector<std::uint8_t> BankFileBytes(const std::vector<std::uint8_t>& payload) {
    return PatchFileBytes(true, payload);
}

} // namespace quillon::test
