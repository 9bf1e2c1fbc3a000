// MIDI learn's assignment file and the messages that wait for the editor.
#include "core/TVSTMidiPlugin.h"

#include "core/TMidiAssignmentWriter.h"
#include "files/TMidiLearnFileManager.h"
#include "midi/TMidiHandler.h"

namespace quillon {

namespace {

constexpr const char* kResetQuestion = "Your Custom Midi Learn Assignments will be lost and the\r"
                                       "factory defaults reinstated.\r\rDo you which to continue?";

} // namespace

void TVSTMidiPlugin::DeferMessage(const std::string& text) {
    platform::StderrPrompt().ShowMessage(text);
    std::lock_guard lock(deferredMutex_);
    deferredMessages_.push_back(text);
}

void TVSTMidiPlugin::ShowDeferredMessages() {
    std::vector<std::string> messages;
    {
        std::lock_guard lock(deferredMutex_);
        messages.swap(deferredMessages_);
    }
    for (const std::string& text : messages)
        UserPrompt().ShowMessage(text);
}

void TVSTMidiPlugin::LoadAssignments(bool defer) {
    TMidiLearnFileManager::Table table{};
    const Status status = learnFile_->ReadAssignments(table);
    // A refused file (damaged, or a newer version) takes nothing away: the bindings in effect stay, and only
    // learning ends. A missing file is no refusal: it means no bindings.
    if (status.Ok() || status.code == StatusCode::kNotFound)
        learnWriter_->Replace(table);
    else
        midiHandler_->SetLearnMode(TMidiHandler::kLearnOff);
    if (status.message.empty()) return;
    if (defer)
        DeferMessage(status.message);
    else
        UserPrompt().ShowMessage(status.message);
}

void TVSTMidiPlugin::ClearAssignments() {
    // What was learned reaches the file first, so that Cancel reads back what is in effect.
    const bool writtenBefore = learnWriter_->Flush(true);
    UserPrompt().Ask(kResetQuestion, platform::PromptButtons::kYesCancel,
                     [this, writtenBefore](platform::PromptAnswer answer) {
                         // Bindings learned while the question was open reach the file too.
                         const bool written = writtenBefore && learnWriter_->Flush(true);
                         const bool deleted = answer == platform::PromptAnswer::kYes;
                         if (deleted) {
                             if (const Status status = learnFile_->DeleteCustomAssignments(); !status.Ok()) {
                                 // the custom file is still there: nothing was reset
                                 UserPrompt().ShowMessage(status.message);
                                 return;
                             }
                         }
                         // the file lacks a learned binding: reading it would drop that binding
                         if (!deleted && !written) return;
                         // On Yes the custom bindings go whatever the factory file holds: a refused factory
                         // file leaves none.
                         if (deleted) {
                             TMidiLearnFileManager::Table none;
                             none.fill(-1);
                             learnWriter_->Replace(none);
                         }
                         LoadAssignments(false);
                     });
}

bool TVSTMidiPlugin::FlushAssignments(bool wait) {
    return learnWriter_->Flush(wait);
}

} // namespace quillon
