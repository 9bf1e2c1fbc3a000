// The in-buffer pop-up menu: a click runs an item's handler once and closes, disabled items and clicks
// outside run nothing, radio groups, sub-menus opening right or left, placement inside the window,
// scrolling, and the layer drawn on top of the controls and taking the mouse before them.
#include "toolkit/TPopupMenu.h"

#include "ControlTestSupport.h"
#include "support/TestGlyphAtlas.h"
#include "toolkit/TBADIBButton.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillon {
namespace {

using test::TestWindow;

struct TPopupMenuTest : ::testing::Test {
    TestWindow window{200, 120};
    TMenuLayer layer;
    TPopupMenu menu;
    std::vector<int> clicked; // tags of the items whose handler ran

    TPopupMenuTest() {
        layer.Style.atlas = &test::TestGlyphAtlas();
        window.root.SetMenuLayer(&layer);
    }

    TMenuItem& AddItem(TMenuItem& parent, int tag, const char* caption) {
        TMenuItem& item = parent.Add(tag, caption);
        item.OnClick = [this](TMenuItem& sender) { clicked.push_back(sender.Tag); };
        return item;
    }

    void Click(int x, int y) {
        window.Down(x, y);
        window.Up(x, y);
    }
    void ClickItem(int level, int index) {
        const TRect row = layer.ItemRect(level, index);
        ASSERT_FALSE(row.Empty());
        Click((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    }
    void HoverItem(int level, int index) {
        const TRect row = layer.ItemRect(level, index);
        ASSERT_FALSE(row.Empty());
        window.Move((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    }
};

TEST_F(TPopupMenuTest, AClickOnAnItemRunsItsHandlerOnceAndCloses) {
    AddItem(menu.Items, 5, "Io");
    AddItem(menu.Items, 7, "go");
    // A button under the menu must not see the click.
    TBADIBButton button(TRect::FromSize(0, 0, 200, 120));
    button.ActiveRight = 200;
    button.ActiveBottom = 120;
    button.ButtonBehavior = TButtonBehavior::bbHold;
    window.root.Add(button);
    layer.Open(menu, 20, 20);
    ClickItem(0, 1);
    EXPECT_EQ(clicked, std::vector<int>{7});
    EXPECT_FALSE(layer.IsOpen());
    EXPECT_EQ(button.State(), 0);
    // With the menu closed the mouse reaches the controls again.
    Click(100, 100);
    EXPECT_EQ(button.State(), 2);
}

TEST_F(TPopupMenuTest, ADisabledItemOrASeparatorDoesNothing) {
    AddItem(menu.Items, 1, "Io");
    menu.Items.AddSeparator();
    AddItem(menu.Items, 3, "go").Enabled = false;
    layer.Open(menu, 20, 20);
    ClickItem(0, 2);
    ClickItem(0, 1);
    EXPECT_TRUE(clicked.empty());
    EXPECT_TRUE(layer.IsOpen());
    ClickItem(0, 0);
    EXPECT_EQ(clicked, std::vector<int>{1});
}

TEST_F(TPopupMenuTest, APressOutsideClosesWithoutRunningAnythingAndDoesNotReachTheControlThere) {
    AddItem(menu.Items, 1, "Io");
    TBADIBButton button(TRect::FromSize(150, 90, 20, 20));
    button.ActiveRight = 20;
    button.ActiveBottom = 20;
    button.ButtonBehavior = TButtonBehavior::bbHold;
    window.root.Add(button);
    layer.Open(menu, 20, 20);
    Click(160, 100);
    EXPECT_FALSE(layer.IsOpen());
    EXPECT_TRUE(clicked.empty());
    EXPECT_EQ(button.State(), 0);
}

TEST_F(TPopupMenuTest, ARadioGroupKeepsOneItemChecked) {
    std::vector<TMenuItem*> group;
    for (int tag = 0; tag < 3; ++tag) {
        TMenuItem& item = AddItem(menu.Items, tag, "Io");
        item.RadioItem = true;
        item.AutoCheck = true;
        item.GroupIndex = 1;
        group.push_back(&item);
    }
    TMenuItem& other = AddItem(menu.Items, 9, "go");
    other.RadioItem = true;
    other.GroupIndex = 2;
    other.SetChecked(true);
    group[0]->SetChecked(true);
    for (int pick : {2, 1, 1}) {
        layer.Open(menu, 20, 20);
        ClickItem(0, pick);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(group[static_cast<std::size_t>(k)]->Checked(), k == pick) << "pick " << pick << " item " << k;
        EXPECT_TRUE(other.Checked()); // another group
    }
    EXPECT_EQ(clicked, (std::vector<int>{2, 1, 1}));
}

TEST_F(TPopupMenuTest, ASubMenuOpensToTheRightLevelWithItsItem) {
    AddItem(menu.Items, 1, "Io");
    TMenuItem& sub = menu.Items.Add(2, "go");
    AddItem(sub, 20, "I");
    AddItem(sub, 21, "o");
    layer.Open(menu, 10, 10);
    HoverItem(0, 1);
    ASSERT_EQ(layer.Depth(), 2);
    EXPECT_EQ(layer.MenuRect(1).left, layer.MenuRect(0).right);
    EXPECT_EQ(layer.MenuRect(1).top, layer.ItemRect(0, 1).top - TMenuLayer::kFrame);
    // Moving back to the first item closes the sub-menu; the sub-menu item runs its handler and closes all.
    HoverItem(0, 0);
    EXPECT_EQ(layer.Depth(), 1);
    HoverItem(0, 1);
    ClickItem(1, 1);
    EXPECT_EQ(clicked, std::vector<int>{21});
    EXPECT_FALSE(layer.IsOpen());
}

TEST_F(TPopupMenuTest, ASubMenuOpensToTheLeftWhenThereIsNoRoomOnTheRight) {
    TMenuItem& sub = menu.Items.Add(2, "go");
    AddItem(sub, 20, "I");
    layer.Open(menu, 120, 10);
    HoverItem(0, 0);
    ASSERT_EQ(layer.Depth(), 2);
    EXPECT_EQ(layer.MenuRect(1).right, layer.MenuRect(0).left);
    EXPECT_TRUE(layer.Area().Contains(layer.MenuRect(1)));
    ClickItem(1, 0);
    EXPECT_EQ(clicked, std::vector<int>{20});
}

TEST_F(TPopupMenuTest, AMenuNearTheBottomOrRightEdgeShiftsToStayInside) {
    for (int tag = 0; tag < 4; ++tag)
        AddItem(menu.Items, tag, "Io");
    layer.Open(menu, 190, 110);
    const TRect r = layer.MenuRect(0);
    EXPECT_EQ(r.bottom, 120);
    EXPECT_EQ(r.right, 200);
    EXPECT_EQ(r.Height(), 4 * layer.Style.itemHeight + 2 * TMenuLayer::kFrame);
    EXPECT_FALSE(layer.Scrolls(0));
    ClickItem(0, 3);
    EXPECT_EQ(clicked, std::vector<int>{3});
}

TEST_F(TPopupMenuTest, AMenuTallerThanTheWindowFillsItsHeightAndScrolls) {
    for (int tag = 0; tag < 20; ++tag)
        AddItem(menu.Items, tag, "Io");
    layer.Open(menu, 10, 50);
    const TRect r = layer.MenuRect(0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 120);
    ASSERT_TRUE(layer.Scrolls(0));
    EXPECT_TRUE(layer.ItemRect(0, 19).Empty());
    // The bottom arrow moves on by one item per press until the last item shows, and no further.
    for (int k = 0; k < 30; ++k)
        Click(r.left + 10, r.bottom - 3);
    EXPECT_FALSE(layer.ItemRect(0, 19).Empty());
    EXPECT_TRUE(r.Contains(layer.ItemRect(0, 19)));
    const int first = layer.FirstVisible(0);
    EXPECT_GT(first, 0);
    EXPECT_TRUE(layer.ItemRect(0, first - 1).Empty());
    Click(r.left + 10, r.top + 3);
    EXPECT_EQ(layer.FirstVisible(0), first - 1);
    EXPECT_TRUE(layer.IsOpen());
    EXPECT_TRUE(clicked.empty());
    ClickItem(0, first - 1);
    EXPECT_EQ(clicked, std::vector<int>{first - 1});
}

TEST_F(TPopupMenuTest, TheMenuIsDrawnOverTheControlsAndHighlightsTheItemUnderTheMouse) {
    AddItem(menu.Items, 1, "Io");
    AddItem(menu.Items, 2, "go");
    TBADIBButton button(TRect::FromSize(0, 0, 200, 120));
    TDIBImageList images;
    images.Add(test::MakeStrip(TBADIBButton::kFrames, 200, 120), test::kKey);
    button.SetDIBImageList(&images);
    button.SetIndexMain(0);
    window.root.Add(button);
    layer.Open(menu, 30, 30);
    window.dirty.Take();
    const TRect row = layer.ItemRect(0, 1);
    EXPECT_EQ(window.PaintAndRead(row.right - 2, row.bottom - 2), layer.Style.background);
    HoverItem(0, 1);
    EXPECT_TRUE(window.dirty.Rects().Bounds().Contains(row));
    EXPECT_EQ(window.PaintAndRead(row.right - 2, row.bottom - 2), layer.Style.highlight);
    EXPECT_EQ(window.PaintAndRead(5, 5), test::FrameColour(0));
    layer.Close();
    EXPECT_EQ(window.PaintAndRead(row.right - 2, row.bottom - 2), test::FrameColour(0));
}

} // namespace
} // namespace quillon
