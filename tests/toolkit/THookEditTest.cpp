// The in-place edit box: the capture of key events while active (and only then), the effect of each key,
// the length limit, the loss of focus, one active edit box in the process and activation by a click.
#include "toolkit/THookEdit.h"

#include "ControlTestSupport.h"
#include "support/TestGlyphAtlas.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quillon {
namespace {

TKeyEvent Press(TEditKey key) {
    return TKeyEvent{key, true, {}};
}
TKeyEvent Type(std::string chars) {
    return TKeyEvent{TEditKey::Other, true, std::move(chars)};
}

TEST(THookEditTest, KeysGoToTheHostUnlessAnEditBoxIsActive) {
    THookEdit edit;
    edit.SetText("abc");
    EXPECT_FALSE(THookEdit::DispatchKey(Type("x")));
    EXPECT_EQ(edit.Text(), "abc");
    edit.Activate();
    EXPECT_TRUE(edit.Focused());
    EXPECT_TRUE(THookEdit::DispatchKey(Type("x")));
    EXPECT_TRUE(THookEdit::DispatchKey(TKeyEvent{TEditKey::Backspace, false, {}})); // releases: consumed, no effect
    EXPECT_TRUE(THookEdit::DispatchKey(Type(""))); // a key without characters (Shift): consumed, no effect
    EXPECT_EQ(edit.Text(), "abcx");
    edit.Deactivate();
    EXPECT_FALSE(THookEdit::DispatchKey(Type("y")));
    EXPECT_EQ(edit.Text(), "abcx"); // deactivation keeps the text

    // Once the focus is lost, the next key ends the capture and goes on to the host.
    edit.Activate();
    edit.KillFocus();
    EXPECT_FALSE(THookEdit::DispatchKey(Type("z")));
    EXPECT_FALSE(edit.IsActive());
    EXPECT_EQ(edit.Text(), "abcx");

    // Destroyed while active, an edit box stops capturing.
    auto temporary = std::make_unique<THookEdit>();
    temporary->Activate();
    temporary.reset();
    EXPECT_EQ(THookEdit::ActiveEdit(), nullptr);
    EXPECT_FALSE(THookEdit::DispatchKey(Type("z")));
}

TEST(THookEditTest, EditingKeysMoveTheCaretAndChangeTheText) {
    THookEdit edit;
    edit.SetText("Piano");
    edit.Activate();
    EXPECT_EQ(edit.CaretPos(), 5);
    THookEdit::DispatchKey(Press(TEditKey::Right)); // not past the end
    EXPECT_EQ(edit.CaretPos(), 5);
    THookEdit::DispatchKey(Press(TEditKey::Left));
    THookEdit::DispatchKey(Press(TEditKey::Left));
    THookEdit::DispatchKey(Press(TEditKey::Backspace)); // deletes the 'a' before the caret
    EXPECT_EQ(edit.Text(), "Pino");
    EXPECT_EQ(edit.CaretPos(), 2);
    THookEdit::DispatchKey(Press(TEditKey::Delete)); // without a selection: nothing
    EXPECT_EQ(edit.Text(), "Pino");
    THookEdit::DispatchKey(Type("\xE4\xDF")); // a key giving two characters
    EXPECT_EQ(edit.Text(), "Pi\xE4\xDFno");
    EXPECT_EQ(edit.CaretPos(), 4);
    for (int i = 0; i < 6; ++i)
        THookEdit::DispatchKey(Press(TEditKey::Left)); // not below 0
    EXPECT_EQ(edit.CaretPos(), 0);
    THookEdit::DispatchKey(Press(TEditKey::Backspace)); // nothing at position 0
    EXPECT_EQ(edit.Text(), "Pi\xE4\xDFno");

    // With a selection: Left and Right go to its ends, Backspace and Delete remove it, typing replaces it.
    edit.SetSelection(1, 3);
    THookEdit::DispatchKey(Press(TEditKey::Left));
    EXPECT_EQ(edit.CaretPos(), 1);
    EXPECT_EQ(edit.SelLength(), 0);
    edit.SetSelection(1, 3);
    THookEdit::DispatchKey(Press(TEditKey::Right));
    EXPECT_EQ(edit.CaretPos(), 4);
    edit.SetSelection(1, 3);
    THookEdit::DispatchKey(Type("e"));
    EXPECT_EQ(edit.Text(), "Peno");
    EXPECT_EQ(edit.CaretPos(), 2);
    edit.SetSelection(2, 2);
    THookEdit::DispatchKey(Press(TEditKey::Delete));
    EXPECT_EQ(edit.Text(), "Pe");
    edit.SetSelection(0, 1);
    THookEdit::DispatchKey(Press(TEditKey::Backspace));
    EXPECT_EQ(edit.Text(), "e");
    EXPECT_EQ(edit.CaretPos(), 0);

    // Escape brings back the text from before editing and editing goes on; Enter fires OnReturn only.
    int returns = 0;
    edit.OnReturn = [&](TDIBControl&) { ++returns; };
    THookEdit::DispatchKey(Press(TEditKey::Escape));
    EXPECT_EQ(edit.Text(), "Piano");
    EXPECT_TRUE(edit.IsActive());
    EXPECT_EQ(returns, 0);
    THookEdit::DispatchKey(Press(TEditKey::Enter));
    EXPECT_EQ(returns, 1);
    EXPECT_TRUE(edit.IsActive());
    EXPECT_EQ(edit.Text(), "Piano");
}

TEST(THookEditTest, TypingStopsAtTheMaximumLength) {
    THookEdit edit;
    edit.SetMaxLength(24);
    edit.SetText(std::string(30, 'n'));
    EXPECT_EQ(edit.Text(), std::string(24, 'n'));
    edit.SetText("");
    edit.Activate();
    for (int i = 0; i < 30; ++i)
        THookEdit::DispatchKey(Type(std::string(1, static_cast<char>('A' + i % 26))));
    EXPECT_EQ(edit.Text(), "ABCDEFGHIJKLMNOPQRSTUVWX");
    edit.SetSelection(22, 2); // replacing a selection may use its room
    THookEdit::DispatchKey(Type("yz"));
    EXPECT_EQ(edit.Text(), "ABCDEFGHIJKLMNOPQRSTUVyz");
    THookEdit::DispatchKey(Press(TEditKey::Backspace));
    THookEdit::DispatchKey(Type("12")); // room for one of the two
    EXPECT_EQ(edit.Text(), "ABCDEFGHIJKLMNOPQRSTUVy1");
}

TEST(THookEditTest, ActivatingASecondEditBoxCommitsTheFirst) {
    test::TestWindow window;
    THookEdit first{TRect::FromSize(10, 10, 50, 14)};
    THookEdit second{TRect::FromSize(10, 40, 50, 14)};
    window.root.Add(first);
    window.root.Add(second);
    std::string committed;
    first.OnReturn = [&](TDIBControl& sender) { committed = static_cast<THookEdit&>(sender).Text(); };
    second.OnReturn = [&](TDIBControl&) { committed = "second"; };

    // A left release inside an edit box activates it.
    window.Down(20, 15);
    window.Up(20, 15);
    EXPECT_EQ(THookEdit::ActiveEdit(), &first);
    THookEdit::DispatchKey(Type("one"));
    window.Down(20, 45);
    window.Up(20, 45);
    EXPECT_EQ(committed, "one");
    EXPECT_FALSE(first.IsActive());
    EXPECT_EQ(THookEdit::ActiveEdit(), &second);
    THookEdit::DispatchKey(Type("two"));
    EXPECT_EQ(first.Text(), "one");
    EXPECT_EQ(second.Text(), "two");

    // Activating the active one again commits nothing; a release outside does not activate.
    committed.clear();
    second.Activate();
    EXPECT_TRUE(committed.empty());
    second.Deactivate();
    window.Down(20, 15);
    window.Up(100, 100);
    EXPECT_EQ(THookEdit::ActiveEdit(), nullptr);
}

TEST(THookEditTest, DrawsTheTextTheSelectionAndACaretOnlyWhileActive) {
    test::TestWindow window;
    THookEdit edit{TRect::FromSize(10, 10, 40, 14)};
    edit.Font = &test::TestGlyphAtlas();
    edit.Color = Rgb(250, 250, 250);
    edit.FontColor = Rgb(1, 1, 1);
    edit.SelectionColor = Rgb(0, 0, 200);
    edit.SelectionFontColor = Rgb(255, 255, 254);
    edit.SetText("I");
    window.root.Add(edit);
    // Baseline 10 + (14 - 10) / 2 + 7 = 19; the 'I' inks x 12 … 13, y 12 … 18; the caret after it is x 15.
    EXPECT_EQ(window.PaintAndRead(11, 15), Rgb(250, 250, 250));
    EXPECT_EQ(window.PaintAndRead(12, 15), Rgb(1, 1, 1));
    EXPECT_EQ(window.PaintAndRead(15, 15), Rgb(250, 250, 250));
    edit.Activate();
    EXPECT_EQ(window.PaintAndRead(15, 12), Rgb(1, 1, 1));
    EXPECT_EQ(window.PaintAndRead(15, 21), Rgb(1, 1, 1));
    EXPECT_EQ(window.PaintAndRead(16, 15), Rgb(250, 250, 250));
    edit.SetSelection(0, 1);
    EXPECT_EQ(window.PaintAndRead(11, 15), Rgb(0, 0, 200));
    EXPECT_EQ(window.PaintAndRead(13, 15), Rgb(255, 255, 254));
    edit.Deactivate();
    EXPECT_EQ(window.PaintAndRead(15, 15), Rgb(250, 250, 250));
}

} // namespace
} // namespace quillon
