// Fuzzes the program and bank file readers: the input is written to a file and loaded as a program file
// and as a bank file. Refusals (false) and PresetsFileError are the expected outcomes of bad input.
#include "FuzzSupport.h"

#include "files/TPresetsFileManager.h"

#include <memory>
#include <vector>

namespace {

// Answers every question with the default and swallows messages: the readers only tell.
class SilentPrompt : public quillon::platform::IUserPrompt {
public:
    void ShowMessage(const std::string&) override {}
    quillon::platform::PromptAnswer Ask(const std::string&, quillon::platform::PromptButtons) override {
        return quillon::platform::PromptAnswer::kCancel;
    }
    std::optional<std::string> AskSaveBankPath(const std::string&) override { return std::nullopt; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quillon::TPresetsFileManager;
    static SilentPrompt prompt;
    static auto bank = std::make_unique<std::vector<std::uint8_t>>(TPresetsFileManager::kBankBytes);
    static std::vector<std::uint8_t> program(quillon::record::kRecordSize);

    const std::string path = quillon::fuzz::WriteInput("input.bp", data, size);
    TPresetsFileManager manager(prompt);
    try {
        manager.LoadProgram(path, TPresetsFileManager::ProgramSpan(program));
    } catch (const quillon::PresetsFileError&) {
    }
    try {
        manager.LoadBank(path, TPresetsFileManager::BankSpan(*bank));
    } catch (const quillon::PresetsFileError&) {
    }
    return 0;
}
