// Runs the built `quillon info` on the built plug-in and reads its report as a user would.
#include "support/ToolRun.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace quillon {
using quillon::test::ReadText;
using quillon::test::RunTool;
using quillon::test::TToolRun;

namespace {

constexpr const char* kToolPath = QUILLON_TOOL_PATH;
constexpr const char* kPluginPath = QUILLON_PLUGIN_PATH;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The value of a "Name:   value" line, or "<missing>".
std::string Field(const std::string& text, const std::string& name) {
    for (const std::string& line : Lines(text))
        if (line.rfind(name + ":", 0) == 0) return Trimmed(line.substr(name.size() + 1));
    return "<missing>";
}

// The cells of a table row: columns are separated by at least two spaces (cells may hold one).
std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t pos = line.find_first_not_of(' ');
    while (pos != std::string::npos) {
        const std::size_t gap = line.find("  ", pos);
        cells.push_back(line.substr(pos, gap == std::string::npos ? std::string::npos : gap - pos));
        pos = gap == std::string::npos ? gap : line.find_first_not_of(' ', gap);
    }
    return cells;
}

bool IsNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The numbered rows of the section whose heading line begins with `heading` (up to the next heading),
// as cells.
std::vector<std::vector<std::string>> SectionRows(const std::string& text, const std::string& heading) {
    std::vector<std::vector<std::string>> rows;
    bool inside = false;
    for (const std::string& line : Lines(text)) {
        if (!line.empty() && line[0] != ' ') {
            inside = line.rfind(heading, 0) == 0;
            continue;
        }
        std::vector<std::string> cells = Cells(line);
        if (inside && !cells.empty() && IsNumber(cells[0])) rows.push_back(std::move(cells));
    }
    return rows;
}

using TCells = std::vector<std::string>;

class QuillonInfoTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() { report = new TToolRun(RunTool({"info", "--plugin", kPluginPath})); }
    static void TearDownTestSuite() {
        delete report;
        report = nullptr;
    }
    static TToolRun* report;
};

TToolRun* QuillonInfoTool::report = nullptr;

TEST_F(QuillonInfoTool, PrintsIdentity) {
    ASSERT_EQ(report->exitCode, 0) << report->err;
    EXPECT_EQ(report->err, "");
    const std::string& out = report->out;
    EXPECT_EQ(Field(out, "Effect name"), "Quillon");
    EXPECT_EQ(Field(out, "Vendor"), "Brindmor Audio");
    EXPECT_EQ(Field(out, "Product").rfind("Quillon Version: 1.1", 0), 0u) << out;
    EXPECT_EQ(Field(out, "Vendor version"), "1100");
    EXPECT_EQ(Field(out, "Unique ID"), "0x336B3532 '3k52'");
    EXPECT_EQ(Field(out, "VST version"), "2400");
    EXPECT_EQ(Field(out, "Category"), "2 Synth");
    EXPECT_EQ(Field(out, "Flags"), "0x00000139 HasEditor CanMono CanReplacing ProgramChunks IsSynth");
    EXPECT_EQ(Field(out, "Inputs"), "0");
    EXPECT_EQ(Field(out, "Outputs"), "2");
    EXPECT_EQ(Field(out, "Input pins"), "none");
}

TEST_F(QuillonInfoTool, ListsOutputPinsProgramsAndParameters) {
    ASSERT_EQ(report->exitCode, 0) << report->err;
    const auto pins = SectionRows(report->out, "Output pins:");
    ASSERT_EQ(pins.size(), 2u) << report->out;
    EXPECT_EQ(pins[0], (TCells{"0", "\"Quillon 1\"", "short \"\"", "flags 0x3 Active Stereo", "arrangement 0"}));
    EXPECT_EQ(pins[1].at(1), "\"Quillon 2\"");

    EXPECT_EQ(Field(report->out, "Programs"), "128, current 0");
    const auto programs = SectionRows(report->out, "Programs:");
    ASSERT_EQ(programs.size(), 128u);
    EXPECT_EQ(programs[0], (TCells{"0", "-"}));
    EXPECT_EQ(programs[127], (TCells{"127", "-"}));

    EXPECT_EQ(Field(report->out, "Parameters"), "124");
    const auto parameters = SectionRows(report->out, "Parameters:");
    ASSERT_EQ(parameters.size(), 124u);
    for (std::size_t i = 0; i < parameters.size(); ++i)
        EXPECT_EQ(parameters[i][0], std::to_string(i));
}

TEST_F(QuillonInfoTool, ParameterRowsShowDefaults) {
    ASSERT_EQ(report->exitCode, 0) << report->err;
    const auto rows = SectionRows(report->out, "Parameters:");
    ASSERT_EQ(rows.size(), 124u) << report->out;
    EXPECT_EQ(rows[15], (TCells{"15", "Cut-off", "kHz", "0.63", "0.500000"}));
    EXPECT_EQ(rows[97], (TCells{"97", "LowCut", "Hz", "64.7", "0.300000"}));
    EXPECT_EQ(rows[101], (TCells{"101", "Size", "m2", "640", "1.000000"}));
    EXPECT_EQ(rows[18], (TCells{"18", "Intensit", "%", "0.00", "0.000000"}));
    EXPECT_EQ(rows[19], (TCells{"19", "KB track", "%", "50.0", "0.500000"}));
}

TEST(QuillonTool, FindsPluginNextToItself) {
    const TToolRun run = RunTool({"info"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Field(run.out, "Effect name"), "Quillon");
    const std::string plugin = Field(run.out, "Plug-in");
    EXPECT_EQ(plugin, std::string(kToolPath).substr(0, std::string(kToolPath).rfind('/')) + "/Quillon.so");
}

TEST(QuillonTool, MissingPluginFailsWithOneLineError) {
    const TToolRun run = RunTool({"info", "--plugin", "/nonexistent/Missing.so"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    ASSERT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_NE(run.err.find("error"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("/nonexistent/Missing.so"), std::string::npos) << run.err;
}

TEST(QuillonTool, UsageAndBadArguments) {
    const TToolRun help = RunTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("\n  info "), std::string::npos) << help.out;

    const TToolRun bare = RunTool({});
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_NE(bare.err.find("usage"), std::string::npos) << bare.err;

    EXPECT_EQ(RunTool({"unknown-command"}).exitCode, 1);
    EXPECT_EQ(RunTool({"info", "--plugin"}).exitCode, 1);
    EXPECT_EQ(RunTool({"info", "--frobnicate"}).exitCode, 1);
}

} // namespace
} // namespace quillon
