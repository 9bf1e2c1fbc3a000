// The art of the controls' images: knobs, buttons, page selectors, drop-down and spin buttons, loop and
// envelope handles, the keyboard and the lamps.
#include "SkinArt.h"
#include "Theme.h"

namespace quillon::skingen {

bool DrawControlArt(const TSkinImage& /*image*/, TArtCanvas& /*canvas*/) {
    return false;
}

} // namespace quillon::skingen
