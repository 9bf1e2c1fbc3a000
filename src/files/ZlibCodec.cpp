#include "files/ZlibCodec.h"

#include <zlib.h>

#include <limits>

namespace quillon {

std::vector<std::uint8_t> ZlibCompress(std::span<const std::uint8_t> data) {
    if (data.size() > std::numeric_limits<uLong>::max() / 2) throw ZlibError("Error");
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) throw ZlibError("Error");
    out.resize(size);
    return out;
}

InflateResult ZlibInflate(std::span<const std::uint8_t> stream, std::span<std::uint8_t> target, std::size_t* produced,
                          std::size_t* consumed) {
    if (produced) *produced = 0;
    if (consumed) *consumed = 0;
    if (stream.size() > std::numeric_limits<uInt>::max() || target.size() > std::numeric_limits<uInt>::max())
        return InflateResult::kCorrupt;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return InflateResult::kCorrupt;
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = target.data();
    z.avail_out = static_cast<uInt>(target.size());
    const int status = inflate(&z, Z_FINISH);
    const std::size_t written = target.size() - z.avail_out;
    inflateEnd(&z);
    if (produced) *produced = written;
    if (consumed) *consumed = stream.size() - z.avail_in;
    if (status == Z_STREAM_END) return written == target.size() ? InflateResult::kComplete : InflateResult::kShort;
    if (status == Z_BUF_ERROR && z.avail_out == 0) return InflateResult::kTooMuchData;
    return InflateResult::kCorrupt;
}

} // namespace quillon
