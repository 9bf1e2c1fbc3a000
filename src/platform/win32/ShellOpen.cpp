// The opener on Windows: ShellExecuteW with the "open" verb, which starts the program associated with the
// target (the browser for an address) as a process of its own and returns without waiting for it.
#include "platform/IShellOpen.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <shellapi.h>

namespace quillon::platform {

namespace {

class ShellExecuteOpen : public IShellOpen {
public:
    Status OpenWithSystem(const std::string& target) override {
        if (target.empty()) return Status::Failure(StatusCode::kNotFound, "Nothing to open.");
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", win32::Widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        // Values above 32 mean success; the others are error codes.
        if (result > 32) return Status::Success();
        return Status::Failure(StatusCode::kCannotOpen,
                               "Cannot open " + target + ": " + win32::ErrorText(static_cast<DWORD>(result)));
    }
};

} // namespace

std::unique_ptr<IShellOpen> MakeShellOpen() {
    return std::make_unique<ShellExecuteOpen>();
}

} // namespace quillon::platform
