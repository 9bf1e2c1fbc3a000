// The portable suite on Windows drives the editor's own message boxes and file dialogs, as on Linux: the
// system's are modal and would wait for a user. For the run the user's settings choose the editor's own;
// the value held before comes back afterwards.
#include "platform/ISettingsStore.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class EditorOwnDialogs : public ::testing::Environment {
public:
    void SetUp() override {
        store_ = quillon::platform::MakeSettingsStore();
        previous_ = store_->ReadSetting(quillon::platform::kSettingFileDialog).text;
        store_->WriteSetting(quillon::platform::kSettingFileDialog, "editor");
    }
    void TearDown() override {
        if (store_) store_->WriteSetting(quillon::platform::kSettingFileDialog, previous_);
    }

private:
    std::unique_ptr<quillon::platform::ISettingsStore> store_;
    std::string previous_;
};

[[maybe_unused]] ::testing::Environment* const kEditorOwnDialogs =
    ::testing::AddGlobalTestEnvironment(new EditorOwnDialogs);

} // namespace
