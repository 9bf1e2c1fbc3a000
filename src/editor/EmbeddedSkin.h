// The skin archives compiled into the plug-in (see SkinArchive.h), one per display scale. They are drawn
// by the build-time art generator and lie in the module's read-only data. [any]
#pragma once

#include <cstdint>
#include <span>

namespace quillon {

// The archive for display scale 1 or 2; empty for any other scale.
std::span<const std::uint8_t> EmbeddedSkinArchive(int scale);

} // namespace quillon
