// The file dialogs and the folder chooser driven by mouse and keys on a real folder: what the list shows and
// in which order, moving between folders, the name typed with its default extension, the overwrite question,
// cancelling, and a result that reaches the opener once (and never after the layer dropped the panel).
#include "toolkit/TFileDialog.h"

#include "ControlTestSupport.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryDirectory.h"
#include "support/TestGlyphAtlas.h"
#include "toolkit/TMessageBox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

using test::TemporaryDirectory;

struct TFileDialogTest : ::testing::Test {
    test::TestWindow window{800, 556};
    TModalLayer layer;
    TemporaryDirectory folder;
    std::vector<std::string> chosen;
    int cancels = 0;

    TFileDialogTest() {
        layer.Style.atlas = &test::TestGlyphAtlas();
        window.root.SetModalLayer(&layer);
        for (const char* name : {"b2.bpa", "B10.BPA", "a.bpa", "notes.txt", ".hidden.bpa"})
            std::ofstream(folder / name) << "x";
        for (const char* name : {"zeta", "Sub", ".git"})
            std::filesystem::create_directory(folder / name);
        std::ofstream(folder / "Sub/inner.bpa") << "x";
    }
    ~TFileDialogTest() override { layer.CloseAll(); }

    TFileDialog& Show(TFileDialogMode mode, bool overwritePrompt = false) {
        TFileDialogOptions options{mode, "Pick", "Brindmor Program|*.bpa", "bpa", folder.Path(), overwritePrompt, {}};
        return TFileDialog::Show(
            layer, options, [this](const std::string& path) { chosen.push_back(path); }, [this] { ++cancels; });
    }
    static std::vector<std::string> Names(const TFileDialog& dialog) {
        std::vector<std::string> names;
        for (const TFileDialog::TRow& row : dialog.Rows())
            names.push_back(row.name + (row.isFolder ? "/" : ""));
        return names;
    }
    void Click(const TRect& r) {
        window.Down((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        window.Up((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    void ClickRow(const TFileDialog& dialog, int row) {
        Click(dialog.RowRect(row));
        layer.AdvanceClock(TFileDialog::kDoubleClickMs + 1); // the next press is a click of its own
    }
    void DoubleClickRow(const TFileDialog& dialog, int row) {
        Click(dialog.RowRect(row));
        layer.AdvanceClock(TFileDialog::kDoubleClickMs / 2);
        Click(dialog.RowRect(row));
    }
    bool Key(TEditKey key) { return layer.DispatchKey(TKeyEvent{key, true, {}}); }
    void Type(const std::string& text) {
        for (const char c : text)
            layer.DispatchKey(TKeyEvent{TEditKey::Other, true, std::string(1, c)});
    }
};

TEST_F(TFileDialogTest, ListsFoldersThenMatchingFilesAndMovesBetweenFolders) {
    TFileDialog& dialog = Show(TFileDialogMode::Open);
    EXPECT_EQ(dialog.Folder(), folder.Path());
    EXPECT_EQ(dialog.Caption(), "Pick");
    EXPECT_EQ(dialog.FilterDescription(), "Brindmor Program (*.bpa)");
    // Folders first, hidden entries and other types left out, any case matches, numbers by value.
    EXPECT_EQ(Names(dialog), (std::vector<std::string>{"../", "Sub/", "zeta/", "a.bpa", "b2.bpa", "B10.BPA"}));

    // A click selects (a file's name goes into the field), a slow second click does not open.
    ClickRow(dialog, 3);
    ClickRow(dialog, 3);
    EXPECT_EQ(dialog.Selected(), 3);
    EXPECT_EQ(dialog.NameField().Text(), "a.bpa");
    ClickRow(dialog, 1);
    EXPECT_EQ(dialog.Folder(), folder.Path());
    EXPECT_EQ(dialog.NameField().Text(), "a.bpa"); // a folder leaves the name alone

    DoubleClickRow(dialog, 1);
    EXPECT_EQ(dialog.Folder(), folder / "Sub");
    EXPECT_EQ(Names(dialog), (std::vector<std::string>{"../", "inner.bpa"}));
    // Backspace goes up once the field is empty and selects the folder it came from.
    dialog.NameField().SetText({});
    EXPECT_TRUE(Key(TEditKey::Backspace));
    EXPECT_EQ(dialog.Folder(), folder.Path());
    EXPECT_EQ(dialog.Selected(), 1);
    // Keys: Down to "zeta", Enter opens it; Up to ".." and Enter goes up again.
    EXPECT_TRUE(Key(TEditKey::Down));
    EXPECT_TRUE(Key(TEditKey::Enter));
    EXPECT_EQ(dialog.Folder(), folder / "zeta");
    EXPECT_TRUE(Key(TEditKey::Down));
    EXPECT_TRUE(Key(TEditKey::Enter));
    EXPECT_EQ(dialog.Folder(), folder.Path());
    // A folder's name typed opens it; ".." goes up.
    Type("Sub");
    Key(TEditKey::Enter);
    EXPECT_EQ(dialog.Folder(), folder / "Sub");
    EXPECT_EQ(dialog.NameField().Text(), "");
    EXPECT_TRUE(chosen.empty());
    EXPECT_EQ(cancels, 0);
}

TEST_F(TFileDialogTest, OpenConfirmsExistingFilesOnly) {
    TFileDialog& dialog = Show(TFileDialogMode::Open);
    ASSERT_TRUE(dialog.NameField().IsActive());
    Type("missing");
    Key(TEditKey::Enter);
    ASSERT_EQ(layer.Count(), 2); // a message over the dialog
    EXPECT_FALSE(dialog.NameField().IsActive());
    Key(TEditKey::Enter);
    ASSERT_EQ(layer.Top(), &dialog);
    EXPECT_TRUE(dialog.NameField().IsActive());
    EXPECT_TRUE(chosen.empty());
    // The default extension finds "a.bpa"; the callback runs once.
    dialog.NameField().SetText({});
    Type("a");
    Key(TEditKey::Enter);
    EXPECT_EQ(chosen, std::vector<std::string>{folder / "a.bpa"});
    EXPECT_FALSE(layer.IsOpen());

    // A double click on a file confirms it.
    TFileDialog& again = Show(TFileDialogMode::Open);
    DoubleClickRow(again, 5);
    EXPECT_EQ(chosen.back(), folder / "B10.BPA");
    EXPECT_EQ(chosen.size(), 2u);
    EXPECT_EQ(cancels, 0);
}

TEST_F(TFileDialogTest, SaveAddsTheDefaultExtensionAndAsksBeforeReplacing) {
    Show(TFileDialogMode::Save);
    Type("new");
    Key(TEditKey::Enter);
    Show(TFileDialogMode::Save);
    Type("keep.txt");
    Click(dynamic_cast<TFileDialog*>(layer.Top())->OkButtonRect());
    Show(TFileDialogMode::Save); // no question without OverwritePrompt
    Type("a");
    Key(TEditKey::Enter);
    EXPECT_EQ(chosen, (std::vector<std::string>{folder / "new.bpa", folder / "keep.txt", folder / "a.bpa"}));
    chosen.clear();

    TFileDialog& dialog = Show(TFileDialogMode::Save, true);
    Type("a");
    Key(TEditKey::Enter);
    auto* question = dynamic_cast<TMessageBox*>(layer.Top());
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->DefaultResult(), mrNo);
    Click(question->ButtonRect(1)); // No: back in the dialog
    ASSERT_EQ(layer.Top(), &dialog);
    EXPECT_TRUE(chosen.empty());
    Key(TEditKey::Enter);
    question = dynamic_cast<TMessageBox*>(layer.Top());
    ASSERT_NE(question, nullptr);
    Click(question->ButtonRect(0)); // Yes
    EXPECT_EQ(chosen, std::vector<std::string>{folder / "a.bpa"});
    EXPECT_FALSE(layer.IsOpen());

    // A save into a folder that does not exist is refused with a message.
    Show(TFileDialogMode::Save);
    Type("nowhere/x");
    Key(TEditKey::Enter);
    EXPECT_EQ(layer.Count(), 2);
    EXPECT_EQ(chosen.size(), 1u);
}

TEST_F(TFileDialogTest, CancelByButtonAndEscapeAndClosingTheLayerCallsNothing) {
    Click(Show(TFileDialogMode::Open).CancelButtonRect());
    Show(TFileDialogMode::Save);
    Type("x");
    EXPECT_TRUE(Key(TEditKey::Escape));
    EXPECT_EQ(cancels, 2);
    EXPECT_FALSE(layer.IsOpen());
    // A press on Cancel released off it cancels nothing.
    const TRect cancel = Show(TFileDialogMode::Open).CancelButtonRect();
    window.Down(cancel.left + 2, cancel.top + 2);
    window.Up(cancel.left - 30, cancel.top + 2);
    EXPECT_TRUE(layer.IsOpen());
    // The editor closing: the dialog and the question over it go without a call.
    Show(TFileDialogMode::Save, true);
    Type("a");
    Key(TEditKey::Enter);
    EXPECT_EQ(layer.Count(), 3);
    layer.CloseAll();
    EXPECT_EQ(cancels, 2);
    EXPECT_TRUE(chosen.empty());
}

TEST_F(TFileDialogTest, ScrollsLongListsByBarKeysAndWheel) {
    for (int i = 0; i < 60; ++i)
        std::ofstream(folder / ("p" + std::to_string(i) + ".bpa")) << "x";
    TFileDialog& dialog = Show(TFileDialogMode::Open);
    const int rows = static_cast<int>(dialog.Rows().size());
    const TRect bar = dialog.ScrollBarRect();
    ASSERT_FALSE(bar.Empty());
    window.Down(bar.left + 3, bar.bottom - 3); // the down arrow
    window.Up(bar.left + 3, bar.bottom - 3);
    EXPECT_EQ(dialog.TopRow(), 1);
    layer.MouseWheel(TMouseEvent{bar.left, bar.top + 40}, 1);
    EXPECT_EQ(dialog.TopRow(), 0);
    layer.MouseWheel(TMouseEvent{bar.left, bar.top + 40}, -2);
    EXPECT_EQ(dialog.TopRow(), 2 * TFileDialog::kWheelRows);
    // Home (with an empty field) selects the first row and shows it; the thumb, at the top then, dragged to
    // the bottom shows the last rows.
    Key(TEditKey::Home);
    EXPECT_EQ(dialog.TopRow(), 0);
    window.Down(bar.left + 3, bar.top + 18); // below the up arrow
    window.Move(bar.left + 3, bar.bottom + 200);
    window.Up(bar.left + 3, bar.bottom + 200);
    EXPECT_EQ(dialog.TopRow(), rows - dialog.VisibleRows());
    Key(TEditKey::Home);
    Key(TEditKey::End);
    EXPECT_EQ(dialog.Selected(), rows - 1);
    EXPECT_EQ(dialog.TopRow(), rows - dialog.VisibleRows());
}

TEST_F(TFileDialogTest, FolderChooserListsFoldersAndConfirmsTheSelectedOrCurrentOne) {
    test::ScopedEnvironment environment;
    environment.Set("HOME", folder / "zeta");
    auto show = [this](const std::string& path) -> TFolderChooser& {
        return TFolderChooser::Show(
            layer, "Choose", path, [this](const std::string& path) { chosen.push_back(path); }, [this] { ++cancels; });
    };
    TFolderChooser& chooser = show(folder.Path());
    EXPECT_EQ(Names(chooser), (std::vector<std::string>{"../", "Sub/", "zeta/"}));
    ClickRow(chooser, 1);
    Click(chooser.OkButtonRect());
    EXPECT_EQ(chosen, std::vector<std::string>{folder / "Sub"});
    // A stale path starts at home; with nothing selected the current folder is chosen.
    TFolderChooser& stale = show(folder / "gone");
    EXPECT_EQ(stale.Folder(), folder / "zeta");
    EXPECT_EQ(stale.Caption(), "Choose");
    Key(TEditKey::Enter);
    EXPECT_EQ(chosen.back(), folder / "zeta");
    show({});
    Key(TEditKey::Backspace); // up to the temporary folder
    Key(TEditKey::Escape);
    EXPECT_EQ(chosen.size(), 2u);
    EXPECT_EQ(cancels, 1);
}

TEST_F(TFileDialogTest, AnUnreadableFolderShowsEmpty) {
    TFileDialog& dialog = Show(TFileDialogMode::Open);
    dialog.OpenFolder(folder / "gone");
    EXPECT_FALSE(dialog.FolderReadable());
    EXPECT_EQ(Names(dialog), std::vector<std::string>{"../"});
    Key(TEditKey::Backspace);
    EXPECT_TRUE(dialog.FolderReadable());
    EXPECT_EQ(dialog.Folder(), folder.Path());
}

TEST(MatchesPatternTest, WildcardsIgnoreCase) {
    EXPECT_TRUE(MatchesPattern("Pad.BPA", "*.bpa"));
    EXPECT_TRUE(MatchesPattern("a.b.bpa", "*.bpa"));
    EXPECT_TRUE(MatchesPattern("x1.wav", "x?.*"));
    EXPECT_FALSE(MatchesPattern("pad.bpa.txt", "*.bpa"));
    EXPECT_FALSE(MatchesPattern("bpa", "*.bpa"));
}

} // namespace
} // namespace quillon
