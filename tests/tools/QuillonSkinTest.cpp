// Runs the built `quillon skin` as a user would: reads the tables of --list and the PNG files that --out
// and --gallery write (their header, which says the size and the kind of pixels).
#include "editor/SkinTable.h"
#include "support/TemporaryDirectory.h"
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quillon {
namespace {

using quillon::test::ReadText;
using quillon::test::RunTool;
using quillon::test::TemporaryDirectory;

struct TPngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int colourType = -1; // 0 grey, 2 RGB, 6 RGBA
};

// The IHDR chunk of a PNG file; colourType -1 when the file is not a PNG.
TPngHeader ReadPngHeader(const std::string& path) {
    const std::string bytes = ReadText(path);
    TPngHeader header;
    if (bytes.size() < 33 || bytes.compare(0, 8, "\x89PNG\r\n\x1A\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return header;
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i)
            v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    header.width = u32(16);
    header.height = u32(20);
    if (bytes[24] == 8) header.colourType = static_cast<unsigned char>(bytes[25]);
    return header;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

TEST(QuillonSkin, ListsEveryImageAndEveryPage) {
    const auto run = RunTool({"skin", "--list"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_GE(lines.size(), 38u);
    EXPECT_EQ(lines[1].rfind("0    \"Chassis\"", 0), 0u) << lines[1];
    EXPECT_NE(lines[3].find("101 of 25x25"), std::string::npos) << lines[3];
    EXPECT_NE(lines[3].find("0xFF00FF"), std::string::npos) << lines[3];
    EXPECT_EQ(lines[37].rfind("36 ", 0), 0u) << lines[37];
    for (const char* page : {"OscillatorPage", "AmpAndFilterPage", "LfoPage", "GlobalPage", "FxPage", "PresetsPage"})
        EXPECT_NE(run.out.find(std::string("\n") + page + " "), std::string::npos) << page;
}

TEST(QuillonSkin, AsksForAnActionWithoutOne) {
    const auto run = RunTool({"skin"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("--list"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
}

TEST(QuillonSkin, WritesEveryImageAtBothScalesAndTheFontAtlasesAsPng) {
    TemporaryDirectory temporary;
    const std::string folder = temporary / "skin";
    const auto run = RunTool({"skin", "--out", folder});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    std::set<std::pair<int, int>> seen; // index, scale
    int fonts = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const TPngHeader png = ReadPngHeader(entry.path().string());
        const std::string suffix = name.size() > 7 ? name.substr(name.size() - 7) : name;
        ASSERT_TRUE(suffix == "@1x.png" || suffix == "@2x.png") << name;
        const int scale = suffix[1] - '0';
        if (name.rfind("font-", 0) == 0) {
            EXPECT_EQ(png.colourType, 0) << name;
            EXPECT_GT(png.width * png.height, 0u) << name;
            ++fonts;
            continue;
        }
        const int index = std::stoi(name.substr(0, 2));
        ASSERT_TRUE(ValidSkinImage(index) && name[2] == '-') << name;
        EXPECT_TRUE(seen.insert({index, scale}).second) << name;
        const TSkinImage& image = SkinImage(index);
        EXPECT_EQ(png.width, static_cast<std::uint32_t>(image.width * scale)) << name;
        EXPECT_EQ(png.height, static_cast<std::uint32_t>(image.height * scale)) << name;
        EXPECT_EQ(png.colourType, image.keyed ? 6 : 2) << name;
    }
    EXPECT_EQ(seen.size(), 2u * kSkinImageCount);
    EXPECT_EQ(fonts, 10);
    for (const char* name :
         {"02-small-knob@1x.png", "19-pagebutton-amp-and-filter@2x.png", "36-harmony-inspector-background@1x.png",
          "font-sans-10@1x.png", "font-sans-bold-11@2x.png"})
        EXPECT_TRUE(std::filesystem::exists(folder + "/" + name)) << name;
}

TEST(QuillonSkin, RefusesAFolderItCannotMakeOrAScaleThereIsNoSkinFor) {
    TemporaryDirectory temporary;
    std::ofstream(temporary / "file") << "kept";
    for (const std::string& folder : {temporary / "file", temporary / "file/skin"}) {
        const auto run = RunTool({"skin", "--out", folder});
        EXPECT_EQ(run.exitCode, 1) << folder;
        EXPECT_NE(run.err.find(folder), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadText(temporary / "file"), "kept");

    const auto scale3 = RunTool({"skin", "--gallery", temporary / "g.png", "--scale", "3"});
    EXPECT_EQ(scale3.exitCode, 1);
    EXPECT_NE(scale3.err.find("1 or 2"), std::string::npos) << scale3.err;
    EXPECT_EQ(RunTool({"skin", "--gallery", temporary / "g.png", "--scale", "x"}).exitCode, 1);
    EXPECT_EQ(RunTool({"skin", "--out", temporary / "s", "--scale", "1"}).exitCode, 1);
    EXPECT_EQ(temporary.Entries(), std::vector<std::string>{"file"});
}

TEST(QuillonSkin, DrawsTheGalleryAtItsStatedSizeForEitherScale) {
    TemporaryDirectory temporary;
    const std::string path = temporary / "gallery.png";
    const auto run = RunTool({"skin", "--gallery", path});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("(1000 x 700)"), std::string::npos) << run.out;
    const TPngHeader png = ReadPngHeader(path);
    EXPECT_EQ(png.width, 1000u);
    EXPECT_EQ(png.height, 700u);
    EXPECT_EQ(png.colourType, 2);
    EXPECT_EQ(temporary.Entries(), std::vector<std::string>{"gallery.png"}) << "no temporary file is left";

    const auto doubled = RunTool({"skin", "--gallery", path, "--scale", "2"});
    ASSERT_EQ(doubled.exitCode, 0) << doubled.err;
    EXPECT_EQ(ReadPngHeader(path).width, 2000u);
    EXPECT_EQ(ReadPngHeader(path).height, 1400u);
}

// The editor's picture drawn from the same skin: at --zoom 2 from the images and fonts of scale 2.
TEST(QuillonGui, TheScreenshotAtZoom2IsTwiceAsLargeAndOtherZoomsAreRefused) {
    TemporaryDirectory temporary;
    const std::string path = temporary / "editor.png";
    const auto run = RunTool({"gui", "--screenshot", path, "--page", "4", "--zoom", "2"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("1600x1112"), std::string::npos) << run.out;
    EXPECT_EQ(ReadPngHeader(path).width, 1600u);
    EXPECT_EQ(ReadPngHeader(path).height, 1112u);
    EXPECT_EQ(RunTool({"gui", "--screenshot", path, "--zoom", "3"}).exitCode, 1);
}

// A screenshot shows the program a bank file holds: the picture of a factory program differs from that of
// the default bank; a bank that cannot be read, or a slot without a bank, is refused.
TEST(QuillonGui, TheScreenshotShowsAProgramOfTheBankGiven) {
    TemporaryDirectory temporary;
    const std::string fresh = temporary / "fresh.png";
    const std::string factory = temporary / "factory.png";
    ASSERT_EQ(RunTool({"gui", "--screenshot", fresh, "--page", "0"}).exitCode, 0);
    const auto run = RunTool({"gui", "--screenshot", factory, "--page", "0", "--bank",
                              std::string(QUILLON_FACTORY_BANK_DIR) + "/Factory A.bpb", "--slot", "3"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(ReadText(fresh), ReadText(factory));
    EXPECT_EQ(RunTool({"gui", "--screenshot", factory, "--bank", temporary / "missing.bpb"}).exitCode, 1);
    EXPECT_EQ(RunTool({"gui", "--screenshot", factory, "--slot", "3"}).exitCode, 1);
}

} // namespace
} // namespace quillon
