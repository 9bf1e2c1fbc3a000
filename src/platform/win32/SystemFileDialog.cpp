// The desktop's file dialogs on Windows (the common item dialogs) come with the editor's window; until
// then there is no system dialog tool, and the editor keeps to its own dialogs.
#include "platform/SystemFileDialog.h"

namespace quillon::platform {

std::string FindSystemDialogTool() {
    return {};
}

std::unique_ptr<SystemFileDialog> SystemFileDialog::Start(const SystemDialogRequest&) {
    return nullptr;
}

SystemFileDialog::~SystemFileDialog() = default;

SystemDialogState SystemFileDialog::Poll() {
    return state_;
}

void SystemFileDialog::Conclude(bool, int) {
    state_ = SystemDialogState::kFailed;
}

} // namespace quillon::platform
