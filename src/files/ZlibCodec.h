// zlib streams (RFC 1950) for host chunks and program and bank files: deflate at level 9 in one pass,
// and inflation into a buffer of known size.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillon {

// A compression or decompression failure; what() is the text shown to the user.
class ZlibError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Compresses with level 9, the deflate method, a 15-bit window, memory level 8 and the default
// strategy (zlib's compress2 settings). Throws ZlibError("Error") on failure.
std::vector<std::uint8_t> ZlibCompress(std::span<const std::uint8_t> data);

enum class InflateResult {
    kComplete,    // the stream ended and filled exactly the whole target
    kShort,       // the stream ended before the target was full (count in *produced)
    kTooMuchData, // the stream does not end within the target
    kCorrupt,     // not a valid zlib stream
};

// Inflates a zlib stream into `target`, never writing beyond it. `produced` receives the byte count,
// `consumed` the bytes of `stream` taken (fewer than all when data follows the end of the stream).
InflateResult ZlibInflate(std::span<const std::uint8_t> stream, std::span<std::uint8_t> target,
                          std::size_t* produced = nullptr, std::size_t* consumed = nullptr);

} // namespace quillon
