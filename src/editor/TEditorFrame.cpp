#include "editor/TEditorFrame.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUI.h"
#include "host/vst2.h"
#include "toolkit/THookEdit.h"

#include <algorithm>
#include <cstdlib>

namespace quillon {

namespace {

using platform::WindowEvent;
using platform::WindowEventType;

// The longest step the timers take at once: after a host stalled for seconds, a blink goes on from where it
// was instead of racing through the missed phases.
constexpr int kMaxClockStep = 250;
constexpr auto kDoubleClickTime = std::chrono::milliseconds(500);
constexpr int kDoubleClickSlop = 4; // logical pixels

class TReentryGuard {
public:
    explicit TReentryGuard(bool& busy) : busy_(busy), entered_(!busy) { busy_ = true; }
    ~TReentryGuard() {
        if (entered_) busy_ = false;
    }
    TReentryGuard(const TReentryGuard&) = delete;
    TReentryGuard& operator=(const TReentryGuard&) = delete;
    bool Entered() const { return entered_; }

private:
    bool& busy_;
    bool entered_;
};

TMouseButton ButtonOf(platform::MouseButton button) {
    switch (button) {
    case platform::MouseButton::kRight:
        return TMouseButton::Right;
    case platform::MouseButton::kMiddle:
        return TMouseButton::Middle;
    default:
        return TMouseButton::Left;
    }
}

// The edit key of a named key; Other for the keys a name editor does not know.
TEditKey EditKeyOf(platform::NamedKey key) {
    switch (key) {
    case platform::NamedKey::kBackspace:
        return TEditKey::Backspace;
    case platform::NamedKey::kEnter:
        return TEditKey::Enter;
    case platform::NamedKey::kEscape:
        return TEditKey::Escape;
    case platform::NamedKey::kLeft:
        return TEditKey::Left;
    case platform::NamedKey::kRight:
        return TEditKey::Right;
    case platform::NamedKey::kDelete:
        return TEditKey::Delete;
    case platform::NamedKey::kUp:
        return TEditKey::Up;
    case platform::NamedKey::kDown:
        return TEditKey::Down;
    case platform::NamedKey::kHome:
        return TEditKey::Home;
    case platform::NamedKey::kEnd:
        return TEditKey::End;
    default:
        return TEditKey::Other;
    }
}

TEditKey EditKeyOfVirtual(int virtualKey) {
    switch (virtualKey) {
    case vst2::VKEY_BACK:
        return TEditKey::Backspace;
    case vst2::VKEY_RETURN:
    case vst2::VKEY_ENTER:
        return TEditKey::Enter;
    case vst2::VKEY_ESCAPE:
        return TEditKey::Escape;
    case vst2::VKEY_LEFT:
        return TEditKey::Left;
    case vst2::VKEY_RIGHT:
        return TEditKey::Right;
    case vst2::VKEY_DELETE:
        return TEditKey::Delete;
    case vst2::VKEY_UP:
        return TEditKey::Up;
    case vst2::VKEY_DOWN:
        return TEditKey::Down;
    case vst2::VKEY_HOME:
        return TEditKey::Home;
    case vst2::VKEY_END:
        return TEditKey::End;
    default:
        return TEditKey::Other;
    }
}

int ToLogical(int device, int scale) {
    return device >= 0 ? device / scale : -((-device + scale - 1) / scale);
}

bool Inside(const TDIBControl& control, const TDIBControl& root) {
    for (const TDIBControl* c = &control; c; c = c->Parent())
        if (c == &root) return true;
    return false;
}

} // namespace

TEditorFrame::TEditorFrame(platform::NativeWindow parent, TCustomVSTMidiPlugin& plugin, int scale)
    : parent_(parent), plugin_(plugin), scale_(scale == 2 ? 2 : 1), form_(std::make_unique<TPluginGUI>(plugin, scale_)),
      buffer_(TPluginGUI::kWidth * scale_, TPluginGUI::kHeight * scale_), lastTick_(std::chrono::steady_clock::now()) {
    TryOpenWindow();
}

TEditorFrame::~TEditorFrame() {
    // 1. End editing, close menus and panels. 2. Stop the timers (no more clock). 3–7. The window's own
    // teardown: outstanding puts, images and cursors, the window unless it is gone, the connection.
    EndInteraction();
    window_.reset();
    form_.reset();
}

void TEditorFrame::EndInteraction() {
    if (THookEdit* edit = THookEdit::ActiveEdit(); edit && Inside(*edit, form_->Root())) edit->Deactivate();
    if (TMenuLayer* menus = form_->Root().MenuLayer()) menus->Close();
    if (window_ && holdingFocus_) window_->ReturnKeyboardFocus();
    holdingFocus_ = false;
}

std::shared_ptr<platform::IUserPrompt> TEditorFrame::UserPrompt() {
    return form_ ? form_->UserPrompt() : nullptr;
}

bool TEditorFrame::SetScale(int scale) {
    const TReentryGuard guard(busy_);
    if (!guard.Entered()) return false;
    scale = scale == 2 ? 2 : 1;
    if (scale == scale_) return true;
    // The controls refer to the skin's images and fonts, so the form is built again around the new skin.
    EndInteraction();
    form_.reset();
    try {
        form_ = std::make_unique<TPluginGUI>(plugin_, scale);
    } catch (const std::exception&) {
        form_ = std::make_unique<TPluginGUI>(plugin_, scale_); // the skin that worked before
        form_->FormPaint();
        return false;
    }
    scale_ = scale;
    buffer_ = TPixelBuffer(TPluginGUI::kWidth * scale_, TPluginGUI::kHeight * scale_);
    if (window_) window_->Resize(buffer_.Width(), buffer_.Height());
    cursor_ = -1;
    form_->FormPaint();
    return true;
}

void TEditorFrame::TryOpenWindow() {
    if (window_ || windowGone_ || parent_ == 0) return;
    platform::EditorWindowError error = platform::EditorWindowError::kNone;
    window_ = platform::CreateEditorWindow(parent_, buffer_.Width(), buffer_.Height(), &error);
    if (window_) {
        window_->SetIdleCallback(idle_);
        form_->FormPaint();
        return;
    }
    // A missing parent may still come (the host makes it after effEditOpen); anything else will not.
    if (error != platform::EditorWindowError::kParentMissing) windowGone_ = true;
}

void TEditorFrame::SetIdleCallback(const std::function<void()>& idle) {
    idle_ = idle;
    if (window_) window_->SetIdleCallback(idle_);
}

void TEditorFrame::SetParameterValues(const float* values, int count) {
    form_->SetParameterValues(values, count);
}
void TEditorFrame::updateStandardControls() {
    form_->updateStandardControls();
}
void TEditorFrame::updateAllControls() {
    form_->updateAllControls();
}
void TEditorFrame::updateAll() {
    form_->updateAll();
}
void TEditorFrame::initNonAutomatedControls() {
    form_->initNonAutomatedControls();
}
void TEditorFrame::SetPresetLoadingIndicator(std::uint8_t opacity) {
    form_->SetPresetLoadingIndicator(opacity);
}

void TEditorFrame::PollInput() {
    const TReentryGuard guard(busy_);
    if (!guard.Entered()) return;
    TryOpenWindow();

    if (window_) {
        events_.clear();
        window_->PollEvents(events_);
        for (const WindowEvent& event : events_) {
            Handle(event);
            if (!window_) break;
        }
    }

    const auto now = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastTick_).count();
    if (elapsed > 0) {
        form_->AdvanceClock(static_cast<int>(std::min<long long>(elapsed, kMaxClockStep)));
        lastTick_ += std::chrono::milliseconds(elapsed);
    }
    FollowKeyboardFocus();
}

