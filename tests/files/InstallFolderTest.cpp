// Where the plug-in looks for its data: the recorded setting, else beside its own library — checked with
// a copy of the built plug-in in both installation layouts, loaded as a host loads it.
#include "files/InstallFolder.h"
#include "files/TMidiLearnFileManager.h"
#include "hostkit/TPluginHost.h"
#include "platform/ModuleFolder.h"
#include "platform/posix/XdgSettingsStore.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

using namespace quillon;
namespace fs = std::filesystem;

namespace {

class InstallFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.Set("XDG_CONFIG_HOME", folder / "config");
        environment.Set("XDG_CONFIG_DIRS", folder / "machine");
    }
    test::TemporaryDirectory folder;
    test::ScopedEnvironment environment;
};

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    path[n > 0 ? n : 0] = 0;
    return fs::path(path).parent_path().string();
}

} // namespace

TEST_F(InstallFolderTest, TheSettingWinsOverTheLibraryLocation) {
    platform::XdgSettingsStore store;
    // Without the setting: beside the library (here the test program, which links the code statically).
    EXPECT_EQ(platform::ModuleFolder(), ProgramFolder());
    EXPECT_EQ(FindInstallFolder(store), ProgramFolder() + "/Quillon");
    ASSERT_TRUE(store.WriteSetting("InstallFolder", "/opt/Brindmor Audio/Quillon"));
    EXPECT_EQ(FindInstallFolder(store), "/opt/Brindmor Audio/Quillon");
    // An empty setting counts as missing.
    ASSERT_TRUE(store.WriteSetting("InstallFolder", ""));
    EXPECT_EQ(FindInstallFolder(store), ProgramFolder() + "/Quillon");
}

TEST_F(InstallFolderTest, BesideTheLibraryThePerUserLayoutComesBeforeThePrefixLayout) {
    const std::string vst = folder / "prefix/lib/vst";
    fs::create_directories(vst);
    EXPECT_EQ(InstallFolderBeside(vst), vst + "/Quillon"); // neither has data yet
    fs::create_directories(folder / "prefix/share/Quillon/Data");
    EXPECT_EQ(InstallFolderBeside(vst), folder / "prefix/share/Quillon");
    fs::create_directories(vst + "/Quillon/Data");
    EXPECT_EQ(InstallFolderBeside(vst), vst + "/Quillon");
    EXPECT_EQ(InstallFolderBeside(""), "");
}

// A copy of the plug-in in a VST folder, with a factory file that binds controller 74 to the cutoff
// (parameter 15) in the installation folder of the layout, and no setting: the bindings must act.
TEST_F(InstallFolderTest, ALoadedPluginFindsTheDataOfBothLayoutsFromItsOwnLocation) {
    struct Layout {
        const char* vst;
        const char* data;
    };
    for (const Layout layout : {Layout{"home/.vst", "home/.vst/Quillon"}, Layout{"usr/lib/vst", "usr/share/Quillon"}}) {
        SCOPED_TRACE(layout.vst);
        fs::create_directories(folder / layout.vst);
        const std::string library = folder / (std::string(layout.vst) + "/Quillon.so");
        fs::copy_file(QUILLON_PLUGIN_PATH, library); // a copy, not a link: the loader would share a link's target
        TMidiLearnFileManager::Table table;
        table.fill(-1);
        table[74] = 15;
        EXPECT_TRUE(TMidiLearnFileManager(folder / layout.data).WriteAssignments(table));
        fs::rename(folder / (std::string(layout.data) + "/Data/custom.bma"),
                   folder / (std::string(layout.data) + "/Data/factory.bma"));

        TPluginHost::TSettings offline;
        offline.processLevel = vst2::kVstProcessLevelOffline; // the first program switch ends within the call
        TPluginHost host(offline);
        ASSERT_TRUE(host.Load(library)) << host.Error();
        host.Open();
        host.SetSampleRate(44100.0f);
        host.SetBlockSize(64);
        host.Resume();
        vst2::VstMidiEvent event{};
        event.type = vst2::kVstMidiType;
        event.byteSize = sizeof event;
        event.midiData[0] = static_cast<char>(0xB0);
        event.midiData[1] = 74;
        event.midiData[2] = 127;
        host.SendMidiEvents(std::span<vst2::VstMidiEvent>(&event, 1));
        std::vector<float> left(64), right(64);
        float* outputs[] = {left.data(), right.data()};
        ASSERT_TRUE(host.ProcessReplacing({}, outputs, 64));
        EXPECT_EQ(host.Parameter(15), 1.0f);
        host.Close();
    }
}
