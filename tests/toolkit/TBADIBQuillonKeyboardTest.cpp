// The playable keyboard: which key a point hits (black over white), the keys that cannot be played,
// pressing, sliding across keys and releasing anywhere, and the drawing of a pressed key with the repair
// of its neighbours.
#include "toolkit/TBADIBQuillonKeyboard.h"

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace quillon {
namespace {

using test::TestWindow;

constexpr int kHalf = 373;
constexpr int kHeight = 39;

// The rest half is Rgb(10, column, 0), the pressed half Rgb(200, column, 0) (column within its half), so a
// pixel tells which half it came from and from which column.
TPixel Rest(int column) {
    return Rgb(10, static_cast<std::uint8_t>(column), 0);
}
TPixel Pressed(int column) {
    return Rgb(200, static_cast<std::uint8_t>(column), 0);
}

TPixelBuffer MakeKeyboardImage() {
    TPixelBuffer image(2 * kHalf, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kHalf; ++x) {
            image.At(x, y) = Rest(x);
            image.At(kHalf + x, y) = Pressed(x);
        }
    return image;
}

struct TBADIBQuillonKeyboardTest : ::testing::Test {
    TestWindow window{400, 60};
    TDIBImageList images;
    TBADIBQuillonKeyboard keyboard{TRect::FromSize(10, 5, 1, 1)};
    std::vector<int> notes; // Note() at each OnChange

    TBADIBQuillonKeyboardTest() {
        images.Add(MakeKeyboardImage());
        keyboard.SetDIBImageList(&images);
        keyboard.SetIndexMain(0);
        keyboard.OnChange = [this](TDIBControl& sender) {
            notes.push_back(static_cast<TBADIBQuillonKeyboard&>(sender).Note());
        };
        window.root.Add(keyboard);
    }
    // Mouse events in keyboard coordinates.
    void Down(int x, int y) { window.Down(x + 10, y + 5); }
    void Move(int x, int y) { window.Move(x + 10, y + 5); }
    void Up(int x, int y) { window.Up(x + 10, y + 5); }
    // The painted pixel at keyboard coordinates (x, y).
    TPixel Pixel(int x, int y) { return window.PaintAndRead(x + 10, y + 5); }
};

TEST_F(TBADIBQuillonKeyboardTest, TakesTheSizeOfOneHalfAndKeyKPlaysNoteKPlus40) {
    EXPECT_EQ(keyboard.Width(), kHalf);
    EXPECT_EQ(keyboard.Height(), kHeight);
    EXPECT_EQ(keyboard.KeyPressed(), -1);
    EXPECT_EQ(keyboard.Note(), -1);
    keyboard.SetKeyPressed(20);
    EXPECT_EQ(keyboard.Note(), 60);
    keyboard.SetKeyPressed(20); // the same value: no second notification
    EXPECT_EQ(notes, (std::vector<int>{60}));
    keyboard.BeginLoading();
    keyboard.SetKeyPressed(21);
    keyboard.EndLoading();
    EXPECT_EQ(notes, (std::vector<int>{60}));
    EXPECT_EQ(keyboard.KeyPressed(), 21);
}

TEST_F(TBADIBQuillonKeyboardTest, ABlackKeyWinsOverTheWhiteKeysBeneathIt) {
    // Key 2 (black, note 42) spans x 19 … 26, y 15 … 22, over white keys 1 (12 … 23) and 3 (24 … 35).
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(19, 15), 2);  // its top-left corner, above key 1
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(19, 22), 2);  // its bottom-left corner, inside key 1
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(23, 16), 2);  // key 1's last column, inside key 1
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(26, 22), 2);  // its bottom-right corner, inside key 3
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(18, 20), 1);  // just left of it
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(27, 20), 3);  // just right of it
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(19, 23), 1);  // just below it
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(19, 14), -1); // just above it, above key 1's top (16)
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(24, 14), 3);  // above it, inside key 3 (top 12)
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(24, 11), -1);
    // The curved top edge: above key 0's top, and right of the last key, nothing.
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(5, 20), -1);
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(5, 21), 0);
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(372, 37), -1);
    EXPECT_EQ(TBADIBQuillonKeyboard::KeyAt(371, 37), 51);

    Down(19, 22);
    EXPECT_EQ(keyboard.KeyPressed(), 2);
    EXPECT_EQ(notes, (std::vector<int>{42}));
}

