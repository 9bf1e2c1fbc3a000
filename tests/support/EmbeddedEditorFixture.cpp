#include "support/EmbeddedEditorFixture.h"

namespace quillon::test {

void TEmbeddedEditorFixture::SetUp() {
    if (XvfbServer::FindXvfb().empty()) GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
    server = std::make_unique<XvfbServer>();
    ASSERT_TRUE(server->Running());
    x = std::make_unique<XHost>();
    ASSERT_TRUE(plugin.Load(QUILLON_PLUGIN_PATH)) << plugin.Error();
    plugin.Open();
}

void TEmbeddedEditorFixture::TearDown() {
    if (plugin.IsLoaded()) plugin.Dispatch(vst2::effEditClose);
    plugin.Unload();
}

} // namespace quillon::test
