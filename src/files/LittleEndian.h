// Explicit little-endian reads and writes for the stored formats (records, chunks, files), independent
// of the processor's byte order and of struct layout.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace quillon::le {

inline std::uint32_t LoadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void StoreU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline std::int32_t LoadI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(LoadU32(p));
}
inline void StoreI32(std::uint8_t* p, std::int32_t v) {
    StoreU32(p, static_cast<std::uint32_t>(v));
}
inline float LoadF32(const std::uint8_t* p) {
    return std::bit_cast<float>(LoadU32(p));
}
inline void StoreF32(std::uint8_t* p, float v) {
    StoreU32(p, std::bit_cast<std::uint32_t>(v));
}

// A 32-bit word as it lies in memory, from its little-endian value, and back.
inline std::uint32_t NativeFromLittle(std::uint32_t v) {
    if constexpr (std::endian::native == std::endian::little)
        return v;
    else
        return __builtin_bswap32(v);
}
inline std::uint32_t LittleFromNative(std::uint32_t v) {
    return NativeFromLittle(v);
}

} // namespace quillon::le