void TEditorFrame::Handle(const WindowEvent& event) {
    const TMouseEvent mouse{ToLogical(event.x, scale_), ToLogical(event.y, scale_), ButtonOf(event.button), event.shift,
                            event.control};
    switch (event.type) {
    case WindowEventType::kMouseDown: {
        panelFocusDeclined_ = false;
        form_->MouseDown(mouse);
        if (mouse.button != TMouseButton::Left) break;
        const auto now = std::chrono::steady_clock::now();
        const bool twice = now - lastPress_ <= kDoubleClickTime &&
                           std::abs(mouse.x - lastPressX_) <= kDoubleClickSlop &&
                           std::abs(mouse.y - lastPressY_) <= kDoubleClickSlop;
        lastPress_ = now;
        lastPressX_ = mouse.x;
        lastPressY_ = mouse.y;
        if (twice) {
            form_->MouseDoubleClick(mouse);
            lastPressX_ = -1000; // a third press starts anew
        }
        break;
    }
    case WindowEventType::kMouseMove:
        form_->MouseMove(mouse);
        break;
    case WindowEventType::kMouseUp:
        form_->MouseUp(mouse);
        break;
    case WindowEventType::kWheel:
        form_->ModalLayer().MouseWheel(mouse, event.wheelSteps); // the form's own controls take no wheel
        break;
    case WindowEventType::kKeyDown:
    case WindowEventType::kKeyUp: {
        TKeyEvent key;
        key.key = EditKeyOf(event.key);
        key.down = event.type == WindowEventType::kKeyDown;
        if (key.key == TEditKey::Other && event.character != 0) key.chars.assign(1, static_cast<char>(event.character));
        DispatchKey(key);
        break;
    }
    case WindowEventType::kFocusIn:
        windowHasFocus_ = true;
        break;
    case WindowEventType::kFocusOut:
        windowHasFocus_ = false;
        holdingFocus_ = false;
        if (form_->ModalLayer().IsOpen()) panelFocusDeclined_ = true;
        if (THookEdit* edit = THookEdit::ActiveEdit(); edit && Inside(*edit, form_->Root())) edit->KillFocus();
        break;
    case WindowEventType::kExpose:
        form_->FormPaint();
        break;
    case WindowEventType::kDestroyed:
        window_.reset();
        windowGone_ = true;
        windowHasFocus_ = holdingFocus_ = false;
        break;
    }
}

