// `quillon skin --list` prints the skin table (index, name, size, frames of which size, key colour, users)
// and, per page, the controls it holds (nested ones included) and the captions its background prints.
#include "SkinCommand.h"

#include "editor/LayoutTable.h"
#include "editor/SkinTable.h"

#include <cstdio>
#include <string>

namespace quillon {

namespace {

using namespace cli;

constexpr TOptionSpec kSkinOptions[] = {{"--list", nullptr, nullptr, false}};

constexpr const char* kSkinHelp = "usage: quillon skin --list\n"
                                  "\n"
                                  "Lists the images of the editor's skin and counts the controls and captions of\n"
                                  "each page.\n";

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
        std::printf("%-3d  %-30s  %-9s  %-13s  %-8s  %s\n", i, ("\"" + std::string(image.name) + "\"").c_str(),
                    size.c_str(), frames.c_str(), KeyText(image).c_str(), image.usedBy);
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
    if (!parsed.Has("--list") || !parsed.positional.empty())
        return Fail("skin: give --list (try 'quillon skin --help')");
    PrintImages();
    PrintPages();
    return 0;
}

} // namespace quillon
