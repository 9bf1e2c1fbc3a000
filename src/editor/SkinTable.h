// The editor's skin: the 36 bitmaps of the image list `Images`, addressed by index, plus the harmony
// inspector's fixed background (index 36). The build draws every one of them from our own vector art at
// exactly these sizes; the form and its controls take their frames from them. Multi-frame images are
// strips of equal frames laid side by side horizontally.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillon {

// The transparent key colour of the keyed images, as stored (red in the low byte): pure magenta. The art
// generator paints the pixels to be left out in it; it occurs nowhere else in the art.
inline constexpr std::uint32_t kSkinKeyColour = 0xFF00FF;

struct TSkinImage {
    int index;
    const char* name;
    int width, height;
    int frames;
    bool keyed;              // drawn with the transparent key colour
    std::uint32_t keyColour; // kSkinKeyColour when keyed, else 0
    const char* usedBy;

    constexpr int FrameWidth() const { return width / frames; }
    constexpr int FrameHeight() const { return height; }
};

inline constexpr int kSkinListImageCount = 36;                  // the image list `Images`
inline constexpr int kHarmonyInspectorBackground = 36;          // the inspector's background bitmap
inline constexpr int kSkinImageCount = kSkinListImageCount + 1; // every image the art generator draws

inline constexpr bool ValidSkinImage(int index) {
    return index >= 0 && index < kSkinImageCount;
}
// The image of that index; index must be valid.
const TSkinImage& SkinImage(int index);
// The image of that name, or null.
const TSkinImage* FindSkinImage(std::string_view name);

} // namespace quillon
