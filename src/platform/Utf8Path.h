// Paths travel through the program as UTF-8 std::string. std::filesystem::path takes and gives narrow
// strings in the system's narrow encoding, which is UTF-8 on Linux but the ANSI code page on Windows, where
// a name like "Klänge" or "音色" would be garbled or lost. Every conversion between a UTF-8 string and a
// path goes through these two, which say UTF-8 explicitly and behave the same on every system. [any]
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillon::platform {

// The path named by the UTF-8 text `utf8`. Where paths are stored as UTF-16 (Windows), a byte sequence that
// is not UTF-8 becomes U+FFFD instead of throwing; where they are bytes (Linux), the bytes are kept as they
// are, so that any name the file system gives back names the same file again.
std::filesystem::path PathFromUtf8(std::string_view utf8);

// `path` as UTF-8 text with "/" between its parts (Windows' "\" included). An unpaired UTF-16 surrogate
// (possible in Windows file names) becomes U+FFFD.
std::string Utf8FromPath(const std::filesystem::path& path);

// `text` with every byte sequence that is not UTF-8 (stray continuation bytes, overlong forms, surrogates,
// code points above U+10FFFF, truncated sequences) replaced by U+FFFD; valid text comes back unchanged.
std::string ValidUtf8(std::string_view text);

} // namespace quillon::platform
