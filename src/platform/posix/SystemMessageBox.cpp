// Linux has no message box of the system's a plug-in could rely on: the editor draws its own.
#include "platform/SystemMessageBox.h"

namespace quillon::platform {

bool HasSystemMessageBox() {
    return false;
}

std::optional<SystemBoxAnswer> ShowSystemMessageBox(const std::string&, const std::string&, SystemBoxButtons, void*) {
    return std::nullopt;
}

} // namespace quillon::platform
