// The MIDI assignment file: its 543 bytes, which file is read, every refusal, the factory reset, and the
// factory file that ships with the installation.
#include "files/TMidiLearnFileManager.h"
#include "midi/TMidiHandler.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

using namespace quillon;
namespace fs = std::filesystem;
using Manager = TMidiLearnFileManager;

namespace {

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Manager::Table Unbound() {
    Manager::Table table;
    table.fill(-1);
    return table;
}

Manager::Table Example() {
    Manager::Table table = Unbound();
    table[0] = 0;
    table[7] = 26;
    table[74] = 15;
    table[127] = 123;
    return table;
}

std::vector<std::uint8_t> Image(const Manager::Table& table) {
    const Manager::FileBytes bytes = Manager::Encode(table);
    return {bytes.begin(), bytes.end()};
}

class MidiLearnFileTest : public ::testing::Test {
protected:
    test::TemporaryDirectory install;
    Manager manager{install.Path()};
    // Filled with something else, so that every test sees the table being set.
    Manager::Table table = [] {
        Manager::Table t;
        t.fill(99);
        return t;
    }();
};

} // namespace

TEST_F(MidiLearnFileTest, TheFileIsTheIdentifierAVersionByteAndLittleEndianEntries) {
    EXPECT_TRUE(manager.WriteAssignments(Example()));
    EXPECT_EQ(manager.CustomPath(), install / "Data/custom.bma");
    EXPECT_EQ(manager.FactoryPath(), install / "Data/factory.bma");
    const std::vector<std::uint8_t> bytes = ReadBytes(manager.CustomPath());
    ASSERT_EQ(bytes.size(), 543u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 29), "Brindmor Midi Assignment File");
    EXPECT_EQ(bytes[29], 0);
    EXPECT_EQ(bytes[30], 1);
    auto entry = [&](int c) {
        return std::vector<std::uint8_t>(bytes.begin() + 31 + 4 * c, bytes.begin() + 35 + 4 * c);
    };
    EXPECT_EQ(entry(0), (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(entry(1), (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(entry(7), (std::vector<std::uint8_t>{26, 0, 0, 0}));
    EXPECT_EQ(entry(127), (std::vector<std::uint8_t>{123, 0, 0, 0}));

    // And back: the same table, no message.
    const Status result = manager.ReadAssignments(table);
    EXPECT_TRUE(result);
    EXPECT_EQ(result.message, "");
    EXPECT_EQ(table, Example());
    // Replacing keeps the size and the layout.
    Manager::Table changed = Example();
    changed[7] = -1;
    EXPECT_TRUE(manager.WriteAssignments(changed));
    EXPECT_EQ(ReadBytes(manager.CustomPath()), Image(changed));
}

TEST_F(MidiLearnFileTest, TheCustomFileComesFirstThenTheFactoryFileThenNothing) {
    Manager::Table factory = Unbound();
    factory[74] = 15;
    WriteBytes(manager.FactoryPath(), Image(factory));
    EXPECT_TRUE(manager.ReadAssignments(table));
    EXPECT_EQ(table, factory);

    EXPECT_TRUE(manager.WriteAssignments(Example()));
    EXPECT_TRUE(manager.ReadAssignments(table));
    EXPECT_EQ(table, Example());
    EXPECT_EQ(ReadBytes(manager.FactoryPath()), Image(factory)); // the factory file is only read

    test::TemporaryDirectory empty;
    const Status none = Manager(empty.Path()).ReadAssignments(table);
    EXPECT_EQ(none.code, StatusCode::kNotFound);
    EXPECT_EQ(none.message, ""); // missing files are no error
    EXPECT_EQ(table, Unbound());
}

TEST_F(MidiLearnFileTest, EveryRefusalUnbindsAllControllersWithItsMessage) {
    const std::string corrupted = "The Midi Assignment File is corrupted and can not be read";
    const std::string newer = "The Midi Assignment File is a newer version and can not be read.";
    auto withByte = [](std::size_t offset, std::uint8_t value) {
        std::vector<std::uint8_t> bytes = Image(Example());
        bytes[offset] = value;
        return bytes;
    };
    std::vector<std::uint8_t> cut = Image(Example());
    cut.pop_back();
    const std::vector<std::uint8_t> header(cut.begin(), cut.begin() + 30);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"misspelt identifier", withByte(28, 'X'), corrupted},
        {"identifier not ended by 0", withByte(29, 'X'), corrupted},
        {"identifier ended early", withByte(20, 0), corrupted},
        {"version 2", withByte(30, 2), newer},
        {"version 255", withByte(30, 255), newer},
        {"entries cut off", cut, corrupted},
        {"header cut off", header, corrupted},
        {"empty file", {}, corrupted},
    };
    // A valid factory file is there, but a refused custom file does not fall back to it.
    WriteBytes(manager.FactoryPath(), Image(Example()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(manager.CustomPath(), c.bytes);
        table.fill(99);
        const Status result = manager.ReadAssignments(table);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(table, Unbound());
    }
    // A custom "file" that cannot be read as one.
    fs::remove(manager.CustomPath());
    fs::create_directory(manager.CustomPath());
    const Status folder = manager.ReadAssignments(table);
    EXPECT_EQ(folder.message, corrupted);
    EXPECT_EQ(table, Unbound());
}

TEST_F(MidiLearnFileTest, OlderVersionsAndLongerFilesAreReadButBadEntriesBindNothing) {
    std::vector<std::uint8_t> bytes = Image(Example());
    bytes[30] = 0;
    bytes.push_back(0x55); // bytes after the table are not looked at
    std::fill_n(bytes.begin() + 31 + 4 * 3, 4, 0);
    bytes[31 + 4 * 3] = 124;  // no parameter 124
    bytes[31 + 4 * 4] = 0xFE; // −2
    WriteBytes(manager.CustomPath(), bytes);
    EXPECT_TRUE(manager.ReadAssignments(table));
    EXPECT_EQ(table, Example());
}

TEST_F(MidiLearnFileTest, ResetDeletesOnlyTheCustomFile) {
    WriteBytes(manager.FactoryPath(), Image(Unbound()));
    EXPECT_TRUE(manager.WriteAssignments(Example()));

    EXPECT_TRUE(manager.DeleteCustomAssignments());
    EXPECT_FALSE(fs::exists(manager.CustomPath()));
    EXPECT_TRUE(fs::exists(manager.FactoryPath()));
    static_cast<void>(manager.ReadAssignments(table));
    EXPECT_EQ(table, Unbound());
    // Nothing left to delete is no error.
    EXPECT_TRUE(manager.DeleteCustomAssignments());
}

TEST_F(MidiLearnFileTest, WriteFailuresAreReportedAndLeaveTheOldFile) {
    // A file where the Data folder belongs: nothing can be created there, whoever runs the test.
    test::TemporaryDirectory other;
    WriteBytes(other / "Data", {1, 2, 3});
    EXPECT_EQ(Manager(other.Path()).WriteAssignments(Example()).code, StatusCode::kWriteError);
    EXPECT_EQ(ReadBytes(other / "Data"), (std::vector<std::uint8_t>{1, 2, 3}));

    // Without a known installation folder nothing is read or written.
    Manager nowhere{""};
    EXPECT_EQ(nowhere.CustomPath(), "");
    EXPECT_FALSE(nowhere.ReadAssignments(table));
    EXPECT_EQ(table, Unbound());
    EXPECT_FALSE(nowhere.WriteAssignments(Example()));
}

TEST(MidiLearnFactoryFile, TheShippedFileIsValidAndBindsOnlyLearnableControllers) {
    const fs::path path = fs::path(QUILLON_SOURCE_DIR) / "data/factory.bma";
    const std::vector<std::uint8_t> bytes = ReadBytes(path.string());
    ASSERT_EQ(bytes.size(), 543u);
    Manager::Table table;
    const Status result = Manager::Decode(bytes, table);
    ASSERT_TRUE(result) << result.message;
    EXPECT_EQ(Image(table), bytes); // exactly what our own writer makes of it
    int bound = 0;
    for (int c = 0; c < 128; ++c) {
        if (table[static_cast<std::size_t>(c)] < 0) continue;
        ++bound;
        EXPECT_TRUE(TMidiHandler::Learnable(c)) << "controller " << c;
    }
    EXPECT_GT(bound, 0);
    EXPECT_EQ(table[74], 15); // brightness → cutoff
}
