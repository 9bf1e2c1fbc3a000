// The four-state button: when action buttons, toggles and radio buttons change state and report, the active
// rectangle, groups, values set from code, the frame drawn per state and blinking.
#include "toolkit/TBADIBButton.h"

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace quillon {
namespace {

using test::FrameColour;
using test::MakeStrip;
using test::TestWindow;

struct TBADIBButtonTest : ::testing::Test {
    TestWindow window;
    TDIBImageList images;
    std::vector<std::pair<TBADIBButton*, double>> reports; // sender and its value when it reported

    TBADIBButtonTest() { images.Add(MakeStrip(TBADIBButton::kFrames, 16, 16), test::kKey); }

    // A 16 × 16 button at (x, y) (autosized from the strip).
    void SetUp(TBADIBButton& button, TButtonBehavior behavior, int group = 0) {
        button.ButtonBehavior = behavior;
        button.SetDIBImageList(&images);
        button.SetIndexMain(0);
        button.SetGroup(group);
        button.OnChange = [this](TDIBControl& sender) {
            auto& b = static_cast<TBADIBButton&>(sender);
            reports.emplace_back(&b, b.Value());
        };
        window.root.Add(button);
    }
    void Click(int x, int y) {
        window.Down(x, y);
        window.Up(x, y);
    }
};

TEST_F(TBADIBButtonTest, ActionReportsOnReleaseAndToggleOnEachPress) {
    TBADIBButton action{TRect::FromSize(10, 10, 16, 16)};
    SetUp(action, TButtonBehavior::bbAction);
    window.Down(15, 15);
    EXPECT_EQ(action.State(), 1);
    EXPECT_TRUE(reports.empty());
    window.Up(100, 100); // released elsewhere: still released
    EXPECT_EQ(action.State(), 0);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].second, 0.0);

    reports.clear();
    TBADIBButton toggle{TRect::FromSize(40, 10, 16, 16)};
    SetUp(toggle, TButtonBehavior::bbHold);
    window.Down(45, 15);
    EXPECT_EQ(toggle.State(), 1);
    window.Up(45, 15);
    EXPECT_EQ(toggle.State(), 2);
    window.Down(45, 15);
    EXPECT_EQ(toggle.State(), 3);
    window.Up(45, 15);
    EXPECT_EQ(toggle.State(), 0);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].second, 1.0);
    EXPECT_EQ(reports[1].second, 0.0);

    // Only the left button presses.
    window.Down(45, 15, false, TMouseButton::Right);
    window.Up(45, 15, TMouseButton::Right);
    EXPECT_EQ(toggle.State(), 0);
    EXPECT_EQ(reports.size(), 2u);
}

TEST_F(TBADIBButtonTest, AToggleIgnoresAPressOutsideItsActiveRectangle) {
    TBADIBButton toggle{TRect::FromSize(10, 10, 16, 16)};
    SetUp(toggle, TButtonBehavior::bbHold);
    toggle.ActiveLeft = 4;
    toggle.ActiveTop = 4;
    toggle.ActiveRight = 8;
    toggle.ActiveBottom = 8;
    Click(12, 12); // inside the button, outside the active rectangle
    Click(19, 15);
    EXPECT_EQ(toggle.State(), 0);
    toggle.SetActive(true);
    Click(12, 12); // on: the release finds state 2 and leaves it
    EXPECT_EQ(toggle.State(), 2);
    EXPECT_TRUE(reports.empty());
    Click(18, 18); // the edges belong to the rectangle
    EXPECT_EQ(toggle.State(), 0);
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(TBADIBButtonTest, RadioGroupsPressingAnotherReleasesTheFormerAndPressingAgainReportsAgain) {
    TBADIBButton a{TRect::FromSize(10, 10, 16, 16)};
    TBADIBButton b{TRect::FromSize(30, 10, 16, 16)};
    TBADIBButton c{TRect::FromSize(50, 10, 16, 16)};
    TBADIBButton elsewhere{TRect::FromSize(70, 10, 16, 16)};
    SetUp(a, TButtonBehavior::bbRadio, 1);
    SetUp(b, TButtonBehavior::bbRadio, 1);
    SetUp(c, TButtonBehavior::bbRadio, 1);
    SetUp(elsewhere, TButtonBehavior::bbRadio, 2);
    Click(75, 15);
    Click(15, 15);
    EXPECT_TRUE(a.Active());
    EXPECT_TRUE(elsewhere.Active()); // another group
    window.Down(35, 15);
    EXPECT_EQ(b.State(), 1);
    EXPECT_EQ(a.State(), 0); // released on the press
    window.Up(35, 15);
    EXPECT_EQ(b.State(), 2);

    reports.clear();
    window.Down(35, 15); // already on: reports again and stays on
    EXPECT_EQ(b.State(), 1);
    window.Up(35, 15);
    EXPECT_EQ(b.State(), 2);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], std::make_pair(&b, 1.0));
    EXPECT_FALSE(a.Active());
    EXPECT_FALSE(c.Active());
    EXPECT_TRUE(elsewhere.Active());

    // From code: no reports; Active on a radio button turns the group off; joining a group while on
    // turns the rest of the new group off.
    reports.clear();
    c.SetActive(true);
    EXPECT_FALSE(b.Active());
    elsewhere.SetGroup(1);
    EXPECT_FALSE(c.Active());
    EXPECT_THROW(elsewhere.SetGroup(-1), std::invalid_argument);
    EXPECT_EQ(elsewhere.Group(), 1);
    EXPECT_TRUE(reports.empty());
}

