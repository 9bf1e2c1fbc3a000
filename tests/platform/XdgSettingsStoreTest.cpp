// The settings store on Linux: found/not-found as the callers rely on it, the machine-wide fallback, the
// environment's folders, odd values, hand-edited files and concurrent writers.
#include "platform/posix/XdgSettingsStore.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace quillon;
using platform::XdgSettingsStore;

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    test::TemporaryDirectory folder;
    std::string userFile = XdgSettingsStore::FileBelow(folder / "user");
    std::string machineFile = XdgSettingsStore::FileBelow(folder / "machine");
    XdgSettingsStore store{userFile, {machineFile}};
};

} // namespace

TEST_F(SettingsStoreTest, NoFileMeansNotFoundAndAMissingValueUnderAFileMeansFoundAndEmpty) {
    platform::SettingRead read = store.ReadSetting("InstallFolder");
    EXPECT_FALSE(read.found);
    EXPECT_EQ(read.text, "");

    ASSERT_TRUE(store.WriteSetting("ProgramBankDir", "/banks"));
    read = store.ReadSetting("InstallFolder");
    EXPECT_TRUE(read.found);
    EXPECT_EQ(read.text, "");
    read = store.ReadSetting("ProgramBankDir");
    EXPECT_TRUE(read.found);
    EXPECT_EQ(read.text, "/banks");
    // Value names match without regard to case, as a registry key's do; writing replaces, whatever the case.
    EXPECT_EQ(store.ReadSetting("programbankdir").text, "/banks");
    ASSERT_TRUE(store.WriteSetting("PROGRAMBANKDIR", "/other"));
    EXPECT_EQ(store.ReadSetting("ProgramBankDir").text, "/other");
}

TEST_F(SettingsStoreTest, TheMachineFileAnswersWhatTheUserFileLacksAndIsNeverWritten) {
    const std::string machineText = "InstallFolder=/opt/quillon\nManual=/opt/quillon/manual.pdf\n";
    WriteText(machineFile, machineText);
    // Only the machine-wide file exists: the store counts as found.
    EXPECT_TRUE(store.ReadSetting("AudioFileDir").found);
    EXPECT_EQ(store.ReadSetting("InstallFolder").text, "/opt/quillon");

    ASSERT_TRUE(store.WriteSetting("Manual", "/home/me/manual.pdf"));
    EXPECT_EQ(store.ReadSetting("Manual").text, "/home/me/manual.pdf");
    EXPECT_EQ(store.ReadSetting("InstallFolder").text, "/opt/quillon");
    EXPECT_EQ(ReadText(machineFile), machineText);

    // Several machine-wide folders are read in order.
    const std::string second = XdgSettingsStore::FileBelow(folder / "second");
    WriteText(second, "InstallFolder=/second\nAudioFileDir=/audio\n");
    XdgSettingsStore both(userFile, {machineFile, second});
    EXPECT_EQ(both.ReadSetting("InstallFolder").text, "/opt/quillon");
    EXPECT_EQ(both.ReadSetting("AudioFileDir").text, "/audio");
}

TEST_F(SettingsStoreTest, FilesComeFromTheXdgEnvironment) {
    test::ScopedEnvironment environment;
    environment.Set("HOME", folder / "home");
    environment.Set("XDG_CONFIG_HOME", folder / "config/");
    environment.Set("XDG_CONFIG_DIRS", "relative/ignored:" + (folder / "etc1") + "::" + (folder / "etc2"));
    XdgSettingsStore fromEnvironment;
    EXPECT_EQ(fromEnvironment.UserFile(), folder / "config/Brindmor Audio/Quillon/settings.conf");
    ASSERT_EQ(fromEnvironment.MachineFiles().size(), 2u);
    EXPECT_EQ(fromEnvironment.MachineFiles()[0], folder / "etc1/Brindmor Audio/Quillon/settings.conf");
    EXPECT_EQ(fromEnvironment.MachineFiles()[1], folder / "etc2/Brindmor Audio/Quillon/settings.conf");
    // The folders are created by the first write.
    ASSERT_TRUE(fromEnvironment.WriteSetting("AudioFileDir", "/wav"));
    EXPECT_TRUE(std::filesystem::exists(fromEnvironment.UserFile()));

    // A relative XDG_CONFIG_HOME is ignored (~/.config), an empty XDG_CONFIG_DIRS means /etc/xdg.
    environment.Set("XDG_CONFIG_HOME", "relative");
    environment.Set("XDG_CONFIG_DIRS", "");
    XdgSettingsStore defaults;
    EXPECT_EQ(defaults.UserFile(), folder / "home/.config/Brindmor Audio/Quillon/settings.conf");
    ASSERT_EQ(defaults.MachineFiles().size(), 1u);
    EXPECT_EQ(defaults.MachineFiles()[0], "/etc/xdg/Brindmor Audio/Quillon/settings.conf");
}

