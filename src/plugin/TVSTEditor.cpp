#include "plugin/TVSTEditor.h"

#include "core/TVSTMidiPlugin.h"
#include "midi/TMidiHandler.h"
#include "platform/IEditorWindow.h"
#include "platform/ISettingsStore.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

std::atomic<EditorFormFactory> gFormFactory{nullptr};

constexpr vst2::VstInt32 kPresonusScale = 0x50726553; // 'PreS'
constexpr vst2::VstInt32 kAbletonScale = 0x41654373;  // 'AeCs'
constexpr const char* kSettingEditorZoom = "EditorZoom";

int ScaleOfFactor(double factor) {
    return factor >= 1.5 ? 2 : 1;
}

// "200" or "2": 2, "100" or "1": 1; anything else: 0 (not set).
int ScaleOfSetting(const std::string& text) {
    if (text == "200" || text == "2") return 2;
    if (text == "100" || text == "1") return 1;
    return 0;
}

} // namespace

void TVSTEditor::SetFormFactory(EditorFormFactory factory) {
    gFormFactory.store(factory, std::memory_order_release);
}

TVSTEditor::TVSTEditor(TVSTMidiPlugin& plugin) : AEffEditor(&plugin), plugin_(plugin) {
    plugin_.SetEditorOpen(false);
}

TVSTEditor::~TVSTEditor() {
    RestorePrompt();
    form_.reset();
    plugin_.SetEditorOpen(false);
}

int TVSTEditor::PreferredScale() const {
    if (const int setting = ScaleOfSetting(plugin_.Settings().ReadSetting(kSettingEditorZoom).text); setting > 0)
        return setting;
    return platform::PreferredDisplayScale() >= 2 ? 2 : 1;
}

int TVSTEditor::Scale() {
    if (scale_ == 0) scale_ = hostScale_ > 0 ? hostScale_ : PreferredScale();
    return scale_;
}

void TVSTEditor::SetHostScale(float factor) {
    if (!std::isfinite(factor) || factor <= 0.0f) return;
    hostScale_ = ScaleOfFactor(factor);
    if (!plugin_.EditorOpen()) {
        scale_ = hostScale_;
        return;
    }
    if (hostScale_ == scale_) return;
    // Resizing while open needs the host to follow with its own window.
    char sizeWindow[] = "sizeWindow";
    if (!form_ || plugin_.CallHost(vst2::audioMasterCanDo, 0, 0, sizeWindow) <= 0) return;
    const bool rescaled = form_->SetScale(hostScale_);
    InstallPrompt(); // the form may be a new one, even when the new scale failed
    if (!rescaled) return;
    scale_ = hostScale_;
    plugin_.CallHost(vst2::audioMasterSizeWindow, kWidth * scale_, static_cast<vst2::VstIntPtr>(kHeight) * scale_);
    RequestRefresh(3);
    form_->initNonAutomatedControls();
}

vst2::VstIntPtr TVSTEditor::vendorSpecific(vst2::VstInt32 index, vst2::VstIntPtr value, void* /*ptr*/, float opt) {
    if (index != kPresonusScale && index != kAbletonScale) return 0;
    float factor = opt;
    if (!(factor > 0.0f) && index == kAbletonScale && value > 0 && value <= 8) factor = static_cast<float>(value);
    if (!std::isfinite(factor) || factor <= 0.0f) return 0;
    SetHostScale(factor);
    return 1;
}

bool TVSTEditor::getRect(vst2::ERect** rect) {
    const int scale = Scale();
    rect_ = vst2::ERect{0, 0, static_cast<std::int16_t>(kHeight * scale), static_cast<std::int16_t>(kWidth * scale)};
    if (rect) *rect = &rect_;
    return true;
}

bool TVSTEditor::open(void* parentWindow) {
    if (plugin_.EditorOpen()) return true;
    plugin_.SetEditorOpen(true);
    parentWindow_ = parentWindow;
    if (EditorFormFactory factory = gFormFactory.load(std::memory_order_acquire); factory && parentWindow)
        form_ = factory(parentWindow, plugin_, Scale());
    if (form_) form_->SetIdleCallback([this] { idle(); });
    InstallPrompt();
    RequestRefresh(3);
    if (form_) form_->initNonAutomatedControls();
    return true;
}

void TVSTEditor::close() {
    if (!plugin_.EditorOpen()) return;
    plugin_.MidiHandler().SetLearnMode(0); // a running MIDI learn ends with the window
    plugin_.FlushAssignments(true);        // and what it bound reaches the assignment file now
    plugin_.SetEditorOpen(false);
    RestorePrompt();
    if (form_) form_->SetIdleCallback(nullptr);
    if (idling_)
        retired_ = std::move(form_); // its calls are still running further up this thread's stack
    else
        form_.reset();
    parentWindow_ = nullptr;
    scale_ = hostScale_; // the next open settles the scale again, unless the host has said
}

void TVSTEditor::InstallPrompt() {
    std::shared_ptr<platform::IUserPrompt> prompt = form_ ? form_->UserPrompt() : nullptr;
    if (!prompt) return;
    std::shared_ptr<platform::IUserPrompt> replaced = plugin_.SetUserPrompt(std::move(prompt));
    if (!previousPrompt_) previousPrompt_ = std::move(replaced); // a new form's replaces the old form's
}

void TVSTEditor::RestorePrompt() {
    if (previousPrompt_) plugin_.SetUserPrompt(std::move(previousPrompt_));
    previousPrompt_.reset();
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
    if (!plugin_.EditorOpen() || idling_) return;
    struct TIdleScope {
        TVSTEditor& editor;
        explicit TIdleScope(TVSTEditor& e) : editor(e) { editor.idling_ = true; }
        ~TIdleScope() {
            editor.idling_ = false;
            editor.retired_.reset();
        }
        TIdleScope(const TIdleScope&) = delete;
        TIdleScope& operator=(const TIdleScope&) = delete;
    } scope(*this);
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
