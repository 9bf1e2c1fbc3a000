// A tiny hand-made glyph atlas for the toolkit's tests: a few glyphs drawn as character art, with full
// and half coverage, a blank, a glyph below the baseline and everything else missing. Not a real font.
#pragma once

#include "toolkit/TGlyphAtlas.h"

namespace quillon::test {

// Glyphs: 'I' (2 × 7, full ink), 'o' (4 × 5 with half-covered corners), 'g' (4 × 7, three rows below
// the baseline), '-' (3 × 1), ' ' (blank, advance 3). Ascent 7, descent 3, line height 11.
const TGlyphAtlas& TestGlyphAtlas();

} // namespace quillon::test
