#include "platform/Utf8Path.h"

#include <type_traits>

namespace quillon::platform {

namespace {

// True where the file system's paths are byte strings (Linux), false where they are UTF-16 (Windows).
constexpr bool kBytePaths = std::is_same_v<std::filesystem::path::value_type, char>;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

std::u8string_view AsChar8(std::string_view text) {
    return {reinterpret_cast<const char8_t*>(text.data()), text.size()};
}

// The length of the UTF-8 sequence that starts at text[at]; 0 when it is not one.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;  // overlong
        if (lead == 0xED) high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;  // overlong
        if (lead == 0xF4) high = 0x8F; // above U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

void AppendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (c >> 18));
        text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string ValidUtf8(std::string_view text) {
    std::string valid;
    valid.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t length = SequenceLength(text, at); length > 0) {
            valid.append(text.substr(at, length));
            at += length;
        } else {
            valid.append(kReplacement);
            ++at;
        }
    }
    return valid;
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    // The char8_t constructor converts from UTF-8 whatever the narrow encoding; the standard library throws
    // on bytes that are not UTF-8, so those are replaced first where a conversion happens at all.
    if constexpr (kBytePaths) return std::filesystem::path(AsChar8(utf8));
    const std::string valid = ValidUtf8(utf8);
    return std::filesystem::path(AsChar8(valid));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    if constexpr (kBytePaths) return path.generic_string();
    // UTF-16 by hand: generic_u8string() would throw on an unpaired surrogate.
    const auto wide = path.generic_wstring();
    std::string text;
    text.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = static_cast<char32_t>(wide[i]);
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(wide[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(text, c);
    }
    return text;
}

} // namespace quillon::platform