bool TEditorFrame::DispatchKey(const TKeyEvent& event) {
    const THookEdit* edit = THookEdit::ActiveEdit();
    const bool editing = edit && Inside(*edit, form_->Root());
    if (!editing && !form_->ModalLayer().IsOpen()) return false;
    return form_->KeyEvent(event);
}

bool TEditorFrame::HostKey(int character, int virtualKey, int /*modifiers*/, bool down) {
    if (windowHasFocus_) return false; // the window gets the same keys itself
    const TReentryGuard guard(busy_);
    if (!guard.Entered()) return false;
    TKeyEvent key;
    key.key = EditKeyOfVirtual(virtualKey);
    key.down = down;
    if (key.key == TEditKey::Other) {
        if (virtualKey == vst2::VKEY_SPACE) character = ' ';
        if (character > 0 && character < 256) key.chars.assign(1, static_cast<char>(character));
    }
    return DispatchKey(key);
}

void TEditorFrame::FollowKeyboardFocus() {
    if (!window_) return;
    const THookEdit* edit = THookEdit::ActiveEdit();
    // A panel takes the keyboard too (a dialog's list and buttons answer to keys), unless the user took it
    // elsewhere while the panel was open: then only a click into the editor takes it back.
    const bool panel = form_->ModalLayer().IsOpen();
    if (!panel) panelFocusDeclined_ = false;
    const bool editing = (edit && edit->Focused() && Inside(*edit, form_->Root())) || (panel && !panelFocusDeclined_);
    if (editing && !holdingFocus_) {
        window_->TakeKeyboardFocus();
        holdingFocus_ = true;
    } else if (!editing && holdingFocus_) {
        window_->ReturnKeyboardFocus();
        holdingFocus_ = false;
    }
    const int cursor = static_cast<int>(form_->Cursor());
    if (cursor != cursor_) {
        window_->SetCursor(form_->Cursor() == TCursor::Hand ? platform::WindowCursor::kHand
                                                            : platform::WindowCursor::kArrow);
        cursor_ = cursor;
    }
}

void TEditorFrame::Present() {
    const TReentryGuard guard(busy_);
    if (!guard.Entered()) return;
    const TRect painted = form_->Paint(buffer_);
    if (!window_ || painted.Empty()) return;
    const platform::PixelView view{buffer_.Row(0), buffer_.Width(), buffer_.Height(), buffer_.Stride()};
    const platform::PixelRect rect{painted.left * scale_, painted.top * scale_, painted.Width() * scale_,
                                   painted.Height() * scale_};
    window_->Present(view, std::span(&rect, 1));
}

// The factory the editor shell uses.
std::unique_ptr<IEditorForm> CreateEditorFrame(void* parentWindow, TVSTMidiPlugin& plugin, int scale) {
    auto* synthesizer = dynamic_cast<TCustomVSTMidiPlugin*>(&plugin);
    if (!synthesizer) return nullptr;
    try {
        return std::make_unique<TEditorFrame>(reinterpret_cast<platform::NativeWindow>(parentWindow), *synthesizer,
                                              scale);
    } catch (const std::exception&) {
        return nullptr; // no skin, no memory: the editor opens without a window
    }
}

} // namespace quillon
