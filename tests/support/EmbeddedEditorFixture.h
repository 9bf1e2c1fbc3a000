// A host's side of the editor on a private X server: Xvfb started (the test is skipped without it), a
// connection of the host's own for windows, read-backs and XTest input, and Quillon.so loaded through dlopen
// and opened as a host does. TearDown closes the editor when it is open and unloads the plug-in.
#pragma once

#include "hostkit/TPluginHost.h"
#include "support/XTestHost.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <memory>

namespace quillon::test {

class TEmbeddedEditorFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<XHost> x;
    TPluginHost plugin;
};

} // namespace quillon::test
