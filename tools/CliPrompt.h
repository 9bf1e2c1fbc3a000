// Messages and questions of the core library, answered for a command-line run: messages go to stderr,
// and a question about overwriting a file the user named with -o is answered Yes (the user asked for that
// file); every other question takes the safe answer, Cancel.
#pragma once

#include "platform/IUserPrompt.h"

#include <cstdio>
#include <string>

namespace quillon {

class CliPrompt : public platform::IUserPrompt {
public:
    void ShowMessage(const std::string& text) override { std::fprintf(stderr, "quillon: %s\n", text.c_str()); }
    platform::PromptAnswer Ask(const std::string& text, platform::PromptButtons) override {
        if (text == "Do you want to overwrite the existing file?")
            return platform::PromptAnswer::kYes;
        std::fprintf(stderr, "quillon: %s (answered Cancel)\n", text.c_str());
        return platform::PromptAnswer::kCancel;
    }
    std::optional<std::string> AskSaveBankPath(const std::string&) override { return std::nullopt; }
};

} // namespace quillon
