// The four-state image button: a momentary action button (bbAction), a toggle (bbHold) or one of a group of
// radio buttons (bbRadio).
//
// States: 0 off, 1 pressed while switching on (held down), 2 on, 3 pressed while switching off. The button
// is active in states 1 and 2; its value is 1.0 then and 0.0 otherwise. "Advance" moves the state:
//   bbAction 0→1, 1→0;   bbHold 0→1→2→3→0;   bbRadio 0→1, 1→2, 2→1.
// A radio advance also turns the other buttons of its group off. An advance that leaves the button active
// starts the blink timer when Blink is set.
//
// Mouse: a left press inside the active rectangle (ActiveLeft..ActiveRight × ActiveTop..ActiveBottom, edges
// included) in state 0 or 2 advances; toggles and radio buttons fire OnChange then. A release (any button,
// anywhere) in state 1 or 3 advances; action buttons fire OnChange then. So an action button reports once on
// release, a toggle on each press, and a radio button on each press, also when it was already on.
//
// A group is the buttons with the same parent and the same non-zero Group; turning the group off sets each
// other one to state 0 without notification.
//
// Drawing: frame = state of the four-frame strips (`EffectLayer` at EffectOpacity under `IndexMain` at
// Opacity). While Blink is set and the blink phase is dark, state 1 shows frame 3 and state 2 frame 0; the
// blink timer (250 ms, driven by AdvanceClock) toggles the phase. With AutoSize the button takes the size of
// one frame. Setting Active or the value from code never notifies. [gui]
#pragma once

#include "toolkit/TDIBControl.h"

#include <cstdint>

namespace quillon {

enum class TButtonBehavior { bbAction, bbHold, bbRadio };

class TBADIBButton : public TDIBControl {
public:
    static constexpr int kFrames = 4;
    static constexpr int kBlinkIntervalMs = 250;

    // The active rectangle starts as the whole of `bounds`.
    explicit TBADIBButton(const TRect& bounds = TRect{});

    int IndexMain() const { return indexMain_; }
    void SetIndexMain(int index);
    int EffectLayer() const { return effectLayer_; }
    void SetEffectLayer(int index);
    std::uint8_t EffectOpacity() const { return effectOpacity_; }
    void SetEffectOpacity(std::uint8_t opacity);
    TFrameStack FrameStack() const { return frameStack_; }
    void SetFrameStack(TFrameStack stack);

    // The mouse-sensitive rectangle in the button's coordinates, edges included.
    int ActiveLeft = 0;
    int ActiveTop = 0;
    int ActiveRight = 0;
    int ActiveBottom = 0;

    TButtonBehavior ButtonBehavior = TButtonBehavior::bbAction;
    // A second free integer for the owner.
    int Tag2 = 0;
    TNotifyEvent OnChange;

    int Group() const { return group_; }
    // Throws std::invalid_argument("Invalid group.") for a negative group (which is not taken). When the
    // button is not off, the rest of its new group is turned off.
    void SetGroup(int group);

    // State 1 or 2.
    bool Active() const { return state_ == 1 || state_ == 2; }
    // true: state 2 (for bbRadio the rest of the group off); false: state 0. Repaints, never notifies.
    void SetActive(bool active);
    double Value() const { return Active() ? 1.0 : 0.0; }
    // x clamped to 0..1: bbAction state round(x), bbHold state round(2x) (ties to even), bbRadio unchanged.
    // Never notifies.
    void SetValue(double x);
    int State() const { return state_; }

    bool Blink() const { return blink_; }
    void SetBlink(bool blink);
    // True while the blink phase is lit.
    bool BlinkLit() const { return blinkLit_; }
    bool BlinkTimerRunning() const { return blinkTimer_.Enabled(); }

    // The frame shown for the state and the blink phase.
    int FrameIndex() const;

    void MouseDown(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;
    void AdvanceClock(int milliseconds) override { blinkTimer_.Advance(milliseconds); }

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;
    void ImageChanged() override;

private:
    void Advance();
    void TurnOffGroup();
    void Notify();

    int indexMain_ = -1;
    int effectLayer_ = -1;
    std::uint8_t effectOpacity_ = 100;
    TFrameStack frameStack_ = TFrameStack::fsHorizontal;
    int group_ = 0;
    int state_ = 0;
    bool blink_ = false;
    bool blinkLit_ = true;
    TDIBTimer blinkTimer_{kBlinkIntervalMs};
};

} // namespace quillon
