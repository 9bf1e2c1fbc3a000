// The shell's idle as a window's own timer calls it: the callback the form gets runs the whole idle, an idle
// entered again from inside one does nothing, and a close from inside an idle keeps the form alive until the
// idle is done with it.
#include "editor/TEditorFrame.h"
#include "plugin/TVSTEditor.h"

#include "support/PluginFixture.h"

namespace quillon::test {
namespace {

// What the fake form saw (the factory is a plain function, so it lives here).
struct TFormLog {
    std::function<void()> idle;        // the callback the shell installed
    std::function<void()> onPollInput; // runs inside PollInput
    int polls = 0, presents = 0;
    bool alive = false, polling = false, destroyedDuringPoll = false;
} gLog;

struct TFakeForm final : IEditorForm {
    TFakeForm() { gLog.alive = true; }
    ~TFakeForm() override { gLog.destroyedDuringPoll |= gLog.polling, gLog.alive = false; }
    void SetParameterValues(const float*, int) override {}
    void updateStandardControls() override {}
    void updateAllControls() override {}
    void updateAll() override {}
    void initNonAutomatedControls() override {}
    void SetPresetLoadingIndicator(std::uint8_t) override {}
    void PollInput() override {
        ++gLog.polls, gLog.polling = true;
        if (gLog.onPollInput) gLog.onPollInput();
        gLog.polling = false;
    }
    void Present() override { ++gLog.presents; }
    void SetIdleCallback(const std::function<void()>& idle) override { gLog.idle = idle; }
};

// As the window's timer calls it: through a copy, since the idle may take the callback back.
void TimerIdle() {
    const std::function<void()> idle = gLog.idle;
    idle();
}

class EditorShellIdleTest : public TPluginFixture {
protected:
    void SetUp() override {
        gLog = {};
        Create();
        auto made = std::make_unique<TVSTEditor>(*plugin);
        shell = made.get();
        plugin->setEditor(std::move(made));
        TVSTEditor::SetFormFactory(
            [](void*, TVSTMidiPlugin&, int) -> std::unique_ptr<IEditorForm> { return std::make_unique<TFakeForm>(); });
        ASSERT_TRUE(shell->open(&parent));
        ASSERT_TRUE(gLog.idle);
    }
    void TearDown() override {
        TVSTEditor::SetFormFactory(&CreateEditorFrame);
        TPluginFixture::TearDown();
        gLog = {};
    }
    TVSTEditor* shell = nullptr;
    int parent = 0;
};

TEST_F(EditorShellIdleTest, TheFormsCallbackRunsTheWholeIdleButNotInsideAnother) {
    TimerIdle();
    EXPECT_EQ(std::pair(gLog.polls, gLog.presents), std::pair(1, 1));
    // A modal loop inside the form's event handling lets the timer (and the host) idle again.
    int nested = 0;
    gLog.onPollInput = [&] {
        if (nested++ > 0) return;
        TimerIdle();
        plugin->dispatcher(vst2::effEditIdle, 0, 0, nullptr, 0.0f);
    };
    shell->idle();
    EXPECT_EQ(std::pair(gLog.polls, gLog.presents), std::pair(2, 2));
    TimerIdle();
    EXPECT_EQ(gLog.polls, 3) << "an idle after a nested one runs normally";
}

TEST_F(EditorShellIdleTest, ACloseFromInsideTheIdleKeepsTheFormUntilTheIdleIsDone) {
    gLog.onPollInput = [&] { shell->close(); };
    TimerIdle();
    EXPECT_FALSE(gLog.destroyedDuringPoll);
    EXPECT_FALSE(gLog.alive) << "gone once the idle returned";
    EXPECT_FALSE(gLog.idle) << "the callback was taken back";
    EXPECT_EQ(gLog.presents, 0);
    gLog.onPollInput = nullptr;
    ASSERT_TRUE(shell->open(&parent));
    shell->idle();
    EXPECT_EQ(gLog.presents, 1);
}

} // namespace
} // namespace quillon::test
