// Names outside the ANSI code page on Windows: the file managers save, find and load programs, banks,
// harmonies and MIDI assignments in folders named with them, and the names come back as the same UTF-8.
#include "files/InstallFolder.h"
#include "files/THarmonyFileManager.h"
#include "files/TMidiLearnFileManager.h"
#include "files/TPresetsFileManager.h"
#include "platform/ListFolder.h"
#include "platform/Utf8Path.h"
#include "platform/win32/Utf16.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace quillon {
namespace {

constexpr const char* kFolderName = "Kl\xC3\xA4nge \xE9\x9F\xB3\xE8\x89\xB2"; // "Klänge 音色"
constexpr const char* kProgramName = "Gr\xC3\xB6\xC3\x9F"
                                     "e.bpa";                     // "Größe.bpa"
constexpr const char* kBankName = "\xE9\x9F\xB3\xE8\x89\xB2.bpb"; // "音色.bpb"

class Win32PathsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(std::filesystem::create_directory(platform::PathFromUtf8(folder_))); }

    // True when the file exists under exactly this UTF-16 name: a name garbled through the ANSI code page
    // would be some other file.
    static bool ExistsAsWide(const std::wstring& path) {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::wstring WideFolder() const { return platform::win32::Widen(temporary_.Path()) + L"/Kl\u00E4nge \u97F3\u8272"; }

    test::TemporaryDirectory temporary_;
    const std::string folder_ = temporary_ / kFolderName;
};

TEST_F(Win32PathsTest, SavesListsAndLoadsProgramsAndBanksUnderNonAnsiNames) {
    std::vector<std::uint8_t> program(record::kRecordSize), bank(TPresetsFileManager::kBankBytes);
    for (std::size_t i = 0; i < bank.size(); ++i)
        bank[i] = static_cast<std::uint8_t>(i * 7 / 5);
    std::copy_n(bank.begin() + 11, program.size(), program.begin());

    TPresetsFileManager files;
    const std::string programPath = folder_ + "/" + kProgramName;
    const std::string bankPath = folder_ + "/" + kBankName;
    ASSERT_TRUE(files.SaveProgram(programPath, TPresetsFileManager::ConstProgramSpan(program.data(), program.size())));
    ASSERT_TRUE(files.SaveBank(bankPath, TPresetsFileManager::ConstBankSpan(bank.data(), bank.size())));
    EXPECT_TRUE(ExistsAsWide(WideFolder() + L"/Gr\u00F6\u00DFe.bpa"));
    EXPECT_TRUE(ExistsAsWide(WideFolder() + L"/\u97F3\u8272.bpb"));

    std::vector<std::string> names;
    platform::ListFolder(folder_, names);
    EXPECT_EQ(names, (std::vector<std::string>{kProgramName, kBankName})) << "no temporary file is left either";
    EXPECT_EQ(temporary_.Entries(), std::vector<std::string>{kFolderName});

    std::vector<std::uint8_t> loaded(TPresetsFileManager::kBankBytes);
    ASSERT_TRUE(files.LoadBank(bankPath, TPresetsFileManager::BankSpan(loaded.data(), loaded.size())));
    EXPECT_EQ(loaded, bank);
    ASSERT_TRUE(files.LoadProgram(programPath, TPresetsFileManager::ProgramSpan(loaded.data(), program.size())));
    EXPECT_TRUE(std::equal(program.begin(), program.end(), loaded.begin()));
    EXPECT_EQ(files
                  .LoadProgram(folder_ + "/Gr\xC3\xB6sse.bpa",
                               TPresetsFileManager::ProgramSpan(loaded.data(), program.size()))
                  .code,
              StatusCode::kNotFound);

    THarmonyFileManager harmony;
    harmony.levels[3] = 200;
    ASSERT_TRUE(harmony.Save(folder_ + "/\xC3\x86ther.bha"));
    THarmonyFileManager reloaded;
    ASSERT_TRUE(reloaded.Load(folder_ + "/\xC3\x86ther.bha"));
    EXPECT_EQ(reloaded.levels, harmony.levels);
}

TEST_F(Win32PathsTest, KeepsMidiAssignmentsInAnInstallationFolderWithANonAnsiName) {
    const std::string install = platform::NormalFolder(folder_ + "\\Quillon"); // as a library folder names it
    EXPECT_EQ(InstallFolderBeside(folder_), install) << "\"/\" between the parts, the name intact";

    TMidiLearnFileManager assignments(install);
    EXPECT_EQ(assignments.CustomPath(), install + "/Data/custom.bma");
    std::vector<int> table(TMidiLearnFileManager::kControllerCount, -1);
    table[7] = 12;
    ASSERT_TRUE(assignments.WriteAssignments(std::span<const int, TMidiLearnFileManager::kControllerCount>(table)));
    EXPECT_TRUE(ExistsAsWide(WideFolder() + L"/Quillon/Data/custom.bma"));
    EXPECT_EQ(InstallFolderBeside(folder_), install) << "found by its Data folder now";

    std::vector<int> read(TMidiLearnFileManager::kControllerCount, 0);
    ASSERT_TRUE(assignments.ReadAssignments(std::span<int, TMidiLearnFileManager::kControllerCount>(read)));
    EXPECT_EQ(read, table);
    ASSERT_TRUE(assignments.DeleteCustomAssignments());
    EXPECT_FALSE(ExistsAsWide(WideFolder() + L"/Quillon/Data/custom.bma"));
}

TEST_F(Win32PathsTest, ConvertsBetweenUtf8AndTheSystemsUtf16Paths) {
    EXPECT_EQ(platform::PathFromUtf8(kBankName).native(), L"\u97F3\u8272.bpb");
    EXPECT_EQ(platform::Utf8FromPath(std::filesystem::path(L"C:\\Kl\u00E4nge\\x.bpa")), "C:/Kl\xC3\xA4nge/x.bpa");
    EXPECT_EQ(platform::Utf8FromPath(std::filesystem::path(L"\U0001D11E")), "\xF0\x9D\x84\x9E") << "a surrogate pair";
    // What the system allows but UTF-8 cannot say, and the reverse, becomes U+FFFD instead of an exception.
    EXPECT_EQ(platform::Utf8FromPath(std::filesystem::path(std::wstring{L'a', wchar_t(0xD800), L'b'})), "a\xEF\xBF\xBD"
                                                                                                        "b");
    EXPECT_EQ(platform::PathFromUtf8("a\xFF"
                                     "b")
                  .native(),
              L"a\uFFFDb");
}

} // namespace
} // namespace quillon
