// The skin an editor draws with: every image of the skin table in an image list, at the indices the
// controls use, and the baked fonts, decoded from a skin archive for one display scale.
//
// Decoding checks the archive against the skin table: every image must be there, once, at the table's size
// times the scale and with the table's key colour; anything else is refused with TSkinArchiveError, so a
// control never meets an image of the wrong shape. Fonts are looked up by name ("Sans 10", "Narrow 10",
// "Pixel 8", ...). The skin owns its images and atlases; it moves but does not copy. [gui]
#pragma once

#include "editor/SkinArchive.h"
#include "toolkit/TDIBImageList.h"

#include <span>
#include <string_view>
#include <vector>

namespace quillon {

class TEditorSkin {
public:
    // Decodes `archive`. Throws TSkinArchiveError.
    static TEditorSkin Decode(std::span<const std::uint8_t> archive);
    // Decodes the archive compiled into the plug-in for scale 1 or 2. Throws TSkinArchiveError.
    static TEditorSkin Embedded(int scale);

    int Scale() const { return scale_; }
    const TDIBImageList& Images() const { return images_; }
    // The font of that name, or null.
    const TGlyphAtlas* Font(std::string_view name) const;
    // Every baked font, in the archive's order.
    const std::vector<TBakedFont>& Fonts() const { return fonts_; }
    // The bytes the decoded images and atlases occupy.
    std::size_t DecodedBytes() const;

private:
    int scale_ = 1;
    TDIBImageList images_;
    std::vector<TBakedFont> fonts_;
};

} // namespace quillon
