// `quillon skin --list` prints the skin table (index, name, size, frames of which size, key colour, users)
// and, per page, the controls it holds (nested ones included) and the captions its background prints.
// `--out DIR` writes the embedded skin of both scales as PNG files, keyed images with their key colour
// transparent, and the baked font atlases as grey images; `--gallery PNG` draws every control with it.
#include "SkinCommand.h"

#include "PngEncoder.h"
#include "SkinGallery.h"
#include "editor/LayoutTable.h"
#include "editor/SkinTable.h"
#include "editor/TEditorSkin.h"
#include "platform/SafeFileWriter.h"
#include "platform/Utf8Path.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace quillon {

namespace {

using namespace cli;

constexpr TOptionSpec kSkinOptions[] = {{"--list", nullptr, nullptr, false},
                                        {"--out", nullptr, "DIR", false},
                                        {"--gallery", nullptr, "PNG", false},
                                        {"--scale", nullptr, "N", false}};

constexpr const char* kSkinHelp =
    "usage: quillon skin [--list] [--out DIR] [--gallery PNG [--scale 1|2]]\n"
    "\n"
    "  --list         list the images of the editor's skin and count the controls and\n"
    "                 captions of each page\n"
    "  --out DIR      write every skin image at scale 1 and 2 as PNG (\"02-small-knob@1x.png\";\n"
    "                 the key colour of keyed images transparent) and the baked font\n"
    "                 atlases as grey PNG (\"font-sans-10@1x.png\"); DIR is made if missing\n"
    "  --gallery PNG  draw every control class with the embedded skin and fonts on one\n"
    "                 sheet, from the skin of --scale 1 (the default) or 2 (a sheet of\n"
    "                 twice the size, drawn from the images and fonts of that scale)\n";

// `name` as a file name: lower-case letters and digits, every other run of characters one '-'.
std::string FileSafe(std::string_view name) {
    std::string safe;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) && u < 0x80)
            safe += static_cast<char>(std::tolower(u));
        else if (!safe.empty() && safe.back() != '-')
            safe += '-';
    }
    while (!safe.empty() && safe.back() == '-')
        safe.pop_back();
    return safe;
}

std::string ImageFileName(int index, int scale) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d-", index);
    return number + FileSafe(SkinImage(index).name) + "@" + std::to_string(scale) + "x.png";
}

std::string FontFileName(std::string_view font, int scale) {
    std::string name = "font-";
    name.append(FileSafe(font)).append("@").append(std::to_string(scale)).append("x.png");
    return name;
}

std::string InFolder(const std::string& folder, const std::string& name) {
    std::string path = folder;
    path.append("/").append(name);
    return path;
}

Status WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    return SafeFileWriter::Write(path, {std::span<const std::uint8_t>(bytes)});
}

int WriteSkinFiles(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(platform::PathFromUtf8(folder), error);
    if (error) return Fail("skin: cannot make the folder " + folder + ": " + error.message());
    if (!std::filesystem::is_directory(platform::PathFromUtf8(folder), error))
        return Fail("skin: " + folder + " is not a folder");
    int images = 0;
    int atlases = 0;
    for (const int scale : {1, 2}) {
        const TEditorSkin skin = TEditorSkin::Embedded(scale);
        for (int i = 0; i < skin.Images().Count(); ++i) {
            const TDIBImageEntry& image = *skin.Images().Image(i);
            const std::string path = InFolder(folder, ImageFileName(i, scale));
            if (const Status status = WriteBytes(path, EncodePng(image.pixels, image.key)); !status.Ok())
                return Fail("skin: " + status.message);
            ++images;
        }
        for (const TBakedFont& font : skin.Fonts()) {
            const std::string path = InFolder(folder, FontFileName(font.name, scale));
            const auto bytes = EncodeGreyPng(font.coverage, font.atlas.atlasWidth, font.atlas.atlasHeight);
            if (const Status status = WriteBytes(path, bytes); !status.Ok()) return Fail("skin: " + status.message);
            ++atlases;
        }
    }
    std::printf("Wrote %d images and %d font atlases to %s\n", images, atlases, folder.c_str());
    return 0;
}

int WriteGallery(const std::string& path, const std::string& scaleText) {
    const auto scale = IntegerArgument(scaleText);
    if (!scale || (*scale != 1 && *scale != 2)) return Fail("skin: --scale must be 1 or 2, not '" + scaleText + "'");
    const TPixelBuffer sheet = DrawSkinGallery(TEditorSkin::Embedded(static_cast<int>(*scale)));
    if (const Status status = WriteBytes(path, EncodePng(sheet)); !status.Ok()) return Fail("skin: " + status.message);
    std::printf("Wrote the gallery (%d x %d) to %s\n", sheet.Width(), sheet.Height(), path.c_str());
    return 0;
}

std::string KeyText(const TSkinImage& image) {
    if (!image.keyed) return "-";
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(image.keyColour));
    return text;
}

void PrintImages() {
    std::printf("%-3s  %-30s  %-9s  %-13s  %-8s  %s\n", "#", "Name", "Size", "Frames", "Key", "Used by");
    for (int i = 0; i < kSkinImageCount; ++i) {
        const TSkinImage& image = SkinImage(i);
        const std::string size = std::to_string(image.width) + "x" + std::to_string(image.height);
        const std::string frames = std::to_string(image.frames) + " of " + std::to_string(image.FrameWidth()) + "x" +
                                   std::to_string(image.FrameHeight());
        // Appended rather than concatenated: GCC 12 warns falsely (-Wrestrict) on a literal + std::string here.
        std::string quoted = "\"";
        quoted.append(image.name).push_back('"');
        std::printf("%-3d  %-30s  %-9s  %-13s  %-8s  %s\n", i, quoted.c_str(), size.c_str(), frames.c_str(),
                    KeyText(image).c_str(), image.usedBy);
    }
}

void PrintPages() {
    std::printf("\n%-18s  %8s  %8s\n", "Page", "Controls", "Captions");
    auto row = [](const char* page) {
        std::printf("%-18s  %8zu  %8zu\n", page, ControlsOf(page).size(), CaptionsOf(page).size());
    };
    row(kPrimaryContainer);
    for (const char* page : kPageIds)
        row(page);
    std::printf("%-18s  %8zu\n", "(all, with root)", LayoutControls().size());
}

} // namespace

int RunSkin(TArgs args) {
    TParsedArgs parsed;
    if (const auto error = ParseArgs(args, kSkinOptions, parsed)) return Fail("skin: " + *error);
    if (parsed.help) {
        std::printf("%s", kSkinHelp);
        return 0;
    }
    const bool list = parsed.Has("--list");
    const bool out = parsed.Has("--out");
    const bool gallery = parsed.Has("--gallery");
    if (!parsed.positional.empty() || !(list || out || gallery))
        return Fail("skin: give --list, --out DIR or --gallery PNG (try 'quillon skin --help')");
    if (parsed.Has("--scale") && !gallery) return Fail("skin: --scale goes with --gallery");
    if (out && parsed.Value("--out").empty()) return Fail("skin: --out needs a folder");
    if (gallery && parsed.Value("--gallery").empty()) return Fail("skin: --gallery needs a file name");
    if (list) {
        PrintImages();
        PrintPages();
    }
    if (out)
        if (const int code = WriteSkinFiles(parsed.Value("--out")); code != 0) return code;
    if (gallery) return WriteGallery(parsed.Value("--gallery"), parsed.Value("--scale", "1"));
    return 0;
}

} // namespace quillon
