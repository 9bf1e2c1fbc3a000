// The plug-in's program and bank file commands: which slots a file goes to, which bank counts as
// modified, which file a bank belongs to, and the questions to the user around them. Reading and writing
// the files is TPresetsFileManager's work; its failures are shown to the user here, and the question
// before an existing file is overwritten is asked here.
#include "core/TVSTMidiPlugin.h"

#include "files/TPresetsFileManager.h"
#include "platform/SafeFileWriter.h"
#include "platform/Utf8Path.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
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

// Whether a save to `path` may go ahead, told to `go`: an existing file is overwritten only when the user
// says Yes. A write-protected file is not asked about: the save refuses it and says so.
void MayOverwrite(platform::IUserPrompt& prompt, const std::string& path, std::function<void(bool may)> go) {
    std::error_code error;
    if (!std::filesystem::exists(platform::PathFromUtf8(path), error) || SafeFileWriter::IsWriteProtected(path))
        return go(true);
    prompt.Ask(kOverwriteQuestion, PromptButtons::kYesCancel,
               [go = std::move(go)](PromptAnswer answer) { go(answer == PromptAnswer::kYes); });
}

// After a failed save before loading: while saves fail the user may pick another name (OK) or give up
// (Cancel); either way `next` (the load) goes on, unless the question is dropped unanswered.
void RetryUntilSaved(TVSTMidiPlugin& plugin, int bank, bool saved, std::function<void()> next) {
    if (saved) return next();
    plugin.UserPrompt().Ask(
        kAnotherNameQuestion, PromptButtons::kOkCancel, [&plugin, bank, next = std::move(next)](PromptAnswer answer) {
            if (answer != PromptAnswer::kOk) return next();
            plugin.SaveBankFileAs(bank,
                                  [&plugin, bank, next](bool again) { RetryUntilSaved(plugin, bank, again, next); });
        });
}

// Offers to save a modified bank before it is replaced: to the file it came from, or through the save
// dialog when it has none or that file is write protected; then `next`.
void SaveBankBeforeLoading(TVSTMidiPlugin& plugin, int bank, std::function<void()> next) {
    const std::string fileName = plugin.BankFileName(bank);
    auto retry = [&plugin, bank, next = std::move(next)](bool saved) { RetryUntilSaved(plugin, bank, saved, next); };
    if (fileName.empty() || SafeFileWriter::IsWriteProtected(fileName))
        plugin.SaveBankFileAs(bank, std::move(retry));
    else
        plugin.SaveBankFile(bank, fileName, std::move(retry));
}

// Tells the caller how a command ended and returns that.
bool Finish(const TVSTMidiPlugin::TCommandDone& then, bool done) {
    if (then) then(done);
    return done;
}

// Runs a command written in continuation style: `body` gets the function that ends it, which tells `then`.
// The result is the command's when it ended before returning (every question answered at once), else false.
bool RunCommand(TVSTMidiPlugin::TCommandDone then, const std::function<void(TVSTMidiPlugin::TCommandDone)>& body) {
    auto ended = std::make_shared<std::optional<bool>>();
    body([ended, then = std::move(then)](bool done) {
        *ended = done;
        if (then) then(done);
    });
    return ended->value_or(false);
}

} // namespace

bool TVSTMidiPlugin::LoadProgramFile(const std::string& path, TCommandDone then) {
    // Asks nothing: it ends before it returns.
    return RunCommand(std::move(then), [this, &path](const TCommandDone& finish) {
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
        finish(done);
    });
}

bool TVSTMidiPlugin::SaveProgramFile(const std::string& path, TCommandDone then) {
    // The program current now is saved, with what it holds when the user has agreed.
    const int slot = CurrentProgram();
    return RunCommand(std::move(then), [this, path, slot](const TCommandDone& finish) {
        MayOverwrite(UserPrompt(), path, [this, path, slot, finish](bool may) {
            if (!may) return finish(false);
            std::vector<std::uint8_t> image(record::kRecordSize);
            {
                std::lock_guard<std::mutex> lock(RecordsMutex());
                programs_.SetVersion(slot, record::kFormatVersion);
                programs_.CopyRecord(slot, image);
            }
            finish(Done(UserPrompt(), TPresetsFileManager().SaveProgram(path, RecordIn(image, 0))));
        });
    });
}

bool TVSTMidiPlugin::LoadBankFile(int bank, const std::string& path, TCommandDone then) {
    if (!ValidBank(bank)) return Finish(then, false);
    return RunCommand(std::move(then), [this, bank, path](const TCommandDone& finish) {
        auto load = [this, bank, path, finish] {
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
            finish(done);
        };
        if (!BankModified(bank)) return load();
        UserPrompt().Ask(kSaveFirstQuestion, PromptButtons::kYesNoCancel,
                         [this, bank, load, finish](PromptAnswer answer) {
                             switch (answer) {
                             case PromptAnswer::kYes:
                                 SaveBankBeforeLoading(*this, bank, load);
                                 break;
                             case PromptAnswer::kNo:
                                 load();
                                 break;
                             default:
                                 finish(false);
                                 break;
                             }
                         });
    });
}

bool TVSTMidiPlugin::SaveBankFile(int bank, const std::string& path, TCommandDone then) {
    if (!ValidBank(bank)) return Finish(then, false);
    return RunCommand(std::move(then), [this, bank, path](const TCommandDone& finish) {
        MayOverwrite(UserPrompt(), path, [this, bank, path, finish](bool may) {
            if (!may) return finish(false);
            // The bank as it is when the user has agreed: the file then holds what the mark below says.
            std::vector<std::uint8_t> image(TPresetsFileManager::kBankBytes);
            {
                std::lock_guard<std::mutex> lock(RecordsMutex());
                for (int i = 0; i < kBankSize; ++i) {
                    programs_.SetVersion(FirstSlot(bank) + i, record::kFormatVersion);
                    programs_.CopyRecord(FirstSlot(bank) + i, RecordIn(image, i));
                }
            }
            const bool done = Done(
                UserPrompt(),
                TPresetsFileManager().SaveBank(path, TPresetsFileManager::ConstBankSpan(image.data(), image.size())));
            // A bank that was not written keeps its modified mark and its file: the file does not hold it.
            if (done) {
                SetBankModified(bank, false);
                bankFileName_[bank] = path;
            }
            finish(done);
        });
    });
}

bool TVSTMidiPlugin::SaveBankFileAs(int bank, TCommandDone then) {
    if (!ValidBank(bank)) return Finish(then, false);
    return RunCommand(std::move(then), [this, bank](const TCommandDone& finish) {
        UserPrompt().AskSaveBankPath(BankFileName(bank), [this, bank, finish](std::optional<std::string> path) {
            if (!path || path->empty()) return finish(false);
            SaveBankFile(bank, *path, finish);
        });
    });
}

void TVSTMidiPlugin::ForgetBankFile(const std::string& path) {
    const std::filesystem::path gone = platform::PathFromUtf8(path).lexically_normal();
    for (std::string& name : bankFileName_)
        if (!name.empty() && platform::PathFromUtf8(name).lexically_normal() == gone) name.clear();
}

} // namespace quillon
