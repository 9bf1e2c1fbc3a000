// quillon-skingen: draws the editor's skin and bakes its fonts at build time.
//
//   quillon-skingen --out DIR [--png DIR] [--preview DIR]
//
// writes DIR/skin-1.qsk and DIR/skin-2.qsk, the skin archives for display scales 1 and 2 that the build
// embeds in the plug-in, and with --png every image of both scales as PNG files for review, with --preview each page
// composed with its controls at both scales. Each archive is written to a temporary file first and renamed into place,
// so an interrupted run leaves no half archive.
#include "FontBaker.h"
#include "Preview.h"
#include "SkinArt.h"
#include "Theme.h"

#include "editor/SkinArchive.h"
#include "editor/SkinTable.h"

#include <cairo.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace quillon;

TSkinArchive DrawSkin(int scale) {
    TSkinArchive archive;
    archive.scale = scale;
    for (int i = 0; i < kSkinImageCount; ++i) {
        const TSkinImage& image = SkinImage(i);
        skingen::TArtCanvas canvas(image.width, image.height, scale);
        skingen::DrawSkinImage(image, canvas);
        std::optional<TPixel> key;
        if (image.keyed) key = image.keyColour;
        archive.images.push_back({i, canvas.ToPixels(key, skingen::theme::kMatte), key});
    }
    archive.fonts = skingen::BakeEditorFonts(scale);
    return archive;
}

void WriteFileAtomically(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + temporary.string());
    }
    std::filesystem::rename(temporary, path);
}

} // namespace

int main(int argc, char** argv) {
    std::filesystem::path out, png, preview;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--out") == 0)
            out = argv[i + 1];
        else if (std::strcmp(argv[i], "--png") == 0)
            png = argv[i + 1];
        else if (std::strcmp(argv[i], "--preview") == 0)
            preview = argv[i + 1];
    }
    if (out.empty()) {
        std::fprintf(stderr, "usage: quillon-skingen --out DIR [--png DIR] [--preview DIR]\n");
        return 2;
    }
    try {
        std::filesystem::create_directories(out);
        if (!png.empty()) std::filesystem::create_directories(png);
        if (!preview.empty()) std::filesystem::create_directories(preview);
        for (const int scale : {1, 2}) {
            const TSkinArchive archive = DrawSkin(scale);
            WriteFileAtomically(out / ("skin-" + std::to_string(scale) + ".qsk"), ComposeSkinArchive(archive));
            if (!preview.empty()) skingen::WritePreviews(archive, preview);
            if (png.empty()) continue;
            for (const TSkinArchiveImage& image : archive.images) {
                const std::string name = std::to_string(image.index) + "-" + SkinImage(image.index).name + "@" +
                                         std::to_string(scale) + "x.png";
                skingen::WritePng((png / name).string(), image.pixels);
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillon-skingen: %s\n", error.what());
        return 1;
    }
    return 0;
}
