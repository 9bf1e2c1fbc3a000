// The art of the backgrounds: the chassis, the six pages with their framed sections and printed captions,
// the harmony and envelope time lines and the harmony inspector.
#include "SkinArt.h"
#include "Theme.h"

namespace quillon::skingen {

bool DrawPageArt(const TSkinImage& /*image*/, TArtCanvas& /*canvas*/) {
    return false;
}

} // namespace quillon::skingen
