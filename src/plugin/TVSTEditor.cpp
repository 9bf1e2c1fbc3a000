#include "plugin/TVSTEditor.h"

#include "core/TVSTMidiPlugin.h"
#include "midi/TMidiHandler.h"

#include <algorithm>

namespace quillon {

namespace {
std::atomic<EditorFormFactory> gFormFactory{nullptr};
}

void TVSTEditor::SetFormFactory(EditorFormFactory factory) {
    gFormFactory.store(factory, std::memory_order_release);
}

TVSTEditor::TVSTEditor(TVSTMidiPlugin& plugin) : AEffEditor(&plugin), plugin_(plugin) {
    plugin_.SetEditorOpen(false);
}

TVSTEditor::~TVSTEditor() {
    form_.reset();
    plugin_.SetEditorOpen(false);
}

bool TVSTEditor::getRect(vst2::ERect** rect) {
    rect_ = vst2::ERect{0, 0, kHeight, kWidth};
    if (rect) *rect = &rect_;
    return true;
}

bool TVSTEditor::open(void* parentWindow) {
    if (plugin_.EditorOpen()) return true;
    plugin_.SetEditorOpen(true);
    parentWindow_ = parentWindow;
    if (EditorFormFactory factory = gFormFactory.load(std::memory_order_acquire); factory && parentWindow)
        form_ = factory(parentWindow, plugin_);
    RequestRefresh(3);
    if (form_) form_->initNonAutomatedControls();
    return true;
}

void TVSTEditor::close() {
    if (!plugin_.EditorOpen()) return;
    plugin_.MidiHandler().SetLearnMode(0); // a running MIDI learn ends with the window
    plugin_.FlushAssignments(true);        // and what it bound reaches the assignment file now
    plugin_.SetEditorOpen(false);
    form_.reset();
    parentWindow_ = nullptr;
}

bool TVSTEditor::isOpen() const {
    return plugin_.EditorOpen();
}

void TVSTEditor::RequestRefresh(int level) {
    plugin_.RequestRefresh(level);
}

int TVSTEditor::PendingRefreshLevel() const {
    return plugin_.PendingRefreshLevel();
}

void TVSTEditor::idle() {
    if (!plugin_.EditorOpen()) return;
    // Messages kept from construction or the assignment writer, and learned bindings not written yet
    // (without waiting when the writer's own thread is writing).
    plugin_.ShowDeferredMessages();
    plugin_.FlushAssignments(false);
    if (form_) form_->PollInput();
    // Taking the level first keeps requests that arrive during the redraw for the next idle.
    if (const int level = plugin_.TakeRefreshLevel(); level > 0) Refresh(level);
    if (form_ && plugin_.ProgramChangePending()) form_->SetPresetLoadingIndicator(255);
    if (form_) form_->Present();
}

bool TVSTEditor::onKeyDown(int character, int virtualKey, int modifiers) {
    return form_ && form_->HostKey(character, virtualKey, modifiers, true);
}

bool TVSTEditor::onKeyUp(int character, int virtualKey, int modifiers) {
    return form_ && form_->HostKey(character, virtualKey, modifiers, false);
}

void TVSTEditor::Refresh(int level) {
    if (!form_) return;
    float values[TVSTMidiPlugin::kParameterCount];
    const int slot = plugin_.CurrentProgram();
    for (int i = 0; i < TVSTMidiPlugin::kParameterCount; ++i)
        values[i] = plugin_.Programs().Parameter(slot, i);
    form_->SetParameterValues(values, TVSTMidiPlugin::kParameterCount);
    if (level == 1)
        form_->updateStandardControls();
    else if (level == 2)
        form_->updateAllControls();
    else
        form_->updateAll();
    if (!plugin_.ProgramChangePending()) form_->SetPresetLoadingIndicator(0);
}

} // namespace quillon
