// The owner-drawn list and the program list with its in-place name editor: row colours and text, the
// repair of the previous selection, scrolling, rows in several columns, row texts with their numbers, renaming (commit,
// Escape, abandon by a click, the 24-character limit) and a second rename committing the first.
#include "toolkit/TPatchListBox.h"

#include "ControlTestSupport.h"
#include "support/TestGlyphAtlas.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

using test::TestWindow;

constexpr TPixel kEven = Rgb(250, 250, 250);
constexpr TPixel kOdd = Rgb(250, 250, 0);
constexpr TPixel kSelected = Rgb(0, 0, 200);
constexpr TPixel kFont = Rgb(1, 1, 1);
constexpr TPixel kSelectedFont = Rgb(255, 255, 254);

// Exposes the drawing of single rows, as the platform asks for it.
struct TestList : TBAListBox {
    using TBAListBox::DrawItem;
};

void Colour(TBAListBox& list) {
    list.LineColorEven = kEven;
    list.LineColorOdd = kOdd;
    list.LineColorSelected = kSelected;
    list.FontColor = kFont;
    list.FontSelectedColor = kSelectedFont;
    list.Font = &test::TestGlyphAtlas();
}

TKeyEvent Key(TEditKey key) {
    return TKeyEvent{key, true, {}};
}
TKeyEvent Type(std::string chars) {
    return TKeyEvent{TEditKey::Other, true, std::move(chars)};
}

TEST(TBAListBoxTest, RowsAreFilledByParityOrSelectionAndWrittenOnePixelIn) {
    TestWindow window;
    TestList list;
    list.SetBounds(TRect::FromSize(10, 10, 100, 48)); // three rows of 16
    Colour(list);
    for (int i = 0; i < 5; ++i)
        list.AddItem("I");
    list.SetItemIndex(2);
    window.root.Add(list);
    // Row i's 'I' (bearing 1, 2 × 7 ink) lies at x 12 … 13 and y (top of row) + 3 … + 9.
    EXPECT_EQ(window.PaintAndRead(11, 15), kEven); // the pixel the text starts at: no ink
    EXPECT_EQ(window.PaintAndRead(12, 15), kFont);
    EXPECT_EQ(window.PaintAndRead(50, 15), kEven);
    EXPECT_EQ(window.PaintAndRead(12, 31), kFont);
    EXPECT_EQ(window.PaintAndRead(50, 31), kOdd);
    EXPECT_EQ(window.PaintAndRead(12, 47), kSelectedFont);
    EXPECT_EQ(window.PaintAndRead(50, 47), kSelected);

    // Scrolling: the top row is max(0, top + n), and never past the last row.
    list.ScrollBy(2);
    EXPECT_EQ(list.TopIndex(), 2);
    EXPECT_EQ(window.PaintAndRead(50, 15), kSelected); // row 2 is now at the top
    EXPECT_EQ(window.PaintAndRead(50, 31), kOdd);      // row 3
    EXPECT_EQ(list.ItemAt(50, 20), 3);
    EXPECT_EQ(list.ItemAt(50, 40), 4);
    EXPECT_EQ(list.ItemAt(50, 48), -1); // below the control
    list.ScrollBy(-5);
    EXPECT_EQ(list.TopIndex(), 0);
    list.ScrollBy(100);
    EXPECT_EQ(list.TopIndex(), 4);
    EXPECT_EQ(list.ItemAt(50, 10), 4);
    EXPECT_EQ(list.ItemAt(50, 20), -1); // below the last row

    // A press selects the row under it.
    list.SetTopIndex(0);
    window.Down(50, 30);
    window.Up(50, 30);
    EXPECT_EQ(list.ItemIndex(), 1);
}

TEST(TBAListBoxTest, DrawingARowRepairsTheRowDrawnBeforeIt) {
    TPixelBuffer buffer(120, 80);
    TestList list;
    list.SetBounds(TRect::FromSize(0, 0, 100, 64));
    Colour(list);
    for (int i = 0; i < 4; ++i)
        list.AddItem("I");
    EXPECT_EQ(list.LastDrawn(), -1);
    TPainter painter(buffer);
    list.SetItemIndex(1);
    list.DrawItem(painter, list.WindowRect(), 1);
    EXPECT_EQ(buffer.At(50, 20), kSelected);
    // The selection moves to row 3 and only row 3 is drawn: row 1 loses its highlight as well.
    list.SetItemIndex(3);
    list.DrawItem(painter, list.WindowRect(), 3);
    EXPECT_EQ(buffer.At(50, 52), kSelected);
    EXPECT_EQ(buffer.At(50, 20), kOdd);
    EXPECT_EQ(buffer.At(3, 20), kFont);
    EXPECT_EQ(list.LastDrawn(), 3);
    // A row drawn last that no longer exists is left alone.
    list.Clear();
    list.AddItem("I");
    buffer.Fill(0);
    list.DrawItem(painter, list.WindowRect(), 0);
    EXPECT_EQ(buffer.At(50, 52), 0u);
}

