// Runs the built `quillon skin --list` and reads its tables as a user would.
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

using quillon::test::RunTool;

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

TEST(QuillonSkin, AsksForTheListWithoutIt) {
    const auto run = RunTool({"skin"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("--list"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
}

} // namespace
} // namespace quillon