TEST_F(TBADIBQuillonKeyboardTest, TheThreeBlackKeysAtTheTopEndCannotBePlayed) {
    std::vector<int> blackNotes;
    for (int k = 0; k < TBADIBQuillonKeyboard::kKeys; ++k) {
        const TKeyboardKey& key = TBADIBQuillonKeyboard::Keys()[static_cast<std::size_t>(k)];
        if (key.colour == TKeyColour::Black && key.rect.Empty()) blackNotes.push_back(k + 40);
    }
    EXPECT_EQ(blackNotes, (std::vector<int>{85, 87, 90}));
    // Where their eight pixels would lie, the white keys play.
    for (int y = 0; y < kHeight; ++y) {
        EXPECT_NE(TBADIBQuillonKeyboard::KeyAt(320, y), 45);
        EXPECT_NE(TBADIBQuillonKeyboard::KeyAt(334, y), 47);
        EXPECT_NE(TBADIBQuillonKeyboard::KeyAt(356, y), 50);
    }
    Down(320, 30);
    EXPECT_EQ(keyboard.KeyPressed(), 44); // note 84, the white key under black key 45
    Move(334, 33);
    EXPECT_EQ(keyboard.KeyPressed(), 46); // note 86, the white key under black key 47
    Up(334, 33);

    // Set from code, such a key is never drawn pressed: the picture stays at rest.
    keyboard.SetKeyPressed(45);
    for (int x = 318; x < 327; ++x)
        for (int y = 20; y < 30; ++y)
            EXPECT_EQ(Pixel(x, y), Rest(x + 1)) << x << ", " << y;
}

TEST_F(TBADIBQuillonKeyboardTest, SlidingAcrossKeysPlaysEachAndTheReleaseAnywhereStopsTheNote) {
    Down(6, 30);  // key 0, note 40
    Move(8, 30);  // the same key: nothing new
    Move(14, 30); // key 1, note 41
    Move(20, 18); // key 2 (black), note 42
    Move(20, 5);  // off every key: the last one stays
    EXPECT_EQ(keyboard.KeyPressed(), 2);
    Move(500, 30); // outside the control (it holds the capture): stays
    Move(30, 30);  // key 3, note 43
    Up(-50, 200);  // released far away
    EXPECT_EQ(notes, (std::vector<int>{40, 41, 42, 43, -1}));
    EXPECT_FALSE(keyboard.Pressing());

    // Moving without a press plays nothing; a press between the keys plays nothing until it slides on.
    notes.clear();
    Move(6, 30);
    EXPECT_TRUE(notes.empty());
    Down(5, 10);
    EXPECT_EQ(keyboard.KeyPressed(), -1);
    Move(5, 30);
    Up(5, 30);
    EXPECT_EQ(notes, (std::vector<int>{40, -1}));
    // The right button plays nothing.
    window.Down(16, 35, false, TMouseButton::Right);
    EXPECT_EQ(keyboard.KeyPressed(), -1);
}

TEST_F(TBADIBQuillonKeyboardTest, APressedWhiteKeyIsCopiedFromThePressedHalfAndItsBlackNeighboursRepaired) {
    // At rest the whole picture is drawn one pixel to the left.
    EXPECT_EQ(Pixel(0, 30), Rest(1));
    EXPECT_EQ(Pixel(100, 2), Rest(101));

    keyboard.SetKeyPressed(3); // white, x 24 … 35, y 12 … 37, under black keys 2 (19 … 26) and 4 (32 … 39)
    // Its rectangle less the last column, from the pressed half, one pixel left: x 23 … 33.
    EXPECT_EQ(Pixel(23, 30), Pressed(24));
    EXPECT_EQ(Pixel(33, 37), Pressed(34));
    EXPECT_EQ(Pixel(28, 12), Pressed(29));
    EXPECT_EQ(Pixel(34, 30), Rest(35)); // its last column is not copied
    EXPECT_EQ(Pixel(28, 11), Rest(29)); // above its top
    EXPECT_EQ(Pixel(22, 30), Rest(23)); // the white key to the left
    // The black neighbours are drawn again at rest: key 2 over x 18 … 24, key 4 over x 31 … 37, y < 23.
    EXPECT_EQ(Pixel(23, 15), Rest(24));
    EXPECT_EQ(Pixel(24, 22), Rest(25));
    EXPECT_EQ(Pixel(25, 22), Pressed(26)); // key 2's last column is not repaired
    EXPECT_EQ(Pixel(24, 23), Pressed(25)); // below key 2
    EXPECT_EQ(Pixel(31, 12), Rest(32));
    EXPECT_EQ(Pixel(33, 22), Rest(34));
    EXPECT_EQ(Pixel(30, 22), Pressed(31));

    // A pressed black key is drawn alone: the white keys around it stay at rest.
    keyboard.SetKeyPressed(4); // x 32 … 39, y 11 … 22
    EXPECT_EQ(Pixel(31, 11), Pressed(32));
    EXPECT_EQ(Pixel(37, 22), Pressed(38));
    EXPECT_EQ(Pixel(30, 22), Rest(31));
    EXPECT_EQ(Pixel(31, 23), Rest(32));

    // A white key next to a white key: the white neighbour is drawn at rest again (no harm done) and the
    // black one repairs the overlap. Key 7 (48 … 59) between black key 6 (46 … 53) and white key 8.
    keyboard.SetKeyPressed(7);
    EXPECT_EQ(Pixel(50, 10), Rest(51));    // under key 6
    EXPECT_EQ(Pixel(53, 10), Pressed(54)); // right of key 6
    EXPECT_EQ(Pixel(57, 30), Pressed(58));
    EXPECT_EQ(Pixel(58, 30), Rest(59));
}

} // namespace
} // namespace quillon
