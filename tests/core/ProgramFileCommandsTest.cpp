// The plug-in's program and bank file commands: which slots change, the modified marks and bank file
// names, the question to save a modified bank first, and failures shown to the user.
#include "core/TCustomVSTMidiPlugin.h"
#include "support/PluginFixture.h"
#include "support/TemporaryDirectory.h"
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

using namespace quillon;
using namespace vst2;
using platform::PromptAnswer;

namespace {

constexpr const char* kSaveFirst = "Do you want to save the current bank before loading a new?";
constexpr const char* kAnotherName = "Please select another file name!";
constexpr const char* kOverwrite = "Do you want to overwrite the existing file?";

class FileCommandsTest : public test::TPluginFixture {
protected:
    void SetUp() override {
        Create();  // offline: program switches finish within one processing call
        Process(); // the start-up program reaches the engine
    }
    // Gives every slot of a bank its own name, then counts the bank as unmodified.
    void NameBank(int bank, const std::string& prefix) {
        for (int i = 0; i < 64; ++i)
            plugin->Programs().SetName(bank * 64 + i, (prefix + std::to_string(i)).c_str());
        plugin->SetBankModified(bank, false);
    }
    std::string Name(int slot) const { return plugin->Programs().Name(slot); }
    void ClearMarks() {
        plugin->SetBankModified(0, false);
        plugin->SetBankModified(1, false);
        Process();
        ASSERT_FALSE(plugin->ProgramNeedsApply());
    }
    // A bank file whose 64 programs are called prefix0 .. prefix63, made from bank 0.
    std::string BankFile(const std::string& name, const std::string& prefix) {
        NameBank(0, prefix);
        const std::string path = dir / name;
        EXPECT_TRUE(plugin->SaveBankFile(0, path));
        return path;
    }

    test::TemporaryDirectory dir;
};

TEST_F(FileCommandsTest, ProgramFilesAndModifiedMarks) {
    effect->dispatcher(effect, effSetProgram, 0, 5, nullptr, 0.0f);
    plugin->Programs().SetName(5, "Glass");
    plugin->Programs().SetParameter(5, 17, 0.25f);
    plugin->Programs().SetVersion(5, 0.5f);
    ClearMarks();

    ASSERT_TRUE(plugin->SaveProgramFile(dir / "glass.bpa"));
    EXPECT_EQ(plugin->Programs().Version(5), 1.1f); // stamped before it leaves
    EXPECT_FALSE(plugin->BankModified(0));
    EXPECT_FALSE(plugin->BankModified(1));

    effect->dispatcher(effect, effSetProgram, 0, 70, nullptr, 0.0f);
    ClearMarks();
    ASSERT_TRUE(plugin->LoadProgramFile(dir / "glass.bpa"));
    EXPECT_EQ(Name(70), "Glass");
    EXPECT_EQ(plugin->Programs().Parameter(70, 17), 0.25f);
    const auto saved = plugin->Programs().RecordBytes(5);
    const auto loaded = plugin->Programs().RecordBytes(70);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), loaded.begin()));
    EXPECT_TRUE(plugin->BankModified(1));
    EXPECT_FALSE(plugin->BankModified(0));
    EXPECT_TRUE(plugin->ProgramNeedsApply());
    EXPECT_TRUE(prompt->messages.empty());
}

TEST_F(FileCommandsTest, OverwritingAsksFirstUnlessTheFileIsWriteProtected) {
    const std::string path = dir / "sound.bpa";
    ASSERT_TRUE(plugin->SaveProgramFile(path));
    EXPECT_TRUE(prompt->questions.empty()); // a new file is written without asking
    plugin->setParameter(17, 0.75f);
    const std::string before = test::ReadText(path);

    prompt->answers = {PromptAnswer::kCancel};
    EXPECT_FALSE(plugin->SaveProgramFile(path));
    EXPECT_EQ(prompt->questions, std::vector<std::string>{kOverwrite});
    EXPECT_EQ(prompt->questionButtons, std::vector<platform::PromptButtons>{platform::PromptButtons::kYesCancel});
    EXPECT_EQ(test::ReadText(path), before);

    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(plugin->SaveProgramFile(path));
    EXPECT_EQ(prompt->questions.size(), 1u);
    EXPECT_EQ(prompt->messages, std::vector<std::string>{"The selected file is write protected!"});
    EXPECT_EQ(test::ReadText(path), before);
}

