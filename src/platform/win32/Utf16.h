// The Win32 boundary of the platform layer: the project keeps paths and texts as UTF-8 std::string, the
// wide ("W") Win32 functions take UTF-16. Paths handed back to the layers above use "/" between their
// parts; both separators are accepted on the way in. [any]
#pragma once

#include <string>

namespace quillon::platform::win32 {

// UTF-8 to UTF-16; invalid bytes become U+FFFD.
std::wstring Widen(const std::string& text);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Narrow(const std::wstring& text);
// `path` with every "\" made "/".
std::string ForwardSlashes(std::string path);
// The system's text for a Win32 error code (GetLastError()), one line without the final period.
std::string ErrorText(unsigned long error);

} // namespace quillon::platform::win32
