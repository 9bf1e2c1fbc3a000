// Runs the built `quillon info` on the built plug-in and reads its report as a user would.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

constexpr const char* kToolPath = QUILLON_TOOL_PATH;
constexpr const char* kPluginPath = QUILLON_PLUGIN_PATH;

struct TToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

TToolRun RunTool(const std::vector<std::string>& arguments) {
    char errPath[] = "/tmp/quillon-info-test-XXXXXX";
    const int errFile = mkstemp(errPath);
    if (errFile < 0) return {};
    close(errFile);

    std::string command = ShellQuoted(kToolPath);
    for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
    command += " 2>" + ShellQuoted(errPath);

    TToolRun run;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 4096> chunk{};
        std::size_t count = 0;
        while ((count = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) run.out.append(chunk.data(), count);
        const int status = pclose(pipe);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::ifstream err(errPath);
    run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    unlink(errPath);
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

bool HasLine(const std::string& text, const std::string& pattern) {
    const std::regex re(pattern);
    for (const std::string& line : Lines(text))
        if (std::regex_match(line, re)) return true;
    return false;
}

// The numbered rows of the section whose heading begins with `heading` (up to the next heading).
std::vector<std::string> SectionRows(const std::string& text, const std::string& heading) {
    const std::regex row(R"(^\s+\d+(\s.*)?$)");
    std::vector<std::string> rows;
    bool inside = false;
    for (const std::string& line : Lines(text)) {
        if (!line.empty() && line[0] != ' ') {
            inside = line.rfind(heading, 0) == 0;
            continue;
        }
        if (inside && std::regex_match(line, row)) rows.push_back(line);
    }
    return rows;
}

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
    EXPECT_TRUE(HasLine(out, R"(Effect name:\s+Quillon)")) << out;
    EXPECT_TRUE(HasLine(out, R"(Vendor:\s+Brindmor Audio)")) << out;
    EXPECT_TRUE(HasLine(out, R"(Product:\s+Quillon Version: 1\.1.*)")) << out;
    EXPECT_TRUE(HasLine(out, R"(Vendor version:\s+1100)")) << out;
    EXPECT_TRUE(HasLine(out, R"(Unique ID:\s+0x336B3532 '3k52')")) << out;
    EXPECT_TRUE(HasLine(out, R"(VST version:\s+2400)")) << out;
    EXPECT_TRUE(HasLine(out, R"(Category:\s+2 Synth)")) << out;
    EXPECT_TRUE(HasLine(out, R"(Flags:\s+0x00000139 HasEditor CanMono CanReplacing ProgramChunks IsSynth)")) << out;
    EXPECT_TRUE(HasLine(out, R"(Inputs:\s+0)")) << out;
    EXPECT_TRUE(HasLine(out, R"(Outputs:\s+2)")) << out;
    EXPECT_TRUE(HasLine(out, R"(Input pins:\s+none)")) << out;
}

TEST_F(QuillonInfoTool, ListsOutputPinsProgramsAndParameters) {
    ASSERT_EQ(report->exitCode, 0) << report->err;
    const std::vector<std::string> pins = SectionRows(report->out, "Output pins:");
    ASSERT_EQ(pins.size(), 2u) << report->out;
    EXPECT_NE(pins[0].find("\"Quillon 1\""), std::string::npos) << pins[0];
    EXPECT_NE(pins[1].find("\"Quillon 2\""), std::string::npos) << pins[1];
    EXPECT_NE(pins[0].find("Active Stereo"), std::string::npos) << pins[0];

    EXPECT_TRUE(HasLine(report->out, R"(Programs:\s+128, current 0)")) << report->out;
    EXPECT_EQ(SectionRows(report->out, "Programs:").size(), 128u);
    EXPECT_TRUE(HasLine(report->out, R"(Parameters:\s+124)")) << report->out;
    const std::vector<std::string> parameters = SectionRows(report->out, "Parameters:");
    ASSERT_EQ(parameters.size(), 124u);
    for (std::size_t i = 0; i < parameters.size(); ++i)
        EXPECT_TRUE(std::regex_match(parameters[i], std::regex("^\\s+" + std::to_string(i) + "\\s.*"))) << i;
}

TEST_F(QuillonInfoTool, ParameterRowsShowDefaults) {
    ASSERT_EQ(report->exitCode, 0) << report->err;
    const std::string& out = report->out;
    EXPECT_TRUE(HasLine(out, R"(\s+15\s+Cut-off\s+kHz\s+0\.63\s+0\.500000)")) << out;
    EXPECT_TRUE(HasLine(out, R"(\s+97\s+LowCut\s+Hz\s+64\.7\s+0\.300000)")) << out;
    EXPECT_TRUE(HasLine(out, R"(\s+101\s+Size\s+m2\s+640\s+1\.000000)")) << out;
    EXPECT_TRUE(HasLine(out, R"(\s+18\s+Intensit\s+%\s+0\.00\s+0\.000000)")) << out;
}

TEST(QuillonTool, FindsPluginNextToItself) {
    const TToolRun run = RunTool({"info"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(HasLine(run.out, R"(Effect name:\s+Quillon)")) << run.out;
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
    EXPECT_TRUE(HasLine(help.out, R"(\s+info\s.*)")) << help.out;

    const TToolRun bare = RunTool({});
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_NE(bare.err.find("usage"), std::string::npos) << bare.err;

    EXPECT_EQ(RunTool({"unknown-command"}).exitCode, 1);
    EXPECT_EQ(RunTool({"info", "--plugin"}).exitCode, 1);
    EXPECT_EQ(RunTool({"info", "--frobnicate"}).exitCode, 1);
}

} // namespace
} // namespace quillon