TEST_F(FileCommandsTest, FailedProgramLoadsChangeNothingAndAreShown) {
    ClearMarks();
    EXPECT_FALSE(plugin->LoadProgramFile(dir / "missing.bpa"));
    std::ofstream(dir / "broken.bpa") << std::string("Brindmor Patch File\0Quillon", 27) << std::string(49, '\0');
    EXPECT_FALSE(plugin->LoadProgramFile(dir / "broken.bpa")); // payload size 0: zlib rejects it
    EXPECT_EQ(prompt->messages, (std::vector<std::string>{"File not found!", "Error"}));
    EXPECT_EQ(Name(0), "-");
    EXPECT_FALSE(plugin->BankModified(0));
    EXPECT_FALSE(plugin->ProgramNeedsApply());
}

TEST_F(FileCommandsTest, LoadingIntoBankOneMakesSlot64Current) {
    const std::string path = BankFile("a.bpb", "A");
    NameBank(0, "old");
    ClearMarks();
    EXPECT_EQ(plugin->BankFileName(0), path);

    ASSERT_TRUE(plugin->LoadBankFile(1, path));
    EXPECT_EQ(plugin->CurrentProgram(), 64);
    EXPECT_EQ(Name(64), "A0");
    EXPECT_EQ(Name(127), "A63");
    EXPECT_EQ(Name(0), "old0"); // the other bank is untouched
    EXPECT_TRUE(plugin->ProgramNeedsApply());
    EXPECT_FALSE(plugin->BankModified(1));
    EXPECT_EQ(plugin->BankFileName(1), path);
    EXPECT_TRUE(prompt->questions.empty()); // an unmodified bank is replaced without asking
}

TEST_F(FileCommandsTest, BankMarksChangeOnlyWhenTheFileHoldsTheBank) {
    const std::string path = BankFile("a.bpb", "A");
    plugin->SetBankModified(0, true);

    prompt->answers = {PromptAnswer::kCancel}; // declines to overwrite
    EXPECT_FALSE(plugin->SaveBankFile(0, dir / "a.bpb"));
    EXPECT_FALSE(plugin->SaveBankFile(0, dir / "no/such/folder.bpb"));
    EXPECT_TRUE(plugin->BankModified(0));
    EXPECT_EQ(plugin->BankFileName(0), path);

    prompt->answers = {PromptAnswer::kNo};
    EXPECT_FALSE(plugin->LoadBankFile(0, dir / "missing.bpb"));
    EXPECT_TRUE(plugin->BankModified(0));
    EXPECT_EQ(plugin->BankFileName(0), path);

    EXPECT_FALSE(plugin->SaveBankFileAs(0)); // the dialog is cancelled
    prompt->savePaths = {dir / "b.bpb"};
    EXPECT_TRUE(plugin->SaveBankFileAs(0));
    EXPECT_EQ(prompt->suggestedPaths, (std::vector<std::string>{path, path}));
    EXPECT_FALSE(plugin->BankModified(0));
    EXPECT_EQ(plugin->BankFileName(0), dir / "b.bpb");
}

TEST_F(FileCommandsTest, CancellingTheSaveQuestionChangesNothing) {
    const std::string path = BankFile("a.bpb", "A");
    NameBank(1, "mine");
    plugin->SetBankModified(1, true);
    ClearMarks();
    plugin->SetBankModified(1, true);

    prompt->answers = {PromptAnswer::kCancel};
    EXPECT_FALSE(plugin->LoadBankFile(1, path));
    EXPECT_EQ(prompt->questions, std::vector<std::string>{kSaveFirst});
    EXPECT_EQ(prompt->questionButtons, std::vector<platform::PromptButtons>{platform::PromptButtons::kYesNoCancel});
    EXPECT_EQ(Name(64), "mine0");
    EXPECT_EQ(plugin->CurrentProgram(), 0);
    EXPECT_TRUE(plugin->BankModified(1));
    EXPECT_EQ(plugin->BankFileName(1), "");
    EXPECT_FALSE(plugin->ProgramNeedsApply());
}

