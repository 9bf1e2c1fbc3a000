// Bakes the editor's fonts into glyph atlases at build time with FreeType: Latin-1 coverage of one face at
// one size and display scale. No font library is needed when the editor runs.
#pragma once

#include "editor/SkinArchive.h"

#include <vector>

namespace quillon::skingen {

// Every font the editor draws text with, baked for `scale`: "Sans 10" (value drop-downs, lists, edit
// boxes), "Sans 11" and "Sans Bold 11" (menus, message boxes, dialogs), "Narrow 10" (value and
// information labels, chart scales) and "Pixel 8" (tool drop-downs; a bitmap font, enlarged pixel by pixel
// at scale 2).
std::vector<TBakedFont> BakeEditorFonts(int scale);

} // namespace quillon::skingen
