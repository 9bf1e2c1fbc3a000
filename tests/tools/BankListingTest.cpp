// `quillon bank --list --measure` through the built tool and plug-in: the suggested MasLevel really puts
// the chord's peak at -6 dBFS, a program that starts at full level is marked, and fresh slots are only counted.
#include "support/TemporaryDirectory.h"
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

using namespace quillon::test;

// The words of the listing's line for `slot`.
std::vector<std::string> Row(const std::string& listing, int slot) {
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::vector<std::string> row{std::istream_iterator<std::string>(words), {}};
        if (!row.empty() && row[0] == std::to_string(slot)) return row;
    }
    return {};
}

TEST(BankListingTest, MeasuresTheChordAndMarksAClick) {
    TemporaryDirectory dir;
    const auto measure = [&](const std::string& level) {
        std::ofstream(dir / "d.txt") << "program \"LEA Soft Start\"\n"
                                        "  frame 0 saw harmonics 20\n"
                                        "  env amp 0:0 0.01:1\n"
                                        "  set amp.RelTime=0.3 MasLevel="
                                     << level
                                     << "\n"
                                        "program \"LEA Hard Start\"\n"
                                        "  frame 0 sine\n";
        EXPECT_EQ(RunTool({"bank", "--describe", dir / "d.txt", "-o", dir / "d.bpb"}).exitCode, 0);
        const TToolRun run = RunTool({"bank", "--list", dir / "d.bpb", "--measure", "--plugin", QUILLON_PLUGIN_PATH});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    };
    std::string listing = measure("10");
    // slot name... cat frames peak Mas@-6 dc onset off tail cpu uses: the name has three words.
    std::vector<std::string> soft = Row(listing, 0), hard = Row(listing, 1);
    ASSERT_GE(soft.size(), 13u) << listing;
    ASSERT_GE(hard.size(), 13u) << listing;
    EXPECT_EQ(soft[9], "ok") << listing;
    EXPECT_EQ(soft[10], "ok") << listing;
    EXPECT_EQ(soft[11], "ok") << listing;
    EXPECT_NE(hard[9], "ok") << "the fresh amplitude envelope starts at full level\n" << listing;
    EXPECT_NE(listing.find("(62 fresh slots not measured)"), std::string::npos) << listing;

    // The suggested MasLevel gives a -6 dBFS peak.
    listing = measure(soft[7]);
    soft = Row(listing, 0);
    ASSERT_GE(soft.size(), 13u) << listing;
    EXPECT_NEAR(std::stod(soft[6]), -6.0, 0.2) << listing;
}

} // namespace
} // namespace quillon
