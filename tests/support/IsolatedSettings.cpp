// Keeps the test run away from the settings and MIDI assignments of the user who runs it: before any test,
// XDG_CONFIG_HOME and XDG_CONFIG_DIRS point into a fresh temporary folder whose settings name an empty
// installation folder, so every plug-in the tests construct (in this process, through dlopen, or in a
// `quillon` child process) starts without learned controllers and writes nothing into the user's folders.
// Tests that need other settings set their own with ScopedEnvironment.
#include "platform/posix/XdgSettingsStore.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

class IsolatedSettings : public ::testing::Environment {
public:
    static constexpr const char* kMarker = "QUILLON_TEST_SETTINGS_ISOLATED";

    void SetUp() override {
        // A death test's child process runs the environment again: it keeps its parent's folder, which
        // the parent removes (the child ends without tearing anything down).
        if (std::getenv(kMarker)) return;
        folder_ = std::make_unique<quillon::test::TemporaryDirectory>();
        setenv(kMarker, "1", 1);
        const std::string config = *folder_ / "config";
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (*folder_ / "machine").c_str(), 1);
        std::filesystem::create_directory(*folder_ / "install");
        quillon::platform::XdgSettingsStore store;
        store.WriteSetting("InstallFolder", *folder_ / "install");
    }
    void TearDown() override {
        if (folder_) unsetenv(kMarker);
        folder_.reset();
    }

private:
    std::unique_ptr<quillon::test::TemporaryDirectory> folder_;
};

[[maybe_unused]] ::testing::Environment* const kIsolatedSettings =
    ::testing::AddGlobalTestEnvironment(new IsolatedSettings);

} // namespace