TEST(TBAListBoxTest, ColumnsContinueTheRowsAndScrollTogether) {
    TestWindow window(260, 120);
    THookEdit edit{TRect::FromSize(0, 0, 20, 14)};
    TPatchListBox list{TRect::FromSize(10, 10, 201, 50)}; // columns of 50 (one pixel left over), 3 rows of 16
    list.SetItemHeight(16);
    list.SetColumns(4);
    list.SetEditBox(&edit);
    Colour(list);
    list.SetPrograms(13);
    list.SetItem(0, "IIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIII"); // wider than its column
    list.SetItem(3, "");
    list.SetItemIndex(4);
    window.root.Add(edit);
    window.root.Add(list);

    EXPECT_EQ(list.RowsPerColumn(), 3);
    EXPECT_EQ(list.ItemRect(4), TRect::FromSize(50, 16, 50, 16));
    EXPECT_EQ(list.ItemAt(60, 20), 4);
    EXPECT_EQ(list.ItemAt(199, 47), 11);
    EXPECT_EQ(list.ItemAt(200, 20), -1); // the pixel left over
    EXPECT_EQ(list.ItemAt(60, 48), -1);  // below the whole rows
    EXPECT_EQ(window.PaintAndRead(10 + 95, 10 + 24), kSelected);
    EXPECT_EQ(window.PaintAndRead(10 + 95, 10 + 8), kOdd); // row 3 at the top of the second column
    for (int x = 50; x < 56; ++x)
        EXPECT_EQ(window.PaintAndRead(10 + x, 10 + 8), kOdd) << x; // row 0's text stops at its column

    // Scrolling moves every column: rows above the top one are above the first column, the rest flow on.
    list.SetTopIndex(2);
    EXPECT_EQ(list.ItemAt(0, 0), 2);
    EXPECT_EQ(list.ItemAt(60, 0), 5);
    EXPECT_EQ(list.ItemAt(160, 20), 12);
    EXPECT_EQ(list.ItemAt(160, 40), -1);
    EXPECT_EQ(list.ItemRect(1), TRect::FromSize(0, -16, 50, 16));
    EXPECT_EQ(list.ItemRect(12), TRect::FromSize(150, 16, 50, 16));
    EXPECT_EQ(window.PaintAndRead(10 + 45, 10 + 24), kOdd); // row 3

    // Renaming places the edit box in the row's column.
    window.Down(10 + 120, 10 + 40);
    window.Up(10 + 120, 10 + 40);
    EXPECT_EQ(list.ItemIndex(), 10);
    list.MouseDoubleClick(TMouseEvent{120, 40});
    EXPECT_EQ(list.EditingRow(), 10);
    EXPECT_EQ(edit.Bounds(), TRect::FromSize(10 + 100 + 24, 10 + 32, 20, 14));
    window.router.Forget(edit);
    window.router.Forget(list);
}

TEST(TPatchListBoxTest, RowTextsCarryTheirNumberAndNamesOfAtMost24Characters) {
    TPatchListBox list;
    EXPECT_EQ(list.Programs(), 64);
    EXPECT_EQ(list.Item(0), "001. ");
    EXPECT_EQ(list.Item(63), "064. ");
    EXPECT_EQ(list.ProgramName(63), "");
    list.SetPrograms(128);
    EXPECT_EQ(list.Item(99), "100. ");
    list.SetProgramName(99, "Init");
    EXPECT_EQ(list.Item(99), "100. Init");
    EXPECT_EQ(list.ProgramName(99), "Init");
    const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
    list.SetProgramName(6, thirty);
    EXPECT_EQ(list.Item(6), "007. " + thirty.substr(0, 24));
    EXPECT_EQ(list.ProgramName(6), thirty.substr(0, 24));
    // A row text written directly: the name is what follows the first five characters, cut to 24.
    list.SetItem(5, "006. " + thirty);
    EXPECT_EQ(list.ProgramName(5), thirty.substr(0, 24));
    list.SetPrograms(2);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.ProgramName(1), "");
    EXPECT_EQ(list.Item(2), "");
}

struct TPatchListBoxRenameTest : ::testing::Test {
    TestWindow window;
    THookEdit edit{TRect::FromSize(0, 0, 60, 14)}; // outlives the list that refers to it
    TPatchListBox list{TRect::FromSize(20, 10, 100, 64)};
    int changes = 0;

    TPatchListBoxRenameTest() {
        list.SetItemHeight(16);
        list.SetEditBox(&edit);
        list.SetProgramName(2, "Bass");
        list.OnChange = [this](TDIBControl&) { ++changes; };
        edit.SetVisible(false);
        window.root.Add(edit);
        window.root.Add(list);
    }
    // A double click at window (x, y): the platform's press and release, then the double click.
    static void DoubleClick(TestWindow& w, TPatchListBox& l, int x, int y) {
        w.Down(x, y);
        w.Up(x, y);
        l.MouseDoubleClick(TMouseEvent{x - l.Bounds().left, y - l.Bounds().top});
    }
};

