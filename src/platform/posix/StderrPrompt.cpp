#include "platform/IUserPrompt.h"

#include <cstdio>

namespace quillon::platform {

namespace {
// Message texts use "\r" as line break; the terminal wants "\n".
std::string ForTerminal(std::string text) {
    for (char& c : text)
        if (c == '\r') c = '\n';
    return text;
}
} // namespace

void StderrPrompt::ShowMessage(const std::string& text) {
    std::fprintf(stderr, "Quillon: %s\n", ForTerminal(text).c_str());
}

PromptAnswer StderrPrompt::Ask(const std::string& text, PromptButtons) {
    std::fprintf(stderr, "Quillon: %s (answered Cancel: no window to ask in)\n", ForTerminal(text).c_str());
    return PromptAnswer::kCancel;
}

std::optional<std::string> StderrPrompt::AskSaveBankPath(const std::string&) {
    return std::nullopt;
}

} // namespace quillon::platform
