// The editor form on a real plug-in, driven as a user drives it: clicks and drags in window coordinates,
// refreshes with chosen parameter values, and the editor settings block read back.
#pragma once

#include "editor/TPluginGUI.h"
#include "support/PluginFixture.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon::test {

class TEditorFixture : public TPluginFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // The centre of a control's rectangle in window coordinates, moved by (dx, dy).
    std::pair<int, int> CentreOf(std::string_view id, int dx = 0, int dy = 0) const;
    // A left click at the centre of a control's active part, in window coordinates.
    void Click(std::string_view id, int dx = 0, int dy = 0);
    // A press at (x, y), moves in `steps` equal steps to (toX, toY) and a release there, window coordinates.
    void Drag(int x, int y, int toX, int toY, int steps = 4, TMouseButton button = TMouseButton::Left);
    // Latest values for every parameter (all `value`), then a level-3 refresh.
    void RefreshWith(const std::vector<std::pair<int, float>>& values);
    // A level-3 refresh with the plug-in's current program, as the shell does at an idle call.
    void RefreshFromPlugin();
    // A little-endian int32 of the editor settings block.
    std::int32_t StoredInt(std::size_t offset);
    std::int32_t StoredPage() { return StoredInt(0); }

    std::unique_ptr<TPluginGUI> form;
};

} // namespace quillon::test