TEST_F(SettingsStoreTest, OddValuesComeBackUnchangedAndKeepOneLineEach) {
    const std::vector<std::pair<std::string, std::string>> values = {
        {"Empty", ""},
        {"Equals", "a=b=c"},
        {"Blanks", "  leading and trailing  "},
        {"Lines", "one\ntwo\r\nthree\r"},
        {"Backslashes", "C:\\Programs\\n not a line feed\\"},
        {"Controls", std::string("tab\tbell\x07nul") + '\0' + "del\x7f"},
        {"Unicode", "/home/jürgen/Klänge/ノート"},
        {"Hash", "#not a comment"},
        {"Long", std::string(20000, 'x')},
    };
    for (const auto& [name, text] : values)
        ASSERT_TRUE(store.WriteSetting(name, text)) << name;
    XdgSettingsStore reopened(userFile, {});
    for (const auto& [name, text] : values)
        EXPECT_EQ(reopened.ReadSetting(name).text, text) << name;

    // One header comment and one line per value: no escape lets a value spill into another line.
    std::stringstream lines(ReadText(userFile));
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        ++count;
    EXPECT_EQ(count, 1 + static_cast<int>(values.size()));
}

TEST_F(SettingsStoreTest, HandEditedFilesAreReadAndKeptByWrites) {
    WriteText(userFile, "# my notes\r\n"
                        "\r\n"
                        "  InstallFolder = /first\r\n"
                        "; another comment\n"
                        "no equals sign here\n"
                        "installfolder=/second\n"
                        "Manual=/m\\x41n\\q\n");
    // Blanks around the name do not count; the later of two lines wins; unknown escapes stand as written.
    EXPECT_EQ(store.ReadSetting("InstallFolder").text, "/second");
    EXPECT_EQ(store.ReadSetting("Manual").text, "/mAn\\q");

    ASSERT_TRUE(store.WriteSetting("InstallFolder", "/third"));
    EXPECT_EQ(ReadText(userFile), "# my notes\n"
                                  "\n"
                                  "InstallFolder=/third\n"
                                  "; another comment\n"
                                  "no equals sign here\n"
                                  "Manual=/m\\x41n\\q\n");
}

TEST_F(SettingsStoreTest, WritesAreAtomicAndRefusalsChangeNothing) {
    ASSERT_TRUE(store.WriteSetting("ProgramBankDir", "/banks"));
    const std::string before = ReadText(userFile);
    for (const std::string name : {"", "A=B", "Line\nBreak", " Padded", "#Comment", ";Comment"})
        EXPECT_FALSE(store.WriteSetting(name, "x")) << name;
    EXPECT_EQ(ReadText(userFile), before);
    // No temporary file stays behind.
    const auto settingsFolder = std::filesystem::path(userFile).parent_path();
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(settingsFolder))
        ++entries;
    EXPECT_EQ(entries, 1);

    // A folder that cannot be made (a file stands where it belongs): false, nothing else happens.
    WriteText(folder / "blocked", "a file");
    XdgSettingsStore blocked(XdgSettingsStore::FileBelow(folder / "blocked"), {});
    EXPECT_FALSE(blocked.WriteSetting("AudioFileDir", "/wav"));
    EXPECT_FALSE(blocked.ReadSetting("AudioFileDir").found);
    EXPECT_EQ(ReadText(folder / "blocked"), "a file");
}

TEST_F(SettingsStoreTest, TwoInstancesWritingAtOnceLoseNothing) {
    // Every write rereads the file under a lock: values written by the other instance survive.
    constexpr int kWrites = 40;
    auto writer = [&](const std::string& prefix) {
        XdgSettingsStore instance(userFile, {});
        for (int i = 0; i < kWrites; ++i)
            ASSERT_TRUE(instance.WriteSetting(prefix + std::to_string(i), std::to_string(i)));
    };
    std::thread first(writer, "First");
    std::thread second(writer, "Second");
    first.join();
    second.join();
    for (int i = 0; i < kWrites; ++i) {
        EXPECT_EQ(store.ReadSetting("First" + std::to_string(i)).text, std::to_string(i));
        EXPECT_EQ(store.ReadSetting("Second" + std::to_string(i)).text, std::to_string(i));
    }
}
