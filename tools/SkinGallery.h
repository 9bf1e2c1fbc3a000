// The review sheet of `quillon skin --gallery`: every control class of the toolkit drawn with the real
// skin and its baked fonts, in the states worth looking at, with the class and state written beside each
// on a neutral background. It shows the art as the editor will show it, whatever the art looks like.
#pragma once

#include "editor/TEditorSkin.h"
#include "toolkit/TPixelBuffer.h"

namespace quillon {

inline constexpr int kGalleryWidth = 1000;
inline constexpr int kGalleryHeight = 700;

// Draws the sheet, kGalleryWidth × kGalleryHeight logical pixels at the skin's scale (a buffer of
// kGalleryWidth·scale × kGalleryHeight·scale). Throws TSkinArchiveError for a missing font.
TPixelBuffer DrawSkinGallery(const TEditorSkin& skin);

} // namespace quillon
