// The review sheet of `quillon skin --gallery`: every control class of the toolkit drawn with the real
// skin and its baked fonts, in the states worth looking at, with the class and state written beside each
// on a neutral background. It shows the art as the editor will show it, whatever the art looks like.
#pragma once

#include "editor/TEditorSkin.h"
#include "toolkit/TPixelBuffer.h"

namespace quillon {

inline constexpr int kGalleryWidth = 1000;
inline constexpr int kGalleryHeight = 700;

// Draws the sheet, kGalleryWidth × kGalleryHeight. The toolkit lays controls out in image pixels, so only
// a skin of scale 1 fits the sheet's geometry. Throws TSkinArchiveError for another scale or a missing font.
TPixelBuffer DrawSkinGallery(const TEditorSkin& skin);

} // namespace quillon
