// The desktop's dialog through a stand-in "zenity" on PATH: what it is started with (arguments, environment,
// descriptors), its answer read by polling from the clock, a failure handed back for the editor's own
// dialog, and a dialog still open killed when the panel goes.
#include "toolkit/TSystemDialogPanel.h"

#include "ControlTestSupport.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryDirectory.h"
#include "support/TestGlyphAtlas.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace quillon {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TSystemDialogPanelTest : ::testing::Test {
    test::TestWindow window{800, 556};
    TModalLayer layer;
    test::TemporaryDirectory folder;
    test::ScopedEnvironment environment;
    std::vector<std::string> chosen;
    int cancels = 0;
    int failures = 0;

    TSystemDialogPanelTest() {
        layer.Style.atlas = &test::TestGlyphAtlas();
        window.root.SetModalLayer(&layer);
        environment.Set("PATH", folder.Path() + ":/usr/bin:/bin");
        environment.Set("LD_LIBRARY_PATH", "/quillon-host-libraries");
    }
    ~TSystemDialogPanelTest() override { layer.CloseAll(); }

    // A stand-in for zenity running `body` (a shell script).
    void FakeTool(const std::string& body) {
        const std::string path = folder / "zenity";
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
    }
    TSystemDialogPanel* Show(TFileDialogMode mode, bool overwritePrompt = false) {
        TFileDialogOptions options{
            mode, "Save Harmony File", "Brindmor Harmony|*.bha", "bha", folder.Path(), overwritePrompt, {}};
        return TSystemDialogPanel::Show(
            layer, options, [this](const std::string& path) { chosen.push_back(path); }, [this] { ++cancels; },
            [this] { ++failures; });
    }
    // Advances the clock until the panel closed (at most two seconds).
    void RunUntilClosed() {
        for (int i = 0; i < 200 && layer.IsOpen(); ++i) {
            layer.AdvanceClock(TSystemDialogPanel::kPollMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
};

TEST_F(TSystemDialogPanelTest, TheAnswerComesThroughTheClockAndTheChildGetsNothingOfTheHost) {
    const std::string log = folder / "log";
    FakeTool("printf '%s\\n' \"$@\" > " + log + "\nenv >> " + log + "\nls /proc/$$/fd >> " + log + ".fd\necho " +
             (folder / "New") + "\n");
    const int opened = open("/dev/null", O_RDONLY);
    const int leaked = dup2(opened, 57); // a descriptor of the host, inheritable
    ASSERT_NE(Show(TFileDialogMode::Save), nullptr);
    close(opened);
    close(leaked);
    EXPECT_TRUE(layer.IsOpen());
    RunUntilClosed();
    EXPECT_EQ(chosen, std::vector<std::string>{folder / "New.bha"}); // the default extension added
    const std::string seen = ReadAll(log);
    for (const std::string& argument :
         std::vector<std::string>{"--file-selection", "--save", "--title=Save Harmony File",
                                  "--file-filter=Brindmor Harmony | *.bha", "--filename=" + folder.Path() + "/"})
        EXPECT_NE(seen.find(argument + "\n"), std::string::npos) << argument;
    EXPECT_EQ(seen.find("LD_LIBRARY_PATH"), std::string::npos);
    EXPECT_EQ(ReadAll(log + ".fd").find(std::to_string(leaked) + "\n"), std::string::npos);

    // Exit status 1 cancels.
    FakeTool("exit 1");
    ASSERT_NE(Show(TFileDialogMode::Open), nullptr);
    RunUntilClosed();
    EXPECT_EQ(cancels, 1);
    // A tool that fails hands the choice back; no answer, no cancel.
    FakeTool("echo broken >&2; exit 3");
    ASSERT_NE(Show(TFileDialogMode::Folder), nullptr);
    RunUntilClosed();
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(chosen.size(), 1u);
    EXPECT_EQ(cancels, 1);
}

TEST_F(TSystemDialogPanelTest, ADialogStillOpenIsKilledWhenThePanelGoesAndEscapeCancelsIt) {
    FakeTool("exec sleep 30");
    TSystemDialogPanel* panel = Show(TFileDialogMode::Open);
    ASSERT_NE(panel, nullptr);
    const int pid = panel->Dialog().ProcessId();
    layer.AdvanceClock(TSystemDialogPanel::kPollMs); // still running: nothing happens
    EXPECT_TRUE(layer.IsOpen());
    layer.CloseAll();
    const auto ended = [pid] { // gone, or a zombie waiting to be reaped
        const std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
        return stat.empty() || stat.find(") Z") != std::string::npos;
    };
    for (int i = 0; i < 200 && !ended(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(ended());
    EXPECT_EQ(cancels, 0);

    ASSERT_NE(Show(TFileDialogMode::Open), nullptr);
    EXPECT_TRUE(layer.DispatchKey(TKeyEvent{TEditKey::Escape, true, {}}));
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(layer.IsOpen());

    // Without the tool on PATH nothing opens.
    environment.Set("PATH", folder / "none");
    EXPECT_EQ(Show(TFileDialogMode::Open), nullptr);
    EXPECT_FALSE(layer.IsOpen());
}

} // namespace
} // namespace quillon
