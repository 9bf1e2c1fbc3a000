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

void StderrPrompt::Ask(const std::string& text, PromptButtons, TPromptAnswer answer) {
    std::fprintf(stderr, "Quillon: %s (answered Cancel: no window to ask in)\n", ForTerminal(text).c_str());
    if (answer) answer(PromptAnswer::kCancel);
}

void StderrPrompt::AskSaveBankPath(const std::string&, TPathAnswer answer) {
    if (answer) answer(std::nullopt);
}

} // namespace quillon::platform
