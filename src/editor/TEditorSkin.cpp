#include "editor/TEditorSkin.h"

#include "editor/EmbeddedSkin.h"
#include "editor/SkinTable.h"

#include <string>

namespace quillon {

TEditorSkin TEditorSkin::Decode(std::span<const std::uint8_t> data) {
    TSkinArchive archive = ParseSkinArchive(data);
    std::vector<TSkinArchiveImage*> byIndex(kSkinImageCount, nullptr);
    for (TSkinArchiveImage& image : archive.images) {
        if (!ValidSkinImage(image.index) || byIndex[static_cast<std::size_t>(image.index)])
            throw TSkinArchiveError("The skin holds an unknown or repeated image.");
        byIndex[static_cast<std::size_t>(image.index)] = &image;
    }
    TEditorSkin skin;
    skin.scale_ = archive.scale;
    for (int i = 0; i < kSkinImageCount; ++i) {
        const TSkinImage& expected = SkinImage(i);
        TSkinArchiveImage* image = byIndex[static_cast<std::size_t>(i)];
        if (!image) throw TSkinArchiveError(std::string("The skin lacks the image \"") + expected.name + "\".");
        const bool keyed = image->key.has_value();
        if (image->pixels.Width() != expected.width * archive.scale ||
            image->pixels.Height() != expected.height * archive.scale || keyed != expected.keyed ||
            (keyed && *image->key != expected.keyColour))
            throw TSkinArchiveError(std::string("The skin's image \"") + expected.name +
                                    "\" does not have the size or key colour the controls need.");
        skin.images_.Add(std::move(image->pixels), image->key, archive.scale);
    }
    skin.fonts_ = std::move(archive.fonts);
    return skin;
}

TEditorSkin TEditorSkin::Embedded(int scale) {
    const std::span<const std::uint8_t> archive = EmbeddedSkinArchive(scale);
    if (archive.empty()) throw TSkinArchiveError("The plug-in has no skin for this display scale.");
    return Decode(archive);
}

const TGlyphAtlas* TEditorSkin::Font(std::string_view name) const {
    for (const TBakedFont& font : fonts_)
        if (font.name == name) return &font.atlas;
    return nullptr;
}

std::size_t TEditorSkin::DecodedBytes() const {
    std::size_t bytes = 0;
    for (int i = 0; i < images_.Count(); ++i) {
        const TPixelBuffer& pixels = images_.Image(i)->pixels;
        bytes += static_cast<std::size_t>(pixels.Width()) * static_cast<std::size_t>(pixels.Height()) * sizeof(TPixel);
    }
    for (const TBakedFont& font : fonts_)
        bytes += font.coverage.size();
    return bytes;
}

} // namespace quillon