TEST_F(FileCommandsTest, SavingFirstToTheBanksOwnFile) {
    const std::string incoming = BankFile("a.bpb", "A");
    const std::string own = BankFile("own.bpb", "own");
    plugin->Programs().SetName(3, "edited");
    plugin->SetBankModified(0, true);

    prompt->answers = {PromptAnswer::kYes, PromptAnswer::kYes}; // save first; overwrite own.bpb
    ASSERT_TRUE(plugin->LoadBankFile(0, incoming));
    EXPECT_EQ(prompt->questions, (std::vector<std::string>{kSaveFirst, kOverwrite}));
    EXPECT_TRUE(prompt->suggestedPaths.empty()); // no dialog: the bank had a writable file
    EXPECT_EQ(Name(3), "A3");

    ASSERT_TRUE(plugin->LoadBankFile(1, own));
    EXPECT_EQ(Name(64 + 3), "edited");
}

TEST_F(FileCommandsTest, SavingFirstRetriesUntilTheUserGivesUp) {
    const std::string incoming = BankFile("a.bpb", "A");
    const std::string own = BankFile("own.bpb", "own");
    ASSERT_EQ(chmod(own.c_str(), 0444), 0); // read-only: the save dialog is offered instead
    plugin->SetBankModified(0, true);

    prompt->answers = {PromptAnswer::kYes, PromptAnswer::kOk, PromptAnswer::kCancel};
    prompt->savePaths = {dir / "gone/x.bpb", dir / "gone/y.bpb"};
    ASSERT_TRUE(plugin->LoadBankFile(0, incoming)); // the load goes on without saving
    EXPECT_EQ(prompt->questions, (std::vector<std::string>{kSaveFirst, kAnotherName, kAnotherName}));
    EXPECT_EQ(prompt->suggestedPaths, (std::vector<std::string>{own, own}));
    EXPECT_EQ(prompt->messages.size(), 2u); // each failed save was shown
    EXPECT_EQ(Name(0), "A0");
    EXPECT_FALSE(plugin->BankModified(0));
    EXPECT_EQ(plugin->BankFileName(0), incoming);
}

// An editor answers later: the command returns false at once and finishes, once, when the answer comes; a
// question dropped unanswered (the editor closed) leaves everything as it was and never reports.
TEST_F(FileCommandsTest, QuestionsAnsweredLaterFinishTheCommandThen) {
    const std::string incoming = BankFile("a.bpb", "A");
    NameBank(0, "mine");
    plugin->SetBankModified(0, true);
    prompt->holdAnswers = true;
    std::vector<bool> reports;
    const auto report = [&reports](bool done) { reports.push_back(done); };

    prompt->answers = {PromptAnswer::kYes, PromptAnswer::kCancel}; // save first, but not over a.bpb
    EXPECT_FALSE(plugin->LoadBankFile(0, incoming, report));
    EXPECT_TRUE(prompt->AnswerHeld()); // the save question
    EXPECT_EQ(Name(0), "mine0");
    EXPECT_TRUE(prompt->AnswerHeld()); // overwriting a.bpb: Cancel
    EXPECT_TRUE(prompt->AnswerHeld()); // "another file name?": Cancel goes on loading
    EXPECT_FALSE(prompt->AnswerHeld());
    EXPECT_EQ(reports, std::vector<bool>{true});
    EXPECT_EQ(Name(0), "A0");

    plugin->SetBankModified(0, true);
    EXPECT_FALSE(plugin->SaveBankFileAs(0, report));
    EXPECT_FALSE(plugin->LoadBankFile(0, incoming, report));
    prompt->DropHeld();
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_TRUE(plugin->BankModified(0));
    EXPECT_EQ(plugin->BankFileName(0), incoming);
}

} // namespace
