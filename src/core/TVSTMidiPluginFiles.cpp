// The plug-in's program and bank file commands: which slots a file goes to, which bank counts as
// modified, which file a bank belongs to, and the questions to the user around them. Reading and writing
// the files is TPresetsFileManager's work; its failures are shown to the user here, and the question
// before an existing file is overwritten is asked here.
#include "core/TVSTMidiPlugin.h"

#include "files/TPresetsFileManager.h"
#include "platform/SafeFileWriter.h"

#include <filesystem>
#include <mutex>
#include <utility>
#include <vector>

namespace quillon {

using platform::PromptAnswer;
using platform::PromptButtons;

namespace {

constexpr const char* kSaveFirstQuestion = "Do you want to save the current bank before loading a new?";
constexpr const char* kAnotherNameQuestion = "Please select another file name!";
constexpr const char* kOverwriteQuestion = "Do you want to overwrite the existing file?";

bool ValidBank(int bank) {
    return bank == 0 || bank == 1;
}

int FirstSlot(int bank) {
    return bank * TVSTMidiPlugin::kBankSize;
}

std::span<std::uint8_t, record::kRecordSize> RecordIn(std::vector<std::uint8_t>& records, int index) {
    return std::span<std::uint8_t, record::kRecordSize>(
        records.data() + record::kRecordSize * static_cast<std::size_t>(index), record::kRecordSize);
}

// Shows a file operation's failure with its text; true when the operation was done.
bool Done(platform::IUserPrompt& prompt, const Status& status) {
    if (!status.Ok() && !status.message.empty()) prompt.ShowMessage(status.message);
    return status.Ok();
}

// Whether a save to `path` may go ahead: an existing file is overwritten only when the user says Yes. A
// write-protected file is not asked about: the save refuses it and says so.
bool MayOverwrite(platform::IUserPrompt& prompt, const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error) || SafeFileWriter::IsWriteProtected(path)) return true;
    return prompt.Ask(kOverwriteQuestion, PromptButtons::kYesCancel) == PromptAnswer::kYes;
}

// Offers to save a modified bank before it is replaced: to the file it came from, or through the save
// dialog when it has none or that file is write protected. While the save fails the user may pick
// another name or give up; either way the load goes on.
void SaveBankBeforeLoading(TVSTMidiPlugin& plugin, int bank) {
    const std::string fileName = plugin.BankFileName(bank);
    bool saved = fileName.empty() || SafeFileWriter::IsWriteProtected(fileName) ? plugin.SaveBankFileAs(bank)
                                                                                : plugin.SaveBankFile(bank, fileName);
    while (!saved && plugin.UserPrompt().Ask(kAnotherNameQuestion, PromptButtons::kOkCancel) == PromptAnswer::kOk)
        saved = plugin.SaveBankFileAs(bank);
}

// Tells the caller how a command ended and returns that.
bool Finish(const TVSTMidiPlugin::TCommandDone& then, bool done) {
    if (then) then(done);
    return done;
}

} // namespace

bool TVSTMidiPlugin::LoadProgramFile(const std::string& path, TCommandDone then) {
    std::vector<std::uint8_t> loaded(record::kRecordSize);
    const bool done = Done(UserPrompt(), TPresetsFileManager().LoadProgram(path, RecordIn(loaded, 0)));
    if (done) {
        const int slot = CurrentProgram();
        {
            std::lock_guard<std::mutex> lock(RecordsMutex());
            programs_.StoreRecord(slot, loaded);
            programs_.RepairRecord(slot);
        }
        SetBankModified(slot / kBankSize, true);
        RequestProgramApply();
    }
    RequestRefresh(3);
    return Finish(then, done);
}

bool TVSTMidiPlugin::SaveProgramFile(const std::string& path, TCommandDone then) {
    std::vector<std::uint8_t> image(record::kRecordSize);
    {
        std::lock_guard<std::mutex> lock(RecordsMutex());
        const int slot = CurrentProgram();
        programs_.SetVersion(slot, record::kFormatVersion);
        programs_.CopyRecord(slot, image);
    }
    return Finish(then, MayOverwrite(UserPrompt(), path) &&
                            Done(UserPrompt(), TPresetsFileManager().SaveProgram(path, RecordIn(image, 0))));
}

bool TVSTMidiPlugin::LoadBankFile(int bank, const std::string& path, TCommandDone then) {
    if (!ValidBank(bank)) return Finish(then, false);
    if (BankModified(bank)) {
        switch (UserPrompt().Ask(kSaveFirstQuestion, PromptButtons::kYesNoCancel)) {
        case PromptAnswer::kYes:
            SaveBankBeforeLoading(*this, bank);
            break;
        case PromptAnswer::kNo:
            break;
        default:
            return Finish(then, false);
        }
    }

    std::vector<std::uint8_t> loaded(TPresetsFileManager::kBankBytes);
    const bool done =
        Done(UserPrompt(),
             TPresetsFileManager().LoadBank(path, TPresetsFileManager::BankSpan(loaded.data(), loaded.size())));
    if (done) {
        {
            std::lock_guard<std::mutex> lock(RecordsMutex());
            for (int i = 0; i < kBankSize; ++i) {
                programs_.StoreRecord(FirstSlot(bank) + i, RecordIn(loaded, i));
                programs_.RepairRecord(FirstSlot(bank) + i);
            }
            curProgram.store(FirstSlot(bank), std::memory_order_relaxed);
        }
        RequestProgramApply();
        updateDisplay();
        // Only a bank that now holds the file's programs belongs to it and counts as saved.
        SetBankModified(bank, false);
        bankFileName_[bank] = path;
    }
    RequestRefresh(3);
    return Finish(then, done);
}

bool TVSTMidiPlugin::SaveBankFile(int bank, const std::string& path, TCommandDone then) {
    if (!ValidBank(bank)) return Finish(then, false);
    std::vector<std::uint8_t> image(TPresetsFileManager::kBankBytes);
    {
        std::lock_guard<std::mutex> lock(RecordsMutex());
        for (int i = 0; i < kBankSize; ++i) {
            programs_.SetVersion(FirstSlot(bank) + i, record::kFormatVersion);
            programs_.CopyRecord(FirstSlot(bank) + i, RecordIn(image, i));
        }
    }
    const bool done =
        MayOverwrite(UserPrompt(), path) &&
        Done(UserPrompt(),
             TPresetsFileManager().SaveBank(path, TPresetsFileManager::ConstBankSpan(image.data(), image.size())));
    // A bank that was not written keeps its modified mark and its file: the file does not hold it.
    if (done) {
        SetBankModified(bank, false);
        bankFileName_[bank] = path;
    }
    return Finish(then, done);
}

bool TVSTMidiPlugin::SaveBankFileAs(int bank, TCommandDone then) {
    if (!ValidBank(bank)) return Finish(then, false);
    const std::optional<std::string> path = UserPrompt().AskSaveBankPath(BankFileName(bank));
    if (!path || path->empty()) return Finish(then, false);
    return SaveBankFile(bank, *path, std::move(then));
}

} // namespace quillon