TEST_F(TPatchListBoxRenameTest, EnterCommitsTheNameToTheRow) {
    DoubleClick(window, list, 50, 10 + 2 * 16 + 5);
    // Placed at row left + list left + 24, row top + list top, in front, shown, active, with the name.
    EXPECT_EQ(edit.Bounds(), TRect::FromSize(44, 42, 60, 14));
    EXPECT_EQ(window.root.Children().back(), &edit);
    EXPECT_TRUE(edit.Visible());
    EXPECT_TRUE(edit.IsActive());
    EXPECT_EQ(list.EditingRow(), 2);
    EXPECT_EQ(edit.Text(), "Bass");

    EXPECT_TRUE(THookEdit::DispatchKey(Key(TEditKey::Backspace)));
    EXPECT_TRUE(THookEdit::DispatchKey(Type("X")));
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(THookEdit::DispatchKey(Key(TEditKey::Enter)));
    EXPECT_EQ(list.Item(2), "003. BasX");
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(edit.Visible());
    EXPECT_FALSE(edit.IsActive());
    EXPECT_EQ(THookEdit::ActiveEdit(), nullptr);
    EXPECT_FALSE(THookEdit::DispatchKey(Type("Y"))); // the host gets the keys again

    // A name of 30 characters typed in is stored as its first 24.
    DoubleClick(window, list, 50, 10 + 5);
    for (char c : std::string("abcdefghijklmnopqrstuvwxyz1234"))
        THookEdit::DispatchKey(Type(std::string(1, c)));
    THookEdit::DispatchKey(Key(TEditKey::Enter));
    EXPECT_EQ(list.ProgramName(0), "abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(changes, 2);
}

TEST_F(TPatchListBoxRenameTest, EscapeRestoresWithoutClosingAndAClickOnTheListAbandons) {
    DoubleClick(window, list, 50, 10 + 2 * 16 + 5);
    THookEdit::DispatchKey(Type("Z"));
    EXPECT_EQ(edit.Text(), "BassZ");
    THookEdit::DispatchKey(Key(TEditKey::Escape));
    EXPECT_EQ(edit.Text(), "Bass");
    EXPECT_TRUE(edit.IsActive());
    EXPECT_TRUE(edit.Visible());
    THookEdit::DispatchKey(Type("Q"));
    EXPECT_EQ(edit.Text(), "BassQ");

    window.Down(50, 15); // a click on another row
    window.Up(50, 15);
    EXPECT_FALSE(edit.IsActive());
    EXPECT_FALSE(edit.Visible());
    EXPECT_EQ(edit.Text(), "BassQ"); // deactivation keeps the text
    EXPECT_EQ(list.ProgramName(2), "Bass");
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(THookEdit::DispatchKey(Key(TEditKey::Enter)));
    EXPECT_EQ(changes, 0);
}

TEST_F(TPatchListBoxRenameTest, StartingASecondRenameCommitsTheFirst) {
    THookEdit otherEdit{TRect::FromSize(0, 0, 40, 14)};
    TPatchListBox other{TRect::FromSize(130, 10, 60, 64)};
    other.SetItemHeight(16);
    other.SetEditBox(&otherEdit);
    other.SetProgramName(1, "Lead");
    int otherChanges = 0;
    other.OnChange = [&](TDIBControl&) { ++otherChanges; };
    window.root.Add(otherEdit);
    window.root.Add(other);

    DoubleClick(window, list, 50, 10 + 2 * 16 + 5);
    THookEdit::DispatchKey(Type("!"));
    DoubleClick(window, other, 140, 10 + 16 + 5);
    EXPECT_EQ(list.ProgramName(2), "Bass!");
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(edit.IsActive());
    EXPECT_FALSE(edit.Visible());
    EXPECT_TRUE(otherEdit.IsActive());
    EXPECT_EQ(THookEdit::ActiveEdit(), &otherEdit);
    EXPECT_EQ(otherEdit.Text(), "Lead");
    EXPECT_EQ(otherEdit.Bounds(), TRect::FromSize(130 + 24, 10 + 16, 40, 14));

    THookEdit::DispatchKey(Type("s"));
    THookEdit::DispatchKey(Key(TEditKey::Enter));
    EXPECT_EQ(other.ProgramName(1), "Leads");
    EXPECT_EQ(otherChanges, 1);
    EXPECT_EQ(changes, 1);

    // Double clicking another row of the same list while renaming moves the edit box without a commit.
    DoubleClick(window, list, 50, 10 + 5);
    THookEdit::DispatchKey(Type("?"));
    DoubleClick(window, list, 50, 10 + 16 + 5);
    EXPECT_EQ(list.ProgramName(0), "");
    EXPECT_EQ(list.EditingRow(), 1);
    EXPECT_EQ(changes, 1);
    window.router.Forget(otherEdit);
    window.router.Forget(other);
}

} // namespace
} // namespace quillon