TEST_F(TBADIBButtonTest, ValuesSetFromCodeNeverReport) {
    TBADIBButton action{TRect::FromSize(10, 10, 16, 16)};
    TBADIBButton toggle{TRect::FromSize(30, 10, 16, 16)};
    TBADIBButton radio{TRect::FromSize(50, 10, 16, 16)};
    SetUp(action, TButtonBehavior::bbAction);
    SetUp(toggle, TButtonBehavior::bbHold);
    SetUp(radio, TButtonBehavior::bbRadio);
    toggle.SetValue(0.6); // round(1.2) = state 1
    EXPECT_EQ(toggle.State(), 1);
    toggle.SetValue(0.25); // round(0.5): ties to even, state 0
    EXPECT_EQ(toggle.State(), 0);
    toggle.SetValue(0.75); // round(1.5) = 2
    EXPECT_EQ(toggle.State(), 2);
    toggle.SetValue(7.0); // clamped to 1: state 2
    EXPECT_EQ(toggle.State(), 2);
    action.SetValue(0.7);
    EXPECT_EQ(action.State(), 1);
    radio.SetValue(1.0); // radio buttons ignore the value
    EXPECT_EQ(radio.State(), 0);
    toggle.SetActive(false);
    EXPECT_EQ(toggle.Value(), 0.0);
    EXPECT_TRUE(reports.empty());
}

TEST_F(TBADIBButtonTest, DrawsTheFrameOfItsStateAndBlinksOnTheCallersClock) {
    TBADIBButton toggle{TRect::FromSize(10, 10, 3, 3)};
    SetUp(toggle, TButtonBehavior::bbHold);
    EXPECT_EQ(toggle.Bounds(), TRect::FromSize(10, 10, 16, 16)); // autosized to one frame
    // The active rectangle keeps the size the button was created with (3 × 3), so press at its corner.
    toggle.SetBlink(true);
    EXPECT_EQ(window.PaintAndRead(15, 15), FrameColour(0));
    window.Down(11, 11);
    EXPECT_EQ(window.PaintAndRead(15, 15), FrameColour(1));
    EXPECT_TRUE(toggle.BlinkTimerRunning());
    window.root.AdvanceClock(249);
    EXPECT_TRUE(toggle.BlinkLit());
    window.dirty.Take();
    window.root.AdvanceClock(1); // dark: state 1 shows frame 3, and the button is repainted
    EXPECT_FALSE(toggle.BlinkLit());
    EXPECT_EQ(window.PaintAndRead(15, 15), FrameColour(3));
    EXPECT_EQ(window.dirty.Take().Bounds(), TRect::FromSize(10, 10, 16, 16));
    window.Up(11, 11);
    EXPECT_EQ(window.PaintAndRead(15, 15), FrameColour(0)); // state 2, dark
    window.root.AdvanceClock(250);
    EXPECT_EQ(window.PaintAndRead(15, 15), FrameColour(2)); // state 2, lit
    window.Down(11, 11);
    EXPECT_EQ(window.PaintAndRead(15, 15), FrameColour(3)); // state 3 does not blink
    window.root.AdvanceClock(250);
    EXPECT_EQ(window.PaintAndRead(15, 15), FrameColour(3));
    EXPECT_EQ(window.PaintAndRead(10, 10), test::kBackdrop); // the key colour is left out
}

} // namespace
} // namespace quillon
